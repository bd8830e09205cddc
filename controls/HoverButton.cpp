#include "controls/HoverButton.h"

#include "controls/Images.h"
#include "core/Theme.h"

#include <QPainter>

namespace tanvill {

HoverButton::HoverButton(QWidget *parent) : QAbstractButton(parent), m_tint(Theme {}.lightColor())
{
    connect(this, &QAbstractButton::pressed, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::released, this, qOverload<>(&QWidget::update));
}

void HoverButton::setTint(const QColor &tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    if (m_tinted) {
        m_tintedImage = tintedImageWithColor(m_image, m_tint);
        update();
    }
}

void HoverButton::setImage(const QPixmap &image)
{
    m_image = image;
    m_tintedImage = QPixmap();
    m_tinted = false;
    updateGeometry();
    update();
}

QPixmap HoverButton::displayedImage() const
{
    return m_tinted ? m_tintedImage : m_image;
}

QSize HoverButton::sizeHint() const
{
    if (m_image.isNull())
        return QSize(16, 16);
    return m_image.deviceIndependentSize().toSize();
}

void HoverButton::paintEvent(QPaintEvent *)
{
    const QPixmap shown = displayedImage();
    if (shown.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // A pressed button darkens its image, like a platform image button.
    if (isDown())
        painter.setOpacity(0.6);
    const QSizeF size
        = shown.deviceIndependentSize().scaled(QSizeF(this->size()), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(QRectF(rect()).center());
    painter.drawPixmap(target, shown, QRectF(shown.rect()));
}

void HoverButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    if (m_image.isNull() || !window()->isActiveWindow())
        return;
    // Always tinted from the untinted image, never from an image tinted before.
    m_tintedImage = tintedImageWithColor(m_image, m_tint);
    m_tinted = true;
    update();
}

void HoverButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    // Back to the untinted image, which the button always keeps: an entry while another
    // window was active tinted nothing, and leaving must not lose the image.
    m_tinted = false;
    update();
}

} // namespace tanvill
