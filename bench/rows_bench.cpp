// Rows of a large list: computing them sorted by price and grouped by developer, and the
// single-row changes a table is told after one application of that list changed.

#include "CountingTable.h"

#include "core/App.h"
#include "core/List.h"
#include "core/ListRepresentation.h"
#include "core/ListRows.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "support/TestServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace tanvill;

namespace {

constexpr int kApps = 10000;
constexpr int kDevelopers = 400;
constexpr int kRounds = 20;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    test::TestServices services;
    ListsController &controller = services.listsController();
    List *list = controller.createList(QStringLiteral("Everything"));
    std::mt19937 random(42);
    std::vector<App *> apps;
    for (int i = 0; i < kApps; ++i) {
        App *app = controller.managedObjectContext()->insertApp(list);
        app->setName(QStringLiteral("App %1").arg(i));
        app->setDeveloper(QStringLiteral("Developer %1").arg(random() % kDevelopers));
        app->setPrice(Decimal::fromUnits(qint64(random() % 5000), 2));
        apps.push_back(app);
    }

    std::vector<double> rowTimes;
    std::size_t rowCount = 0;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        rowCount = rowsForList(list, ListGrouping::Developer, ListSorting::Price).size();
        rowTimes.push_back(timer.nsecsElapsed() / 1e6);
    }

    ListRepresentation representation(controller, list->index(), ListGrouping::Developer,
                                      ListSorting::Price);
    bench::CountingTable table;
    representation.setDelegate(&table);
    const QVariantMap info = ListUpdate { list->index() }.userInfo();
    std::vector<double> changeTimes;
    for (int round = 0; round < kRounds; ++round) {
        App *app = apps[random() % apps.size()];
        app->setPrice(Decimal::fromUnits(qint64(random() % 5000), 2));
        QElapsedTimer timer;
        timer.start();
        services.notificationCenter().post(ListsControllerWillUpdateList, &controller, info);
        services.notificationCenter().post(ListsControllerDidUpdateList, &controller, info);
        changeTimes.push_back(timer.nsecsElapsed() / 1e6);
    }

    std::printf("rows_10000_apps_price_developer %.2f ms\n", median(rowTimes));
    std::printf("rows_10000_apps_row_count %zu rows\n", rowCount);
    std::printf("row_changes_one_price_change %.2f ms\n", median(changeTimes));
    std::printf("row_changes_calls_per_change %.1f calls\n", double(table.calls) / kRounds);
    // Written while the throw-away home still exists.
    controller.saveWithAsync(false);
    return 0;
}
