// The menu side of the application delegate: the items that follow the data (updateMenus) and
// the actions the menu bar sends.

#include "controls/MenuItemTitle.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListGrouping.h"
#include "core/ListSorting.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "details/AppSummaryController.h"
#include "lists/ArchiveWindowController.h"
#include "lists/FeedbackWindows.h"
#include "lists/HeaderController.h"
#include "lists/HeaderViewController.h"
#include "lists/ListOrderViewController.h"
#include "lists/ListViewController.h"
#include "lists/MainViewController.h"
#include "lists/MainWindowController.h"
#include "platform/AlertPresenter.h"
#include "platform/HttpClient.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "sharing/AppShopperImportWindow.h"
#include "shell/AppDelegate.h"
#include "shell/Services.h"
#include "store/AppUpdater.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace tanvill {

namespace {

// What a mail to no one in particular (a link shared by mail) was to carry, for the user to
// send by hand: the links of its text (the whole text when it has none), then its subject,
// shortened as in menus when it holds a long name.
QString mailContent(const QUrl &mail)
{
    const QUrlQuery query(mail);
    const QString body = query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    QStringList links;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString &word : body.split(space, Qt::SkipEmptyParts)) {
        const QUrl link(word, QUrl::StrictMode);
        if (link.isValid()
            && (link.scheme() == QLatin1String("https") || link.scheme() == QLatin1String("http")))
            links.append(word);
    }
    QString content = links.isEmpty() ? body.trimmed() : links.join(QLatin1Char('\n'));
    const QString subject = query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
    if (!subject.isEmpty())
        content += QStringLiteral("\n\n")
            + Strings::localizedFormat(QStringLiteral("LinkOpenFailedMailSubject"),
                                       { elidedName(subject, QApplication::font("QMessageBox")) });
    return content;
}

// The maker's page under `path` on the service host; empty when no host is configured.
QUrl servicePage(const QString &pagePath)
{
    QUrl url = serviceBaseUrl();
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return {};
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + pagePath);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

} // namespace

void AppDelegate::connectMenu()
{
    MainMenu &menu = *m_mainMenu;
    connect(menu.preferencesItem, &QAction::triggered, this, &AppDelegate::showPreferences);
    connect(menu.appShopperImportItem, &QAction::triggered, this,
            &AppDelegate::showAppShopperImport);
    connect(menu.sendFeedbackItem, &QAction::triggered, this, &AppDelegate::sendFeedback);
    connect(menu.quitItem, &QAction::triggered, this, &AppDelegate::terminate);
    connect(menu.addListItem, &QAction::triggered, this, &AppDelegate::addList);
    connect(menu.editListItem, &QAction::triggered, this, &AppDelegate::editList);
    connect(menu.shareListItem, &QAction::triggered, this, &AppDelegate::shareSelectedList);
    connect(menu.listRearrangementMenuItem, &QAction::triggered, this,
            &AppDelegate::rearrangeLists);
    connect(menu.previousListMenuItem, &QAction::triggered, this, &AppDelegate::selectPreviousList);
    connect(menu.nextListMenuItem, &QAction::triggered, this, &AppDelegate::selectNextList);
    connect(menu.deleteListMenuItem, &QAction::triggered, this, &AppDelegate::deleteList);
    connect(menu.addAppItem, &QAction::triggered, this, &AppDelegate::addApp);
    connect(menu.sortingGroup, &QActionGroup::triggered, this, &AppDelegate::didSelectListSorting);
    connect(menu.groupingGroup, &QActionGroup::triggered, this,
            &AppDelegate::didSelectListGrouping);
    connect(menu.latestChangesMenuItem, &QAction::triggered, this, &AppDelegate::showLatestChanges);
    connect(menu.showArchiveItem, &QAction::triggered, this, &AppDelegate::showArchive);
    connect(menu.supportPageItem, &QAction::triggered, this, &AppDelegate::showSupportPage);
}

void AppDelegate::updateMenus()
{
    MainMenu &menu = *m_mainMenu;
    ListsController &controller = m_services.listsController();
    const std::vector<List *> lists = controller.lists();
    const int count = int(lists.size());
    List *selected = controller.selectedList();

    // The list order sheet keeps the List menu off while it is open, whatever else changes.
    menu.listSubmenuItem->setEnabled(count > 0 && !m_listOrderSheetOpen);
    menu.appSubmenuItem->setEnabled(count > 0);
    menu.listRearrangementMenuItem->setEnabled(count > 1);
    updateShareListItem();
    if (count > 1 && selected) {
        setNameMenuItemTitle(menu.deleteListMenuItem, selected->name(),
                             Strings::localized(QStringLiteral("Delete \"%@\"")));
    } else {
        menu.deleteListMenuItem->setText(Strings::localized(QStringLiteral("MenuDeleteList")));
        menu.deleteListMenuItem->setToolTip(QString());
    }
    menu.deleteListMenuItem->setEnabled(count > 1);
    updateLatestChangesItem();
    const int index = selected ? selected->index() : 0;
    menu.nextListMenuItem->setEnabled(count > 0 && index < count - 1);
    menu.previousListMenuItem->setEnabled(count > 0 && index > 0);
    menu.addListItem->setEnabled(true);
    menu.editListItem->setEnabled(true);
    holdListItemsOff();
    updateAppMenu(count);
}

