#include "core/ListRepresentation.h"

#include "core/App.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/RowChanges.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tanvill {

namespace {

QList<int> range(std::size_t count)
{
    QList<int> indexes(qsizetype(count), 0);
    std::iota(indexes.begin(), indexes.end(), 0);
    return indexes;
}

} // namespace

ListRepresentation::ListRepresentation(ListsController &controller, int listIndex,
                                       ListGrouping grouping, ListSorting sorting)
    : m_controller(controller), m_observerContext(std::make_unique<QObject>()),
      m_listIndex(listIndex), m_grouping(grouping), m_sorting(sorting)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const void *sender = &controller;
    m_willUpdateObserver = center.addObserver(
        ListsControllerWillUpdateList, m_observerContext.get(),
        [this](const Notification &notification) { listWillUpdate(notification); }, sender);
    m_didUpdateObserver = center.addObserver(
        ListsControllerDidUpdateList, m_observerContext.get(),
        [this](const Notification &notification) { listDidUpdate(notification); }, sender);
    m_rearrangementObserver = center.addObserver(
        ListsControllerDidRearrangeLists, m_observerContext.get(),
        [this](const Notification &notification) { listsDidRearrange(notification); }, sender);
    m_reloadObserver = center.addObserver(
        ListsControllerDidReloadApps, m_observerContext.get(),
        [this](const Notification &notification) { appsDidReload(notification); }, sender);
    updateRows(false);
}

ListRepresentation::~ListRepresentation()
{
    NotificationCenter::defaultCenter().removeObservers(m_observerContext.get());
}

void ListRepresentation::setListIndex(int listIndex)
{
    if (listIndex == m_listIndex)
        return;
    const int previous = m_listIndex;
    m_listIndex = listIndex;
    fullRefresh(previous);
}

void ListRepresentation::setGrouping(ListGrouping grouping)
{
    if (grouping == m_grouping)
        return;
    m_grouping = grouping;
    fullRefresh(m_listIndex);
}

void ListRepresentation::setSorting(ListSorting sorting)
{
    if (sorting == m_sorting)
        return;
    m_sorting = sorting;
    fullRefresh(m_listIndex);
}

ListRepresentationDelegate *ListRepresentation::delegate() const
{
    // A delegate that is a QObject and is gone is no delegate.
    if (m_delegateIsObject && m_delegateObject.isNull())
        return nullptr;
    return m_delegate;
}

void ListRepresentation::setDelegate(ListRepresentationDelegate *delegate)
{
    m_delegate = delegate;
    m_delegateObject = dynamic_cast<QObject *>(delegate);
    m_delegateIsObject = !m_delegateObject.isNull();
}

App *ListRepresentation::appAtRow(int row) const
{
    if (row < 0 || row >= numberOfRows() || !m_data[std::size_t(row)].isThis())
        return nullptr;
    return m_data[std::size_t(row)].thisValue();
}

std::optional<QString> ListRepresentation::titleAtRow(int row) const
{
    if (row < 0 || row >= numberOfRows() || !m_data[std::size_t(row)].isThat())
        return std::nullopt;
    return m_data[std::size_t(row)].thatValue();
}

void ListRepresentation::reload()
{
    if (ListRepresentationDelegate *receiver = delegate())
        receiver->listRepresentationWillChange(this);
    updateRows(false);
    if (ListRepresentationDelegate *receiver = delegate())
        receiver->listRepresentationDidChange(this);
}

TableRows ListRepresentation::computeRows() const
{
    return m_controller.rowsForListAtIndex(m_listIndex, m_grouping, m_sorting)
        .value_or(TableRows());
}

void ListRepresentation::updateRows(bool reload, std::optional<int> listIndex)
{
    tellRows(computeRows(), reload, listIndex);
}

