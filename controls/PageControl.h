#pragma once

#include "core/Theme.h"

#include <QWidget>

#include <optional>

namespace tanvill {

// The row of page dots under the list pages of the main window, the selected one in the
// selected list's dark theme colour. A press or drag across the dots moves the selection dot
// by dot; the release emits `clicked`. The list header pager owns it.
class PageControl : public QWidget
{
    Q_OBJECT
public:
    explicit PageControl(QWidget *parent = nullptr);

    Theme theme() const { return m_theme; }
    void setTheme(const Theme &theme);

    unsigned numberOfPages() const { return m_numberOfPages; }
    void setNumberOfPages(unsigned count);

    // Not limited to the page count: a page past the last leaves every dot grey.
    unsigned selectedPage() const { return m_selectedPage; }
    void setSelectedPage(unsigned page);

    // The square of dot `page` (its dot is the circle inscribed in it).
    QRectF dotRect(unsigned page) const;
    // The page whose dot square holds the point, if any.
    std::optional<unsigned> pageAtPoint(QPointF point) const;

    static constexpr qreal kDotDiameter = 5.0;

    QSize sizeHint() const override;

signals:
    // The user let go of the mouse; read selectedPage() for the page chosen.
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void selectPageAtPoint(QPointF point);

    Theme m_theme;
    unsigned m_numberOfPages = 0;
    unsigned m_selectedPage = 0;
};

} // namespace tanvill
