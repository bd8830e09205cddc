#include "core/RowChanges.h"

#include <QHashFunctions>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace tanvill;

namespace {

using Rows = std::vector<QString>;

Rows rows(const char *letters)
{
    Rows result;
    for (const char *c = letters; *c; ++c)
        result.push_back(QString(QChar(*c)));
    return result;
}

RowChange removal(int index)
{
    return { RowChange::Kind::Remove, index, 0 };
}
RowChange insertion(int index)
{
    return { RowChange::Kind::Insert, index, 0 };
}
RowChange move(int from, int to)
{
    return { RowChange::Kind::Move, from, to };
}

// What a table shows after it applied the changes one after another.
Rows applied(Rows table, const std::vector<RowChange> &changes, const Rows &newRows)
{
    for (const RowChange &change : changes) {
        switch (change.kind) {
        case RowChange::Kind::Remove:
            table.erase(table.begin() + change.index);
            break;
        case RowChange::Kind::Insert:
            table.insert(table.begin() + change.index, newRows[change.index]);
            break;
        case RowChange::Kind::Move: {
            const QString row = table[change.index];
            table.erase(table.begin() + change.index);
            table.insert(table.begin() + change.toIndex, row);
            break;
        }
        }
    }
    return table;
}

// The changes worked out the plain way: a working copy of the table, searched for every row.
std::vector<RowChange> plainRowChanges(const Rows &oldRows, const Rows &newRows)
{
    std::vector<RowChange> changes;
    Rows working = oldRows;
    for (const QString &row : oldRows) {
        if (std::find(newRows.begin(), newRows.end(), row) != newRows.end())
            continue;
        const auto at = std::find(working.begin(), working.end(), row);
        changes.push_back(removal(int(at - working.begin())));
        working.erase(at);
    }
    for (std::size_t position = 0; position < newRows.size(); ++position) {
        if (std::find(oldRows.begin(), oldRows.end(), newRows[position]) != oldRows.end())
            continue;
        changes.push_back(insertion(int(position)));
        working.insert(working.begin() + position, newRows[position]);
    }
    for (std::size_t target = 0; target < newRows.size(); ++target) {
        const auto at = std::find(working.begin(), working.end(), newRows[target]);
        const int from = int(at - working.begin());
        if (from == int(target))
            continue;
        changes.push_back(move(from, int(target)));
        working.erase(at);
        working.insert(working.begin() + target, newRows[target]);
    }
    return changes;
}

} // namespace

TEST(RowChanges, ReplacingARowIsOneRemovalThenOneInsertion)
{
    EXPECT_EQ(rowChanges(rows("abc"), rows("bdc")),
              (std::vector<RowChange> { removal(0), insertion(1) }));
}

TEST(RowChanges, MovesRowsUpIntoPlaceInTheNewOrder)
{
    EXPECT_EQ(rowChanges(rows("abc"), rows("cab")), (std::vector<RowChange> { move(2, 0) }));
    EXPECT_EQ(rowChanges(rows("abcd"), rows("cbda")),
              (std::vector<RowChange> { move(2, 0), move(2, 1), move(3, 2) }));
    // One row dragged down by two places moves the two rows it passed.
    EXPECT_EQ(rowChanges(rows("abcd"), rows("bcad")),
              (std::vector<RowChange> { move(1, 0), move(2, 1) }));
}

TEST(RowChanges, TellsNothingForEqualRows)
{
    EXPECT_TRUE(rowChanges(rows("abcd"), rows("abcd")).empty());
    EXPECT_TRUE(rowChanges(Rows(), Rows()).empty());
}

TEST(RowChanges, IndexesEachRemovalAfterTheOnesBefore)
{
    EXPECT_EQ(rowChanges(rows("abcde"), rows("bd")),
              (std::vector<RowChange> { removal(0), removal(1), removal(2) }));
    EXPECT_EQ(rowChanges(rows("bd"), rows("abcde")),
              (std::vector<RowChange> { insertion(0), insertion(2), insertion(4) }));
}

TEST(RowChanges, AppliedOneAfterAnotherTheyAlwaysGiveTheNewRows)
{
    std::mt19937 random(20261207);
    const Rows alphabet = rows("abcdefghijklmnopqrstuvwxyz0123456789");
    for (int round = 0; round < 3000; ++round) {
        Rows pool = alphabet;
        std::shuffle(pool.begin(), pool.end(), random);
        const Rows oldRows(pool.begin(), pool.begin() + random() % 15);
        std::shuffle(pool.begin(), pool.end(), random);
        Rows newRows(pool.begin(), pool.begin() + random() % 15);
        // Mostly small edits of the old rows, sometimes unrelated rows.
        if (round % 3 != 0) {
            newRows = oldRows;
            const int edits = 1 + int(random() % 3);
            for (int edit = 0; edit < edits && !newRows.empty(); ++edit) {
                const std::size_t at = random() % newRows.size();
                std::rotate(newRows.begin() + std::min(at, std::size_t(random() % newRows.size())),
                            newRows.begin() + at, newRows.begin() + at + 1);
            }
        }
        const std::vector<RowChange> changes = rowChanges(oldRows, newRows);
        ASSERT_EQ(applied(oldRows, changes, newRows), newRows) << "round " << round;
        ASSERT_EQ(changes, plainRowChanges(oldRows, newRows)) << "round " << round;
        // Removals come first, then insertions, then moves.
        EXPECT_TRUE(
            std::is_sorted(changes.begin(), changes.end(),
                           [](const RowChange &a, const RowChange &b) { return a.kind < b.kind; }));
    }
}
