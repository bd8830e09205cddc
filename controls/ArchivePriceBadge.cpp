#include "controls/ArchivePriceBadge.h"

#include "controls/Label.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace tanvill {

ArchivePriceBadge::ArchivePriceBadge(QWidget *parent) : QWidget(parent), m_label(new Label(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 1, 8, 1);
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label);
}

void ArchivePriceBadge::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ArchivePriceBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), cornerRadius(), cornerRadius());
    painter.fillPath(capsule, m_color);
}

} // namespace tanvill
