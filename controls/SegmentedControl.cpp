#include "controls/SegmentedControl.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tanvill {

namespace {
constexpr int kMinimumSegmentWidth = 72;
constexpr int kHeight = 24;
constexpr qreal kRadius = 5.0;
const QColor kOutline(0x5a, 0x5a, 0x5e);
const QColor kSelectedFill(0xe8, 0xe8, 0xea);
const QColor kSelectedText(0x1e, 0x1e, 0x1f);
const QColor kPressedFill(0x3a, 0x3a, 0x3c);
} // namespace

SegmentedControl::SegmentedControl(const QStringList &labels, QWidget *parent)
    : QWidget(parent), m_labels(labels)
{
    QFont labelFont = font();
    labelFont.setPixelSize(13);
    setFont(labelFont);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SegmentedControl::setSelectedSegment(int segment)
{
    const int chosen = segment >= 0 && segment < segmentCount() ? segment : -1;
    if (chosen == m_selected)
        return;
    m_selected = chosen;
    update();
}

QSize SegmentedControl::sizeHint() const
{
    const QFontMetrics metrics(font());
    int widest = kMinimumSegmentWidth;
    for (const QString &label : m_labels)
        widest = std::max(widest, metrics.horizontalAdvance(label) + 24);
    return QSize(widest * std::max(1, segmentCount()), kHeight);
}

QRect SegmentedControl::segmentRect(int segment) const
{
    if (segment < 0 || segment >= segmentCount())
        return {};
    const int left = width() * segment / segmentCount();
    const int right = width() * (segment + 1) / segmentCount();
    return QRect(left, 0, right - left, height());
}

int SegmentedControl::segmentAt(const QPoint &point) const
{
    for (int segment = 0; segment < segmentCount(); ++segment) {
        if (segmentRect(segment).contains(point))
            return segment;
    }
    return -1;
}

void SegmentedControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(outline, kRadius, kRadius);
    painter.setClipPath(shape);
    for (int segment = 0; segment < segmentCount(); ++segment) {
        const QRect area = segmentRect(segment);
        if (segment == m_selected)
            painter.fillRect(area, kSelectedFill);
        else if (segment == m_pressed)
            painter.fillRect(area, kPressedFill);
    }
    painter.setClipping(false);
    painter.setPen(QPen(kOutline, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    for (int segment = 1; segment < segmentCount(); ++segment) {
        const qreal x = segmentRect(segment).left() + 0.5;
        painter.drawLine(QPointF(x, 0.5), QPointF(x, height() - 0.5));
    }
    const QColor text = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                        QPalette::WindowText);
    for (int segment = 0; segment < segmentCount(); ++segment) {
        painter.setPen(segment == m_selected ? kSelectedText : text);
        painter.drawText(segmentRect(segment), Qt::AlignCenter, m_labels[segment]);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2.0));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kRadius, kRadius);
    }
}

void SegmentedControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = segmentAt(event->position().toPoint());
    update();
}

void SegmentedControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int released = segmentAt(event->position().toPoint());
    const int pressed = std::exchange(m_pressed, -1);
    update();
    if (released >= 0 && released == pressed)
        choose(released);
}

void SegmentedControl::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        choose(std::max(0, m_selected - 1));
        break;
    case Qt::Key_Right:
        choose(std::min(segmentCount() - 1, m_selected + 1));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SegmentedControl::choose(int segment)
{
    setSelectedSegment(segment);
    emit segmentClicked(segment);
}

} // namespace tanvill
