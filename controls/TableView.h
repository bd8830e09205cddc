#pragma once

#include "controls/TableRowView.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QDrag;
class QPainter;
class QMimeData;
class QTimer;
class QVariantAnimation;

namespace tanvill {

class TableView;

// How inserted rows come in and removed rows go. The four slides name the motion, in and out
// alike: a row inserted with SlideRight comes in from the left, moving right, and one removed
// with it leaves towards the right.
enum class TableEffect { None, Fade, Gap, SlideUp, SlideDown, SlideLeft, SlideRight };

// One change made to a table, as recorded for tests (TableView::setRecordsChanges).
struct TableChange
{
    enum class Kind { Insert, Remove, Move };
    Kind kind = Kind::Insert;
    QList<int> rows; // the indexes given; for a move, the row it left
    int toRow = -1; // for a move, the row it went to
    TableEffect effect = TableEffect::None;

    friend bool operator==(const TableChange &, const TableChange &) = default;
};

// Where a drop would land: in the gap above `row` (0 to the row count), or on `row` itself.
enum class DropOperation { Above, On };

struct TableDrop
{
    const QMimeData *data = nullptr;
    // The drag began in this table. Drops from anywhere else never reach the delegate
    // unless the table accepts drops from other sources.
    bool fromThisTable = false;
    int row = 0;
    DropOperation operation = DropOperation::Above;
};

// The drag data of table rows: a number chosen by the table's owner (the index of the shown
// list, say) and the dragged rows, ascending. `decode` accepts exactly what `encode` makes
// and nothing else.
struct TableRowsPayload
{
    qint64 context = 0;
    QList<int> rows;

    QByteArray encode() const;
    static std::optional<TableRowsPayload> decode(const QByteArray &data);
    friend bool operator==(const TableRowsPayload &, const TableRowsPayload &) = default;
};

// What the rows are. Asked again only for rows the table has not seen (reloadData asks for
// every height and group flag; scrolling asks for row views only).
class TableViewDataSource
{
public:
    virtual int numberOfRows(TableView *table) = 0;
    virtual int heightOfRow(TableView *table, int row) = 0;
    virtual bool isGroupRow(TableView *, int) { return false; }
    // A widget for the row, usually from table->makeView(identifier); none leaves it empty.
    virtual TableRowView *rowView(TableView *table, int row) = 0;

    virtual ~TableViewDataSource() = default;
};

// What happens to the rows. Every call comes on the UI thread from inside the table. A delegate
// may change the table from any of them; a change made while rows are being laid out takes
// effect in a further pass of the layout.
class TableViewDelegate
{
public:
    // A row widget was put in place for `row`, or taken away from it. Removed rows report -1:
    // their index no longer exists.
    virtual void didAddRowView(TableView *, TableRowView *, int) { }
    virtual void didRemoveRowView(TableView *, TableRowView *, int) { }

    virtual bool shouldSelectRow(TableView *, int) { return true; }
    virtual void selectionDidChange(TableView *) { }
    // A press and release on the same row, whether or not selection is on.
    virtual void rowClicked(TableView *, int) { }
    // Return or Space on the current row: what a click does, unless the table's rows do
    // something else for the keyboard. False lets the key go on (to a sheet's default button).
    virtual bool rowActivated(TableView *table, int row)
    {
        rowClicked(table, row);
        return true;
    }

    // Dragging out: fill `data` for the rows and answer true to start a drag.
    virtual bool writeRows(TableView *, const QList<int> &, QMimeData *) { return false; }
    // Dropping in: the action the drop would take (Qt::IgnoreAction refuses it), then the
    // drop itself; answer true when it was taken.
    virtual Qt::DropAction validateDrop(TableView *, const TableDrop &) { return Qt::IgnoreAction; }
    virtual bool acceptDrop(TableView *, const TableDrop &) { return false; }

    virtual ~TableViewDelegate() = default;
};

// The one table of every list-like window: the list table, the archive, search results, the
// list order sheet, the detail window's two rows. A scroll area of full-width row widgets of
// any height, made and reused by identifier, that exist only for the rows in view plus a small
// margin; its cost per scroll step depends on the rows in view, never on the rows in the list.
// Group rows float at the top while their section is in view. Inserts, removals and moves run
// animated effects inside beginUpdates/endUpdates; indexes follow the usual table rules: each
// call applies to the rows as the previous calls left them, removed indexes name rows before
// the call, inserted indexes name rows after it. Rows can be dragged out and dropped between
// rows, with a drop-above indicator. An optional header widget scrolls with the rows. Tables
// that turn keyboard use on have a current row the keys move and act on.
class TableView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TableView(QWidget *parent = nullptr);
    ~TableView() override;

