#pragma once

// The menu bar's menus and items: one set for the whole application, shown in the menu bar of
// the main, archive and detail windows, so that a command means the same wherever it is chosen.
// The application delegate makes it, connects every item to its action and enables the items
// that depend on the data (AppDelegate::updateMenus). The List and App submenus are reached by
// position too: the windows switch single items off while one of their views is open. Every
// title and item has a shortcut letter of its own within its menu (Alt and the letter of a
// title opens its menu); F10 opens the first menu.
//
//   Tanvill: Preferences…, Import from AppShopper…, Send Feedback…, Quit Tanvill
//   List:    New List…, Edit List…, Share List…, Rearrange Lists…, Previous List, Next List,
//            Delete "…"
//   App:     Add App…, —, View in App Store, Copy Link, Reload, Move to List ▸, Archive, Delete
//            [, Copy App ID when the developer setting asks for it]
//   View:    Sort By ▸ (None, Price, Name), Group By ▸ (None, Platform, Developer),
//            Latest Changes, Archive
//   Window:  Close Window, —, the open windows (WindowMenu)
//   Help:    Tanvill Support

#include <QObject>

#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QWidget;

namespace tanvill {

class MainMenu : public QObject
{
    Q_OBJECT
public:
    // `windowMenu` is the Window menu (kept by its owner); `withAppIdentifierItem` adds the
    // App submenu's ninth item, Copy App ID.
    MainMenu(QMenu *windowMenu, bool withAppIdentifierItem);
    ~MainMenu() override;

    // Gives `window` a menu bar holding these menus, opened by F10; the window owns the bar.
    // The window's own shortcuts for keys the items carry are switched off.
    QMenuBar *installMenuBar(QWidget *window);
    // The menus in menu-bar order.
    QList<QMenu *> menus() const;

    QMenu *applicationMenu() const { return m_applicationMenu.get(); }
    QMenu *listMenu() const { return m_listMenu.get(); }
    QMenu *appMenu() const { return m_appMenu.get(); }
    QMenu *moveAppMenu() const { return m_moveAppMenu.get(); }
    QMenu *viewMenu() const { return m_viewMenu.get(); }
    QMenu *sortingMenu() const { return m_sortingMenu.get(); }
    QMenu *groupingMenu() const { return m_groupingMenu.get(); }
    QMenu *helpMenu() const { return m_helpMenu.get(); }

    // Application menu
    QAction *preferencesItem;
    QAction *appShopperImportItem;
    QAction *sendFeedbackItem;
    QAction *quitItem;
    // List menu and the item in the menu bar that carries it
    QAction *listSubmenuItem;
    QAction *addListItem;
    QAction *editListItem;
    QAction *shareListItem;
    QAction *listRearrangementMenuItem;
    QAction *previousListMenuItem;
    QAction *nextListMenuItem;
    QAction *deleteListMenuItem;
    // App menu, its items by position (kViewInStoreIndex …), and the item carrying it
    QAction *appSubmenuItem;
    QAction *addAppItem;
    QAction *moveAppSubmenuItem;
    // View menu
    QActionGroup *sortingGroup;
    QAction *listSortingNoneMenuItem;
    QAction *listSortingPriceMenuItem;
    QAction *listSortingNameMenuItem;
    QActionGroup *groupingGroup;
    QAction *listGroupingNoneMenuItem;
    QAction *listGroupingPlatformMenuItem;
    QAction *listGroupingDeveloperMenuItem;
    QAction *latestChangesMenuItem;
    QAction *showArchiveItem;
    // Help menu
    QAction *supportPageItem;

    // Positions in the App submenu.
    static constexpr int kAddAppIndex = 0;
    static constexpr int kViewInStoreIndex = 2;
    static constexpr int kCopyLinkIndex = 3;
    static constexpr int kReloadIndex = 4;
    static constexpr int kMoveIndex = 5;
    static constexpr int kArchiveIndex = 6;
    static constexpr int kDeleteAppIndex = 7;
    static constexpr int kCopyAppIdIndex = 8;
    // Positions in the List submenu.
    static constexpr int kAddListIndex = 0;
    static constexpr int kEditListIndex = 1;

private:
    std::unique_ptr<QMenu> m_applicationMenu;
    std::unique_ptr<QMenu> m_listMenu;
    std::unique_ptr<QMenu> m_appMenu;
    std::unique_ptr<QMenu> m_moveAppMenu;
    std::unique_ptr<QMenu> m_viewMenu;
    std::unique_ptr<QMenu> m_sortingMenu;
    std::unique_ptr<QMenu> m_groupingMenu;
    std::unique_ptr<QMenu> m_helpMenu;
    QMenu *m_windowMenu;
};

} // namespace tanvill
