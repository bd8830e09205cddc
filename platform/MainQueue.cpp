#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <limits>

namespace tanvill {

void MainQueue::async(std::function<void()> work)
{
    QCoreApplication *app = QCoreApplication::instance();
    Q_ASSERT(app);
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void MainQueue::sync(const std::function<void()> &work)
{
    if (isMainThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), work, Qt::BlockingQueuedConnection);
}

bool MainQueue::isMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void delay(double seconds, std::function<void()> work)
{
    constexpr double maxMilliseconds = double(std::numeric_limits<int>::max());
    double milliseconds = seconds * 1000.0;
    if (!std::isfinite(milliseconds) || milliseconds < 0)
        milliseconds = std::isnan(milliseconds) || milliseconds < 0 ? 0 : maxMilliseconds;
    const int interval = int(std::min(std::trunc(milliseconds), maxMilliseconds));
    auto schedule = [interval, work = std::move(work)]() mutable {
        QTimer::singleShot(interval, Qt::PreciseTimer, QCoreApplication::instance(),
                           std::move(work));
    };
    if (MainQueue::isMainThread())
        schedule();
    else
        MainQueue::async(std::move(schedule));
}

} // namespace tanvill
