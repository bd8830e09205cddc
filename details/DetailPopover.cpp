#include "details/DetailPopover.h"

#include "controls/PopoverShape.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace tanvill {

namespace {

constexpr qreal kCornerRadius = 8.0;

} // namespace

DetailPopover::DetailPopover(QWidget *content, QWidget *parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_content(content)
{
    Q_ASSERT(content);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(kPadding, kArrowHeight + kPadding, kPadding, kPadding);
    layout->addWidget(content);
    content->installEventFilter(this);
}

void DetailPopover::showBelow(QWidget *anchor)
{
    m_anchor = anchor;
    layout()->activate();
    adjustSize();
    place();
    show();
}

void DetailPopover::place()
{
    if (!m_anchor)
        return;
    const QRect anchorRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
    QPoint origin(anchorRect.center().x() - width() / 2, anchorRect.bottom() + 1);
    if (const QScreen *screen = m_anchor->screen()) {
        const QRect available = screen->availableGeometry();
        origin.setX(std::clamp(origin.x(), available.left(),
                               std::max(available.left(), available.right() - width() + 1)));
        origin.setY(std::min(origin.y(), std::max(available.top(), available.bottom() - height())));
    }
    m_arrowX
        = std::clamp(anchorRect.center().x() - origin.x(), kArrowHalfWidth + int(kCornerRadius),
                     std::max(kArrowHalfWidth + int(kCornerRadius),
                              width() - kArrowHalfWidth - int(kCornerRadius)));
    move(origin);
    update();
}

bool DetailPopover::eventFilter(QObject *watched, QEvent *event)
{
    // The content changed its size: the frame follows and stays under its button.
    if (watched == m_content && event->type() == QEvent::Resize && isVisible()) {
        adjustSize();
        place();
    }
    return QFrame::eventFilter(watched, event);
}

void DetailPopover::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void DetailPopover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal arrowX = m_arrowX >= 0 ? m_arrowX : width() / 2.0;
    const QPainterPath shape
        = PopoverShape { kCornerRadius, kArrowHeight, kArrowHalfWidth }.outline(rect(), arrowX);
    painter.fillPath(shape, palette().color(QPalette::Window).lighter(112));
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.14f), 1.0));
    painter.drawPath(shape);
}

} // namespace tanvill
