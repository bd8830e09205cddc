#pragma once

// Watched applications for the window tests and benchmarks: store results added through the
// lists controller, as the add field adds them (announced and saved). Header only.

#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "store/CachedApp.h"

#include <QString>

#include <vector>

namespace tanvill::test {

struct WatchedApp
{
    QString name;
    QString developer = QStringLiteral("Maker");
    double price = 0.99;
    AppKind kind = AppKind::Phone;
    QString identifier; // a number from the name's position when empty
};

inline CachedApp storeResult(const WatchedApp &app, int serial)
{
    CachedApp result;
    result.name = app.name;
    result.identifier
        = app.identifier.isEmpty() ? QString::number(400000000 + serial) : app.identifier;
    result.developer = app.developer;
    result.price = app.price;
    result.kind = app.kind;
    result.version = QStringLiteral("1.0");
    result.rating = 4.0f;
    result.storeUrl = QStringLiteral("https://store.example/app/id") + result.identifier;
    result.iconUrl = QStringLiteral("http://127.0.0.1:9/icons/") + result.identifier + ".png";
    result.currencyCode = QStringLiteral("USD");
    return result;
}

// Adds the applications to `list` in one batch: the last one given is shown first.
inline std::vector<App *> watch(ListsController &lists, List *list,
                                const std::vector<WatchedApp> &apps)
{
    static int serial = 0;
    std::vector<CachedApp> results;
    for (const WatchedApp &app : apps)
        results.push_back(storeResult(app, ++serial));
    return lists.addApp(results, list);
}

// `count` applications named "<prefix> 1" … "<prefix> count".
inline std::vector<App *> watchMany(ListsController &lists, List *list, int count,
                                    const QString &prefix = QStringLiteral("App"))
{
    std::vector<WatchedApp> apps;
    apps.reserve(std::size_t(count));
    for (int i = 1; i <= count; ++i)
        apps.push_back({ QStringLiteral("%1 %2").arg(prefix).arg(i),
                         QStringLiteral("Developer %1").arg(i % 40), 0.99 * (i % 7) });
    return watch(lists, list, apps);
}

} // namespace tanvill::test
