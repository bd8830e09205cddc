#pragma once

#include "controls/IndexPath.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace tanvill {

class ColorGridView;
class ColorWell;

// Which colours a well offers, in how many rows and columns. The list editors implement it.
class ColorWellDataSource
{
public:
    virtual ~ColorWellDataSource() = default;
    virtual unsigned numberOfRowsInColorWell(ColorWell *well) = 0;
    virtual unsigned numberOfColumnsInColorWell(ColorWell *well) = 0;
    // None for an empty position.
    virtual std::optional<QColor> colorAt(ColorWell *well, IndexPath indexPath) = 0;
};

// Puts a well's colour grid on screen and takes it off. Presenting gives the grid a parent
// widget; dismissing must end with the grid's parent cleared (setParent(nullptr)), because
// the well tells whether its grid is shown by whether it has a parent.
class ColorWellDelegate
{
public:
    virtual ~ColorWellDelegate() = default;
    virtual void wantsToPresentColorGrid(ColorWell *well, ColorGridView *grid) = 0;
    virtual void wantsToDismissColorGrid(ColorWell *well, ColorGridView *grid) = 0;
};

// A small rounded swatch of the current colour with a chevron under the mouse; a click (or
// Space) asks the delegate to show or hide the well's colour grid, the arrow keys choose a colour
// (the open grid's ring follows them; Return or Space closes it on that colour, Escape on the
// colour it opened with), and a choice in the grid sets the colour and emits
// colorWellDidSelectColor. The list editor and list-creation sheet use it.
class ColorWell : public QWidget
{
    Q_OBJECT
public:
    explicit ColorWell(QWidget *parent = nullptr);
    ~ColorWell() override;

    std::optional<QColor> color() const { return m_color; }
    // Stores the colour, redraws and emits colorWellDidSelectColor, also when code sets it.
    void setColor(const std::optional<QColor> &color);

    // Neither is owned; both must outlive the well or be cleared first.
    ColorWellDataSource *dataSource() const { return m_dataSource; }
    void setDataSource(ColorWellDataSource *dataSource) { m_dataSource = dataSource; }
    ColorWellDelegate *delegate() const { return m_delegate; }
    void setDelegate(ColorWellDelegate *delegate) { m_delegate = delegate; }

    IndexPath selectedIndexPath() const { return m_selectedIndexPath; }
    // Takes the data source's colour at the path (when it has one) and marks it in the grid.
    void setSelectedIndexPath(IndexPath indexPath);

    // Asks the delegate to show the grid, or to hide it when shown (a click, or Space).
    void toggleColorGrid();

    // The well's own grid, made on first use and deleted with the well.
    ColorGridView *colorGridView();
    bool isColorGridShown() const;

    bool isMouseOverIndicatorShown() const { return m_showMouseOverIndicator; }
    // True while the chevron points up: a click asked for the grid, and no click asked it away.
    // Without a delegate every click asks for a grid that never comes, so the chevron turns up
    // at the first click and stays; with one it turns down again once the grid is gone, also
    // when its host took it off screen itself.
    bool isIndicatorFlipped() const
    {
        return m_indicatorFlipped && (!m_delegate || isColorGridShown());
    }

    static constexpr qreal kCornerRadius = 4.0;
    static constexpr qreal kIndicatorSide = 13.0;

    QSize sizeHint() const override { return QSize(44, 23); }

signals:
    void colorWellDidSelectColor(tanvill::ColorWell *well);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateToolTip();
    // The place an arrow key's `step` leads to from the selected one; none off the grid.
    std::optional<IndexPath> neighbour(QPoint step);

    std::optional<QColor> m_color;
    ColorWellDataSource *m_dataSource = nullptr;
    ColorWellDelegate *m_delegate = nullptr;
    IndexPath m_selectedIndexPath;
    IndexPath m_indexPathWhenGridOpened;
    QPointer<ColorGridView> m_colorGridView;
    QColor m_swatchColor = Qt::transparent;
    bool m_showMouseOverIndicator = false;
    bool m_indicatorFlipped = false;
};

} // namespace tanvill
