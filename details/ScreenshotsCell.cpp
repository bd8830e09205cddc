#include "details/ScreenshotsCell.h"

#include "controls/TableView.h"
#include "details/ScreenshotGrid.h"
#include "platform/Strings.h"

#include <QPainter>

namespace tanvill {

ScreenshotsCell::ScreenshotsCell(QWidget *parent)
    : TableRowView(parent), m_screenshotGrid(new ScreenshotGrid(this))
{
    connect(m_screenshotGrid, &ScreenshotGrid::thumbnailFocused, this,
            &ScreenshotsCell::scrollToVisible);
}

void ScreenshotsCell::scrollToVisible(const QWidget *thumbnail)
{
    // The row is taller than a short window's table: the keyboard's thumbnail is brought into
    // view, not the top of the row.
    TableView *table = tableView();
    if (!table)
        return;
    const QRect rect(thumbnail->mapTo(table->viewport(), QPoint()), thumbnail->size());
    const int height = table->viewport()->height();
    if (rect.bottom() >= height)
        table->setScrollPosition(table->scrollPosition() + rect.bottom() + 1 - height);
    else if (rect.top() < 0)
        table->setScrollPosition(table->scrollPosition() + rect.top());
}

void ScreenshotsCell::resizeEvent(QResizeEvent *)
{
    m_screenshotGrid->setGeometry(rect());
}

void ScreenshotsCell::paintEvent(QPaintEvent *)
{
    if (!m_screenshotGrid->cells().empty() || !m_screenshotGrid->dataSource())
        return;
    QPainter painter(this);
    QFont font = this->font();
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(rect(), Qt::AlignCenter, Strings::localized(QStringLiteral("No Screenshots")));
}

} // namespace tanvill
