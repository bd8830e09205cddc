#pragma once

// The application's delegate: the one object that lives from the end of start-up to the end
// of the process, and the shell's composition root for windows. It holds the window
// controllers (each made on first use and kept, so a closed window comes back), implements
// what the windows ask of the shell (AppShell) and installs itself as that for its life, keeps
// the Window menu, starts the periodic updater and shows the main window when launch finishes,
// deletes lists on the user's word and saves the store when the application terminates.
// app/main.cpp makes it after the services and calls it.

#include "controls/AppShell.h"
#include "details/DetailWindowManager.h"
#include "platform/SharedInstance.h"
#include "shell/KeptWindow.h"
#include "shell/WindowMenu.h"
#include "store/widgets/ChangesWindowController.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <memory>

class QMenu;

namespace tanvill {

class MainWindowController;
class Services;
class UserDefaults;

class AppDelegate : public QObject, public AppShell
{
    Q_OBJECT

public:
    // The running application's delegate; null before it is made and after it is gone.
    static AppDelegate *sharedAppDelegate();

    // Uses `services`, which must outlive the delegate.
    explicit AppDelegate(Services &services);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Writes the store and waits for it, so that nothing is lost when the process ends.
    void applicationWillTerminate();

    // The window controllers, each made on first use and then kept.
    MainWindowController &mainWindowController();
    // The preferences and archive windows, once their code has given the factory that makes
    // them (null until then). The archive window's frame is kept as "ArchiveWindowFrame"; the
    // preferences window keeps none.
    QWidget *preferencesWindowController() { return m_preferencesWindow.window(settings()); }
    QWidget *archiveWindowController() { return m_archiveWindow.window(settings()); }
    void setPreferencesWindowFactory(KeptWindow::Factory factory);
    void setArchiveWindowFactory(KeptWindow::Factory factory);
    // Opens the detail windows of the applications clicked in the lists.
    DetailWindowManager &detailWindowManager() { return m_detailWindowManager; }
    // Opens the Latest Changes window; the updater shows its changes through it.
    ChangesWindowController &currentChangeWindowController() { return m_changesWindowController; }

    // Shows the main window and lists it in the Window menu under the selected list's name.
    void showMainWindow();

    WindowMenu &windowMenu() { return m_windowMenu; }

    // The List and App submenus of the menu bar, once it is made. Items switched off by
    // position (setListMenuItemEnabled) stay off, also in submenus given later, until switched
    // on again; whoever enables the items from the data asks isListMenuItemHeldOff first.
    void setListSubmenu(QMenu *submenu);
    void setAppSubmenu(QMenu *submenu);
    bool isListMenuItemHeldOff(int index) const { return m_listItemsHeldOff.contains(index); }
    bool isAppMenuItemHeldOff(int index) const { return m_appItemsHeldOff.contains(index); }

    // Shows list share sheets once the sharing code has given its way of doing it; until then
    // a request ends at once.
    using ShareListHandler
        = std::function<void(List *list, QWidget *window, std::function<void()> completion)>;
    void setShareListHandler(ShareListHandler handler) { m_shareListHandler = std::move(handler); }

    // Asks whether to delete the selected list and deletes it after "Yes".
    void deleteList();

    // AppShell
    void setListMenuItemEnabled(int index, bool enabled) override;
    void setAppMenuItemEnabled(int index, bool enabled) override;
    void showPreferences() override;
    void shareList(List *list, QWidget *window, std::function<void()> completion) override;
    void addWindowsItem(QWidget *window, const QString &title) override;
    void changeWindowsItem(QWidget *window, const QString &title) override;
    void removeWindowsItem(QWidget *window) override;

private:
    UserDefaults &settings();
    void retitleMainWindowItem();

    Services &m_services;
    ChangesWindowController m_changesWindowController;
    WindowMenu m_windowMenu;
    DetailWindowManager m_detailWindowManager;
    std::unique_ptr<MainWindowController> m_mainWindowController;
    KeptWindow m_preferencesWindow;
    KeptWindow m_archiveWindow { QStringLiteral("ArchiveWindowFrame") };
    QPointer<QMenu> m_listSubmenu;
    QPointer<QMenu> m_appSubmenu;
    QSet<int> m_listItemsHeldOff;
    QSet<int> m_appItemsHeldOff;
    ShareListHandler m_shareListHandler;
    SharedRegistration<AppDelegate> m_registration { this };
    AppShellRegistration m_shellRegistration { this };
};

} // namespace tanvill
