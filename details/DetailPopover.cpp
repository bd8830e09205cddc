#include "details/DetailPopover.h"

#include "controls/PopoverShape.h"
#include "controls/WindowShortcuts.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

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
    // F10 and the menus' Alt letters open the window's menus, as from its own fields.
    passMenuKeysToWindow(this);
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
    const PopoverShape shape { kCornerRadius, kArrowHeight, kArrowHalfWidth };
    const PopoverShape::Placement placement = shape.placeBelow(*m_anchor, size());
    m_arrowX = placement.arrowX;
    move(placement.origin);
    shape.shapeWindow(*this, m_arrowX);
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
    const qreal arrowX = m_arrowX >= 0 ? m_arrowX : width() / 2.0;
    PopoverShape { kCornerRadius, kArrowHeight, kArrowHalfWidth }.paint(
        painter, *this, arrowX, palette().color(QPalette::Window).lighter(112),
        QColor::fromRgbF(1, 1, 1, 0.14f));
}

} // namespace tanvill
