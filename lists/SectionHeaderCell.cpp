#include "lists/SectionHeaderCell.h"

#include "controls/Label.h"

#include <QPainter>

namespace tanvill {

SectionHeaderCell::SectionHeaderCell(QWidget *parent) : TableRowView(parent)
{
    m_label = new Label(this);
    QFont font = m_label->font();
    font.setPixelSize(12);
    font.setBold(true);
    m_label->setFont(font);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xc8, 0xc8, 0xcc));
    m_label->setPalette(palette);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor SectionHeaderCell::fillColor() const
{
    return isFloating() ? QColor(Qt::black) : QColor(43, 43, 43);
}

void SectionHeaderCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), fillColor());
}

void SectionHeaderCell::resizeEvent(QResizeEvent *event)
{
    TableRowView::resizeEvent(event);
    m_label->setGeometry(16, 0, std::max(0, width() - 32), height());
}

} // namespace tanvill
