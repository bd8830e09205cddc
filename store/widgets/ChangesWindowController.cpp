#include "store/widgets/ChangesWindowController.h"

#include "controls/DarkStyle.h"
#include "controls/WindowPlacement.h"
#include "controls/WindowShortcuts.h"
#include "controls/WindowsMenuEntry.h"
#include "core/SettingsKeys.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "store/widgets/ChangesViewController.h"

#include <QGuiApplication>
#include <QWindow>

namespace tanvill {

namespace {

const QString kFrameKey = windowFrameSettingsKey(QStringLiteral("Changes Window"));

// Keeps the window's place between openings, like every window of the application.
class FrameKeeper : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto *widget = qobject_cast<const QWidget *>(watched);
        if (widget && (event->type() == QEvent::Close || event->type() == QEvent::Hide)) {
            // pos() includes the window frame, as move() expects it back.
            const QRect frame(widget->pos(), widget->size());
            UserDefaults::standard().setValue(
                kFrameKey,
                QStringLiteral("%1 %2 %3").arg(frame.x()).arg(frame.y()).arg(frame.width()));
        }
        return false;
    }
};

} // namespace

ChangesWindowController::~ChangesWindowController()
{
    delete m_current.data();
}

void ChangesWindowController::showWindow(const std::vector<AppUpdate> &updates)
{
    if (m_current)
        m_current->close();

    auto *window = new ChangesViewController;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(Strings::localized(QStringLiteral("Latest Changes")));
    window->setPalette(darkPalette());
    window->setAutoFillBackground(true);
    // Up to four rows the window takes their height; a longer list shows four whole rows and
    // scrolls, rather than one row at a time.
    window->resize(
        kDefaultWidth,
        int(ChangesViewController::kRowsShownWhole * ChangesViewController::kTallestRowHeight));

    const QStringList frame = UserDefaults::standard().string(kFrameKey).split(QLatin1Char(' '));
    if (frame.size() == 3) {
        bool okX = false, okY = false, okWidth = false;
        const int x = frame[0].toInt(&okX), y = frame[1].toInt(&okY);
        const int width = frame[2].toInt(&okWidth);
        if (okX && okY && okWidth && width >= 200 && width <= 4000) {
            // A screen that has gone since must not take the window with it.
            if (QGuiApplication::screenAt(QPoint(x, y)))
                window->move(x, y);
            window->resize(width, window->height());
        }
    }
    window->installEventFilter(new FrameKeeper(window));
    keepOnScreen(window);
    listInWindowsMenuWhileOpen(window);
    closeWindowOnStandardKeys(window);

    window->setUpdates(updates);
    window->show();
    window->raise();
    window->activateWindow();
    m_current = window;
}

} // namespace tanvill
