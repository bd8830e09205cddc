#include "controls/ModalWindows.h"

#include <QGuiApplication>
#include <QWindow>

namespace tanvill {

namespace {

// `window` is `ancestor` or was opened from it, directly or through other windows.
bool descendsFrom(const QWindow *window, const QWindow *ancestor)
{
    for (const QWindow *step = window; step; step = step->parent(QWindow::IncludeTransients)) {
        if (step == ancestor)
            return true;
    }
    return false;
}

bool blocks(const QWindow *modal, const QWindow *window)
{
    if (!modal->isVisible() || descendsFrom(window, modal))
        return false;
    switch (modal->modality()) {
    case Qt::ApplicationModal:
        return true;
    case Qt::WindowModal:
        return descendsFrom(modal, window);
    case Qt::NonModal:
        break;
    }
    return false;
}

QWindow *blockerOf(const QWindow *window)
{
    // The most recently shown modal window first: of two that would block each other, Qt gives
    // the input to that one.
    QWindow *top = QGuiApplication::modalWindow();
    if (top && blocks(top, window))
        return top;
    for (QWindow *candidate : QGuiApplication::topLevelWindows()) {
        if (candidate != top && blocks(candidate, window))
            return candidate;
    }
    return nullptr;
}

// The shown modal window that keeps input from `window`, as Qt blocks it: an application-modal
// window blocks every window but itself and those opened from it, a window-modal one the window
// it was opened from and that window's own parents. Where several do, the one the keys go to
// (the blocking window that is blocked by none). Null when nothing blocks `window`.
QWindow *modalWindowBlocking(const QWindow *window)
{
    if (!window)
        return nullptr;
    QWindow *blocking = nullptr;
    // A sheet may itself be blocked (an alert over it): follow to the window that is not. Each
    // step is a window shown, so a chain longer than their number has gone round.
    const QWindow *current = window;
    for (qsizetype steps = QGuiApplication::topLevelWindows().size(); steps > 0; --steps) {
        QWindow *next = blockerOf(current);
        if (!next || next == window)
            break;
        blocking = next;
        current = next;
    }
    return blocking;
}

} // namespace

void keepKeyboardInModalWindows(QGuiApplication &application)
{
    QObject::connect(&application, &QGuiApplication::focusWindowChanged, &application,
                     [](QWindow *focus) {
                         if (!focus || focus->type() == Qt::Popup || focus->type() == Qt::ToolTip)
                             return;
                         if (QWindow *modal = modalWindowBlocking(focus))
                             modal->requestActivate();
                     });
}

} // namespace tanvill
