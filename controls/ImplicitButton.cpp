#include "controls/ImplicitButton.h"

#include <QPainter>
#include <QPainterPath>

namespace tanvill {

ImplicitButton::ImplicitButton(QWidget *parent) : QAbstractButton(parent)
{
    QFont titleFont = font();
    titleFont.setPixelSize(kTitlePixelSize);
    setFont(titleFont);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::pressed, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::released, this, qOverload<>(&QWidget::update));
}

void ImplicitButton::setTintColor(const QColor &color)
{
    m_tintColor = color;
    update();
}

QColor ImplicitButton::backgroundColor() const
{
    QColor color = m_tintColor;
    if (isDown())
        color.setAlphaF(0.33f);
    else if (m_mouseOver)
        color.setAlphaF(0.165f);
    else
        return Qt::transparent;
    return color;
}

QSize ImplicitButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    // The title's own width plus a little room on each side, and 10 more so that the
    // lit background does not hug the text.
    return QSize(metrics.horizontalAdvance(text()) + 12 + 10, metrics.height() + 8);
}

void ImplicitButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor background = backgroundColor();
    if (background.alpha() > 0) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
        painter.fillPath(shape, background);
    }
    painter.setPen(m_tintColor);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}

void ImplicitButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    m_mouseOver = true;
    update();
}

void ImplicitButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    m_mouseOver = false;
    update();
}

} // namespace tanvill
