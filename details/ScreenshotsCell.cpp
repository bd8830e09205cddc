#include "details/ScreenshotsCell.h"

#include "details/ScreenshotGrid.h"
#include "platform/Strings.h"

#include <QPainter>

namespace tanvill {

ScreenshotsCell::ScreenshotsCell(QWidget *parent)
    : TableRowView(parent), m_screenshotGrid(new ScreenshotGrid(this))
{ }

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
