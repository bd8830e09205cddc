#pragma once

#include "controls/IndexPath.h"

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <optional>
#include <vector>

namespace tanvill {

class ColorWell;

// The panel of colour swatches a colour well offers: its data source's colours in rows and
// columns on a dim background with an optional arrow in the top edge pointing at the well.
// Pressing and releasing on one swatch chooses it for the well. The grid never hides
// itself; the well's delegate shows and hides it.
class ColorGridView : public QWidget
{
    Q_OBJECT
public:
    explicit ColorGridView(QWidget *parent = nullptr);

    ColorWell *colorWell() const;
    void setColorWell(ColorWell *well);

    // The swatch drawn with the selection border as of the last rebuild of the cells.
    std::optional<IndexPath> selectedIndexPath() const { return m_selectedIndexPath; }
    void setSelectedIndexPath(std::optional<IndexPath> indexPath)
    {
        m_selectedIndexPath = indexPath;
    }

    // x of the arrow's tip in the top edge; negative for a straight edge.
    qreal arrowPosition() const { return m_arrowPosition; }
    void setArrowPosition(qreal position);

    // Asks the data source again and redraws; hosts call it when the colours change.
    void setNeedsDisplay();

    // Where the swatch at `indexPath` lies, and which swatch lies under a point.
    static QRect cellFrame(IndexPath indexPath);
    std::optional<IndexPath> indexPathAtPoint(QPointF point) const;

    struct Cell
    {
        IndexPath indexPath;
        QColor color;
        bool selected = false;
    };
    // The swatches as drawn: positions the data source has a colour for.
    const std::vector<Cell> &cells() const { return m_cells; }

    static constexpr int kCellWidth = 44;
    static constexpr int kCellHeight = 23;
    static constexpr int kSpacing = 2;
    static constexpr int kTop = 20;
    static constexpr int kBottom = 10;
    static constexpr int kLeft = 20;
    static constexpr int kRight = 20;
    static constexpr qreal kArrowHalfWidth = 10.0;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void updateCells();
    std::pair<unsigned, unsigned> columnsAndRows() const;

    QPointer<ColorWell> m_colorWell;
    std::optional<IndexPath> m_selectedIndexPath;
    qreal m_arrowPosition = -1;
    std::vector<Cell> m_cells;
};

} // namespace tanvill
