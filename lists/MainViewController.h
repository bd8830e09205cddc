#pragma once

#include "lists/AddAppViewController.h"
#include "lists/ListEditorDelegate.h"
#include "platform/Error.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QMenu;
class QVariantAnimation;

namespace tanvill {

class AddButton;
class AlertPresenter;
class DetailWindowManager;
class HeaderController;
class ListCreator;
class ListViewController;
class ListsController;
class NotificationCenter;
class PresentationAnimator;
class ProgressHUD;
class SearchResultsViewController;
class TabBarBackgroundView;
class UserDefaults;
class Workspace;
struct Error;

// The services the main window works with, handed over by whoever makes it.
struct MainWindowServices
{
    ListsController &listsController;
    UserDefaults &settings;
    NotificationCenter &notificationCenter;
    AlertPresenter &alertPresenter;
    Workspace &workspace;
    // Opens the details of the application clicked in the list.
    DetailWindowManager &detailWindowManager;
};

// One distance of the main view's layout that the transitions move, and whether it holds.
struct LayoutConstraint
{
    int constant = 0;
    bool active = true;
};

// The content of the main window: the list header pager at the top, the table of the selected
// list below it and a bottom bar with the add button, which shakes while the selected list is
// empty. It runs every addition that starts in this window: the add field (put into the bar in
// place of the add button) hands it a store identifier to add or a term to search for, and the
// application hands it the identifiers of links (tryAddingApp). Search results slide in below
// the bar, which moves to the top of the window for them. It also opens the new-list sheet.
class MainViewController : public QWidget,
                           public AddAppViewControllerDelegate,
                           public ListEditorDelegate
{
    Q_OBJECT
public:
    explicit MainViewController(const MainWindowServices &services, QWidget *parent = nullptr);
    ~MainViewController() override;

    const MainWindowServices &services() const { return m_services; }

    // The pager at the top, one page per list; the Edit List command reaches the page shown
    // through it.
    HeaderController *headerController() const { return m_headerController; }
    // The list area and the table of the selected list in it.
    QWidget *mainContentView() const { return m_mainContentView; }
    ListViewController *listViewController() const { return m_listViewController; }
    TabBarBackgroundView *tabBar() const { return m_tabBar; }
    AddButton *addButton() const { return m_addButton; }

    // The layout the transitions move, in pixels. Header and list area stand at
    // mainContentViewTop (out of sight while it does not hold); the bar's bottom stands
    // tabBarBottom above the view's bottom, or its top at tabBarTop while that holds (it does
    // not at first); the bar is tabBarHeight high. A view kept below the bar fills the width
    // under it, 69 pixels less high than the main view.
    LayoutConstraint &mainContentViewTopConstraint() { return m_mainContentViewTop; }
    LayoutConstraint &tabBarBottomConstraint() { return m_tabBarBottom; }
    LayoutConstraint &tabBarHeightConstraint() { return m_tabBarHeight; }
    LayoutConstraint &tabBarTopConstraint() { return m_tabBarTop; }
    QWidget *viewBelowTabBar() const { return m_viewBelowTabBar; }
    void setViewBelowTabBar(QWidget *view);
    void layoutViews();

    // Lays `controller` over this view with `animator` (taken over) and takes it away again.
    void presentViewController(QWidget *controller, PresentationAnimator *animator);
    void dismissViewController(QWidget *controller);
    // The add field and the search results while they are presented (not once their
    // dismissal began).
    AddAppViewController *addAppViewController() const;
    SearchResultsViewController *searchResultsViewController() const;

    // Opens the add field in the bar.
    void addApp();
    // Opens the new-list sheet over the window (once at a time).
    void addList();
    // The new-list sheet while it is open.
    ListCreator *listCreator() const;
    // How an addition ended: the app added; refused for good (a list keeps it already, the
    // store has none of that identifier, the text is no identifier); or a passing failure (the
    // store did not answer, or not usably), which may go another way later.
    enum class AdditionEnd { Added, Refused, PassingFailure };
    using AdditionFinished
        = std::function<void(AdditionEnd end, const std::optional<Error> &error)>;
    // Adds the application with that store identifier to the selected list, unless a list
    // keeps it already (then says so); text that is not decimal digits is refused. `finished`,
    // when given, runs once it is all over: the app added, or the alert about it answered.
    // Without `showsErrors`, no error is shown: `finished` hears it and tells the user.
    void tryAddingApp(const QString &identifier, AdditionFinished finished = {},
                      bool showsErrors = true);
    // Shows an error of this window's, offering support where the error does; `answered` runs
    // once the user has answered.
    void presentError(const Error &error, std::function<void()> answered = {});

    void startShakeAnimation();
    // Shakes the add button while the selected list is empty and the window is shown; a
    // running shake runs on.
    void updateShakeAnimation();
    bool isShaking() const;
    QVariantAnimation *shakeAnimation() const { return m_shake; }

    // AddAppViewControllerDelegate
    void addAppViewControllerDidAppear(AddAppViewController *controller) override;
    void addAppViewControllerSubmittedIdentifier(AddAppViewController *controller,
                                                 const QString &identifier) override;
    void addAppViewControllerSubmittedAppName(AddAppViewController *controller,
                                              const QString &term) override;
    void addAppViewControllerDidDisappear(AddAppViewController *controller) override;

    // ListEditorDelegate: the new-list sheet switches the List menu's New List item off while
    // it is open.
    void listEditorDidAppear(ListEditor *editor) override;
    void listEditorDidDisappear(ListEditor *editor) override;

    // The main window's narrowest width, the one every strip and sheet in it is made for.
    static constexpr int kMinimumWidth = 320;
    static constexpr int kHeaderHeight = 96;
    static constexpr int kTabBarHeight = 50;
    static constexpr int kRaisedTabBarHeight = 70;
    // The search results are this much less high than the view.
    static constexpr int kResultsInset = 69;
    static constexpr int kShakeDuration = 5000;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Presentation
    {
        QPointer<QWidget> controller;
        QPointer<PresentationAnimator> animator;
    };

    void prepareAddAppViewController(AddAppViewController *controller);
    void finishTransitionsOf(const char *className);
    ProgressHUD *showProgressHUD();
    void stopShakeAnimation();
    void layoutTabBar();
    // After a list is deleted the keyboard goes to the table, or to the add button when the
    // list left selected is empty: at once in the active window, else once it is active again.
    void listWasDeleted();
    void focusListArea();

    MainWindowServices m_services;
    HeaderController *m_headerController;
    QPointer<ListCreator> m_listCreator;
    QWidget *m_mainContentView;
    ListViewController *m_listViewController;
    TabBarBackgroundView *m_tabBar;
    AddButton *m_addButton;
    QMenu *m_addButtonMenu;
    QVariantAnimation *m_shake = nullptr;

    LayoutConstraint m_mainContentViewTop;
    LayoutConstraint m_tabBarBottom;
    LayoutConstraint m_tabBarHeight { kTabBarHeight, true };
    LayoutConstraint m_tabBarTop { -1, false };
    QPointer<QWidget> m_viewBelowTabBar;

    std::vector<Presentation> m_presentations;
    bool m_focusListOnActivation = false;
};

} // namespace tanvill
