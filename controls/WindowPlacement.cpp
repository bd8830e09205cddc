#include "controls/WindowPlacement.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace tanvill {

namespace {

constexpr char kWatcherName[] = "tanvill_frameWatcher";
constexpr char kKeeperName[] = "tanvill_screenKeeper";
// While this module moves or resizes a window, and the place and size it left it at.
constexpr char kPlacingProperty[] = "tanvillPlacing";
constexpr char kPlacedFrameProperty[] = "tanvillPlacedFrame";
// An X11 window manager frames a new window moments after it is mapped; one that has not by
// then draws no frame.
constexpr int kFrameWaitMilliseconds = 2000;
constexpr int kFramePollMilliseconds = 40;

// Qt knows the window's frame: it is on screen, or was until it was hidden.
bool hasKnownFrame(const QWidget &window)
{
    return window.frameGeometry() != window.geometry();
}

bool isFramed(const QWidget &window)
{
    return window.isVisible() && hasKnownFrame(window);
}

QMargins frameMargins(const QWidget &window)
{
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return { client.left() - frame.left(), client.top() - frame.top(),
             frame.right() - client.right(), frame.bottom() - client.bottom() };
}

// Marks the window as placed by this module while it lives, and notes where it left it.
class Placing
{
public:
    explicit Placing(QWidget &window)
        : m_window(window), m_outer(window.property(kPlacingProperty).toBool())
    {
        m_window.setProperty(kPlacingProperty, true);
    }
    ~Placing()
    {
        if (m_outer)
            return;
        m_window.setProperty(kPlacingProperty, QVariant());
        m_window.setProperty(kPlacedFrameProperty, QRect(m_window.pos(), m_window.size()));
    }
    Placing(const Placing &) = delete;
    Placing &operator=(const Placing &) = delete;

private:
    QWidget &m_window;
    bool m_outer;
};

bool isDecoratedWindow(const QWidget &widget)
{
    return widget.isWindow() && !(widget.windowFlags() & Qt::FramelessWindowHint)
        && (widget.windowType() == Qt::Window || widget.windowType() == Qt::Dialog);
}

// The frame `window` has, or else the one it is expected to get: that of `reference`, or of
// any framed window of the application; none when there is none to go by.
QMargins expectedFrameMargins(const QWidget &window, const QWidget *reference)
{
    if (hasKnownFrame(window))
        return frameMargins(window);
    if (reference && isFramed(*reference))
        return frameMargins(*reference);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *other : windows) {
        if (other != &window && isDecoratedWindow(*other) && isFramed(*other))
            return frameMargins(*other);
    }
    return {};
}

// The window's frame as it stands: a window without a known frame is placed by its content.
QRect currentFrame(const QWidget &window, const QMargins &margins)
{
    if (hasKnownFrame(window))
        return window.frameGeometry();
    return QRect(window.geometry().topLeft() - QPoint(margins.left(), margins.top()),
                 window.size().grownBy(margins));
}

// Puts the window's frame at `frame`: its content goes inside the frame's margins, and the
// window manager draws the frame around it.
void setFrame(QWidget &window, const QRect &frame, const QMargins &margins)
{
    window.setGeometry(QRect(frame.topLeft() + QPoint(margins.left(), margins.top()),
                             frame.size().shrunkBy(margins)));
}

QScreen *screenOfFrame(const QRect &frame)
{
    if (QScreen *screen = QGuiApplication::screenAt(frame.center()))
        return screen;
    QScreen *best = nullptr;
    qint64 bestArea = 0;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        const QRect overlap = screen->availableGeometry() & frame;
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best ? best : screenOfWindow(nullptr);
}

// `frame` moved, and shrunk where it is larger, into `available`; never smaller than `minimum`.
QRect frameFittedInto(const QRect &frame, const QRect &available, const QSize &minimum)
{
    QRect fitted(
        frame.topLeft(),
        frame.size().boundedTo(available.size()).expandedTo(minimum.boundedTo(frame.size())));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(),
                               std::max(available.left(), available.right() - fitted.width() + 1)));
    fitted.moveTop(std::clamp(fitted.top(), available.top(),
                              std::max(available.top(), available.bottom() - fitted.height() + 1)));
    return fitted;
}

