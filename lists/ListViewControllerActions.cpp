// The list table's drag-to-reorder and its rating prompt.
#include "lists/ListViewController.h"

#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/SettingsKeys.h"
#include "lists/FeedbackWindows.h"
#include "platform/Analytics.h"
#include "platform/UserDefaults.h"

#include <QMimeData>

namespace tanvill {

namespace {

constexpr qint64 kPromptAfterWholeDays = 7;
constexpr std::size_t kPromptFromWatchedApps = 5;

// Whole days from `from` to `to` in the local calendar: 6 days and 23 hours count as 6.
qint64 wholeDaysBetween(const QDateTime &from, const QDateTime &to)
{
    qint64 days = from.daysTo(to);
    if (days > 0 && from.addDays(days) > to)
        --days;
    return days;
}

} // namespace

// Dragging rows to reorder the list

bool ListViewController::isReorderable()
{
    const ListRepresentation &representation = listRepresentation();
    return representation.sorting() == ListSorting::None
        && representation.grouping() == ListGrouping::None;
}

qint64 ListViewController::shownListIdentity()
{
    const std::vector<List *> lists = m_lists.lists();
    const int index = listRepresentation().listIndex();
    if (index < 0 || index >= int(lists.size()))
        return -1;
    return lists[std::size_t(index)]->objectId();
}

bool ListViewController::writeRows(TableView *, const QList<int> &rows, QMimeData *data)
{
    if (!isReorderable() || rows.isEmpty())
        return false;
    data->setData(kDragType, TableRowsPayload { shownListIdentity(), rows }.encode());
    return true;
}

Qt::DropAction ListViewController::validateDrop(TableView *, const TableDrop &drop)
{
    if (!isReorderable() || !drop.fromThisTable || drop.operation != DropOperation::Above
        || drop.row < 0 || drop.row > listRepresentation().numberOfRows())
        return Qt::IgnoreAction;
    // Only rows of the list on screen: the list may have changed since the drag began.
    const std::optional<TableRowsPayload> payload
        = TableRowsPayload::decode(drop.data ? drop.data->data(kDragType) : QByteArray());
    if (!payload || payload->rows.isEmpty() || payload->context != shownListIdentity())
        return Qt::IgnoreAction;
    return Qt::MoveAction;
}

bool ListViewController::acceptDrop(TableView *table, const TableDrop &drop)
{
    if (validateDrop(table, drop) == Qt::IgnoreAction)
        return false;
    const TableRowsPayload payload = *TableRowsPayload::decode(drop.data->data(kDragType));
    // Several dragged rows move only the first one, to the place it takes once it has left
    // its old one.
    const int from = payload.rows.first();
    const int to = from < drop.row ? drop.row - 1 : drop.row;
    if (from == to)
        return false;
    App *app = listRepresentation().appAtRow(from);
    if (!app)
        return false;
    // The table follows through the move's notifications.
    m_lists.moveApp(app, to);
    return true;
}

// The rating prompt

RatingPromptView *ListViewController::ratingPrompt() const
{
    return qobject_cast<RatingPromptView *>(m_tableView->headerView());
}

void ListViewController::showRatingPromptIfNeeded()
{
    if (m_settings.boolean(SettingsKeys::CompletedReviewPrompt))
        return;
    const std::optional<QDateTime> firstLaunch = m_settings.date(SettingsKeys::FirstLaunchDate);
    if (!firstLaunch || wholeDaysBetween(*firstLaunch, m_clock()) < kPromptAfterWholeDays)
        return;
    if (m_lists.apps().size() < kPromptFromWatchedApps || ratingPrompt())
        return;
    auto *prompt = new RatingPromptView;
    prompt->setDelegate(this);
    m_tableView->setHeaderView(prompt);
}

void ListViewController::endPrompt()
{
    m_tableView->setHeaderView(nullptr);
}

void ListViewController::hideRatingPrompt(RatingPromptView *, RatingPromptState state)
{
    endPrompt();
    Analytics::shared().track(QStringLiteral("Hide Rating Prompt"),
                              { { QStringLiteral("state"), rawValue(state) } });
    m_settings.setValue(SettingsKeys::CompletedReviewPrompt, true);
    m_settings.sync();
}

void ListViewController::leaveRating(RatingPromptView *)
{
    endPrompt();
    presentRatingWindow();
    Analytics::shared().track(QStringLiteral("Leave Rating"));
    m_settings.setValue(SettingsKeys::CompletedReviewPrompt, true);
    m_settings.sync();
}

void ListViewController::sendFeedback(RatingPromptView *)
{
    endPrompt();
    presentFeedbackWindow();
    Analytics::shared().track(QStringLiteral("Send Feedback"));
    m_settings.setValue(SettingsKeys::CompletedReviewPrompt, true);
    m_settings.sync();
}

} // namespace tanvill
