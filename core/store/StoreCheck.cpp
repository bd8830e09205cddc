#include "core/store/StoreCheck.h"

#include "core/store/Database.h"
#include "core/store/StoreSchema.h"

#include <sqlite3.h>

#include <chrono>
#include <future>
#include <system_error>

namespace tanvill {

namespace {

constexpr int kLockPollMs = 20;
// Virtual machine steps between two looks at the stop flag.
constexpr int kStepsBetweenStopChecks = 1000;

struct Waiting
{
    const std::atomic<bool> *stop = nullptr;
};

bool stopped(const std::atomic<bool> *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

extern "C" int waitForLock(void *context, int attempts)
{
    const auto *waiting = static_cast<const Waiting *>(context);
    if (stopped(waiting->stop) || attempts * kLockPollMs >= StoreCheck::kLockWaitMs)
        return 0;
    sqlite3_sleep(kLockPollMs);
    return !stopped(waiting->stop);
}

extern "C" int stopWhenAsked(void *context)
{
    return stopped(static_cast<const Waiting *>(context)->stop) ? 1 : 0;
}

} // namespace

StoreCheck::StoreCheck(const QString &path, std::function<void(Verdict)> finished)
{
    try {
        m_thread = std::thread([this, path, finished = std::move(finished)] {
            Database checker;
            const Verdict verdict
                = checker.open(path, false) ? check(checker, &m_stop) : Verdict::NotRun;
            if (!m_stop)
                finished(verdict);
        });
    } catch (const std::system_error &) {
        // No thread to be had: the check did not run.
    }
}

StoreCheck::~StoreCheck()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

StoreCheck::Verdict StoreCheck::checkAndWait(const QString &path)
{
    std::promise<Verdict> promise;
    std::future<Verdict> verdict = promise.get_future();
    StoreCheck running(path, [&promise](Verdict found) { promise.set_value(found); });
    if (running.isRunning())
        return verdict.get();
    Database checker;
    return checker.open(path, false) ? check(checker) : Verdict::NotRun;
}

StoreCheck::Verdict StoreCheck::check(Database &database, const std::atomic<bool> *stop)
{
    if (!database.isOpen() || stopped(stop))
        return Verdict::NotRun;
    Waiting waiting { stop };
    sqlite3_busy_handler(database.handle(), waitForLock, &waiting);
    sqlite3_progress_handler(database.handle(), kStepsBetweenStopChecks, stopWhenAsked, &waiting);
    Verdict verdict = Verdict::NotRun;
    Statement statement = database.prepare(QStringLiteral("PRAGMA quick_check"));
    if (!statement.isValid()) {
        verdict
            = StoreSchema::isDamage(database.lastErrorCode()) ? Verdict::Damaged : Verdict::NotRun;
    } else {
        switch (statement.step()) {
        case Statement::Step::Row:
            verdict = statement.text(0) == QLatin1String("ok") ? Verdict::Sound : Verdict::Damaged;
            break;
        case Statement::Step::Done:
            break;
        case Statement::Step::Error:
            verdict = StoreSchema::isDamage(database.lastErrorCode()) ? Verdict::Damaged
                                                                      : Verdict::NotRun;
            break;
        }
    }
    statement = Statement();
    sqlite3_progress_handler(database.handle(), 0, nullptr, nullptr);
    // Back to the connection's usual wait for locks.
    sqlite3_busy_timeout(database.handle(), 5000);
    // A stop that came while the check ran may have cut it short: nothing is known then.
    return stopped(stop) ? Verdict::NotRun : verdict;
}

} // namespace tanvill
