#include "controls/WindowPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace tanvill {

namespace {

constexpr char kCorrectionName[] = "tanvill_frameCorrection";
// An X11 window manager frames a new window moments after it is mapped; one that has not by
// then draws no frame.
constexpr int kFrameWaitMilliseconds = 2000;
constexpr int kFramePollMilliseconds = 40;

bool isFramed(const QWidget &window)
{
    return window.isVisible() && window.frameGeometry() != window.geometry();
}

QMargins frameMargins(const QWidget &window)
{
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return { client.left() - frame.left(), client.top() - frame.top(),
             frame.right() - client.right(), frame.bottom() - client.bottom() };
}

// Once the window manager has framed the window, moves it by what the guessed frame was off,
// so that the frame stands where it was meant to.
class FrameCorrection : public QObject
{
public:
    FrameCorrection(QWidget *window, const QPoint &intendedFrameOrigin)
        : QObject(window), m_window(window), m_intended(intendedFrameOrigin)
    {
        setObjectName(QLatin1String(kCorrectionName));
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &FrameCorrection::check);
        poll->start(kFramePollMilliseconds);
        QTimer::singleShot(kFrameWaitMilliseconds, this, &QObject::deleteLater);
    }

private:
    void check()
    {
        if (!isFramed(*m_window))
            return;
        const QPoint error = m_window->frameGeometry().topLeft() - m_intended;
        if (!error.isNull())
            m_window->move(m_window->pos() - error);
        deleteLater();
    }

    QWidget *m_window;
    QPoint m_intended;
};

} // namespace

void centreOnScreen(QWidget *window, QScreen *screen, const QWidget *reference)
{
    if (!window)
        return;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const bool framed = isFramed(*window);
    const QMargins margins = framed         ? frameMargins(*window)
        : reference && isFramed(*reference) ? frameMargins(*reference)
                                            : QMargins();
    const QRect available = screen->availableGeometry();
    QRect frame(QPoint(), window->size().grownBy(margins));
    frame.moveCenter(available.center());
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    if (framed) {
        // A framed window's position is its frame's.
        window->move(frame.topLeft());
        return;
    }
    // Unframed, the window is placed by its content; the window manager puts its frame around.
    window->setGeometry(
        QRect(frame.topLeft() + QPoint(margins.left(), margins.top()), window->size()));
    // Only an X11 window manager frames a window after it is shown.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    delete window->findChild<QObject *>(QLatin1String(kCorrectionName), Qt::FindDirectChildrenOnly);
    new FrameCorrection(window, frame.topLeft());
}

QScreen *screenOfWindow(const QWidget *window)
{
    if (window && window->isVisible() && window->screen())
        return window->screen();
    if (QScreen *underPointer = QGuiApplication::screenAt(QCursor::pos()))
        return underPointer;
    return QGuiApplication::primaryScreen();
}

bool frameLiesOnScreen(const QRect &frame)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&frame](const QScreen *screen) {
        return screen->availableGeometry().contains(frame);
    });
}

} // namespace tanvill
