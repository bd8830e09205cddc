// The bare table control with rows shaped like the list's (85 pixels, three texts): first show
// of a long list, the time of one scroll step for a short and a long list, the row widgets that
// exist after scrolling end to end and back, and the memory the long table adds. Then the same
// figures for the list table itself over watched applications (rows with their summary
// controllers, icons from the image cache), and the time of switching between two long lists;
// these are the UI thread's own time.

#include "controls/DarkStyle.h"
#include "controls/TableView.h"
#include "core/ListsController.h"
#include "core/SettingsKeys.h"
#include "details/DetailWindowManager.h"
#include "lists/ListViewController.h"
#include "platform/UserDefaults.h"
#include "store/ImageCache.h"
#include "support/TestEnvironment.h"
#include "support/TestImages.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace tanvill;

namespace {

class BenchRow : public TableRowView
{
public:
    BenchRow()
    {
        auto *layout = new QVBoxLayout(this);
        for (QLabel *&label : labels) {
            label = new QLabel(this);
            label->setTextFormat(Qt::PlainText);
            layout->addWidget(label);
        }
    }
    QLabel *labels[3];
};

class BenchRows : public TableViewDataSource
{
public:
    explicit BenchRows(int count) : count(count) { }
    int numberOfRows(TableView *) override { return count; }
    int heightOfRow(TableView *, int) override { return 85; }
    TableRowView *rowView(TableView *table, int row) override
    {
        auto *view = table->makeView<BenchRow>(QStringLiteral("Row"));
        view->labels[0]->setText(QStringLiteral("Application %1").arg(row));
        view->labels[1]->setText(QStringLiteral("Developer %1").arg(row % 400));
        view->labels[2]->setText(QStringLiteral("$%1.99").arg(row % 10));
        return view;
    }
    int count;
};

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

struct Table
{
    explicit Table(int rows) : source(rows)
    {
        table.registerRowView(QStringLiteral("Row"), [] { return new BenchRow; });
        table.setDataSource(&source);
        table.resize(800, 600);
    }
    BenchRows source;
    TableView table;
};

// Milliseconds on the wall clock, or of the UI thread's own work: on a busy machine the
// second leaves out the time the thread waited for a processor.
double wallMilliseconds()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return double(clock.nsecsElapsed()) / 1e6;
}

double uiMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Median milliseconds of one step of a screen, painted and settled, from the top to the bottom.
double scrollStep(TableView &table, double (*milliseconds)() = wallMilliseconds)
{
    std::vector<double> steps;
    QScrollBar *bar = table.verticalScrollBar();
    for (int y = 0; y <= bar->maximum(); y += bar->pageStep()) {
        const double start = milliseconds();
        bar->setValue(y);
        table.viewport()->repaint();
        QApplication::processEvents();
        steps.push_back(milliseconds() - start);
    }
    std::sort(steps.begin(), steps.end());
    return steps[steps.size() / 2];
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Scrolls to the bottom and back up a screen at a time.
void scrollThrough(TableView &table)
{
    QScrollBar *bar = table.verticalScrollBar();
    for (int y = 0; y <= bar->maximum(); y += bar->pageStep()) {
        bar->setValue(y);
        QApplication::processEvents();
    }
    for (int y = bar->maximum(); y >= 0; y -= bar->pageStep()) {
        bar->setValue(y);
        QApplication::processEvents();
    }
    bar->setValue(0);
    QApplication::processEvents();
}

// Watched applications whose icons are already in the image cache's folder, as after a
// first run.
void watchWithIcons(ListsController &lists, List *list, int count)
{
    static const QByteArray icon = test::pngBytes(QColor(80, 140, 220), 114);
    const QDir folder(ImageCache::shared().cacheDirectory());
    folder.mkpath(QStringLiteral("."));
    for (App *app : test::watchMany(lists, list, count)) {
        QFile file(folder.filePath(ImageCache::cacheFileName(app->iconUrl())));
        if (file.open(QIODevice::WriteOnly))
            file.write(icon);
    }
}

void listTableFigures()
{
    test::TestServices services;
    ListsController &lists = services.listsController();
    List *large = lists.createList(QStringLiteral("Large"));
    List *left = lists.createList(QStringLiteral("Left"));
    List *right = lists.createList(QStringLiteral("Right"));
    List *small = lists.createList(QStringLiteral("Small"));
    watchWithIcons(lists, large, 10000);
    watchWithIcons(lists, left, 5000);
    watchWithIcons(lists, right, 5000);
    watchWithIcons(lists, small, 1000);
    UserDefaults &settings = services.settings();
    settings.setValue(SettingsKeys::SelectedList, large->index());
    DetailWindowManager detailWindows;
    // The icons decoded on the way are the image cache's, within its own budget; a small one
    // keeps them from counting as the table's memory.
    ImageCache::shared().setMemoryBudgetBytes(4LL * 1024 * 1024);

    const double memoryBefore = residentMegabytes();
    double start = uiMilliseconds();
    auto view = std::make_unique<ListViewController>(lists, settings, detailWindows);
    view->resize(800, 600);
    view->show();
    view->tableView()->viewport()->repaint();
    const double firstShow = uiMilliseconds() - start;

    TableView &table = *view->tableView();
    const double largeStep = scrollStep(table, uiMilliseconds);
    scrollThrough(table);
    const double memoryAdded = residentMegabytes() - memoryBefore;
    const int inView = (table.viewport()->height() + 84) / 85;
    const auto alive = static_cast<long long>(table.rowsWithViews().size());

    table.setInstantAnimations(true);
    std::vector<double> switches;
    for (int round = 0; round < 10; ++round) {
        const int to = round % 2 == 0 ? left->index() : right->index();
        start = uiMilliseconds();
        settings.setValue(SettingsKeys::SelectedList, to);
        table.viewport()->repaint();
        switches.push_back(uiMilliseconds() - start);
        // The settings file is written at the next turn of the event loop, whatever the table
        // does; that write is the settings' cost, not the table's.
        QApplication::processEvents();
    }

    settings.setValue(SettingsKeys::SelectedList, small->index());
    QApplication::processEvents();
    const double smallStep = scrollStep(table, uiMilliseconds);

    std::printf("list_table_first_show_10000_apps %.2f ms\n", firstShow);
    std::printf("list_table_switch_two_lists_5000_apps %.2f ms\n", median(switches));
    std::printf("list_table_scroll_step_1000_apps %.3f ms\n", smallStep);
    std::printf("list_table_scroll_step_10000_apps %.3f ms\n", largeStep);
    std::printf("list_table_rows_in_view %d rows\n", inView);
    std::printf("list_table_row_widgets_alive_after_scrolling %lld widgets\n", alive);
    std::printf("list_table_memory_added_10000_apps %.1f MB\n", memoryAdded);
    view.reset();
    ImageCache::shared().waitForWrites();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    test::IsolatedHome home;
    QApplication application(argc, argv);
    applyDarkStyle(application);

    { // fonts and style caches warm
        Table warm(100);
        warm.table.reloadData();
        warm.table.show();
        QApplication::processEvents();
    }

    const double memoryBefore = residentMegabytes();
    Table large(10000);
    QElapsedTimer timer;
    timer.start();
    large.table.reloadData();
    large.table.show();
    large.table.viewport()->repaint();
    const double firstShow = double(timer.nsecsElapsed()) / 1e6;

    const double largeStep = scrollStep(large.table);
    QScrollBar *bar = large.table.verticalScrollBar();
    for (int y = bar->maximum(); y >= 0; y -= bar->pageStep()) {
        bar->setValue(y);
        QApplication::processEvents();
    }
    bar->setValue(0);
    QApplication::processEvents();
    const double memoryAdded = residentMegabytes() - memoryBefore;
    const int inView = (large.table.viewport()->height() + 84) / 85;
    const auto alive = static_cast<long long>(large.table.rowsWithViews().size());

    Table small(1000);
    small.table.reloadData();
    small.table.show();
    const double smallStep = scrollStep(small.table);

    std::printf("table_first_show_10000_rows %.2f ms\n", firstShow);
    std::printf("table_scroll_step_1000_rows %.3f ms\n", smallStep);
    std::printf("table_scroll_step_10000_rows %.3f ms\n", largeStep);
    std::printf("table_rows_in_view %d rows\n", inView);
    std::printf("table_row_widgets_alive_after_scrolling %lld widgets\n", alive);
    std::printf("table_memory_added_10000_rows %.1f MB\n", memoryAdded);

    listTableFigures();
    return 0;
}
