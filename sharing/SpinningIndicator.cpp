#include "sharing/SpinningIndicator.h"

#include <QPainter>

namespace tanvill {

namespace {
constexpr int kSpokes = 12;
}

SpinningIndicator::SpinningIndicator(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void SpinningIndicator::startAnimation()
{
    m_timer.start();
    update();
}

void SpinningIndicator::stopAnimation()
{
    m_timer.stop();
    update();
}

void SpinningIndicator::paintEvent(QPaintEvent *)
{
    if (!isAnimating())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    const qreal outer = side / 2.0;
    const qreal inner = outer * 0.45;
    QPen pen(palette().color(QPalette::WindowText));
    pen.setWidthF(qMax(1.5, side / 11.0));
    pen.setCapStyle(Qt::RoundCap);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // The spoke at the current step is opaque; the ones behind it fade out.
        const int age = (m_step - spoke + kSpokes) % kSpokes;
        QColor color = pen.color();
        color.setAlphaF(1.0 - 0.75 * age / (kSpokes - 1));
        pen.setColor(color);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * spoke / kSpokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer + pen.widthF() / 2));
        painter.restore();
    }
}

} // namespace tanvill
