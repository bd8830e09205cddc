#pragma once

// Helpers of the control tests: hover through real enter and leave events, making a window
// the active one, and reading colours off rendered widgets.

#include <QApplication>
#include <QColor>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <QWidget>

namespace tanvill::test {

inline void enter(QWidget *widget, QPointF at = { 2, 2 })
{
    QEnterEvent event(at, widget->mapTo(widget->window(), at), widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

inline void leave(QWidget *widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

inline bool activate(QWidget *window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

inline QImage render(QWidget *widget)
{
    return widget->grab().toImage();
}

// Channels within `tolerance` of each other (antialiasing and rounding aside).
inline bool near(const QColor &a, const QColor &b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance
        && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

} // namespace tanvill::test