void AppDelegate::holdListItemsOff()
{
    // Items whose view is open (the list editor, the new-list sheet), and while the share
    // sheet covers the main window, those that would open another sheet or the editor there,
    // or page the window to another list than the one the sheet shares.
    const MainMenu &menu = *m_mainMenu;
    const QList<QAction *> items = menu.listMenu()->actions();
    for (const int index : std::as_const(m_listItemsHeldOff)) {
        if (index >= 0 && index < items.size())
            items[index]->setEnabled(false);
    }
    if (m_shareSheetOpen) {
        for (QAction *item : { menu.addListItem, menu.editListItem, menu.shareListItem,
                               menu.listRearrangementMenuItem, menu.previousListMenuItem,
                               menu.nextListMenuItem, menu.deleteListMenuItem })
            item->setEnabled(false);
    }
    // Add App… opens the add field in the window the sheet covers, and adds to the list it
    // shares: off while the sheet is open, and while the add field is open already.
    menu.addAppItem->setEnabled(!m_shareSheetOpen
                                && !m_appItemsHeldOff.contains(MainMenu::kAddAppIndex));
}

void AppDelegate::updateShareListItem()
{
    // As the header's share button: an empty list has nothing to share.
    const List *selected = m_services.listsController().selectedList();
    m_mainMenu->shareListItem->setEnabled(selected && !selected->apps().empty()
                                          && !m_shareSheetOpen);
}

void AppDelegate::setSortingAndGroupingFromSettings()
{
    MainMenu &menu = *m_mainMenu;
    const ListGrouping grouping
        = listGroupingFromRawValue(settings().string(SettingsKeys::ListGrouping))
              .value_or(ListGrouping::None);
    menu.listGroupingNoneMenuItem->setChecked(grouping == ListGrouping::None);
    menu.listGroupingPlatformMenuItem->setChecked(grouping == ListGrouping::Platform);
    menu.listGroupingDeveloperMenuItem->setChecked(grouping == ListGrouping::Developer);
    const ListSorting sorting
        = listSortingFromRawValue(settings().string(SettingsKeys::ListSorting))
              .value_or(ListSorting::None);
    menu.listSortingNoneMenuItem->setChecked(sorting == ListSorting::None);
    menu.listSortingPriceMenuItem->setChecked(sorting == ListSorting::Price);
    menu.listSortingNameMenuItem->setChecked(sorting == ListSorting::Name);
}

void AppDelegate::didSelectListSorting(QAction *sender)
{
    MainMenu &menu = *m_mainMenu;
    ListSorting sorting = ListSorting::None;
    if (sender == menu.listSortingPriceMenuItem)
        sorting = ListSorting::Price;
    else if (sender == menu.listSortingNameMenuItem)
        sorting = ListSorting::Name;
    menu.listSortingNoneMenuItem->setChecked(sorting == ListSorting::None);
    menu.listSortingPriceMenuItem->setChecked(sorting == ListSorting::Price);
    menu.listSortingNameMenuItem->setChecked(sorting == ListSorting::Name);
    settings().setValue(SettingsKeys::ListSorting, rawValue(sorting));
}

void AppDelegate::didSelectListGrouping(QAction *sender)
{
    MainMenu &menu = *m_mainMenu;
    ListGrouping grouping = ListGrouping::None;
    if (sender == menu.listGroupingDeveloperMenuItem)
        grouping = ListGrouping::Developer;
    else if (sender == menu.listGroupingPlatformMenuItem)
        grouping = ListGrouping::Platform;
    menu.listGroupingNoneMenuItem->setChecked(grouping == ListGrouping::None);
    menu.listGroupingPlatformMenuItem->setChecked(grouping == ListGrouping::Platform);
    menu.listGroupingDeveloperMenuItem->setChecked(grouping == ListGrouping::Developer);
    settings().setValue(SettingsKeys::ListGrouping, rawValue(grouping));
}

void AppDelegate::sendFeedback()
{
    presentFeedbackWindow();
}

