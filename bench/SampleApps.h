#pragma once

// Made-up lists and applications the store benchmarks fill their stores with: every field a
// refresh compares differs from one application to the next. Header only.

#include "core/App.h"
#include "core/Decimal.h"
#include "core/List.h"
#include "core/ObjectContext.h"

#include <QString>

#include <vector>

namespace tanvill::bench {

// A store of the benchmarks: applications spread over lists, each with kShots screenshots.
struct StoreSize
{
    int lists;
    int apps;
};
// A large collection, and one ten times larger.
inline constexpr StoreSize kLarge { 50, 10000 };
inline constexpr StoreSize kHuge { 100, 50000 };
inline constexpr int kShots = 5;

// `count` lists named "List 1", "List 2", ... in that order, all in `color`.
inline std::vector<List *> insertSampleLists(ObjectContext &context, int count,
                                             const QString &color)
{
    std::vector<List *> lists;
    for (int i = 0; i < count; ++i) {
        List *list = context.insertList();
        list->setIndex(i);
        list->setName(QStringLiteral("List %1").arg(i + 1));
        list->setColor(color);
        lists.push_back(list);
    }
    return lists;
}

// Names, identifier, developer, price, rating, version and store link of application `i`;
// the last seen price, rating and version equal the current ones.
inline void fillSampleApp(App *app, int i)
{
    app->setName(QStringLiteral("Application number %1").arg(i));
    app->setIdentifier(QString::number(300000000 + i));
    app->setDeveloper(QStringLiteral("Developer %1").arg(i % 700));
    app->setPrice(Decimal::fromUnits(99 + (i % 20) * 100, 2));
    app->setLastPrice(app->price());
    app->setCurrencyCode(QStringLiteral("USD"));
    app->setRating(3.5f);
    app->setLastRating(3.5f);
    app->setVersion(QStringLiteral("2.%1").arg(i % 13));
    app->setLastVersion(app->version());
    app->setAppStoreUrl(QStringLiteral("https://apps.apple.com/app/id%1").arg(i));
}

} // namespace tanvill::bench
