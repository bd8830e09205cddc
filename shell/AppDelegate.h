#pragma once

// The application's delegate: the one object that lives from the end of start-up to the end
// of the process, and the shell's composition root for windows. It holds the window
// controllers (each made on first use and kept, so a closed window comes back), implements
// what the windows ask of the shell (AppShell) and installs itself as that for its life. It
// shows the main window, or the welcome window while no list exists, when launch finishes and
// on every reopen; keeps the menu bar's items in step with the data (updateMenus, in
// AppDelegateMenus.cpp) and answers them; hands what launches send to its LinkLoop, which turns
// links into additions; asks before quitting while refreshes and change notifications are on;
// and saves the store before the process ends. app/main.cpp makes it after the services and
// calls it.

#include "controls/AppShell.h"
#include "details/DetailWindowManager.h"
#include "platform/Error.h"
#include "platform/InstanceProtocol.h"
#include "platform/SharedInstance.h"
#include "sharing/AppShopperImportWindow.h"
#include "shell/LinkLoop.h"
#include "shell/MainMenu.h"
#include "shell/WindowMenu.h"
#include "store/widgets/ChangesWindowController.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace tanvill {

class AppSummaryController;
class ArchiveWindowController;
class List;
class MainWindowController;
class PreferencesWindowController;
class Services;
class UserDefaults;
class WelcomeViewController;
struct Notification;

class AppDelegate : public QObject, public AppShell
{
    Q_OBJECT

public:
    // The running application's delegate; null before it is made and after it is gone.
    static AppDelegate *sharedAppDelegate();

    // Uses `services`, which must outlive the delegate; `linkFolderSteps` watches or fails the
    // steps that keep links (tests).
    explicit AppDelegate(Services &services, LinkFolder::StepHook linkFolderSteps = {});
    ~AppDelegate() override;

    // Starts the updater, shows the main window (the welcome window while there is no list),
    // sets the menus from the data and the saved sorting and grouping, and then takes the
    // links that arrived meanwhile.
    void applicationDidFinishLaunching();
    // The desktop asked for the application again (a launch without a link, the tray icon):
    // the main window, or the welcome window while there is no list.
    void applicationShouldHandleReopen();

    // What quitting would do now: go on, or ask first and maybe not.
    enum class TerminateReply { Now, Cancel };
    // Asks, when refreshes and any change notification are on, unless the user said not to.
    TerminateReply applicationShouldTerminate();
    // Quit, closing the last window without a tray icon: asks as above, saves and, when the
    // store is written (or the user chose to quit anyway), ends the event loop. The save goes
    // on while the windows answer; a store another program holds is told of within a second.
    void terminate();
    // Ends the event loop (tests give their own).
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }
    // Writes the store and waits for everything pending to reach the file, asking nobody: what
    // cannot be written is kept in a file beside the store, and the next start says where.
    // Returns whether the process may end.
    bool saveBeforeQuitting();
    // The end of the process (the event loop is over: Quit, SIGTERM, SIGINT, the session
    // ending): stops the updater and saves without asking anyone. Links not added yet stay
    // kept for the next start.
    void applicationWillTerminate();

    // A message from a launch, this one's own included: a "tanvill:" link or "reopen" (see
    // LinkLoop).
    instance::Answer takeMessage(const QString &message,
                                 LinkLoop::From from = LinkLoop::From::Launch)
    {
        return m_linkLoop.takeMessage(message, from);
    }
    // Links taken and not let go yet.
    int waitingLinkCount() const { return m_linkLoop.waitingLinkCount(); }

    // The window controllers, each made on first use and then kept.
    MainWindowController &mainWindowController();
    WelcomeViewController &welcomeWindowController();
    PreferencesWindowController &preferencesWindowController();
    ArchiveWindowController &archiveWindowController();
    // Opens the detail windows of the applications clicked in the lists.
    DetailWindowManager &detailWindowManager() { return m_detailWindowManager; }
    // The wish-list import window while it is open.
    AppShopperImportWindow *appShopperImportWindowController() const
    {
        return m_appShopperImportWindow;
    }
    // Opens the Latest Changes window; the updater shows its changes through it.
    ChangesWindowController &currentChangeWindowController() { return m_changesWindowController; }

    // Shows the main window and lists it in the Window menu under the selected list's name.
    void showMainWindow();

    WindowMenu &windowMenu() { return m_windowMenu; }
    MainMenu &mainMenu() { return *m_mainMenu; }

    // The summary controller the App menu acts on: the focused detail window's, else that of
    // the main window's row the keyboard rings; none while neither is there.
    QObject *responsibleSummaryController() const { return m_responsibleSummaryController; }

    // Enables and titles the items that depend on the lists, the selected list, the latest
    // refresh and the focused detail window.
    void updateMenus();

    // Menu actions
    void sendFeedback();
    void addApp();
    void addList();
    void editList();
    void shareSelectedList();
    // Asks whether to delete the selected list and deletes it after "Yes".
    void deleteList();
    void showArchive();
    void showLatestChanges();
    void selectNextList();
    void selectPreviousList();
    void showSupportPage();
    void didSelectListSorting(QAction *sender);
    void didSelectListGrouping(QAction *sender);
    void rearrangeLists();
    void showAppShopperImport();

    // Held-off items of the List and App submenus (see AppShell).
    bool isListMenuItemHeldOff(int index) const { return m_listItemsHeldOff.contains(index); }
    bool isAppMenuItemHeldOff(int index) const { return m_appItemsHeldOff.contains(index); }

    // AppShell
    void setListMenuItemEnabled(int index, bool enabled) override;
    void setAppMenuItemEnabled(int index, bool enabled) override;
    void showPreferences() override;
    void shareList(List *list, QWidget *window, std::function<void()> completion) override;
    void addWindowsItem(QWidget *window, const QString &title) override;
    void changeWindowsItem(QWidget *window, const QString &title) override;
    void removeWindowsItem(QWidget *window) override;

