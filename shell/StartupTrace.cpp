#include "shell/StartupTrace.h"

#include "lists/MainWindowController.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace tanvill {

namespace {

constexpr int kWatchMs = 2000;

// A field of /proc/self/status in megabytes ("VmRSS:", "VmHWM:").
double statusMegabytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').front().toDouble()
                / 1024.0;
    }
    return 0;
}

// Runs a timer as often as it can and keeps the longest gap between two of its runs.
void watchEventLoop(QObject *context)
{
    auto *timer = new QTimer(context);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(1);
    auto sinceLast = std::make_shared<QElapsedTimer>();
    auto watched = std::make_shared<QElapsedTimer>();
    auto longest = std::make_shared<qint64>(0);
    QObject::connect(timer, &QTimer::timeout, context, [=] {
        *longest = std::max(*longest, sinceLast->nsecsElapsed());
        sinceLast->restart();
        if (watched->elapsed() < kWatchMs)
            return;
        timer->deleteLater();
        QTextStream(stdout) << "Longest UI block after the first paint: " << double(*longest) / 1e6
                            << " ms" << Qt::endl
                            << "Resident memory: " << statusMegabytes("VmRSS:") << " MB, peak "
                            << statusMegabytes("VmHWM:") << " MB" << Qt::endl;
    });
    sinceLast->start();
    watched->start();
    timer->start();
}

} // namespace

void traceStartup(MainWindowController &window)
{
    QObject::connect(&window, &MainWindowController::firstPainted, &window, [&window] {
        QTextStream(stdout) << "Main window painted" << Qt::endl;
        watchEventLoop(&window);
    });
}

} // namespace tanvill
