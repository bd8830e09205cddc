#include "ListRowsFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace tanvill;
using namespace tanvill::test;

namespace {

using ListRepresentationProperty = ListRowsTest;

// Random edits of a few lists while a table shows each list and the archive; after every
// edit each table, having applied only the calls it was told, must show exactly the rows
// the lists controller computes afresh.
class RandomEdits
{
public:
    explicit RandomEdits(unsigned seed) : m_random(seed)
    {
        for (const char *name : { "Games", "Tools", "Music", "Work" })
            controller().createList(name);
        controller().archive();
        for (int index = -1; index < 5; ++index) {
            m_shown.push_back(std::make_unique<ListRepresentation>(
                controller(), index, ListGrouping::None, ListSorting::None));
            m_tables.push_back(std::make_unique<TableDelegate>(*m_shown.back()));
        }
    }

    void step()
    {
        const std::vector<App *> apps = allApps();
        switch (pick(apps.empty() ? 2 : 14)) {
        case 0:
        case 1:
            addApp(randomList(), randomFields());
            m_lastEdit = "add";
            break;
        case 2:
            deleteApp(anyOf(apps));
            m_lastEdit = "delete";
            break;
        case 3: {
            App *app = anyOf(apps);
            moveApp(app, pick(int(app->list()->apps().size())));
            m_lastEdit = "move within";
            break;
        }
        case 4: {
            App *app = anyOf(apps);
            List *target = randomList();
            if (target != app->list())
                moveApp(app, target);
            m_lastEdit = "move between";
            break;
        }
        case 5: {
            App *app = anyOf(apps);
            if (!app->archived())
                moveApp(app, controller().archive());
            m_lastEdit = "archive";
            break;
        }
        case 6:
            // Refreshed fields reach the tables through the refresh's notice alone.
            anyOf(apps)->setName(randomFields().name);
            reloadAll();
            m_lastEdit = "rename";
            break;
        case 7:
            anyOf(apps)->setPrice(*Decimal::fromString(randomFields().price));
            reloadAll();
            m_lastEdit = "price";
            break;
        case 8:
            anyOf(apps)->setDeveloper(randomFields().developer);
            reloadAll();
            m_lastEdit = "developer";
            break;
        case 9: {
            const auto sorting = ListSorting(pick(3));
            for (auto &shown : m_shown)
                shown->setSorting(sorting);
            m_lastEdit = "sorting";
            break;
        }
        case 10: {
            const auto grouping = ListGrouping(pick(3));
            for (auto &shown : m_shown)
                shown->setGrouping(grouping);
            m_lastEdit = "grouping";
            break;
        }
        case 11: {
            const std::vector<List *> lists = controller().lists();
            controller().moveList(anyOf(lists), pick(int(lists.size())));
            m_lastEdit = "rearrange";
            break;
        }
        case 12:
            anyOf(m_shown)->setListIndex(pick(6) - 1);
            m_lastEdit = "switch list";
            break;
        case 13:
            anyOf(apps)->setAppKind(AppKind(pick(3)));
            reloadAll();
            m_lastEdit = "kind";
            break;
        }
    }

    void check(int stepNumber)
    {
        for (std::size_t i = 0; i < m_shown.size(); ++i) {
            const ListRepresentation &shown = *m_shown[i];
            const TableDelegate &table = *m_tables[i];
            const TableRows fresh
                = controller()
                      .rowsForListAtIndex(shown.listIndex(), shown.grouping(), shown.sorting())
                      .value_or(TableRows());
            ASSERT_TRUE(table.faults.isEmpty()) << m_lastEdit << " at step " << stepNumber << ": "
                                                << table.faults.join("; ").toStdString();
            ASSERT_EQ(table.depth, 0) << m_lastEdit << " at step " << stepNumber;
            ASSERT_EQ(describe(table.table), describe(fresh))
                << m_lastEdit << " at step " << stepNumber << ", list " << shown.listIndex()
                << ", calls " << table.calls.join(", ").toStdString();
            ASSERT_EQ(table.table, fresh);
        }
        for (auto &table : m_tables)
            table->calls.clear();
    }

private:
    int pick(int count) { return int(m_random() % unsigned(count)); }
    template<typename T> const T &anyOf(const std::vector<T> &items)
    {
        return items[std::size_t(pick(int(items.size())))];
    }

    List *randomList() { return anyOf(controller().lists()); }

    std::vector<App *> allApps() const { return controller().managedObjectContext()->apps(); }

    AppFields randomFields()
    {
        // Small pools, so that equal names, prices and developers happen often.
        static const char *names[] = { "Alpha", "beta", "Gamma", "delta", "Alpha", "Zed" };
        static const char *developers[] = { "Acme", "Bolt", "", "acme" };
        static const char *prices[] = { "0", "0.99", "1.99", "0.99", "1000", "4.5" };
        return { QString::fromLatin1(names[pick(6)]) + QString::number(pick(3)),
                 QString::fromLatin1(developers[pick(4)]), QString::fromLatin1(prices[pick(6)]),
                 AppKind(pick(3)) };
    }

    // What a refresh that wrote into every application announces.
    void reloadAll()
    {
        AppReload reload;
        for (const App *app : allApps())
            reload.identifiers.insert(app->identifier());
        NotificationCenter::defaultCenter().post(ListsControllerDidReloadApps, &controller(),
                                                 reload.userInfo());
    }

    std::mt19937 m_random;
    std::vector<std::unique_ptr<ListRepresentation>> m_shown;
    std::vector<std::unique_ptr<TableDelegate>> m_tables;
    const char *m_lastEdit = "";
};

} // namespace

TEST_F(ListRepresentationProperty, TablesApplyingTheToldCallsAlwaysShowTheNewRows)
{
    RandomEdits edits(7);
    for (int step = 0; step < 3000; ++step) {
        edits.step();
        edits.check(step);
        if (HasFatalFailure())
            return;
    }
}