void ListRepresentation::tellRows(TableRows newRows, bool reload, std::optional<int> listIndex)
{
    ListRepresentationDelegate *receiver = delegate();
    if (!receiver) {
        m_data = std::move(newRows);
        return;
    }
    if (newRows == m_data)
        return;
    if (reload) {
        const int fromList = listIndex.value_or(m_listIndex);
        receiver->listRepresentationWillReplaceAllRowsFromList(this, fromList);
        m_data = std::move(newRows);
        receiver->listRepresentationDidReplaceAllRowsFromList(this, fromList);
        return;
    }

    const TableRows oldRows = std::exchange(m_data, std::move(newRows));
    if (oldRows.empty()) {
        receiver->listRepresentationDidInsertRowsAtIndexes(this, range(m_data.size()));
        return;
    }
    if (m_data.empty()) {
        receiver->listRepresentationDidRemoveRowsAtIndexes(this, range(oldRows.size()));
        return;
    }
    for (const RowChange &change : rowChanges(oldRows, m_data)) {
        switch (change.kind) {
        case RowChange::Kind::Remove:
            receiver->listRepresentationDidRemoveRowsAtIndexes(this, { change.index });
            break;
        case RowChange::Kind::Insert:
            receiver->listRepresentationDidInsertRowsAtIndexes(this, { change.index });
            break;
        case RowChange::Kind::Move:
            receiver->listRepresentationDidMoveRow(this, change.index, change.toIndex);
            break;
        }
    }
}

void ListRepresentation::fullRefresh(int fromListIndex)
{
    ListRepresentationDelegate *receiver = delegate();
    if (receiver)
        receiver->listRepresentationWillChange(this);
    TableRows newRows = computeRows();
    if (!receiver) {
        m_data = std::move(newRows);
        return;
    }
    if (newRows != m_data) {
        receiver->listRepresentationWillReplaceAllRowsFromList(this, fromListIndex);
        m_data = std::move(newRows);
        receiver->listRepresentationDidReplaceAllRowsFromList(this, fromListIndex);
    }
    receiver->listRepresentationDidChange(this);
}

bool ListRepresentation::isAbout(const Notification &notification) const
{
    const std::optional<ListUpdate> update = ListUpdate::fromUserInfo(notification.userInfo);
    return update && update->listIndex == m_listIndex;
}

void ListRepresentation::listWillUpdate(const Notification &notification)
{
    if (!isAbout(notification))
        return;
    if (ListRepresentationDelegate *receiver = delegate())
        receiver->listRepresentationWillChange(this);
}

void ListRepresentation::listDidUpdate(const Notification &notification)
{
    if (!isAbout(notification))
        return;
    updateRows(false);
    if (ListRepresentationDelegate *receiver = delegate())
        receiver->listRepresentationDidChange(this);
}

void ListRepresentation::listsDidRearrange(const Notification &notification)
{
    const std::optional<ListRearrangement> moved
        = ListRearrangement::fromUserInfo(notification.userInfo);
    if (!moved)
        return;
    // Every list between the two positions shifted by one, so a representation there now
    // stands for another list and must show that list's rows.
    if (m_listIndex < std::min(moved->oldIndex, moved->newIndex)
        || m_listIndex > std::max(moved->oldIndex, moved->newIndex))
        return;
    fullRefresh(m_listIndex);
}

void ListRepresentation::appsDidReload(const Notification &notification)
{
    // Rows in the list's own order stay where they are whatever a refresh wrote.
    if (m_sorting == ListSorting::None && m_grouping == ListGrouping::None)
        return;
    const std::optional<AppReload> reload = AppReload::fromUserInfo(notification.userInfo);
    if (!reload)
        return;
    const bool refreshedHere = std::any_of(m_data.begin(), m_data.end(), [&](const TableRow &row) {
        return row.isThis() && reload->identifiers.contains(row.thisValue()->identifier());
    });
    if (!refreshedHere)
        return;
    // A price, name, developer or kind the order follows may have changed. Only a new order
    // is told, as the moves (and section titles come or gone) a list change gives; a table
    // redraws the values of rows that stay in place itself.
    TableRows newRows = computeRows();
    if (newRows == m_data)
        return;
    if (ListRepresentationDelegate *receiver = delegate())
        receiver->listRepresentationWillChange(this);
    tellRows(std::move(newRows), false, std::nullopt);
    if (ListRepresentationDelegate *receiver = delegate())
        receiver->listRepresentationDidChange(this);
}

} // namespace tanvill
