#pragma once

// The single-row removals, insertions and moves that turn one array of rows into another,
// in the order a table applies them: every removal, then every insertion, then the moves.
// Each index refers to the rows as they stand after the changes before it. ListRepresentation
// tells its delegate these changes so that tables animate instead of reloading. Rows are
// unique within each array (an application appears once, section titles are distinct).

#include <algorithm>
#include <cstddef>
#include <functional>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace tanvill {

struct RowChange
{
    enum class Kind { Remove, Insert, Move };
    Kind kind = Kind::Remove;
    // The row removed or inserted, or the row a move takes.
    int index = 0;
    // Where a move puts the row; unused otherwise.
    int toIndex = 0;

    friend bool operator==(const RowChange &, const RowChange &) = default;
};

namespace detail {

// Counts, among positions 0 to n - 1, the ones still marked; marks are removed one by one.
// A binary indexed tree: both in logarithmic time.
class MarkedPositions
{
public:
    explicit MarkedPositions(std::size_t count) : m_tree(count + 1, 0)
    {
        for (std::size_t i = 1; i <= count; ++i) {
            m_tree[i] += 1;
            const std::size_t parent = i + (i & (~i + 1));
            if (parent <= count)
                m_tree[parent] += m_tree[i];
        }
    }
    // Marked positions below position.
    int countBefore(std::size_t position) const
    {
        int count = 0;
        for (std::size_t i = position; i > 0; i -= i & (~i + 1))
            count += m_tree[i];
        return count;
    }
    void unmark(std::size_t position)
    {
        for (std::size_t i = position + 1; i < m_tree.size(); i += i & (~i + 1))
            m_tree[i] -= 1;
    }

private:
    std::vector<int> m_tree;
};

// The changes between the rows of two ranges, with indexes counted from offset.
template<typename Iterator>
void appendRowChanges(Iterator oldBegin, Iterator oldEnd, Iterator newBegin, Iterator newEnd,
                      int offset, std::vector<RowChange> &changes)
{
    using Row = typename std::iterator_traits<Iterator>::value_type;
    const std::size_t oldCount = std::size_t(oldEnd - oldBegin);
    const std::size_t newCount = std::size_t(newEnd - newBegin);
    std::unordered_map<Row, std::size_t> oldPosition;
    oldPosition.reserve(oldCount);
    for (std::size_t position = 0; position < oldCount; ++position)
        oldPosition.emplace(oldBegin[position], position);
    // Where each new row stood before (none for an inserted one), found once per row.
    constexpr std::size_t kInserted = std::size_t(-1);
    std::vector<std::size_t> newToOld(newCount, kInserted);
    std::vector<bool> keptOld(oldCount, false);
    for (std::size_t position = 0; position < newCount; ++position) {
        const auto found = oldPosition.find(newBegin[position]);
        if (found != oldPosition.end()) {
            newToOld[position] = found->second;
            keptOld[found->second] = true;
        }
    }

    // Removed rows go in their old order; by then only the kept rows stand above each.
    std::vector<std::size_t> keptOldPositions;
    keptOldPositions.reserve(oldCount);
    for (std::size_t position = 0; position < oldCount; ++position) {
        if (keptOld[position])
            keptOldPositions.push_back(position);
        else
            changes.push_back(
                { RowChange::Kind::Remove, offset + int(keptOldPositions.size()), 0 });
    }

    // Inserted rows go in their new order at their final positions, which never lie beyond
    // the end of the table. Afterwards the table holds the new rows at the inserted
    // positions and the kept rows, in their old order, everywhere else; workingPosition
    // says where each row of the new order stands in that table.
    std::vector<std::size_t> keptRank(oldCount);
    for (std::size_t rank = 0; rank < keptOldPositions.size(); ++rank)
        keptRank[keptOldPositions[rank]] = rank;
    std::vector<std::size_t> keptWorkingPosition(keptOldPositions.size());
    for (std::size_t position = 0, rank = 0; position < newCount; ++position) {
        if (newToOld[position] == kInserted)
            changes.push_back({ RowChange::Kind::Insert, offset + int(position), 0 });
        else
            keptWorkingPosition[rank++] = position;
    }
    std::vector<std::size_t> workingPosition(newCount);
    for (std::size_t position = 0; position < newCount; ++position) {
        workingPosition[position] = newToOld[position] == kInserted
            ? position
            : keptWorkingPosition[keptRank[newToOld[position]]];
    }

    // Walk the new order; a row not yet at its place is moved up from further down: the
    // rows above are placed, and the others keep their relative order, so the row stands
    // below the target by the number of unplaced rows ahead of it.
    detail::MarkedPositions unplaced(newCount);
    for (std::size_t target = 0; target < newCount; ++target) {
        const std::size_t position = workingPosition[target];
        const int from = int(target) + unplaced.countBefore(position);
        if (from != int(target))
            changes.push_back({ RowChange::Kind::Move, offset + from, offset + int(target) });
        unplaced.unmark(position);
    }
}

} // namespace detail

template<typename Row>
std::vector<RowChange> rowChanges(const std::vector<Row> &oldRows, const std::vector<Row> &newRows)
{
    // Rows that stand alike at the start and at the end are never told, so the work is
    // only that of the part that changed: one change in a long list stays cheap.
    std::size_t prefix = 0;
    const std::size_t shorter = std::min(oldRows.size(), newRows.size());
    while (prefix < shorter && oldRows[prefix] == newRows[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix
           && oldRows[oldRows.size() - 1 - suffix] == newRows[newRows.size() - 1 - suffix])
        ++suffix;
    std::vector<RowChange> changes;
    detail::appendRowChanges(oldRows.begin() + prefix, oldRows.end() - suffix,
                             newRows.begin() + prefix, newRows.end() - suffix, int(prefix),
                             changes);
    return changes;
}

} // namespace tanvill
