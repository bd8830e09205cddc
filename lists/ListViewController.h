#pragma once

// The list table of the main window: the applications of the selected list as AppCell rows,
// with SectionHeaderCell rows when the list is sorted or grouped into sections. It follows
// the selected list (never the archive, never past the last list), "listSorting",
// "listGrouping" and "displayPlatformIcons", and shows every change of the list's rows as an
// animated change of the table: a new list slides in sideways by its position, a new order
// from below. Each application row gets its own AppSummaryController, which fills it
// and carries out its buttons and menu; a click on a row, or Return on the row the keys
// have made current, hands that controller to the detail window manager. The application of
// the row the keyboard rings is the App menu's, as a focused detail window's is. When the list is
// neither sorted nor grouped, rows can be dragged to reorder the list. After a week of use
// with five watched applications it shows the rating prompt above the rows, until the user
// answers it.
//
// The main window places it in its list area; it needs no more of its parent.

#include "controls/TableView.h"
#include "core/ListRepresentation.h"
#include "details/DetailWindowManager.h"
#include "lists/ListTableUpdater.h"
#include "lists/RatingPromptView.h"

#include <QDateTime>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace tanvill {

class AppSummaryController;
class ListsController;
class UserDefaults;

class ListViewController : public QWidget,
                           public TableViewDataSource,
                           public TableViewDelegate,
                           public RatingPromptDelegate
{
    Q_OBJECT
public:
    // The drag data format of application rows.
    static inline const QString kDragType = QStringLiteral("Tanvill.DragTypeApp");

    // `lists`, `settings` and `detailWindows` must outlive the controller.
    ListViewController(ListsController &lists, UserDefaults &settings,
                       DetailWindowManager &detailWindows, QWidget *parent = nullptr);
    ~ListViewController() override;

    TableView *tableView() const { return m_tableView; }
    DetailWindowManager &detailWindowManager() const { return m_detailWindows; }
    // The rows of the shown list; made on first use.
    ListRepresentation &listRepresentation();

    // The summary controller of an application row that has a widget now; null otherwise.
    AppSummaryController *summaryControllerAtRow(int row) const;
    // The summary controller of the application row the keyboard's ring marks; null while the
    // ring marks none.
    AppSummaryController *ringedSummaryController() const;
    // True when the list is neither sorted nor grouped: its rows can be dragged.
    bool isReorderable();

    // The rating prompt above the rows, when shown.
    RatingPromptView *ratingPrompt() const;
    // Shows the prompt when it was never answered, the first launch lies seven whole days or
    // more back and at least five applications are watched outside the archive. Checked when
    // the table is first shown and whenever the shown list changes.
    void showRatingPromptIfNeeded();
    // Where "now" comes from (tests).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // TableViewDataSource
    int numberOfRows(TableView *table) override;
    int heightOfRow(TableView *table, int row) override;
    bool isGroupRow(TableView *table, int row) override;
    TableRowView *rowView(TableView *table, int row) override;

    // TableViewDelegate
    void didAddRowView(TableView *table, TableRowView *view, int row) override;
    void didRemoveRowView(TableView *table, TableRowView *view, int row) override;
    void rowClicked(TableView *table, int row) override;
    bool rowActivated(TableView *table, int row) override;
    bool writeRows(TableView *table, const QList<int> &rows, QMimeData *data) override;
    Qt::DropAction validateDrop(TableView *table, const TableDrop &drop) override;
    bool acceptDrop(TableView *table, const TableDrop &drop) override;

    // RatingPromptDelegate
    void hideRatingPrompt(RatingPromptView *view, RatingPromptState state) override;
    void leaveRating(RatingPromptView *view) override;
    void sendFeedback(RatingPromptView *view) override;

signals:
    // The ring marks another application now, or none (ringedSummaryController).
    void ringedAppChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setUpObservers();
    // The index of ListsController's selected list: clamped to the visible lists.
    int selectedListIndex();
    void listDidUpdate(const QVariantMap &userInfo);
    void updateHoverTints();
    QColor hoverTint();
    void openDetailWindow(int row, DetailWindowRequest request);
    // The ring marks `row`; the controller of its row widget is the App menu's.
    bool isRinged(int row) const;
    // The identity of the shown list, carried by drags so that a drop lands in the list the
    // drag began in.
    qint64 shownListIdentity();
    void endPrompt();

    ListsController &m_lists;
    UserDefaults &m_settings;
    DetailWindowManager &m_detailWindows;
    TableView *m_tableView;
    // Plays the representation's changes on the table once it has asked for its rows.
    ListTableUpdater m_rowUpdates;
    std::unique_ptr<ListRepresentation> m_listRepresentation;
    std::function<QDateTime()> m_clock;
    bool m_shown = false;
};

} // namespace tanvill
