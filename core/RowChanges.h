#pragma once

// The single-row removals, insertions and moves that turn one array of rows into another,
// in the order a table applies them: every removal, then every insertion, then the moves.
// Each index refers to the rows as they stand after the changes before it. ListRepresentation
// tells its delegate these changes so that tables animate instead of reloading. Rows are
// unique within each array (an application appears once, section titles are distinct).

#include <algorithm>
#include <cstddef>
#include <functional>
#include <unordered_map>
#include <unordered_set>
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

template<typename Row>
std::vector<RowChange> rowChanges(const std::vector<Row> &oldRows, const std::vector<Row> &newRows)
{
    std::vector<RowChange> changes;
    const std::unordered_set<Row> inOld(oldRows.begin(), oldRows.end());
    const std::unordered_set<Row> inNew(newRows.begin(), newRows.end());

    // The working copy mirrors the table after every change told so far.
    std::vector<Row> working;
    working.reserve(std::max(oldRows.size(), newRows.size()));

    // Removed rows go in their old order; each earlier removal shifts the later ones up.
    int removedSoFar = 0;
    for (std::size_t position = 0; position < oldRows.size(); ++position) {
        if (inNew.count(oldRows[position])) {
            working.push_back(oldRows[position]);
            continue;
        }
        changes.push_back({ RowChange::Kind::Remove, int(position) - removedSoFar, 0 });
        ++removedSoFar;
    }

    // Inserted rows go in their new order at their final positions, which never lie beyond
    // the end of the working copy.
    std::vector<std::size_t> insertedPositions;
    for (std::size_t position = 0; position < newRows.size(); ++position) {
        if (!inOld.count(newRows[position]))
            insertedPositions.push_back(position);
    }
    if (!insertedPositions.empty()) {
        std::vector<Row> merged;
        merged.reserve(newRows.size());
        std::size_t kept = 0;
        for (const std::size_t position : insertedPositions) {
            while (merged.size() < position)
                merged.push_back(working[kept++]);
            merged.push_back(newRows[position]);
            changes.push_back({ RowChange::Kind::Insert, int(position), 0 });
        }
        while (kept < working.size())
            merged.push_back(working[kept++]);
        working = std::move(merged);
    }

    // Walk the new order; a row not yet at its place is moved up from further down (the rows
    // above the current position already match, so it can only be below).
    for (std::size_t target = 0; target < newRows.size(); ++target) {
        if (working[target] == newRows[target])
            continue;
        std::size_t from = target + 1;
        while (!(working[from] == newRows[target]))
            ++from;
        changes.push_back({ RowChange::Kind::Move, int(from), int(target) });
        std::rotate(working.begin() + target, working.begin() + from, working.begin() + from + 1);
    }
    return changes;
}

} // namespace tanvill