void AppDelegate::showLinkFailure(const QUrl &url)
{
    // A mail link's address is what the user needs, not the whole link with its subject; a
    // mail to no one, what it was to send.
    const bool mail = url.scheme() == QLatin1String("mailto");
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText = Strings::localized(mail ? QStringLiteral("LinkOpenFailedMailTitle")
                                                : QStringLiteral("LinkOpenFailedPageTitle"));
    if (!mail)
        alert.informativeText = Strings::localizedFormat(
            QStringLiteral("LinkOpenFailedPageMessage"), { url.toString() });
    else if (!url.path().isEmpty())
        alert.informativeText
            = Strings::localizedFormat(QStringLiteral("LinkOpenFailedMailMessage"), { url.path() });
    else
        alert.informativeText = Strings::localizedFormat(
            QStringLiteral("LinkOpenFailedMailContentMessage"), { mailContent(url) });
    alert.selectableText = true;
    alert.window = QApplication::activeWindow();
    m_services.alertPresenter().present(alert);
}

void AppDelegate::addApp()
{
    // The share sheet covers the main window; the add field would open under it.
    if (m_shareSheetOpen)
        return;
    // From a detail window, or with the main window closed: the add field opens where it is seen.
    showMainWindow();
    mainWindowController().contentViewController()->addApp();
}

void AppDelegate::addList()
{
    mainWindowController().contentViewController()->addList();
}

void AppDelegate::editList()
{
    HeaderController *header = mainWindowController().contentViewController()->headerController();
    if (!header)
        return;
    if (HeaderViewController *page = header->selectedViewController())
        page->editList();
}

void AppDelegate::shareSelectedList()
{
    List *list = m_services.listsController().selectedList();
    if (!list || list->apps().empty())
        return;
    showMainWindow();
    shareList(list, &mainWindowController(), {});
}

void AppDelegate::deleteList()
{
    ListsController &controller = m_services.listsController();
    // The list asked about is the one deleted, whatever is selected once the user answers.
    List *list = controller.selectedList();
    if (!list)
        return;
    Alert alert;
    alert.style = Alert::Style::Informational;
    alert.messageText
        = Strings::localizedFormat(QStringLiteral("DeleteListTitle"), { list->name() });
    alert.informativeText = Strings::localized(QStringLiteral("This can't be undone."));
    alert.buttons
        = { Strings::localized(QStringLiteral("Yes")), Strings::localized(QStringLiteral("No")) };
    // On the main window, blocking the whole application until answered.
    if (m_mainWindowController && m_mainWindowController->isVisible())
        alert.window = m_mainWindowController.get();
    alert.blocksApplication = true;
    AlertPresenter &alerts = m_services.alertPresenter();
    if (alerts.runModal(alert).buttonIndex != 0 || list->isDeleted())
        return;
    if (const std::optional<Error> error = controller.deleteList(list))
        alerts.presentError(*error);
}

void AppDelegate::showArchive()
{
    ArchiveWindowController &archive = archiveWindowController();
    if (!archive.isWindowLoaded())
        installMenuBar(archive.window());
    archive.showWindow();
}

void AppDelegate::showLatestChanges()
{
    m_services.appUpdater().showLatestChangesWindow();
}

void AppDelegate::selectNextList()
{
    ListsController &controller = m_services.listsController();
    List *selected = controller.selectedList();
    // Never a position past the lists, whatever state the item was left in.
    if (selected && selected->index() + 1 < int(controller.lists().size()))
        settings().setValue(SettingsKeys::SelectedList, selected->index() + 1);
}

void AppDelegate::selectPreviousList()
{
    List *selected = m_services.listsController().selectedList();
    // Position -1 is the archive.
    if (selected && selected->index() > 0)
        settings().setValue(SettingsKeys::SelectedList, selected->index() - 1);
}

void AppDelegate::showSupportPage()
{
    // Without the maker's site, support is asked for by mail, as from an error's alert.
    const QUrl page = servicePage(QStringLiteral("/faq/"));
    if (page.isValid())
        m_services.workspace().openURL(page);
    else
        presentFeedbackWindow();
}

void AppDelegate::rearrangeLists()
{
    if (m_listOrderSheetOpen)
        return;
    MainWindowController &window = mainWindowController();
    m_listOrderSheetOpen = true;
    m_mainMenu->listSubmenuItem->setEnabled(false);
    showMainWindow();
    ListOrderViewController::present(m_services.listsController(), &window,
                                     [self = QPointer<AppDelegate>(this)] {
                                         if (!self)
                                             return;
                                         self->m_listOrderSheetOpen = false;
                                         self->updateMenus();
                                     });
}

