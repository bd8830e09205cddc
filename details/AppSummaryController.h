#pragma once

// Binds one watched application to the views that show its summary (icon, name, developer,
// rating, price button, context menu, hover buttons) and carries out the per-application
// actions started from them: open in the store, copy the link or the identifier, move to
// another list, archive, delete after a confirmation, refresh behind a busy overlay. The list
// table and the archive table make one per row widget; a detail window shows the controller of
// the row it was opened from and binds its own views to it, so row, window and App menu all end
// in the same actions of one controller.
//
// Controllers are shared: make them with create(); whoever keeps one beyond a call (a row, a
// detail window) holds a shared_ptr, from create() or shared_from_this(). The views stay owned
// by their rows and windows; the controller keeps every view bound to it current until the
// view goes or its owner releases it (releaseViews), which also ends every connection the
// controller made to it, so a reused row never acts for a controller it no longer shows.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

class QAbstractButton;
class QMenu;
class QWidget;

namespace tanvill {

class App;
class AppIconView;
class BorderedButton;
class Label;
class List;
class ListsController;
class ProgressHUD;
class RatingView;
struct Notification;

// The two kinds of application row: a row of a watched list (full menu, hover buttons, price
// button) and a row of the archive (reduced menu).
enum class AppSummaryConfiguration : quint8 { List = 0, Archive = 1 };

class AppSummaryController : public QObject,
                             public std::enable_shared_from_this<AppSummaryController>
{
    Q_OBJECT
public:
    // In List configuration the controller follows list additions, deletions, renames and
    // rearrangements, moves of its application and refreshes; in Archive it follows nothing.
    static std::shared_ptr<AppSummaryController>
    create(App *app, AppSummaryConfiguration configuration = AppSummaryConfiguration::List);
    static std::shared_ptr<AppSummaryController>
    create(App *app, AppSummaryConfiguration configuration, ListsController &lists);
    ~AppSummaryController() override;

    App *app() const { return m_app; }
    // The store identifier, copied when the controller was made.
    QString identifier() const { return m_identifier; }
    AppSummaryConfiguration configuration() const { return m_configuration; }

    // Binding. Each fills the view at once and keeps it current; binding a view again fills it
    // again. Several views of one kind may be bound at a time (a row's and a detail window's).
    void setIconView(AppIconView *view);
    void setNameLabel(Label *label);
    void setDeveloperLabel(Label *label);
    void setRatingView(RatingView *view);
    // The price button: titled with the price ("Free" for 0), opening the store page; once it
    // has opened it, it offers to archive the application until it is bound again or the
    // application is refreshed.
    void setBuyButton(BorderedButton *button);
    // A row's context menu, laid out as AppCell builds it: List 0 view in store, 1 copy link,
    // 2 reload, 3 "Move to List" (a submenu this controller fills), 4 archive, 5 delete, 6 copy
    // app id (when present); Archive 0 view in store, 1 copy link, 2 delete, 3 copy app id
    // (when present). A menu that lacks an item skips it.
    void setContextMenu(QMenu *menu);
    // The hover buttons of a list row.
    void configureViewInStoreButton(QAbstractButton *button);
    void configureCopyLinkButton(QAbstractButton *button);
    void configureMoveButton(QAbstractButton *button);
    void configureArchiveButton(QAbstractButton *button);
    void configureDeleteButton(QAbstractButton *button);
    // Forgets every bound view that is `owner` or lies inside it, with every connection made to
    // it; the move submenu entries it added to a released menu go too.
    void releaseViews(const QObject *owner);
    // The views bound now (tests, and holders that want to know).
    int boundViewCount() const;

    // The lists the application can be moved to: every visible list but its own, in order.
    std::vector<List *> moveTargets() const;

    // Actions. Each does nothing once the application is deleted, nor, in List configuration,
    // once it is archived.

    // Opens the store page in the store's own application (the https page when no application
    // takes the store's link). When `sender` is a bound price button, it turns into the
    // archive button.
    void viewInAppStore(QObject *sender = nullptr);
    void copyLink();
    void copyAppID();
    // Pops the move submenu up at the bottom-right corner of `sender`; nothing while the move
    // item is disabled.
    void showMoveMenu(QWidget *sender);
    // Moves the application to the top of `list` when that is still a visible list other
    // than its own.
    void moveApp(List *list);
    void archiveApp();
    // Asks first; only "Yes" deletes.
    void deleteApp();
    // Refreshes the application from the store behind a busy overlay over the active window;
    // a failure is shown, and its "Request Support" starts a mail to the makers.
    void reloadApp();

    // Whether a refresh started here is under way.
    bool isReloading() const { return m_reloading; }

private:
    enum class ViewKind { Icon, Name, Developer, Rating, BuyButton, Menu, ActionButton };
    struct BoundView
    {
        ViewKind kind;
        QPointer<QObject> object;
        std::vector<QMetaObject::Connection> connections;
        bool archiveMode = false; // a price button that offers to archive
        bool fillsMoveMenu = false; // a menu whose Move to List submenu fills as it opens
    };

    AppSummaryController(App *app, AppSummaryConfiguration configuration, ListsController &lists);
    void startObserving();

    BoundView &bind(ViewKind kind, QObject *object);
    void forget(BoundView &view);
    void prune();
    void configureButton(QAbstractButton *button, void (AppSummaryController::*action)());

    void fillIcon(AppIconView *view) const;
    void fillBuyButton(BoundView &binding);
    void onBuyButtonClicked(QObject *button);
    void wireMenu(BoundView &binding);
    void updateMoveMenu();
    void updateMoveMenu(BoundView &binding);
    void fillMoveMenu(QMenu *submenu);
    QMenu *moveSubmenu(const BoundView &binding) const;

    void appDidMove(const Notification &notification);
    void appDidUpdate(const Notification &notification);
    void refreshViews();

    bool actionsAllowed() const;
    QString priceText() const;

    App *m_app;
    QString m_identifier;
    AppSummaryConfiguration m_configuration;
    ListsController &m_lists;
    std::vector<BoundView> m_views;
    bool m_reloading = false;
};

} // namespace tanvill
