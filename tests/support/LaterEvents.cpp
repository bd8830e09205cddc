#include "support/LaterEvents.h"

#include "platform/HttpClient.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace tanvill::test {

bool waitPastTimer(int intervalMs, int timeoutMs)
{
    // A coarse timer may fire up to 5% late.
    const int sentinelMs = intervalMs + intervalMs / 20 + 1;
    auto fired = std::make_shared<bool>(false);
    QTimer::singleShot(sentinelMs, Qt::PreciseTimer, QCoreApplication::instance(),
                       [fired] { *fired = true; });
    return waitFor([&] { return *fired; }, sentinelMs + timeoutMs);
}

bool waitPastPendingSingleShots(int timeoutMs)
{
    // QTimer::singleShot keeps each timer in an object of its own, a child of the thread's event
    // dispatcher, deleted once it has fired. One started here must be found among them: a Qt
    // that keeps them elsewhere fails here rather than proving nothing.
    QTimer::singleShot(1, Qt::PreciseTimer, QCoreApplication::instance(), [] {});
    QList<QPointer<QObject>> timers;
    for (QObject *child : QAbstractEventDispatcher::instance()->children()) {
        if (qstrcmp(child->metaObject()->className(), "QSingleShotTimer") == 0)
            timers << child;
    }
    if (timers.isEmpty()) {
        qWarning("waitPastPendingSingleShots: single-shot timers cannot be found");
        return false;
    }
    const bool fired = waitFor(
        [&] { return std::all_of(timers.begin(), timers.end(), [](const auto &t) { return !t; }); },
        timeoutMs);
    drainEvents();
    return fired;
}

bool waitForLaterAnswer(FakeHttpServer &server, int delayMs, int timeoutMs)
{
    if (!waitFor([&] { return server.currentConnections() == 0; }, timeoutMs))
        return false;
    const QString path = QStringLiteral("/later-answer");
    server.setRoute(path, FakeResponse::json("[]").delayed(delayMs));
    auto answered = std::make_shared<bool>(false);
    HttpClient::shared().get(server.url(path),
                             [answered](const HttpResult &) { *answered = true; });
    const bool arrived = waitFor([&] { return *answered; }, delayMs + timeoutMs);
    drainEvents();
    return arrived;
}

} // namespace tanvill::test
