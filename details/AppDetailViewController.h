#pragma once

// The content of a detail window: one watched application with a header (icon, name,
// developer, version, rating, price button; history, notes and share buttons) over a table of
// two rows, the screenshot viewer and the store description. The header views are filled and
// kept current by the application's summary controller, the one its list row made, so the
// row, the window and the App menu act on one controller. The view follows the data core: it
// closes its window when the application is deleted or turns up in the archive, and after a
// refresh that includes the application it reloads its rows, its history button, an open
// history popover and its Window-menu title. DetailWindow holds one; DetailWindowManager
// decides which application it shows.

#include "controls/TableView.h"
#include "details/AppHistoryViewController.h"
#include "details/AppNotesViewController.h"
#include "details/ScreenshotGrid.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <memory>

#include <QAbstractButton>
#include <QMenu>

namespace tanvill {

class App;
class AppIconView;
class AppSummaryController;
class BorderedButton;
class Label;
class ListsController;
class RatingView;
struct Notification;

class AppDetailViewController : public QWidget,
                                public TableViewDataSource,
                                public TableViewDelegate,
                                public ScreenshotGridDataSource
{
    Q_OBJECT
public:
    explicit AppDetailViewController(ListsController &lists, QWidget *parent = nullptr);
    ~AppDetailViewController() override;

    AppSummaryController *summaryController() const { return m_summaryController.get(); }
    // Shows the controller's application (none empties the table and leaves the header as it
    // was). Any popover of the application shown before closes.
    void setSummaryController(std::shared_ptr<AppSummaryController> controller);

    // The buttons' actions; `sender` is the button the popover or menu is anchored at. Each
    // does nothing without an application or once it was deleted.
    void viewAppHistory(QWidget *sender);
    void viewAppNotes(QWidget *sender);
    void shareApp(QWidget *sender);

    // The sharing actions of the share menu.
    void copyLink();
    void copyNameAndLink();
    void emailLink();
    // The mail link that emailLink opens: subject the name, body the name and the store link.
    static QUrl emailUrl(const QString &name, const QString &link);

    AppIconView *iconView() const { return m_iconView; }
    Label *appNameLabel() const { return m_appNameLabel; }
    Label *developerNameLabel() const { return m_developerNameLabel; }
    Label *versionLabel() const { return m_versionLabel; }
    BorderedButton *buyButton() const { return m_buyButton; }
    RatingView *ratingView() const { return m_ratingView; }
    TableView *tableView() const { return m_tableView; }
    QAbstractButton *shareButton() const { return m_shareButton; }
    QAbstractButton *appHistoryButton() const { return m_appHistoryButton; }
    QAbstractButton *appNotesButton() const { return m_appNotesButton; }
    // The popovers and the share menu while they are open.
    AppHistoryViewController *appHistoryViewController() const { return m_appHistoryVC; }
    AppNotesViewController *appNotesViewController() const { return m_appNotesVC; }
    QMenu *shareMenu() const { return m_shareMenu; }
    // The screenshot viewer in the table now, if its row is in view.
    ScreenshotGrid *screenshotGrid() const;
    // Where the keyboard starts when the view shows an application anew: the selected
    // screenshot, else the table. The price button opens the store page and then archives, so
    // the keyboard reaches it only on purpose.
    QWidget *firstFocusControl() const;

    // The height of the description row for a table of that width: the text wrapped 15 from
    // either side, plus 20 above and below; never less than those 40.
    static int descriptionRowHeight(const QString &description, int tableWidth);
    static constexpr int kScreenshotsRowHeight = 450;

    // TableViewDataSource
    int numberOfRows(TableView *table) override;
    int heightOfRow(TableView *table, int row) override;
    TableRowView *rowView(TableView *table, int row) override;
    // TableViewDelegate
    bool shouldSelectRow(TableView *, int) override { return false; }
    // ScreenshotGridDataSource
    unsigned numberOfScreenshotsInGrid(ScreenshotGrid *grid) override;
    Screenshot *screenshotAtIndex(ScreenshotGrid *grid, int index) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void setUpObservers();
    void appWillBeDeleted(const Notification &notification);
    void appsDidReload(const Notification &notification);
    void listDidUpdate();
    void closeWindow();
    void closePopovers();
    void updateHistoryButton();
    void updateVersionLabel();
    // The application when one is shown and not deleted.
    App *liveApp() const;

    ListsController &m_lists;
    std::shared_ptr<AppSummaryController> m_summaryController;
    QPointer<AppHistoryViewController> m_appHistoryVC;
    QPointer<AppNotesViewController> m_appNotesVC;
    QPointer<QMenu> m_shareMenu;

    AppIconView *m_iconView = nullptr;
    Label *m_appNameLabel = nullptr;
    Label *m_developerNameLabel = nullptr;
    Label *m_versionLabel = nullptr;
    BorderedButton *m_buyButton = nullptr;
    RatingView *m_ratingView = nullptr;
    TableView *m_tableView = nullptr;
    QAbstractButton *m_shareButton = nullptr;
    QAbstractButton *m_appHistoryButton = nullptr;
    QAbstractButton *m_appNotesButton = nullptr;
    int m_tableWidth = -1;
};

} // namespace tanvill
