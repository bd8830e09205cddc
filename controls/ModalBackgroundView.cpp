#include "controls/ModalBackgroundView.h"

#include "controls/KeyboardFocus.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tanvill {

ModalBackgroundView::ModalBackgroundView(QWidget *parentView)
    : QWidget(parentView), m_parentView(parentView)
{
    Q_ASSERT(parentView);
    // A click on the layer leaves the focus where it was: in the sheet over it, or on the layer
    // itself where it holds the keys (setFocus) so that none reaches the views beneath.
    setFocusPolicy(Qt::NoFocus);
    setShowsFocusRing(this, false);
    hide();
    setGeometry(parentView->rect());
    parentView->installEventFilter(this);
}

bool ModalBackgroundView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_parentView && event->type() == QEvent::Resize)
        setGeometry(m_parentView->rect());
    return QWidget::eventFilter(watched, event);
}

bool ModalBackgroundView::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Tab and the other focus keys included: nothing beneath may be reached. Menu
        // shortcuts still work, as they are dispatched before the key reaches any view.
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}

void ModalBackgroundView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, kDimming));
}

// Only the primary button is swallowed; other buttons take the usual path to the parent.
void ModalBackgroundView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

void ModalBackgroundView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QWidget::mouseReleaseEvent(event);
}

void ModalBackgroundView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QWidget::mouseDoubleClickEvent(event);
}

void ModalBackgroundView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void ModalBackgroundView::wheelEvent(QWheelEvent *event)
{
    event->accept();
}

} // namespace tanvill
