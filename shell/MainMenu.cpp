#include "shell/MainMenu.h"

#include "controls/WindowShortcuts.h"
#include "platform/Strings.h"
#include "shell/QuitKey.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QWidget>

#include <algorithm>

namespace tanvill {

namespace {

QAction *addItem(QMenu *menu, const char *key, const QKeySequence &shortcut = {})
{
    QAction *item = menu->addAction(Strings::localized(key));
    item->setShortcut(shortcut);
    return item;
}

QAction *addChoice(QMenu *menu, QActionGroup *group, const char *key)
{
    QAction *item = addItem(menu, key);
    item->setCheckable(true);
    group->addAction(item);
    return item;
}

} // namespace

MainMenu::MainMenu(QMenu *windowMenu, bool withAppIdentifierItem)
    : m_applicationMenu(std::make_unique<QMenu>(Strings::localized("MenuApplication"))),
      m_listMenu(std::make_unique<QMenu>(Strings::localized("MenuList"))),
      m_appMenu(std::make_unique<QMenu>(Strings::localized("MenuApp"))),
      m_moveAppMenu(std::make_unique<QMenu>(Strings::localized("MenuMoveApp"))),
      m_viewMenu(std::make_unique<QMenu>(Strings::localized("MenuView"))),
      m_sortingMenu(std::make_unique<QMenu>(Strings::localized("MenuSortBy"))),
      m_groupingMenu(std::make_unique<QMenu>(Strings::localized("MenuGroupBy"))),
      m_helpMenu(std::make_unique<QMenu>(Strings::localized("MenuHelp"))), m_windowMenu(windowMenu)
{
    QMenu *menu = m_applicationMenu.get();
    preferencesItem = addItem(menu, "MenuPreferences");
    preferencesItem->setMenuRole(QAction::PreferencesRole);
    // The desktop's own key for the preferences, where it has one, and Ctrl+, everywhere.
    QList<QKeySequence> preferencesKeys = QKeySequence::keyBindings(QKeySequence::Preferences);
    if (const QKeySequence comma(Qt::CTRL | Qt::Key_Comma); !preferencesKeys.contains(comma))
        preferencesKeys.append(comma);
    preferencesItem->setShortcuts(preferencesKeys);
    preferencesItem->setShortcutContext(Qt::ApplicationShortcut);
    appShopperImportItem = addItem(menu, "MenuAppShopperImport");
    menu->addSeparator();
    sendFeedbackItem = addItem(menu, "MenuSendFeedback");
    menu->addSeparator();
    quitItem = addItem(menu, "MenuQuit", QKeySequence::Quit);
    quitItem->setMenuRole(QAction::QuitRole);
    // Quitting and the preferences are reached from every window, with or without a menu bar;
    // Quit's key from a sheet, an alert or a drag too, which the shortcut cannot get past.
    quitItem->setShortcutContext(Qt::ApplicationShortcut);
    new QuitKey(quitItem, this);

    menu = m_listMenu.get();
    listSubmenuItem = m_listMenu->menuAction();
    addListItem = addItem(menu, "MenuNewList", QKeySequence(Qt::CTRL | Qt::Key_N));
    editListItem = addItem(menu, "MenuEditList", QKeySequence(Qt::CTRL | Qt::Key_E));
    shareListItem = addItem(menu, "MenuShareList", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    listRearrangementMenuItem = addItem(menu, "MenuRearrangeLists");
    menu->addSeparator();
    previousListMenuItem
        = addItem(menu, "MenuPreviousList", QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    nextListMenuItem = addItem(menu, "MenuNextList", QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    menu->addSeparator();
    deleteListMenuItem
        = addItem(menu, "MenuDeleteList", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backspace));
    // Titles that hold a long list name are shortened; the whole name is their tool tip.
    m_listMenu->setToolTipsVisible(true);
    m_moveAppMenu->setToolTipsVisible(true);

    menu = m_appMenu.get();
    appSubmenuItem = m_appMenu->menuAction();
    addAppItem = addItem(menu, "MenuAddApp", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    menu->addSeparator();
    addItem(menu, "MenuViewInAppStore", QKeySequence(Qt::CTRL | Qt::Key_O));
    addItem(menu, "MenuCopyLink", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    addItem(menu, "MenuReloadApp", QKeySequence(Qt::CTRL | Qt::Key_R));
    moveAppSubmenuItem = m_moveAppMenu->menuAction();
    menu->addAction(moveAppSubmenuItem);
    addItem(menu, "MenuArchiveApp", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    addItem(menu, "MenuDeleteApp", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));
    if (withAppIdentifierItem)
        addItem(menu, "MenuCopyAppID");
    // Enabled from the data, never by Qt on its own.
    for (QAction *item : m_appMenu->actions().mid(kViewInStoreIndex))
        item->setEnabled(false);

    menu = m_viewMenu.get();
    menu->addMenu(m_sortingMenu.get());
    sortingGroup = new QActionGroup(this);
    listSortingNoneMenuItem = addChoice(m_sortingMenu.get(), sortingGroup, "MenuSortingNone");
    listSortingPriceMenuItem = addChoice(m_sortingMenu.get(), sortingGroup, "MenuSortingPrice");
    listSortingNameMenuItem = addChoice(m_sortingMenu.get(), sortingGroup, "MenuSortingName");
    menu->addMenu(m_groupingMenu.get());
    groupingGroup = new QActionGroup(this);
    listGroupingNoneMenuItem = addChoice(m_groupingMenu.get(), groupingGroup, "MenuGroupingNone");
    listGroupingPlatformMenuItem
        = addChoice(m_groupingMenu.get(), groupingGroup, "MenuGroupingPlatform");
    listGroupingDeveloperMenuItem
        = addChoice(m_groupingMenu.get(), groupingGroup, "MenuGroupingDeveloper");
    menu->addSeparator();
    latestChangesMenuItem
        = addItem(menu, "MenuLatestChanges", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    latestChangesMenuItem->setEnabled(false);
    showArchiveItem
        = addItem(menu, "MenuShowArchive", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));

    supportPageItem = addItem(m_helpMenu.get(), "MenuSupport");
}

MainMenu::~MainMenu() = default;

QList<QMenu *> MainMenu::menus() const
{
    return { m_applicationMenu.get(), m_listMenu.get(), m_appMenu.get(),
             m_viewMenu.get(),        m_windowMenu,     m_helpMenu.get() };
}

QMenuBar *MainMenu::installMenuBar(QWidget *window)
{
    auto *bar = new QMenuBar(window);
    for (QMenu *menu : menus()) {
        if (menu)
            bar->addMenu(menu);
    }
    // A key that an item of the bar and a shortcut of the window's own both answer would be
    // ambiguous and do nothing: the item takes it (Ctrl+W, which the secondary windows answer by
    // themselves until they get the bar).
    QList<QKeySequence> itemKeys;
    for (QMenu *menu : menus()) {
        for (const QAction *item : menu ? menu->actions() : QList<QAction *>())
            itemKeys << item->shortcuts();
    }
    for (QShortcut *own :
         window->findChildren<QShortcut *>(QString(), Qt::FindDirectChildrenOnly)) {
        const QList<QKeySequence> keys = own->keys();
        if (std::any_of(keys.begin(), keys.end(),
                        [&itemKeys](const QKeySequence &key) { return itemKeys.contains(key); }))
            own->setEnabled(false);
    }
    // F10 reaches the menus of the window that has the keyboard; Alt and a title's letter
    // reach one menu.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), bar), &QShortcut::activated, bar,
            [bar] { openFirstMenu(bar); });
    returnKeyboardFromMenuBar(bar);
    return bar;
}

} // namespace tanvill
