#include "lists/AddButton.h"

#include "controls/Images.h"

#include <QPainter>

#include <cmath>

namespace tanvill {

AddButton::AddButton(QWidget *parent) : LongPressMenuButton(parent)
{
    setFlat(true);
    // Reached with Tab; a click adds without taking the focus from the list.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(kSide, kSide);
}

void AddButton::setRotation(qreal radians)
{
    if (m_rotation == radians)
        return;
    m_rotation = radians;
    update();
}

void AddButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    LongPressMenuButton::enterEvent(event);
}

void AddButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    LongPressMenuButton::leaveEvent(event);
}

void AddButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    qreal opacity = 0.85;
    if (!isEnabled())
        opacity = 0.35;
    else if (isDown())
        opacity = 0.55;
    else if (m_hovered)
        opacity = 1.0;
    painter.setOpacity(opacity);
    // Turned about the middle of the button; the glyph is round and leaves room to turn.
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.rotate(m_rotation * 180.0 / M_PI);
    const QRectF glyph(-kGlyphSide / 2.0, -kGlyphSide / 2.0, kGlyphSide, kGlyphSide);
    Images::draw(painter, QStringLiteral("add-button"), glyph);
}

} // namespace tanvill
