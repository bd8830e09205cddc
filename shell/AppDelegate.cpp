#include "shell/AppDelegate.h"

#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "core/store/ObjectStore.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindow.h"
#include "lists/ArchiveWindowController.h"
#include "lists/ListEditorDelegate.h"
#include "lists/ListViewController.h"
#include "lists/MainViewController.h"
#include "lists/MainWindowController.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/NotificationCenter.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "sharing/AppShopperImportWindow.h"
#include "sharing/ListShareSheet.h"
#include "shell/KeptChangesNotices.h"
#include "shell/PreferencesWindowController.h"
#include "shell/Services.h"
#include "shell/StartupTrace.h"
#include "shell/WelcomeViewController.h"
#include "store/AppUpdater.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>

namespace tanvill {

namespace {

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

AppDelegate *AppDelegate::sharedAppDelegate()
{
    return SharedInstance<AppDelegate>::find();
}

AppDelegate::AppDelegate(Services &services, LinkFolder::StepHook linkFolderSteps)
    : m_services(services), m_detailWindowManager(services.listsController(), services.settings()),
      m_linkLoop(services,
                 { [this] { applicationShouldHandleReopen(); },
                   [this]() -> MainViewController & {
                       showMainWindow();
                       return *mainWindowController().contentViewController();
                   } },
                 LinkInbox::defaultFolder(), std::move(linkFolderSteps)),
      m_quit([] { QCoreApplication::exit(0); })
{
    m_mainMenu = std::make_unique<MainMenu>(
        m_windowMenu.menu(),
        settings().boolean(SettingsKeys::EnableSuperSecretAppIdentifierMenuItem));
    m_services.appUpdater().setLatestChangesPresenter(
        [this](const std::vector<AppUpdate> &updates) {
            m_changesWindowController.showWindow(updates);
        });
    m_services.workspace().setFailureHandler([this](const QUrl &url) { showLinkFailure(url); });
    m_services.appUpdater().setRefreshStartHandler([this] { m_linkLoop.retry(); });
    connectMenu();
    observe();
    updateMenus();
}

AppDelegate::~AppDelegate()
{
    m_services.appUpdater().setLatestChangesPresenter({});
    m_services.appUpdater().setRefreshStartHandler({});
    m_services.workspace().setFailureHandler({});
    m_services.notificationCenter().removeObservers(this);
    // The windows go after this body: their tables tell nothing back while they close.
    if (m_mainWindowController)
        m_mainWindowController->contentViewController()->listViewController()->disconnect(this);
    if (m_appShopperImportWindow)
        delete m_appShopperImportWindow.data();
}

UserDefaults &AppDelegate::settings()
{
    return m_services.settings();
}

void AppDelegate::observe()
{
    m_services.settings().observe(SettingsKeys::SelectedList, this,
                                  [this](const QVariant &) { selectedListChanged(); });
    NotificationCenter &center = m_services.notificationCenter();
    ListsController *lists = &m_services.listsController();
    const auto menusOnly = [this](const Notification &) {
        updateMenus();
    };
    center.addObserver(ListsControllerDidAddList, this, menusOnly, lists);
    center.addObserver(
        ListsControllerDidDeleteList, this,
        [this](const Notification &) {
            updateMenus();
            // The selected list may be another one without a new position being written.
            retitleMainWindowItem();
        },
        lists);
    center.addObserver(
        DetailWindowManagerFocussedAppChanged, this,
        [this](const Notification &notification) { focussedAppChanged(notification); });
    // Applications added to or taken from a list decide whether it can be shared.
    center.addObserver(
        ListsControllerDidUpdateList, this, [this](const Notification &) { updateShareListItem(); },
        lists);
    center.addObserver(
        ListsControllerDidMoveApp, this,
        [this](const Notification &notification) { appDidMove(notification); }, lists);
    center.addObserver(
        AppUpdaterDidUpdate, this, [this](const Notification &) { updateLatestChangesItem(); },
        &m_services.appUpdater());
    // The menus follow the lists' new order.
    center.addObserver(
        ListsControllerDidRearrangeLists, this,
        [this](const Notification &) { selectedListChanged(); }, lists);
    // A list renamed in its editor: Delete and the Window menu name the list anew.
    center.addObserver(ListEditorDidUpateListNotification, this, [this](const Notification &) {
        updateMenus();
        retitleMainWindowItem();
    });
}

void AppDelegate::selectedListChanged()
{
    updateMenus();
    // Makes the main window controller when there is none yet (the welcome window just made
    // the first list), without showing it.
    mainWindowController();
    retitleMainWindowItem();
}

void AppDelegate::focussedAppChanged(const Notification &notification)
{
    m_responsibleSummaryController = tanvill::responsibleSummaryController(notification);
    // A detail window taking the focus for the first time gets the menu bar it acts through.
    QWidget *window = QApplication::activeWindow();
    if (m_responsibleSummaryController && qobject_cast<DetailWindow *>(window)
        && !window->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly))
        installMenuBar(window);
    updateMenus();
}

void AppDelegate::updateLatestChangesItem()
{
    m_mainMenu->latestChangesMenuItem->setEnabled(
        m_services.appUpdater().currentUpdate().has_value());
}

void AppDelegate::applicationDidFinishLaunching()
{
    // Without its store this start says only that, and quits once the user has read it: no
    // window opens behind that alert, and the changes kept earlier and the links it was given
    // wait for a start that opens the store.
    if (!ObjectStore::isUsable(m_services.listsController().openResult().outcome))
        return;
    AppUpdater &updater = m_services.appUpdater();
    updater.startUpdater();
    // A store country chosen whose refresh did not reach every application (the program ended
    // first, or some look-ups failed) is finished now, though refreshing does not run by itself.
    if (!updater.isRunning() && m_services.listsController().holdsAppsOfAnotherStore())
        updater.update();
    if (!m_services.listsController().lists().empty())
        showMainWindow();
    else
        bringToFront(&welcomeWindowController());
    updateMenus();
    setSortingAndGroupingFromSettings();
    setUpTrayIcon();
    tellAboutKeptChanges();
    m_linkLoop.start();
}

void AppDelegate::applicationShouldHandleReopen()
{
    if (!m_services.listsController().lists().empty())
        showMainWindow();
    else
        bringToFront(&welcomeWindowController());
}

void AppDelegate::setUpTrayIcon()
{
    // Without a tray icon nothing would be left to reopen or quit the application once its
    // last window is closed: closing it quits, through the same path as Quit.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] {
            if (m_quitRequested)
                return;
            terminate();
            // The user chose to keep it running: give them a window to do so with.
            if (!m_quitRequested)
                applicationShouldHandleReopen();
        });
        return;
    }
    m_trayIcon = std::make_unique<QSystemTrayIcon>(
        QIcon(QStringLiteral(":/icons/com.tanvill.Tanvill.svg")));
    m_trayIcon->setToolTip(QStringLiteral("Tanvill"));
    auto *menu = new QMenu;
    connect(m_trayIcon.get(), &QObject::destroyed, menu, &QObject::deleteLater);
    menu->addAction(Strings::localized("TrayOpen"), this,
                    &AppDelegate::applicationShouldHandleReopen);
    menu->addSeparator();
    menu->addAction(m_mainMenu->quitItem);
    m_trayIcon->setContextMenu(menu);
    connect(m_trayIcon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    applicationShouldHandleReopen();
            });
    m_trayIcon->show();
}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate()
{
    UserDefaults &defaults = settings();
    if (defaults.boolean(SettingsKeys::SuppressQuitWarning))
        return TerminateReply::Now;
    if (!defaults.boolean(SettingsKeys::AutomaticallyUpdateApps, true))
        return TerminateReply::Now;
    if (!defaults.boolean(SettingsKeys::NotifyAboutPricing)
        && !defaults.boolean(SettingsKeys::NotifyAboutVersion)
        && !defaults.boolean(SettingsKeys::NotifyAboutRating))
        return TerminateReply::Now;

    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText = Strings::localized("NotificationQuitWarningTitle");
    alert.informativeText = Strings::localized("NotificationQuitWarningMessage");
    alert.showsSuppressionButton = true;
    // "No" is the default (Return) and what Escape chooses: nobody quits by accident.
    alert.buttons = { Strings::localized("No"), Strings::localized("Yes") };
    alert.cancelButton = 0;
    const AlertAnswer answer = m_services.alertPresenter().runModal(alert);
    if (answer.suppressionChecked)
        defaults.setValue(SettingsKeys::SuppressQuitWarning, true);
    return answer.buttonIndex == 0 ? TerminateReply::Cancel : TerminateReply::Now;
}

