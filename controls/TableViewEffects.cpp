// Changes of rows: reloads, and update brackets whose inserts, removals and moves are animated
// into place.
#include "controls/TableView.h"

#include <QGraphicsEffect>
#include <QPainter>
#include <QScrollBar>
#include <QVariantAnimation>

#include <algorithm>

namespace tanvill {

namespace {

// How far inside the rows' edges the drop line stays at least: clear of the table's focus ring,
// which stands inside the table where it meets its window's edge.
constexpr int kDropLineInset = 10;

QList<int> sortedUnique(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace

void TableView::reloadRows(const QList<int> &rows)
{
    for (const int row : rows) {
        const auto it = m_views.find(row);
        if (it != m_views.end())
            dropRowView(it, row);
    }
    layoutRows();
}

void TableView::noteHeightOfRowsChanged(const QList<int> &rows)
{
    if (!m_dataSource || rows.isEmpty())
        return;
    int first = numberOfRows();
    for (const int row : rows) {
        if (row < 0 || row >= numberOfRows())
            continue;
        m_heights[size_t(row)] = std::max(0, m_dataSource->heightOfRow(this, row));
        first = std::min(first, row);
    }
    rebuildOffsets(first);
    updateScrollRange();
    layoutRows();
}

void TableView::beginUpdates()
{
    // Changes start from rows at rest: a running effect ends first.
    if (m_updateDepth++ == 0)
        finishAnimation();
}

void TableView::endUpdates()
{
    if (m_updateDepth == 0) {
        qWarning("TableView: endUpdates without beginUpdates");
        return;
    }
    if (--m_updateDepth == 0)
        commitUpdates();
}

void TableView::ensureUpdateSlots()
{
    if (m_slots)
        return;
    m_slots.emplace(m_heights.size());
    for (size_t row = 0; row < m_heights.size(); ++row)
        (*m_slots)[row] = { int(row), TableEffect::None };
}

void TableView::insertRows(const QList<int> &rows, TableEffect effect)
{
    record(TableChange::Kind::Insert, rows, -1, effect);
    beginUpdates();
    ensureUpdateSlots();
    const QList<int> added = sortedUnique(rows);
    const std::vector<Slot> &before = *m_slots;
    const size_t total = before.size() + size_t(added.size());
    if (!added.isEmpty() && (added.first() < 0 || size_t(added.last()) >= total)) {
        qWarning("TableView: inserted row %d is out of range", added.last());
        m_updateBroken = true;
    } else {
        // Inserted indexes are positions after the insertion.
        std::vector<Slot> after;
        after.reserve(total);
        auto next = added.cbegin();
        size_t kept = 0;
        for (size_t row = 0; row < total; ++row) {
            if (next != added.cend() && size_t(*next) == row) {
                after.push_back({ -1, effect });
                ++next;
            } else {
                after.push_back(before[kept++]);
            }
        }
        m_slots = std::move(after);
    }
    endUpdates();
}

void TableView::removeRows(const QList<int> &rows, TableEffect effect)
{
    record(TableChange::Kind::Remove, rows, -1, effect);
    beginUpdates();
    ensureUpdateSlots();
    const QList<int> removed = sortedUnique(rows);
    std::vector<Slot> &rowSlots = *m_slots;
    if (!removed.isEmpty() && (removed.first() < 0 || size_t(removed.last()) >= rowSlots.size())) {
        qWarning("TableView: removed row %d is out of range", removed.last());
        m_updateBroken = true;
    } else {
        // Removed indexes are positions before the removal.
        std::vector<Slot> after;
        after.reserve(rowSlots.size() - size_t(removed.size()));
        auto next = removed.cbegin();
        for (size_t row = 0; row < rowSlots.size(); ++row) {
            if (next != removed.cend() && size_t(*next) == row) {
                if (rowSlots[row].oldRow >= 0)
                    m_removedRows.emplace_back(rowSlots[row].oldRow, effect);
                ++next;
            } else {
                after.push_back(rowSlots[row]);
            }
        }
        rowSlots = std::move(after);
    }
    endUpdates();
}

void TableView::moveRow(int from, int to)
{
    record(TableChange::Kind::Move, { from }, to, TableEffect::None);
    beginUpdates();
    ensureUpdateSlots();
    std::vector<Slot> &rowSlots = *m_slots;
    const int count = int(rowSlots.size());
    if (from < 0 || from >= count || to < 0 || to >= count) {
        qWarning("TableView: move from %d to %d is out of range", from, to);
        m_updateBroken = true;
    } else if (from < to) {
        // Only the rows between the two places shift: a list told thousands of short moves
        // after a refresh re-sorted it does not copy its whole tail for each of them.
        std::rotate(rowSlots.begin() + from, rowSlots.begin() + from + 1,
                    rowSlots.begin() + to + 1);
    } else if (from > to) {
        std::rotate(rowSlots.begin() + to, rowSlots.begin() + from, rowSlots.begin() + from + 1);
    }
    endUpdates();
}

void TableView::record(TableChange::Kind kind, const QList<int> &rows, int to, TableEffect effect)
{
    if (m_recordsChanges)
        m_recordedChanges.append({ kind, rows, to, effect });
}

bool TableView::isAnimating() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void TableView::commitUpdates()
{
    if (!m_slots)
        return;
    const std::vector<Slot> rowSlots = std::move(*m_slots);
    m_slots.reset();
    auto removedRows = std::exchange(m_removedRows, {});
    const int count = m_dataSource ? std::max(0, m_dataSource->numberOfRows(this)) : 0;
    if (m_updateBroken || count != int(rowSlots.size())) {
        // A data source that disagrees with its own changes gets its rows shown as they are,
        // rather than a table that points past its rows.
        qWarning("TableView: changes give %d rows, the data source has %d; reloading",
                 int(rowSlots.size()), count);
        m_updateBroken = false;
        reloadData();
        return;
    }

    const int oldCount = numberOfRows();
    std::vector<int> oldToNew(static_cast<size_t>(oldCount), -1);
    std::vector<int> heights(static_cast<size_t>(count));
    std::vector<int> groups;
    for (int row = 0; row < count; ++row) {
        const Slot &slot = rowSlots[size_t(row)];
        bool group;
        if (slot.oldRow >= 0) {
            oldToNew[size_t(slot.oldRow)] = row;
            heights[size_t(row)] = rowHeight(slot.oldRow);
            group = isGroupRow(slot.oldRow);
        } else {
            heights[size_t(row)] = std::max(0, m_dataSource->heightOfRow(this, row));
            group = m_dataSource->isGroupRow(this, row);
        }
        if (group)
            groups.push_back(row);
    }

    m_commitAnimated = !m_instant && m_animationDuration > 0 && isVisible();
    m_committing = &rowSlots;
    const int top = scrollPosition();
    std::vector<std::pair<TableRowView *, int>> removedViews;
    std::map<int, TableRowView *> kept;
    for (const auto &[row, view] : m_views) {
        const int to = oldToNew[size_t(row)];
        if (to >= 0) {
            kept[to] = view;
        } else if (view) {
            removedViews.emplace_back(view, row);
            const auto removal
                = std::find_if(removedRows.begin(), removedRows.end(),
                               [row = row](const auto &r) { return r.first == row; });
            if (m_commitAnimated && removal != removedRows.end())
                addGhost(view, top, removal->second);
        }
    }

    m_oldOffsets = m_offsets;
    m_oldHeaderHeight = m_headerHeight;
    m_heights = std::move(heights);
    m_groupRows = std::move(groups);
    rebuildOffsets();
    m_views = std::move(kept);
    for (const auto &[row, view] : m_views) {
        if (view && m_commitAnimated)
            startMotion(view, row);
    }
    const int oldSelection = m_selectedRow;
    if (oldSelection >= 0)
        m_selectedRow = oldSelection < oldCount ? oldToNew[size_t(oldSelection)] : -1;
    if (m_currentRow >= 0) {
        // A removed current row leaves the keyboard on the row that took its place.
        const int stays = m_currentRow < oldCount ? oldToNew[size_t(m_currentRow)] : -1;
        m_currentRow = stays >= 0 ? stays : currentRowNear(std::min(m_currentRow, count - 1), 1);
    }

    for (const auto &[view, row] : removedViews) {
        if (m_delegate)
            m_delegate->didRemoveRowView(this, view, -1);
        recycle(view);
    }

    m_progress = m_commitAnimated ? 0.0 : 1.0;
    updateScrollRange();
    layoutRows();
    m_committing = nullptr;
    if (oldSelection >= 0 && m_selectedRow < 0 && m_delegate)
        m_delegate->selectionDidChange(this);
    // The rows are in place: the one under the ring can be asked for.
    noteRingedRow(true);

    if (m_commitAnimated && (!m_motions.empty() || !m_ghosts.empty())) {
        m_animation->setDuration(m_animationDuration);
        m_animation->start();
    } else {
        finishAnimation();
    }
    m_commitAnimated = false;
}

void TableView::startMotion(TableRowView *view, int row)
{
    Motion motion;
    const int oldRow = m_committing ? (*m_committing)[size_t(row)].oldRow : row;
    if (m_committing && oldRow < 0) {
        const int width = viewport()->width(), height = rowHeight(row);
        switch ((*m_committing)[size_t(row)].effect) {
        case TableEffect::None:
            return;
        case TableEffect::Fade:
        case TableEffect::Gap:
            motion.fadeIn = true;
            break;
        case TableEffect::SlideUp:
            motion = { 0, height, true };
            break;
        case TableEffect::SlideDown:
            motion = { 0, -height, true };
            break;
        case TableEffect::SlideLeft: // in from the right, moving left
            motion.dx = width;
            break;
        case TableEffect::SlideRight: // in from the left, moving right
            motion.dx = -width;
            break;
        }
    } else {
        // A row that stays slides from where it stood; one from far away starts just out of
        // view rather than crossing the whole table.
        const int limit = viewport()->height() + rowHeight(row);
        const int oldTop = m_oldHeaderHeight + m_oldOffsets[size_t(oldRow)];
        motion.dy = std::clamp(oldTop - rowTop(row), -limit, limit);
        if (motion.dy == 0)
            return;
    }
    if (motion.fadeIn) {
        auto *effect = new QGraphicsOpacityEffect(view);
        effect->setOpacity(0.0);
        view->setGraphicsEffect(effect);
    }
    m_motions[view] = motion;
}

void TableView::addGhost(TableRowView *view, int top, TableEffect effect)
{
    if (effect == TableEffect::None || view->isHidden()
        || !view->geometry().intersects(viewport()->rect()))
        return;
    m_ghosts.push_back(
        { view->TableRowView::snapshot(), view->geometry().translated(0, top), effect });
}

void TableView::animationStep(double progress)
{
    m_progress = progress;
    placeRowViews(scrollPosition());
    if (!m_ghosts.empty() || showsCurrentRow())
        m_overlay->update();
}

void TableView::finishAnimation()
{
    const bool settled = m_motions.empty() && m_ghosts.empty();
    m_animation->stop();
    m_progress = 1.0;
    if (!settled) {
        for (const auto &[view, motion] : m_motions) {
            if (motion.fadeIn)
                view->setGraphicsEffect(nullptr);
        }
        m_motions.clear();
        m_ghosts.clear();
        m_overlay->update();
        // Rows that slid out of view keep their widgets only while they move.
        layoutRows();
    }
    if (std::exchange(m_settlePointerWhenRested, false))
        settlePointer();
}

void TableView::paintOverlay(QWidget *overlay)
{
    QPainter painter(overlay);
    const int top = scrollPosition();
    const double p = m_progress;
    for (const Ghost &ghost : m_ghosts) {
        QRect frame = ghost.contentRect.translated(0, -top);
        double opacity = 1.0 - p;
        switch (ghost.effect) {
        case TableEffect::SlideLeft:
            frame.translate(int(-p * frame.width()), 0);
            opacity = 1.0;
            break;
        case TableEffect::SlideRight:
            frame.translate(int(p * frame.width()), 0);
            opacity = 1.0;
            break;
        case TableEffect::SlideUp:
            frame.translate(0, int(-p * frame.height()));
            break;
        case TableEffect::SlideDown:
            frame.translate(0, int(p * frame.height()));
            break;
        default:
            break;
        }
        painter.setOpacity(opacity);
        painter.drawPixmap(frame.topLeft(), ghost.image);
    }
    painter.setOpacity(1.0);
    paintCurrentRow(painter);

    if (m_dropRow < 0 || m_dropRow > numberOfRows())
        return;
    const QColor accent = palette().color(QPalette::Highlight);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_dropOperation == DropOperation::On) {
        painter.setPen(QPen(accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rectOfRow(m_dropRow)).adjusted(2, 2, -2, -2), 4, 4);
        return;
    }
    // A line across the gap with a ring at its start, kept inside the visible rows and clear of
    // the focus ring around the table, which may stand just inside its edges.
    const int gapY = m_dropRow < numberOfRows() ? rowTop(m_dropRow) : contentHeight();
    const double y = std::clamp(gapY - top, kDropLineInset,
                                std::max(kDropLineInset, overlay->height() - kDropLineInset));
    painter.setPen(QPen(accent, 2));
    painter.drawLine(QPointF(10, y), QPointF(overlay->width() - 4, y));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawEllipse(QPointF(6.5, y), 3.5, 3.5);
}

} // namespace tanvill
