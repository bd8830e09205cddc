#include "lists/HeaderButton.h"

#include <QPainter>

namespace tanvill {

HeaderButton::HeaderButton(QWidget *parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::pressed, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::released, this, qOverload<>(&QWidget::update));
}

void HeaderButton::setImage(const QPixmap &image)
{
    m_image = image;
    update();
}

void HeaderButton::setAlternateImage(const QPixmap &image)
{
    m_alternateImage = image;
    update();
}

void HeaderButton::paintEvent(QPaintEvent *)
{
    const QPixmap &shown = isDown() && !m_alternateImage.isNull() ? m_alternateImage : m_image;
    if (shown.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled())
        painter.setOpacity(0.35);
    QRectF target(0, 0, kImageSide, kImageSide);
    target.moveCenter(QRectF(rect()).center());
    painter.drawPixmap(target, shown, QRectF(shown.rect()));
}

} // namespace tanvill