void AppDelegate::terminate()
{
    // Closing the last window while the quit warning is open, or while quitting saves, must
    // not ask again.
    if (m_terminating)
        return;
    m_terminating = true;
    if (applicationShouldTerminate() != TerminateReply::Now) {
        m_terminating = false;
        return;
    }
    m_quitRequested = true;
    saveThenQuit();
}

void AppDelegate::saveThenQuit()
{
    // The windows keep answering while another program holds the store: the user is asked
    // once the store has refused for a moment, not once every wait for it has passed.
    m_services.listsController().objectStore().saveForQuitting(
        kQuitSaveLockWaitMs,
        [self = QPointer<AppDelegate>(this)](const std::optional<QString> &error) {
            if (!self)
                return;
            if (!error) {
                self->forgetChangesKeptEarlier();
                self->endQuit();
                return;
            }
            Alert alert;
            alert.style = Alert::Style::Critical;
            alert.messageText = Strings::localized("QuitSaveFailedTitle");
            alert.informativeText
                = Strings::localizedFormat(QStringLiteral("QuitSaveFailedMessage"), { *error });
            alert.buttons = { Strings::localized("QuitSaveFailedRetry"),
                              Strings::localized("QuitSaveFailedQuitAnyway") };
            const AlertAnswer answer = self->m_services.alertPresenter().runModal(alert);
            if (answer.answered && answer.buttonIndex == 0) {
                self->saveThenQuit();
                return;
            }
            // Unanswered, the alert's loop ended under it (the session ends): the quit goes on,
            // and the next start tells where the changes are.
            self->keepUnsavedChanges(answer.answered);
            // Everything is kept: the last save as the process ends does not wait for the store
            // again.
            self->m_keptAsQuitting = true;
            self->endQuit();
        });
}

