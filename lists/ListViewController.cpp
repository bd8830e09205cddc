// The list table: its rows, the summary controllers of its application rows, the settings
// and notifications it follows and the animated changes of its rows. Dragging and the rating
// prompt are in ListViewControllerActions.cpp.
#include "lists/ListViewController.h"

#include "controls/Label.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindowManager.h"
#include "lists/AppCell.h"
#include "lists/SectionHeaderCell.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QVBoxLayout>

namespace tanvill {

namespace {

// Posted by the list editor once a list's name or colour was edited.
const QString kListEditorDidUpdateList
    = QStringLiteral("Tanvill.ListEditorDidUpateListNotification");

} // namespace

ListViewController::ListViewController(ListsController &lists, UserDefaults &settings,
                                       DetailWindowManager &detailWindows, QWidget *parent)
    : QWidget(parent), m_lists(lists), m_settings(settings), m_detailWindows(detailWindows),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tableView = new TableView(this);
    layout->addWidget(m_tableView);
    m_tableView->registerRowView(AppCell::kListIdentifier,
                                 [] { return new AppCell(AppCell::Configuration::List); });
    m_tableView->registerRowView(SectionHeaderCell::kIdentifier,
                                 [] { return new SectionHeaderCell; });
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_tableView->registerForDraggedTypes({ kDragType });
    // Return opens the current row's details as a click does; the Menu key opens its menu.
    m_tableView->setKeyboardNavigation(true);
    connect(m_tableView, &TableView::ringedRowChanged, this, &ListViewController::ringedAppChanged);

    setUpObservers();
}

ListViewController::~ListViewController()
{
    // The table and its rows go first, while everything they call back into still exists.
    m_tableView->setDelegate(nullptr);
    m_tableView->setDataSource(nullptr);
    delete m_tableView;
}

void ListViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The first check waits until the table is on screen.
    if (!std::exchange(m_shown, true))
        showRatingPromptIfNeeded();
}

void ListViewController::setUpObservers()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(
        ListsControllerDidUpdateList, this,
        [this](const Notification &notification) { listDidUpdate(notification.userInfo); },
        &m_lists);
    // A refresh's new values are drawn here; a new order they give reaches the table from the
    // representation, as moves, after this.
    center.addObserver(
        ListsControllerDidReloadApps, this,
        [this](const Notification &) {
            if (m_rowUpdates.isTableLoaded())
                m_tableView->reloadData();
        },
        &m_lists);
    // The hover buttons take the selected list's colour.
    const auto tint = [this](const Notification &) {
        updateHoverTints();
    };
    center.addObserver(ListsControllerDidRearrangeLists, this, tint, &m_lists);
    center.addObserver(ListsControllerDidDeleteList, this, tint, &m_lists);
    center.addObserver(kListEditorDidUpdateList, this, tint);

    m_settings.observe(SettingsKeys::SelectedList, this, [this](const QVariant &) {
        listRepresentation().setListIndex(selectedListIndex());
        updateHoverTints();
    });
    m_settings.observe(SettingsKeys::DisplayPlatformIcons, this, [this](const QVariant &) {
        if (m_rowUpdates.isTableLoaded())
            m_tableView->reloadData();
    });
    // Values other than the known raw ones leave the rows as they are.
    m_settings.observe(SettingsKeys::ListSorting, this, [this](const QVariant &value) {
        if (const auto sorting = listSortingFromRawValue(value.toString()))
            listRepresentation().setSorting(*sorting);
    });
    m_settings.observe(SettingsKeys::ListGrouping, this, [this](const QVariant &value) {
        if (const auto grouping = listGroupingFromRawValue(value.toString()))
            listRepresentation().setGrouping(*grouping);
    });
}

int ListViewController::selectedListIndex()
{
    // Clamped as the lists controller clamps it: the main table never shows the archive, and
    // an index past the last list shows the first, as the header does.
    List *selected = m_lists.selectedList();
    return selected ? selected->index() : 0;
}

ListRepresentation &ListViewController::listRepresentation()
{
    if (!m_listRepresentation) {
        m_listRepresentation = std::make_unique<ListRepresentation>(
            m_lists, selectedListIndex(), savedListGrouping(), savedListSorting());
        m_listRepresentation->setDelegate(&m_rowUpdates);
    }
    return *m_listRepresentation;
}

