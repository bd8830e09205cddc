#include "controls/WindowsMenuEntry.h"

#include "controls/AppShell.h"

#include <QEvent>
#include <QWidget>

namespace tanvill {

namespace {

class WindowsMenuEntry : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QWidget *>(watched);
        AppShell *shell = AppShell::current();
        if (!window || !shell)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            shell->addWindowsItem(window, window->windowTitle());
            break;
        case QEvent::WindowTitleChange:
            if (window->isVisible())
                shell->changeWindowsItem(window, window->windowTitle());
            break;
        case QEvent::Hide:
            // A minimised window stays in the menu.
            if (!event->spontaneous())
                shell->removeWindowsItem(window);
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

void listInWindowsMenuWhileOpen(QWidget *window)
{
    window->installEventFilter(new WindowsMenuEntry(window));
}

} // namespace tanvill