void AppDelegate::endQuit()
{
    m_terminating = false;
    m_quit();
}

void AppDelegate::forgetChangesKeptEarlier()
{
    // Changes this run kept earlier (a logout that was then cancelled, a quit whose store was
    // let go of while it asked) are in the store now, when there is one: the files that hold
    // them are copies of what it holds, and go, lest one put in its place later undo what came
    // after. Files other copies kept are not this one's to forget.
    QStringList kept = m_keptChangesOfThisRun;
    if (!m_keptChangesShown.isEmpty() && !kept.contains(m_keptChangesShown))
        kept << m_keptChangesShown;
    if (!ObjectStore::isUsable(m_services.listsController().objectStore().openResult().outcome)
        || kept.isEmpty())
        return;
    changeKeptChangesNotices(settings(), [&kept](QStringList &files) {
        for (const QString &file : std::as_const(kept))
            files.removeAll(file);
    });
    for (const QString &file : std::as_const(kept)) {
        if (QFile::remove(file))
            qInfo().noquote() << "Your changes were saved after all; the copy kept of them is"
                                 " removed:"
                              << QDir::toNativeSeparators(file);
    }
    m_keptChangesOfThisRun.clear();
    m_keptChangesShown.clear();
}

bool AppDelegate::saveBeforeQuitting()
{
    ObjectStore &store = m_services.listsController().objectStore();
    // Nobody is asked: the save and the copy of what it could not write are one write of the
    // user's data, which the quit deadline waits for.
    const QuitSignals::DeadlineHold writing;
    const std::optional<QString> error = store.save(false);
    if (!error) {
        forgetChangesKeptEarlier();
        return true;
    }
    qCritical().noquote() << "The store could not be saved before quitting:" << *error;
    keepUnsavedChanges(false);
    return true;
}