void ListViewController::listDidUpdate(const QVariantMap &userInfo)
{
    const std::optional<ListUpdate> update = ListUpdate::fromUserInfo(userInfo);
    if (update && update->listIndex == listRepresentation().listIndex())
        showRatingPromptIfNeeded();
}

QColor ListViewController::hoverTint()
{
    List *selected = m_lists.selectedList();
    return (selected ? selected->theme() : Theme {}).lightColor();
}

void ListViewController::updateHoverTints()
{
    const QColor tint = hoverTint();
    for (const int row : m_tableView->rowsWithViews()) {
        if (auto *cell = qobject_cast<AppCell *>(m_tableView->rowViewAtRow(row)))
            cell->setHoverTint(tint);
    }
}

AppSummaryController *ListViewController::summaryControllerAtRow(int row) const
{
    const auto *cell = qobject_cast<AppCell *>(m_tableView->rowViewAtRow(row));
    return cell ? cell->summaryController() : nullptr;
}

// Rows

int ListViewController::numberOfRows(TableView *)
{
    m_rowUpdates.tableDidLoad(m_tableView);
    return listRepresentation().numberOfRows();
}

int ListViewController::heightOfRow(TableView *, int row)
{
    return listRepresentation().titleAtRow(row) ? SectionHeaderCell::kRowHeight
                                                : AppCell::kListRowHeight;
}

bool ListViewController::isGroupRow(TableView *, int row)
{
    return listRepresentation().titleAtRow(row).has_value();
}

TableRowView *ListViewController::rowView(TableView *table, int row)
{
    ListRepresentation &representation = listRepresentation();
    if (App *app = representation.appAtRow(row)) {
        auto *cell = table->makeView<AppCell>(AppCell::kListIdentifier);
        if (!cell)
            return nullptr;
        cell->setPlatform(m_settings.boolean(SettingsKeys::DisplayPlatformIcons)
                              ? std::optional<AppKind>(app->appKind())
                              : std::nullopt);
        cell->setHoverTint(hoverTint());
        return cell;
    }
    if (const std::optional<QString> title = representation.titleAtRow(row)) {
        auto *cell = table->makeView<SectionHeaderCell>(SectionHeaderCell::kIdentifier);
        if (cell)
            cell->label()->setStringValue(*title);
        return cell;
    }
    return nullptr;
}

void ListViewController::didAddRowView(TableView *, TableRowView *view, int row)
{
    auto *cell = qobject_cast<AppCell *>(view);
    App *app = listRepresentation().appAtRow(row);
    if (!cell || !app)
        return;
    // The controller belongs to this row widget: two rows of one application each have
    // their own, and none outlives its row in the table.
    cell->setSummaryController(
        AppSummaryController::create(app, AppSummaryConfiguration::List, m_lists));
    if (isRinged(row))
        emit ringedAppChanged();
}

void ListViewController::didRemoveRowView(TableView *, TableRowView *view, int row)
{
    // Also for rows that were removed (row -1): their controller goes with them.
    if (auto *cell = qobject_cast<AppCell *>(view))
        cell->setSummaryController(nullptr);
    if (isRinged(row))
        emit ringedAppChanged();
}

bool ListViewController::isRinged(int row) const
{
    return row >= 0 && m_tableView->showsCurrentRow() && row == m_tableView->currentRow();
}

AppSummaryController *ListViewController::ringedSummaryController() const
{
    return m_tableView->showsCurrentRow() ? summaryControllerAtRow(m_tableView->currentRow())
                                          : nullptr;
}

void ListViewController::rowClicked(TableView *, int row)
{
    openDetailWindow(row, DetailWindowRequest::Pointer);
}

bool ListViewController::rowActivated(TableView *, int row)
{
    openDetailWindow(row, DetailWindowRequest::Keyboard);
    return true;
}

void ListViewController::openDetailWindow(int row, DetailWindowRequest request)
{
    if (!listRepresentation().appAtRow(row))
        return;
    if (AppSummaryController *controller = summaryControllerAtRow(row))
        m_detailWindows.openDetailWindowWithSummaryController(controller, request);
}

} // namespace tanvill