    // The rows are first asked for when the table is shown, or at reloadData. Neither is told
    // anything while the table is being destroyed.
    void setDataSource(TableViewDataSource *dataSource) { m_dataSource = dataSource; }
    void setDelegate(TableViewDelegate *delegate) { m_delegate = delegate; }

    // Row widgets. makeView gives a free widget of that identifier or a new one from its
    // registered factory (none without a factory); the data source fills it.
    void registerRowView(const QString &identifier, std::function<TableRowView *()> factory);
    TableRowView *makeView(const QString &identifier);
    template<class T> T *makeView(const QString &identifier)
    {
        return dynamic_cast<T *>(makeView(identifier));
    }
    // The widget in place for `row`, never making one.
    TableRowView *rowViewAtRow(int row) const;
    int rowForView(const TableRowView *view) const;
    QList<int> rowsWithViews() const;

    // Rows
    int numberOfRows() const { return int(m_heights.size()); }
    void reloadData();
    // Makes the widgets of these rows again (heights kept).
    void reloadRows(const QList<int> &rows);
    void noteHeightOfRowsChanged(const QList<int> &rows);
    // In viewport coordinates, as the row stands now (a floating row where it floats).
    QRect rectOfRow(int row) const;
    int rowAt(const QPoint &viewportPoint) const;
    int scrollPosition() const;
    void setScrollPosition(int y);
    void scrollRowToVisible(int row);
    // Shows the scroll bar for a moment, as a scroll does, when the rows are longer than the
    // view; the rows stay where they are.
    void flashScrollers();

    // Changes. Outside a bracket each call is a bracket of its own.
    void beginUpdates();
    void endUpdates();
    void insertRows(const QList<int> &rows, TableEffect effect = TableEffect::None);
    void removeRows(const QList<int> &rows, TableEffect effect = TableEffect::None);
    void moveRow(int from, int to);

    // Effects end at once in instant mode (tests); tables made later start in the default.
    void setInstantAnimations(bool instant) { m_instant = instant; }
    static void setInstantAnimationsByDefault(bool instant);
    void setAnimationDuration(int milliseconds) { m_animationDuration = milliseconds; }
    bool isAnimating() const;
    // Keeps every change made from now on, for tests of the tables built on this one.
    void setRecordsChanges(bool record) { m_recordsChanges = record; }
    const QList<TableChange> &recordedChanges() const { return m_recordedChanges; }
    void clearRecordedChanges() { m_recordedChanges.clear(); }

    // A widget above the first row that scrolls with the rows; the table owns it. Replacing
    // it (or setting none) hides the old one and deletes it once control returns to the event
    // loop, so a header's own button may take it away.
    void setHeaderView(QWidget *header);
    QWidget *headerView() const { return m_header; }

    // The group row held at the top now, -1 when none.
    int floatingRow() const { return m_floatingRow; }

    // Selection is off unless turned on; clicks reach the delegate either way.
    void setAllowsSelection(bool allows);
    int selectedRow() const { return m_selectedRow; }
    void selectRow(int row);
    void deselectAll();

    // Keyboard use, off unless turned on: a current row that the arrow keys, Page Up/Down, Home
    // and End move (section rows are passed over), shown as a ring while the keyboard works the
    // table; Return and Space act on it as a click does, the Menu key and Shift+F10 give its
    // widget a keyboard context menu event. Alt+Up and Alt+Down move the current row one place
    // as dragging it into the gap beyond its neighbour would: through the delegate's writeRows,
    // validateDrop and acceptDrop, so only tables that take such drags move rows.
    void setKeyboardNavigation(bool on);
    int currentRow() const { return m_currentRow; }
    // Makes `row` current (-1: none) and scrolls it into view unless asked not to (the rows are
    // on their way there already); a section row is passed over for the next row below it.
    void setCurrentRow(int row, bool scrollToVisible = true);
    // Tab and Shift+Tab go through the controls inside the rows (an Add button), row by row from
    // the current one on, each scrolled into view as it takes the focus; rows not made yet are
    // made on the way. Row widgets give such controls Qt::ClickFocus, so that the window's own
    // Tab order passes them by and the table alone leads the keyboard through them: after the
    // table itself, top to bottom, then on to what follows the table. A control's row becomes
    // the current row, and the keys that move the current row work from it.
    void setTabsThroughRowControls(bool on) { m_tabsThroughRowControls = on; }
    // The ring marks the current row now: the table has the focus and the keyboard works it.
    bool showsCurrentRow() const;
    // Rings the current row whenever the table has the focus, as a key would: for a window that
    // opens with the keyboard on a row. A click hides the ring again.
    void ringCurrentRow() { showCurrentRow(true); }

