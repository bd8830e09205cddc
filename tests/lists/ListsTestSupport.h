#pragma once

// Helpers of the list window tests: a fresh set of services with lists made to order, a
// count of the writes of "selectedList", and PNG output of windows for a person to look at.

#include "core/List.h"
#include "core/ListsController.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QDir>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace tanvill::test {

struct ListSpec
{
    QString name;
    ThemeName color = ThemeName::Yellow;
    std::vector<double> prices = {};
};

class ListsFixture : public ::testing::Test
{
protected:
    ListsFixture()
    {
        settings().setValue(QStringLiteral("storeLocale"), QStringLiteral("US"));
        settings().setValue(QStringLiteral("currencyCode"), QStringLiteral("USD"));
        settings().setValue(QStringLiteral("selectedList"), 0);
        selectedListWrites = 0;
        settings().observe(QStringLiteral("selectedList"), &observerContext,
                           [this](const QVariant &) { ++selectedListWrites; });
    }

    ListsController &lists() { return services.listsController(); }
    UserDefaults &settings() { return services.settings(); }

    // Makes the lists in order, each with applications at the given prices, and selects the
    // first; the writes this takes are not counted.
    std::vector<List *> makeLists(const std::vector<ListSpec> &specs)
    {
        std::vector<List *> made;
        int identifier = 100000000;
        for (const ListSpec &spec : specs) {
            List *list = lists().createList(spec.name, spec.color);
            std::vector<CachedApp> apps;
            for (double price : spec.prices) {
                CachedApp app;
                app.name = QStringLiteral("App %1").arg(identifier);
                app.identifier = QString::number(identifier++);
                app.price = price;
                app.currencyCode = QStringLiteral("USD");
                apps.push_back(app);
            }
            if (!apps.empty())
                lists().addApp(apps, list);
            made.push_back(list);
        }
        settings().setValue(QStringLiteral("selectedList"), 0);
        selectedListWrites = 0;
        return made;
    }

    qint64 selectedList() { return settings().integer(QStringLiteral("selectedList"), -1); }

    TestServices services;
    QObject observerContext;
    int selectedListWrites = 0;
};

// Writes the widget as drawn to <build>/test-output/windows/<name>.png.
inline void saveRender(QWidget *widget, const QString &name)
{
    drainEvents();
    const QImage image = widget->grab().toImage();
    ASSERT_FALSE(image.isNull()) << name.toStdString();
    const QString path = QDir(testOutputDir(QStringLiteral("windows"))).filePath(name + ".png");
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

} // namespace tanvill::test
