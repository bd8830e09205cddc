#include "controls/LongPressMenuButton.h"

#include <QEvent>
#include <QMouseEvent>

namespace tanvill {

LongPressMenuButton::LongPressMenuButton(QWidget *parent) : QPushButton(parent)
{
    m_longPressTimer.setSingleShot(true);
    m_longPressTimer.setTimerType(Qt::PreciseTimer);
    m_longPressTimer.setInterval(kLongPressMilliseconds);
    connect(&m_longPressTimer, &QTimer::timeout, this, &LongPressMenuButton::longPressElapsed);
}

void LongPressMenuButton::setMouseIsDown(bool down)
{
    m_mouseIsDown = down;
    setDown(down);
}

void LongPressMenuButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    event->accept();
    m_pressPosition = event->position().toPoint();
    setMouseIsDown(true);
    // Each press times its own hold: a press soon after a quick click starts the wait anew
    // rather than inheriting what is left of the previous one.
    m_longPressTimer.start();
}

void LongPressMenuButton::mouseMoveEvent(QMouseEvent *event)
{
    // The button stays highlighted while held, wherever the mouse goes.
    event->accept();
}

void LongPressMenuButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    m_longPressTimer.stop();
    if (!m_mouseIsDown)
        return; // the menu was shown; this release ends the long press
    setMouseIsDown(false);
    // Letting go away from the button cancels the click, as with any push button.
    if (rect().contains(event->position().toPoint()))
        click();
}

void LongPressMenuButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        abandonPress();
}

void LongPressMenuButton::hideEvent(QHideEvent *event)
{
    QPushButton::hideEvent(event);
    abandonPress();
}

// A button disabled or hidden while held never sees the release: the hold ends here, so it
// neither stays highlighted nor pops its menu up later.
void LongPressMenuButton::abandonPress()
{
    m_longPressTimer.stop();
    if (m_mouseIsDown)
        setMouseIsDown(false);
}

void LongPressMenuButton::longPressElapsed()
{
    // Without a menu a long press is just a slow click: the release still acts.
    if (!m_mouseIsDown || !m_popUpMenu)
        return;
    setMouseIsDown(false);
    m_popUpMenu->popup(mapToGlobal(m_pressPosition));
    emit menuShown(m_pressPosition);
}

} // namespace tanvill
