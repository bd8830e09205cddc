#include "lists/TransitionOverlay.h"

#include <QEasingCurve>
#include <QEvent>
#include <QPainter>

#include <algorithm>

namespace tanvill {

TransitionOverlay::TransitionOverlay(QWidget *host) : QWidget(host), m_host(host)
{
    hide();
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(host->rect());
    host->installEventFilter(this);
    takeBackground();
}

// The bar as it is without its children: colour and hairline. Taken outside painting, as a
// widget cannot be rendered from inside its own painting.
void TransitionOverlay::takeBackground()
{
    m_background = QPixmap(m_host->size() * devicePixelRatioF());
    m_background.setDevicePixelRatio(devicePixelRatioF());
    m_background.fill(Qt::transparent);
    m_host->render(&m_background, QPoint(), QRegion(), QWidget::DrawWindowBackground);
}

bool TransitionOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && event->type() == QEvent::Resize) {
        setGeometry(m_host->rect());
        takeBackground();
    }
    return QWidget::eventFilter(watched, event);
}

void TransitionOverlay::addLayer(QWidget *source, Motion motion)
{
    m_layers.push_back({ source->grab(), source->geometry(), motion });
    update();
}

void TransitionOverlay::setProgress(qreal progress)
{
    m_progress = std::clamp(progress, 0.0, 1.0);
    update();
}

qreal TransitionOverlay::opacityAt(Motion motion, qreal progress)
{
    const qreal t = std::clamp(progress, 0.0, 1.0);
    return motion == Motion::Appearing ? t : 1.0 - t;
}

qreal TransitionOverlay::scaleAt(Motion motion, qreal progress)
{
    static const QEasingCurve easeOut(QEasingCurve::OutCubic);
    const qreal t = easeOut.valueForProgress(std::clamp(progress, 0.0, 1.0));
    const qreal first = motion == Motion::Appearing ? 1.25 : 1.0;
    const qreal last = motion == Motion::Appearing ? 1.0 : 1.25;
    constexpr qreal middle = 0.9;
    constexpr qreal middleTime = 0.33;
    if (t <= middleTime)
        return first + (middle - first) * (t / middleTime);
    return middle + (last - middle) * ((t - middleTime) / (1.0 - middleTime));
}

void TransitionOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Layer &layer : m_layers) {
        const qreal scale = scaleAt(layer.motion, m_progress);
        painter.save();
        painter.setOpacity(opacityAt(layer.motion, m_progress));
        const QPointF centre = QRectF(layer.rect).center();
        painter.translate(centre);
        painter.scale(scale, scale);
        painter.translate(-centre);
        painter.drawPixmap(layer.rect.topLeft(), layer.image);
        painter.restore();
    }
}

} // namespace tanvill
