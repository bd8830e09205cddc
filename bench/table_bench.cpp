// The bare table control with rows shaped like the list's (85 pixels, three texts): first show
// of a long list, the time of one scroll step for a short and a long list, the row widgets that
// exist after scrolling end to end and back, and the memory the long table adds.

#include "controls/DarkStyle.h"
#include "controls/TableView.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
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

// Median milliseconds of one step of a screen, painted and settled, from the top to the bottom.
double scrollStep(TableView &table)
{
    std::vector<double> steps;
    QScrollBar *bar = table.verticalScrollBar();
    QElapsedTimer timer;
    for (int y = 0; y <= bar->maximum(); y += bar->pageStep()) {
        timer.start();
        bar->setValue(y);
        table.viewport()->repaint();
        QApplication::processEvents();
        steps.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(steps.begin(), steps.end());
    return steps[steps.size() / 2];
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
    return 0;
}