    // Tells every row widget whether the pointer is over it (TableRowView::pointerSettled):
    // after rows moved under a pointer that stood still, or a popup took the pointer's enter
    // and leave events.
    void settlePointer();

    // Dropping: only drags carrying one of these formats are considered.
    void registerForDraggedTypes(const QStringList &formats);
    void setAcceptsDropsFromOtherSources(bool accepts) { m_acceptsForeignDrops = accepts; }
    // Gap proposes only gaps between rows; Regular also proposes a drop on the middle of a row,
    // and where the delegate refuses that, the gap on the nearer side of the row.
    enum class DropFeedback { Regular, Gap };
    void setDropFeedback(DropFeedback feedback) { m_dropFeedback = feedback; }
    // The drop shown now: the gap above `row` or the row itself; row -1 when none.
    int dropIndicatorRow() const { return m_dropRow; }
    DropOperation dropIndicatorOperation() const { return m_dropOperation; }
    // Tests run a drag here instead of the platform's drag loop.
    using DragRunner = std::function<Qt::DropAction(QDrag *)>;
    void setDragRunner(DragRunner runner) { m_dragRunner = std::move(runner); }

signals:
    // The row the ring marks is another one now, or none, or the rows changed under it: the keys
    // moved it, the ring came or went with the focus, or rows were inserted, removed or
    // reloaded.
    void ringedRowChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    class Overlay;
    class ReleaseWatch;
    struct Slot // a row during an update bracket
    {
        int oldRow; // -1 for a row inserted in the bracket
        TableEffect effect;
    };
    struct Motion // a row widget on its way into place, as an offset that shrinks to nothing
    {
        int dx = 0;
        int dy = 0;
        bool fadeIn = false;
    };
    struct Ghost // the picture of a removed row on its way out
    {
        QPixmap image;
        QRect contentRect; // where it stood, content coordinates
        TableEffect effect;
    };

    int headerHeight() const { return m_headerHeight; }
    void updateHeaderHeight();
    int rowTop(int row) const; // content coordinates, header included
    int rowHeight(int row) const { return m_heights[size_t(row)]; }
    int contentHeight() const;
    int rowAtContentY(int y) const;
    bool isGroupRow(int row) const;
    void rebuildOffsets(int fromRow = 0);
    void updateScrollRange();
    void layoutRows();
    void placeRowViews(int top);
    void addRowView(int row);
    void dropRowView(std::map<int, TableRowView *>::iterator it, int reportedRow);
    void recycle(TableRowView *view);
    void setSelectedRowInternal(int row);
    void paintOverlay(QWidget *overlay);

    // Effects (TableViewEffects.cpp)
    void ensureUpdateSlots();
    void commitUpdates();
    void startMotion(TableRowView *view, int row);
    void addGhost(TableRowView *view, int top, TableEffect effect);
    void animationStep(double progress);
    void finishAnimation();
    void record(TableChange::Kind kind, const QList<int> &rows, int to, TableEffect effect);

    // Keyboard (TableViewKeys.cpp)
    bool moveCurrentRow(const QKeyEvent *event);
    // The row nearest `row` that can be current, looking `step` (1 or -1) first; -1 for none.
    int currentRowNear(int row, int step) const;
    int firstVisibleRow() const;
    void scrollCurrentRowToVisible();
    // Alt+Up (-1) and Alt+Down (1); false when the row stays.
    bool moveCurrentRowOnePlace(int step);
    // Row controls that Tab reaches pass the keys that move the current row to the table.
    void watchRowControls(TableRowView *view);
    bool rowControlKeyPressed(QWidget *control, const QKeyEvent *event);
    // The row whose widget holds `widget`, -1 for none.
    int rowOfWidget(const QWidget *widget) const;
    bool holdsFocus(const TableRowView *view) const;
    // Tab from `focus` (the table or a control in a row) to the next control in the rows.
    bool focusRowControl(QWidget *focus, bool next);
    // The widget Tab reaches after the table, outside it.
    QWidget *nextTabStopAfterTable() const;
    // False when nothing acted on the row.
    bool activateCurrentRow();
    void openCurrentRowMenu();
    void showCurrentRow(bool shows);
    // Tells of a change of the row the ring marks; `rowsChanged`: also of one that stays where
    // other rows came or went.
    void noteRingedRow(bool rowsChanged = false);
    void paintCurrentRow(QPainter &painter);

