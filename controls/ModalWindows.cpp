#include "controls/ModalWindows.h"

#include <QGuiApplication>
#include <QPointer>
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

} // namespace

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
