#include "controls/PageControl.h"

#include <QMouseEvent>
#include <QPainter>

namespace tanvill {

PageControl::PageControl(QWidget *parent) : QWidget(parent) { }

void PageControl::setTheme(const Theme &theme)
{
    m_theme = theme;
    update();
}

void PageControl::setNumberOfPages(unsigned count)
{
    m_numberOfPages = count;
    update();
}

void PageControl::setSelectedPage(unsigned page)
{
    m_selectedPage = page;
    update();
}

QSize PageControl::sizeHint() const
{
    return QSize(int(2 * kDotDiameter * std::max(m_numberOfPages, 1u)), 20);
}

QRectF PageControl::dotRect(unsigned page) const
{
    const QPointF middle = QRectF(rect()).center();
    const qreal centreX = middle.x() + (2.0 * page - (qreal(m_numberOfPages) - 1.0)) * kDotDiameter;
    return QRectF(centreX - kDotDiameter / 2, middle.y() - kDotDiameter / 2, kDotDiameter,
                  kDotDiameter);
}

std::optional<unsigned> PageControl::pageAtPoint(QPointF point) const
{
    for (unsigned page = 0; page < m_numberOfPages; ++page) {
        const QRectF square = dotRect(page);
        if (point.x() >= square.left() && point.x() < square.right() && point.y() >= square.top()
            && point.y() < square.bottom())
            return page;
    }
    return std::nullopt;
}

void PageControl::paintEvent(QPaintEvent *)
{
    // A lone page needs no dots.
    if (m_numberOfPages < 2)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor other = QColor::fromRgbF(0.25f, 0.25f, 0.25f, 0.25f);
    for (unsigned page = 0; page < m_numberOfPages; ++page) {
        painter.setBrush(page == m_selectedPage ? m_theme.darkColor() : other);
        painter.drawEllipse(dotRect(page));
    }
}

void PageControl::selectPageAtPoint(QPointF point)
{
    const std::optional<unsigned> page = pageAtPoint(point);
    if (page && *page != m_selectedPage)
        setSelectedPage(*page);
}

// Only the primary button chooses a page; the others pass the event on, so a context-menu
// click never turns the list page.
void PageControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    selectPageAtPoint(event->position());
}

void PageControl::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    event->accept();
    selectPageAtPoint(event->position());
}

void PageControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    selectPageAtPoint(event->position());
    emit clicked();
}

} // namespace tanvill