void AppDelegate::showAppShopperImport()
{
    if (m_appShopperImportWindow) {
        m_appShopperImportWindow->showWindow(m_mainWindowController.get());
        return;
    }
    // The window deletes itself once closed; the pointer then forgets it, and the next
    // request builds a fresh one.
    m_appShopperImportWindow = new AppShopperImportWindow(m_services.listsController());
    m_appShopperImportWindow->setCompletionHandler(
        [self = QPointer<AppDelegate>(this), window = m_appShopperImportWindow] {
            if (self && self->m_appShopperImportWindow == window)
                self->m_appShopperImportWindow.clear();
        });
    m_appShopperImportWindow->showWindow(m_mainWindowController.get());
}

void AppDelegate::ringedAppChanged()
{
    // A menu or the menu bar only borrows the keys: what they open acts on the row the keys come
    // back to.
    if (!m_mainWindowController || QApplication::activePopupWidget()
        || qobject_cast<QMenuBar *>(m_mainWindowController->focusWidget()))
        return;
    AppSummaryController *ringed = m_mainWindowController->contentViewController()
                                       ->listViewController()
                                       ->ringedSummaryController();
    // The ring moves on every arrow key: only the App menu follows it, and only to another row.
    if (ringed && ringed == m_ringedSummaryController)
        return;
    m_ringedSummaryController = ringed;
    updateAppMenu(int(m_services.listsController().lists().size()));
}

AppSummaryController *AppDelegate::focusedSummaryController() const
{
    auto *controller = qobject_cast<AppSummaryController *>(m_responsibleSummaryController.data());
    if (!controller)
        controller = m_ringedSummaryController;
    // A focused application that was deleted meanwhile is no application to act on.
    if (!controller || !controller->app() || controller->app()->isDeleted()
        || !controller->app()->list())
        return nullptr;
    return controller;
}

void AppDelegate::appDidMove(const Notification &notification)
{
    // The focused application is in another list now: its Move submenu changes.
    const std::optional<AppDeletion> moved = AppDeletion::fromUserInfo(notification.userInfo);
    AppSummaryController *controller = focusedSummaryController();
    if (moved && controller && controller->identifier() == moved->identifier)
        updateMenus();
}

void AppDelegate::updateAppMenu(int listCount)
{
    const QList<QAction *> items = m_mainMenu->appMenu()->actions();
    const int last = int(items.size()) > MainMenu::kCopyAppIdIndex ? MainMenu::kCopyAppIdIndex
                                                                   : MainMenu::kDeleteAppIndex;
    AppSummaryController *controller = focusedSummaryController();
    for (int index = MainMenu::kViewInStoreIndex; index <= last; ++index)
        items[index]->setEnabled(controller != nullptr);
    if (!controller)
        return;

    // Pointed at another window's application: the items let go of the previous one first,
    // or a command would reach both.
    if (m_appMenuTarget != controller) {
        for (int index = MainMenu::kViewInStoreIndex; index <= last; ++index) {
            if (index != MainMenu::kMoveIndex)
                disconnect(items[index], &QAction::triggered, nullptr, nullptr);
        }
        const auto point = [&](int index, auto action) {
            connect(items[index], &QAction::triggered, controller,
                    [controller, action] { (controller->*action)(); });
        };
        connect(items[MainMenu::kViewInStoreIndex], &QAction::triggered, controller,
                [controller] { controller->viewInAppStore(); });
        point(MainMenu::kCopyLinkIndex, &AppSummaryController::copyLink);
        point(MainMenu::kReloadIndex, &AppSummaryController::reloadApp);
        point(MainMenu::kArchiveIndex, &AppSummaryController::archiveApp);
        point(MainMenu::kDeleteAppIndex, &AppSummaryController::deleteApp);
        if (last == MainMenu::kCopyAppIdIndex)
            point(MainMenu::kCopyAppIdIndex, &AppSummaryController::copyAppID);
        m_appMenuTarget = controller;
    }

    m_mainMenu->moveAppSubmenuItem->setEnabled(listCount > 1);
    if (listCount <= 1)
        return;
    // One item per other list, carrying the list itself: equal names, or an "&" in one, still
    // move the application to the list the user chose.
    QMenu *move = m_mainMenu->moveAppMenu();
    move->clear();
    const int own = controller->app()->list()->index();
    for (List *list : m_services.listsController().lists()) {
        if (list->index() == own)
            continue;
        QAction *item = move->addAction(QString());
        setNameMenuItemTitle(item, list->name(),
                             numberedMenuItemFormat(int(move->actions().size()) - 1));
        connect(item, &QAction::triggered, controller,
                [controller, list] { controller->moveApp(list); });
    }
}

} // namespace tanvill
