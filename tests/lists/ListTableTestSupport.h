#pragma once

// The list table in a window of its own, on a fresh set of services, with instant animations
// and a detail window manager that records what it is asked to open.

#include "controls/ControlsTestSupport.h"
#include "controls/Label.h"
#include "core/ListsControllerNotifications.h"
#include "details/DetailWindowManager.h"
#include "lists/AppCell.h"
#include "lists/ListViewController.h"
#include "lists/SectionHeaderCell.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QLocale>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

namespace tanvill::test {

class RecordingDetailWindows : public DetailWindowManager
{
public:
    void openDetailWindowWithSummaryController(AppSummaryController *controller,
                                               DetailWindowRequest) override
    {
        opened.push_back(controller);
    }
    std::vector<AppSummaryController *> opened;
};

// "App 1", "#Section" … as the rows stand now.
inline QStringList shownNamesOf(ListRepresentation &rows)
{
    QStringList names;
    for (int row = 0; row < rows.numberOfRows(); ++row) {
        if (App *app = rows.appAtRow(row))
            names << app->name();
        else
            names << "#" + rows.titleAtRow(row).value_or("?");
    }
    return names;
}

struct ListTableTest : ::testing::Test
{
    ListTableTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        services.settings().setValue("hasSeenFirstArchiveNotice", true);
        games = lists().createList("Games");
        tools = lists().createList("Tools", ThemeName::Blue);
        services.settings().setValue("selectedList", 0);
    }

    ListsController &lists() { return services.listsController(); }
    UserDefaults &settings() { return services.settings(); }

    // Makes the table in an active window of the given size.
    ListViewController &open(QSize size = { 560, 480 })
    {
        window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        table = new ListViewController(lists(), settings(), detailWindows, window.get());
        if (clock)
            table->setClock(clock);
        layout->addWidget(table);
        table->tableView()->setInstantAnimations(true);
        table->tableView()->setRecordsChanges(true);
        window->resize(size);
        // Away from the pointer, which offscreen rests at the screen's corner.
        window->move(300, 300);
        EXPECT_TRUE(activate(window.get()));
        return *table;
    }

    AppCell *cellAt(int row) const
    {
        return qobject_cast<AppCell *>(table->tableView()->rowViewAtRow(row));
    }

    QStringList shownNames() const { return shownNamesOf(table->listRepresentation()); }

    TestServices services;
    RecordingDetailWindows detailWindows;
    // Given to the table before it is shown (the rating prompt's "now").
    std::function<QDateTime()> clock;
    List *games = nullptr;
    List *tools = nullptr;
    std::unique_ptr<QWidget> window;
    ListViewController *table = nullptr;
};

} // namespace tanvill::test