void fitOnScreen(QWidget &window, const QWidget *reference);

// Once the window manager has framed the window, moves it by what the guessed frame was off
// (when it was meant to stand at a given place) and fits it, real frame and all, on its screen.
class FrameWatcher : public QObject
{
public:
    FrameWatcher(QWidget *window, std::optional<QPoint> intendedFrameOrigin)
        : QObject(window), m_window(window), m_intended(intendedFrameOrigin)
    {
        setObjectName(QLatin1String(kWatcherName));
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &FrameWatcher::check);
        poll->start(kFramePollMilliseconds);
        QTimer::singleShot(kFrameWaitMilliseconds, this, &QObject::deleteLater);
    }

    // Watches `window` until it is framed, unless a watcher already does.
    static void watch(QWidget *window, std::optional<QPoint> intendedFrameOrigin)
    {
        // Only an X11 window manager frames a window after it is shown.
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return;
        QObject *waiting
            = window->findChild<QObject *>(QLatin1String(kWatcherName), Qt::FindDirectChildrenOnly);
        if (waiting && !intendedFrameOrigin)
            return;
        delete waiting;
        new FrameWatcher(window, intendedFrameOrigin);
    }

private:
    void check()
    {
        if (!isFramed(*m_window))
            return;
        // The window now stands at its framed place, even where nothing needs to move.
        const Placing placing(*m_window);
        if (m_intended) {
            const QPoint error = m_window->frameGeometry().topLeft() - *m_intended;
            if (!error.isNull())
                m_window->move(m_window->pos() - error);
        }
        fitOnScreen(*m_window, nullptr);
        deleteLater();
    }

    QWidget *m_window;
    std::optional<QPoint> m_intended;
};

void fitOnScreen(QWidget &window, const QWidget *reference)
{
    const Placing placing(window);
    const QMargins margins = expectedFrameMargins(window, reference);
    const bool framed = hasKnownFrame(window);
    const QRect frame = currentFrame(window, margins);
    // A window the window manager places keeps that place; it only has to fit.
    const bool placed = framed || window.testAttribute(Qt::WA_Moved);
    const QScreen *screen
        = placed ? screenOfFrame(frame) : screenOfWindow(QApplication::activeWindow());
    if (screen) {
        const QRect fitted = frameFittedInto(frame, screen->availableGeometry(),
                                             window.minimumSize().grownBy(margins));
        if (!placed && fitted.size() != frame.size())
            window.resize(fitted.size().shrunkBy(margins));
        else if (placed && fitted != frame)
            setFrame(window, fitted, margins);
    }
    if (!isFramed(window))
        FrameWatcher::watch(&window, std::nullopt);
}

class ScreenKeeper : public QObject
{
public:
    explicit ScreenKeeper(QWidget *window) : QObject(window)
    {
        setObjectName(QLatin1String(kKeeperName));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Sent before the window is mapped: it appears where it fits.
        auto *window = qobject_cast<QWidget *>(watched);
        if (window && event->type() == QEvent::Show && !event->spontaneous())
            fitOnScreen(*window, nullptr);
        return false;
    }
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
    const Placing placing(*window);
    const QMargins margins = expectedFrameMargins(*window, reference);
    const QRect available = screen->availableGeometry();
    QRect frame = frameFittedInto(currentFrame(*window, margins), available,
                                  window->minimumSize().grownBy(margins));
    frame.moveCenter(available.center());
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    setFrame(*window, frame, margins);
    if (!isFramed(*window))
        FrameWatcher::watch(window, frame.topLeft());
}