void AppDelegate::keepUnsavedChanges(bool tell)
{
    // Asked again at the end of the same quit, with nothing changed since, the store gives
    // the file it kept then.
    QString error;
    const std::optional<QString> kept
        = m_services.listsController().objectStore().keepUnsavedChanges(&error);
    if (!kept && error.isEmpty())
        return;
    if (!kept)
        qCritical().noquote() << "Your unsaved changes could not be kept anywhere:" << error;
    // The next start tells of the file, unless the user learns of it now: whatever ends the
    // process while the alert is up, the notice waits.
    if (kept && *kept != m_keptChangesShown) {
        // It holds everything this run kept before: the earlier ones need no word.
        const QStringList earlier = std::exchange(m_keptChangesOfThisRun, { *kept });
        if (!changeKeptChangesNotices(settings(), [&kept, &earlier](QStringList &files) {
                for (const QString &file : earlier)
                    files.removeAll(file);
                if (!files.contains(*kept))
                    files << *kept;
            }))
            qCritical().noquote() << "The next start cannot be told where your changes are "
                                     "kept, as the settings cannot be written:"
                                  << *kept;
    }
    if (!tell)
        return;
    Alert alert;
    alert.style = kept ? Alert::Style::Informational : Alert::Style::Critical;
    alert.messageText
        = Strings::localized(kept ? "UnsavedChangesKeptTitle" : "UnsavedChangesLostTitle");
    alert.informativeText = kept
        ? Strings::localizedFormat(QStringLiteral("UnsavedChangesKeptMessage"),
                                   { QDir::toNativeSeparators(*kept) })
        : error;
    if (!m_services.alertPresenter().runModal(alert).answered || !kept)
        return;
    // Told now, of a file holding the latest of everything this run kept.
    m_keptChangesShown = *kept;
    changeKeptChangesNotices(settings(), [this, &kept](QStringList &files) {
        for (const QString &file : std::as_const(m_keptChangesOfThisRun))
            files.removeAll(file);
        files.removeAll(*kept);
    });
    m_keptChangesOfThisRun.clear();
}

void AppDelegate::tellAboutKeptChanges()
{
    QStringList notices;
    // Gone: the user has dealt with it.
    changeKeptChangesNotices(settings(), [&notices](QStringList &files) {
        files.removeIf([](const QString &kept) { return !QFileInfo(kept).isFile(); });
        notices = files;
    });
    for (const QString &kept : std::as_const(notices)) {
        Alert alert;
        alert.style = Alert::Style::Warning;
        alert.messageText = Strings::localized("UnsavedChangesKeptOnQuitTitle");
        alert.informativeText = Strings::localizedFormat(
            QStringLiteral("UnsavedChangesKeptOnQuitMessage"),
            { QDir::toNativeSeparators(kept),
              QDir::toNativeSeparators(m_services.listsController().objectStore().path()) });
        // Told once the user has answered: an alert the program ends under is told again at
        // the next start.
        m_services.alertPresenter().present(
            alert, [self = QPointer<AppDelegate>(this), kept](const AlertAnswer &answer) {
                if (answer.answered && self)
                    changeKeptChangesNotices(
                        self->settings(), [&kept](QStringList &files) { files.removeAll(kept); });
            });
    }
}

void AppDelegate::applicationWillTerminate()
{
    m_linkLoop.keepUnkept();
    m_services.appUpdater().stopUpdater();
    m_services.listsController().objectStore().prepareToQuit(
        m_keptAsQuitting ? 0 : ObjectStore::kQuitLockWaitMs);
    saveBeforeQuitting();
}

MainWindowController &AppDelegate::mainWindowController()
{
    if (!m_mainWindowController) {
        const MainWindowServices services {
            m_services.listsController(), m_services.settings(),  m_services.notificationCenter(),
            m_services.alertPresenter(),  m_services.workspace(), m_detailWindowManager
        };
        m_mainWindowController = std::make_unique<MainWindowController>(services);
        installMenuBar(m_mainWindowController.get());
        connect(m_mainWindowController->contentViewController()->listViewController(),
                &ListViewController::ringedAppChanged, this, &AppDelegate::ringedAppChanged);
        if (qEnvironmentVariableIsSet("TANVILL_TRACE_STARTUP"))
            traceStartup(*m_mainWindowController);
    }
    return *m_mainWindowController;
}

