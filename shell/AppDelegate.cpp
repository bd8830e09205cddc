#include "shell/AppDelegate.h"

#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "lists/MainWindowController.h"
#include "platform/AlertPresenter.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "shell/Services.h"
#include "store/AppUpdater.h"

#include <QAction>
#include <QMenu>
#include <QTextStream>

namespace tanvill {

namespace {

void setItemEnabled(QMenu *submenu, int index, bool enabled)
{
    if (!submenu)
        return;
    const QList<QAction *> items = submenu->actions();
    if (index >= 0 && index < items.size())
        items[index]->setEnabled(enabled);
}

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

AppDelegate::AppDelegate(Services &services)
    : m_services(services), m_detailWindowManager(services.listsController(), services.settings())
{
    m_services.appUpdater().setLatestChangesPresenter(
        [this](const std::vector<AppUpdate> &updates) {
            m_changesWindowController.showWindow(updates);
        });

    // The main window's Window-menu entry carries the selected list's name.
    m_services.settings().observe(SettingsKeys::SelectedList, this,
                                  [this](const QVariant &) { retitleMainWindowItem(); });
    ListsController *lists = &m_services.listsController();
    for (const QString &name : { ListsControllerDidAddList, ListsControllerDidDeleteList,
                                 ListsControllerDidRearrangeLists }) {
        m_services.notificationCenter().addObserver(
            name, this, [this](const Notification &) { retitleMainWindowItem(); }, lists);
    }
}

AppDelegate::~AppDelegate()
{
    m_services.appUpdater().setLatestChangesPresenter({});
}

UserDefaults &AppDelegate::settings()
{
    return m_services.settings();
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_services.appUpdater().startUpdater();
    showMainWindow();
}

void AppDelegate::applicationWillTerminate()
{
    m_services.appUpdater().stopUpdater();
    m_services.listsController().saveWithAsync(false);
}

MainWindowController &AppDelegate::mainWindowController()
{
    if (!m_mainWindowController) {
        const MainWindowServices services {
            m_services.listsController(), m_services.settings(),  m_services.notificationCenter(),
            m_services.alertPresenter(),  m_services.workspace(), m_detailWindowManager
        };
        m_mainWindowController = std::make_unique<MainWindowController>(services);
        // For the start-up benchmark: one line once the window is on screen.
        if (qEnvironmentVariableIsSet("TANVILL_TRACE_STARTUP")) {
            connect(m_mainWindowController.get(), &MainWindowController::firstPainted, this,
                    [] { QTextStream(stdout) << "Main window painted" << Qt::endl; });
        }
    }
    return *m_mainWindowController;
}

void AppDelegate::setPreferencesWindowFactory(KeptWindow::Factory factory)
{
    m_preferencesWindow.setFactory(std::move(factory));
}

void AppDelegate::setArchiveWindowFactory(KeptWindow::Factory factory)
{
    m_archiveWindow.setFactory(std::move(factory));
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

void AppDelegate::setListSubmenu(QMenu *submenu)
{
    m_listSubmenu = submenu;
    for (const int index : std::as_const(m_listItemsHeldOff))
        setItemEnabled(submenu, index, false);
}

void AppDelegate::setAppSubmenu(QMenu *submenu)
{
    m_appSubmenu = submenu;
    for (const int index : std::as_const(m_appItemsHeldOff))
        setItemEnabled(submenu, index, false);
}

void AppDelegate::setListMenuItemEnabled(int index, bool enabled)
{
    if (enabled)
        m_listItemsHeldOff.remove(index);
    else
        m_listItemsHeldOff.insert(index);
    setItemEnabled(m_listSubmenu, index, enabled);
}

void AppDelegate::setAppMenuItemEnabled(int index, bool enabled)
{
    if (enabled)
        m_appItemsHeldOff.remove(index);
    else
        m_appItemsHeldOff.insert(index);
    setItemEnabled(m_appSubmenu, index, enabled);
}

void AppDelegate::showPreferences()
{
    if (QWidget *window = preferencesWindowController())
        bringToFront(window);
}

void AppDelegate::shareList(List *list, QWidget *window, std::function<void()> completion)
{
    if (m_shareListHandler)
        m_shareListHandler(list, window, std::move(completion));
    else if (completion)
        completion();
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

void AppDelegate::deleteList()
{
    ListsController &controller = m_services.listsController();
    List *list = controller.selectedList();
    if (!list)
        return;
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText
        = Strings::localizedFormat(QStringLiteral("DeleteListTitle"), { list->name() });
    alert.informativeText = Strings::localized(QStringLiteral("This can't be undone."));
    alert.buttons
        = { Strings::localized(QStringLiteral("Yes")), Strings::localized(QStringLiteral("No")) };
    AlertPresenter &alerts = m_services.alertPresenter();
    if (alerts.runModal(alert).buttonIndex != 0)
        return;
    if (const std::optional<Error> error = controller.deleteList(list))
        alerts.presentError(*error);
}

} // namespace tanvill