    // Dragging (TableViewInput.cpp)
    void startDrag(int row);
    std::optional<TableDrop> proposedDrop(const QDropEvent *event, DropFeedback feedback) const;
    Qt::DropAction validate(const TableDrop &drop);
    // The drop the pointer proposes as the delegate would take it, and its action (Qt::IgnoreAction
    // refuses it); none for data of a format the table does not take.
    std::optional<TableDrop> validatedDrop(const QDropEvent *event, Qt::DropAction *action);
    void setDropIndicator(int row, DropOperation operation);
    // The rows moved under a drag whose pointer may stand still: the line follows them.
    void dragScrolled();
    void autoScroll(const QPoint &viewportPoint);
    // A step of the scrolling during a drag; beyond the table, the pointer is read here.
    void autoScrollTick();
    // How far one step scrolls towards an edge the pointer is near or beyond; 0 elsewhere.
    int autoScrollStepAt(const QPoint &viewportPoint) const;
    // The point of the rows whose drop a drag held at `pointer` proposes (see dragLeaveEvent);
    // none beside the rows.
    std::optional<QPoint> dropPointFor(const QPoint &pointer) const;
    // How far from the pointer the mark of a drop can be: the nearer gap of the row under it,
    // or the outline of that row.
    int dropMarkReach() const;
    // Where the dragged row's picture hangs from the pointer: clear of the mark of any drop.
    QPoint dragImageHotSpot(const QPoint &pointerInRow) const;

    TableViewDataSource *m_dataSource = nullptr;
    TableViewDelegate *m_delegate = nullptr;

    std::vector<int> m_heights;
    std::vector<int> m_offsets; // m_offsets[r]: top of row r below the header; one past the end
    std::vector<int> m_groupRows; // ascending
    std::map<int, TableRowView *> m_views; // row -> widget, rows in view (plus margin)
    QHash<QString, std::function<TableRowView *()>> m_factories;
    QHash<QString, QList<TableRowView *>> m_freeViews;
    QPointer<QWidget> m_header;
    int m_headerHeight = 0;
    QWidget *m_overlay = nullptr; // an Overlay
    int m_floatingRow = -1;
    bool m_loaded = false;
    bool m_inLayout = false;
    bool m_layoutAgain = false;

    // Update brackets and effects
    int m_updateDepth = 0;
    bool m_updateBroken = false;
    std::optional<std::vector<Slot>> m_slots; // made by the first change of a bracket
    std::vector<std::pair<int, TableEffect>> m_removedRows; // old row, effect
    const std::vector<Slot> *m_committing = nullptr; // slots of the commit being laid out
    bool m_commitAnimated = false;
    std::vector<int> m_oldOffsets;
    int m_oldHeaderHeight = 0;
    std::map<TableRowView *, Motion> m_motions;
    std::vector<Ghost> m_ghosts;
    QVariantAnimation *m_animation = nullptr;
    double m_progress = 1.0;
    bool m_instant;
    int m_animationDuration = 250;
    bool m_recordsChanges = false;
    QList<TableChange> m_recordedChanges;

    // Selection and clicks
    bool m_allowsSelection = false;
    int m_selectedRow = -1;
    int m_pressedRow = -1;
    QPoint m_pressPoint;

    // Keyboard
    bool m_keyboardNavigation = false;
    int m_currentRow = -1;
    bool m_currentRowShown = false; // the keyboard works the table
    int m_ringedRow = -1; // as last told (ringedRowChanged)
    bool m_tabsThroughRowControls = false;

    // Drag and drop
    QStringList m_draggedTypes;
    bool m_acceptsForeignDrops = false;
    DropFeedback m_dropFeedback = DropFeedback::Regular;
    int m_dropRow = -1;
    DropOperation m_dropOperation = DropOperation::Above;
    QPointer<QMimeData> m_outgoingData;
    // A drag ended while rows were still sliding: the pointer is settled again once they rest.
    bool m_settlePointerWhenRested = false;
    DragRunner m_dragRunner;
    int m_autoScrollStep = 0;
    QTimer *m_autoScrollTimer = nullptr;
    // The drag over the table as its last move left it, to propose its drop again when the rows
    // scroll under the pointer.
    struct DragOver
    {
        QPoint position; // viewport coordinates, beyond its edges once the drag left
        QPointer<const QMimeData> data;
        Qt::DropActions actions;
        Qt::MouseButtons buttons;
        Qt::KeyboardModifiers modifiers;
        // The table's own drag left the table and goes on, followed by reading the pointer.
        bool beyond = false;
    };
    std::optional<DragOver> m_dragOver;
    // The picture of the table's own drag under way, relative to the pointer.
    QRect m_dragImage;
    // Watches for the release that ends the table's own drag once it is beyond the table.
    ReleaseWatch *m_releaseWatch = nullptr;
};

} // namespace tanvill