WelcomeViewController &AppDelegate::welcomeWindowController()
{
    if (!m_welcomeWindowController) {
        m_welcomeWindowController
            = std::make_unique<WelcomeViewController>(m_services.listsController());
        m_welcomeWindowController->addAction(m_mainMenu->quitItem);
        m_welcomeWindowController->setListCreatedHandler([this] { showMainWindow(); });
    }
    return *m_welcomeWindowController;
}

PreferencesWindowController &AppDelegate::preferencesWindowController()
{
    if (!m_preferencesWindowController) {
        m_preferencesWindowController = std::make_unique<PreferencesWindowController>(
            PreferencesServices { m_services.settings(), m_services.alertPresenter(),
                                  m_services.appUpdater(), m_services.workspace() });
    }
    return *m_preferencesWindowController;
}

ArchiveWindowController &AppDelegate::archiveWindowController()
{
    if (!m_archiveWindowController) {
        m_archiveWindowController = std::make_unique<ArchiveWindowController>(
            m_services.listsController(), m_services.settings());
    }
    return *m_archiveWindowController;
}

void AppDelegate::showMainWindow()
{
    MainWindowController &window = mainWindowController();
    window.showWindow();
    List *selected = m_services.listsController().selectedList();
    m_windowMenu.addWindowsItem(&window, selected ? selected->name() : window.windowTitle());
}

void AppDelegate::retitleMainWindowItem()
{
    // Without lists there is no name to give; the entry keeps the one it has.
    List *selected = m_services.listsController().selectedList();
    if (m_mainWindowController && selected)
        m_windowMenu.changeWindowsItem(m_mainWindowController.get(), selected->name());
}

void AppDelegate::installMenuBar(QWidget *window)
{
    QMenuBar *bar = m_mainMenu->installMenuBar(window);
    if (auto *mainWindow = qobject_cast<QMainWindow *>(window)) {
        mainWindow->setMenuBar(bar);
    } else if (window->layout()) {
        window->layout()->setMenuBar(bar);
        // At once, not when the layout gets to it: the window's own Ctrl+W is off already.
        bar->show();
    }
}

void AppDelegate::setListMenuItemEnabled(int index, bool enabled)
{
    if (enabled)
        m_listItemsHeldOff.remove(index);
    else
        m_listItemsHeldOff.insert(index);
    updateMenus();
}

void AppDelegate::setAppMenuItemEnabled(int index, bool enabled)
{
    if (enabled)
        m_appItemsHeldOff.remove(index);
    else
        m_appItemsHeldOff.insert(index);
    const QList<QAction *> items = m_mainMenu->appMenu()->actions();
    // The add field closing under the share sheet leaves Add App… off until the sheet goes.
    if (index >= 0 && index < items.size())
        items[index]->setEnabled(enabled && !(index == MainMenu::kAddAppIndex && m_shareSheetOpen));
}

void AppDelegate::showPreferences()
{
    preferencesWindowController().showWindow(m_mainWindowController.get());
}

void AppDelegate::shareList(List *list, QWidget *window, std::function<void()> completion)
{
    // One share sheet at a time: while it is open the List items that would open another
    // sheet over the window are off (updateMenus).
    if (!list || list->isDeleted() || !window || m_shareSheetOpen) {
        if (completion)
            completion();
        return;
    }
    m_shareSheetOpen = true;
    updateMenus();
    ListShareSheet::present(
        window, list, [self = QPointer<AppDelegate>(this), completion = std::move(completion)] {
            // A sheet that goes with its window as the delegate is taken down reaches it no
            // more: it is no longer the shell by then.
            if (self && AppShell::current() == self.data()) {
                self->m_shareSheetOpen = false;
                self->updateMenus();
            }
            if (completion)
                completion();
        });
}

void AppDelegate::addWindowsItem(QWidget *window, const QString &title)
{
    m_windowMenu.addWindowsItem(window, title);
}

void AppDelegate::changeWindowsItem(QWidget *window, const QString &title)
{
    m_windowMenu.changeWindowsItem(window, title);
}

void AppDelegate::removeWindowsItem(QWidget *window)
{
    m_windowMenu.removeWindowsItem(window);
}

} // namespace tanvill
