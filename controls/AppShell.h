#pragma once

// What the windows below the shell ask of it: the List and App submenus of the menu bar,
// whose items a window switches off by position while one of its views is open; the Window
// menu; and the windows the shell keeps (preferences, the list share sheet). The application
// delegate installs its implementation for its own life. A window tested on its own finds
// none and skips the request, or its test installs tests/support/RecordingAppShell.h.

#include "platform/SharedInstance.h"

#include <QString>

#include <functional>

class QWidget;

namespace tanvill {

class List;

class AppShell
{
public:
    virtual ~AppShell() = default;

    // The installed shell, or null.
    static AppShell *current() { return SharedInstance<AppShell>::find(); }

    // Switches the item at `index` of the List or App submenu on or off: the main window's add
    // field and list creator, a header page's list editor and the list order sheet do so while
    // they are open.
    virtual void setListMenuItemEnabled(int index, bool enabled) = 0;
    virtual void setAppMenuItemEnabled(int index, bool enabled) = 0;

    virtual void showPreferences() = 0;
    // Shows the share sheet of `list` over `window`; `completion` runs once, after the sheet
    // has gone, however it closed.
    virtual void shareList(List *list, QWidget *window, std::function<void()> completion) = 0;

    // The Window menu: one entry per window, titled as given. Adding a window again changes
    // nothing; an entry also goes when its window is destroyed.
    virtual void addWindowsItem(QWidget *window, const QString &title) = 0;
    virtual void changeWindowsItem(QWidget *window, const QString &title) = 0;
    virtual void removeWindowsItem(QWidget *window) = 0;
};

// Installs `shell` as AppShell::current() for the life of this object.
using AppShellRegistration = SharedRegistration<AppShell>;

} // namespace tanvill