private:
    // Gives a window (main, archive, detail windows) the application's menu bar.
    void installMenuBar(QWidget *window);
    UserDefaults &settings();
    void connectMenu();
    void observe();
    void selectedListChanged();
    void focussedAppChanged(const Notification &notification);
    // The keyboard rings another row of the main window's list, or none.
    void ringedAppChanged();
    void appDidMove(const Notification &notification);
    void updateLatestChangesItem();
    void updateShareListItem();
    void holdListItemsOff();
    // Tells the user that a link (feedback mail, support or store page) did not open, with
    // its address to open by hand.
    void showLinkFailure(const QUrl &url);
    void retitleMainWindowItem();
    AppSummaryController *focusedSummaryController() const;
    void updateAppMenu(int listCount);
    void setSortingAndGroupingFromSettings();
    void setUpTrayIcon();
    // The save of a quit the user asked for: a failure is shown with Retry and Quit Anyway.
    void saveThenQuit();
    void endQuit();
    // The files of changes this run kept are held by the store now.
    void forgetChangesKeptEarlier();
    // Changes that cannot reach the store when the program ends go to a file beside it, and
    // the next start tells the user where; with `tell`, an alert tells them now, and once they
    // have answered it the next start has nothing to tell.
    void keepUnsavedChanges(bool tell);
    // At the start after changes were kept at quitting: where each file is and how to go on
    // with it, until the user has answered that alert.
    void tellAboutKeptChanges();

    Services &m_services;
    ChangesWindowController m_changesWindowController;
    WindowMenu m_windowMenu;
    DetailWindowManager m_detailWindowManager;
    std::unique_ptr<MainMenu> m_mainMenu;
    std::unique_ptr<MainWindowController> m_mainWindowController;
    std::unique_ptr<WelcomeViewController> m_welcomeWindowController;
    std::unique_ptr<PreferencesWindowController> m_preferencesWindowController;
    std::unique_ptr<ArchiveWindowController> m_archiveWindowController;
    QPointer<AppShopperImportWindow> m_appShopperImportWindow;
    QPointer<QObject> m_responsibleSummaryController;
    // The controller of the main window's row the keyboard rings.
    QPointer<AppSummaryController> m_ringedSummaryController;
    // The controller the App items are connected to, so that re-pointing them cuts them loose.
    QPointer<QObject> m_appMenuTarget;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    QSet<int> m_listItemsHeldOff;
    QSet<int> m_appItemsHeldOff;
    bool m_listOrderSheetOpen = false;
    bool m_shareSheetOpen = false;
    LinkLoop m_linkLoop;
    // How long the save of a quit waits for a store another program holds before it asks.
    static constexpr int kQuitSaveLockWaitMs = 1000;
    bool m_terminating = false;
    bool m_quitRequested = false;
    // The user chose to quit anyway, everything kept beside the store.
    bool m_keptAsQuitting = false;
    // The files of kept changes this run wrote: a later save that succeeds holds what they hold.
    QStringList m_keptChangesOfThisRun;
    // The file of kept changes the user was shown at quitting.
    QString m_keptChangesShown;
    std::function<void()> m_quit;
    SharedRegistration<AppDelegate> m_registration { this };
    AppShellRegistration m_shellRegistration { this };
};

} // namespace tanvill