void placeOverWindow(QWidget *sheet, const QWidget *window, bool keepTop)
{
    if (!sheet || !window)
        return;
    // An unframed sheet is expected to get the frame of the window it belongs to.
    const QMargins margins = expectedFrameMargins(*sheet, window);
    const QRect content = window->geometry();
    const int top = keepTop ? sheet->geometry().top()
                            : content.top() + (content.height() - sheet->height()) / 2;
    QRect frame = currentFrame(*sheet, margins);
    frame.moveTopLeft(QPoint(content.left() + (content.width() - sheet->width()) / 2,
                             std::max(top, content.top()))
                      - QPoint(margins.left(), margins.top()));
    if (const QScreen *screen = screenOfWindow(window))
        frame = frameFittedInto(frame, screen->availableGeometry(),
                                sheet->minimumSize().grownBy(margins));
    if (frame != currentFrame(*sheet, margins))
        setFrame(*sheet, frame, margins);
}

void cascadeAmong(QWidget *window, const QWidget *previous, const QList<const QWidget *> &open,
                  int step)
{
    const bool afterPrevious = previous && previous->isVisible();
    if (!window || step <= 0 || (!afterPrevious && !window->testAttribute(Qt::WA_Moved)))
        return;
    const Placing placing(*window);
    const QMargins margins = expectedFrameMargins(*window, previous);
    const auto frameOf = [](const QWidget &other) {
        return currentFrame(other, expectedFrameMargins(other, nullptr));
    };
    QRect frame = currentFrame(*window, margins);
    const QRect available
        = screenOfFrame(afterPrevious ? frameOf(*previous) : frame)->availableGeometry();
    const QSize minimum = window->minimumSize().grownBy(margins);
    const QSize wanted = frameFittedInto(frame, available, minimum).size();
    // Down and right of `from` at the size it wants, shrunk to stay on the area, or back at the
    // area's top or left edge where even its smallest size would not fit there.
    const auto stepFrom = [&](const QPoint &from) {
        QRect next(from + QPoint(step, step), wanted);
        if (next.bottom() > available.bottom()) {
            next.setBottom(available.bottom());
            if (next.height() < minimum.height())
                next = QRect(QPoint(next.left(), available.top()),
                             QSize(next.width(), wanted.height()));
        }
        if (next.right() > available.right()) {
            next.setRight(available.right());
            if (next.width() < minimum.width())
                next = QRect(QPoint(available.left(), next.top()),
                             QSize(wanted.width(), next.height()));
        }
        return frameFittedInto(next, available, minimum);
    };
    const auto covers = [&](const QRect &candidate) {
        return std::any_of(open.begin(), open.end(), [&](const QWidget *other) {
            if (!other || other == window || !other->isVisible())
                return false;
            const QPoint offset = frameOf(*other).topLeft() - candidate.topLeft();
            return std::abs(offset.x()) < step && std::abs(offset.y()) < step;
        });
    };
    frame = afterPrevious ? stepFrom(frameOf(*previous).topLeft())
                          : frameFittedInto(frame, available, minimum);
    // Each open window is passed at most once on the way down and once after a new start.
    for (qsizetype tries = 2 * open.size() + 2; tries > 0 && covers(frame); --tries)
        frame = stepFrom(frame.topLeft());
    setFrame(*window, frame, margins);
    // The window manager's frame may differ from the one expected: the window is moved by that
    // once it is known, so that its frame stands where it was put.
    if (!isFramed(*window))
        FrameWatcher::watch(window, frame.topLeft());
}

void keepOnScreen(QWidget *window)
{
    if (window
        && !window->findChild<QObject *>(QLatin1String(kKeeperName), Qt::FindDirectChildrenOnly))
        new ScreenKeeper(window);
}

QSize availableContentSize(const QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return screen->availableGeometry().size().shrunkBy(expectedFrameMargins(window, nullptr));
}

bool standsWherePlaced(const QWidget &window)
{
    if (window.property(kPlacingProperty).toBool()
        || window.findChild<QObject *>(QLatin1String(kWatcherName), Qt::FindDirectChildrenOnly))
        return true;
    const QVariant placed = window.property(kPlacedFrameProperty);
    return placed.isValid() && placed.toRect() == QRect(window.pos(), window.size());
}

void forgetPlacement(QWidget &window)
{
    window.setProperty(kPlacedFrameProperty, QVariant());
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
