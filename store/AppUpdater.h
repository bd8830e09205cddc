#pragma once

// Keeps every watched application current without the user asking: refreshes them all on a
// repeating timer, after the machine wakes and when the network returns, keeps the changes of
// the latest refresh that found any, announces them with "Tanvill.AppUpdaterDidUpdate" and
// tells the user about the kinds of change they chose in one system notification. The shell
// starts it at launch and installs how the Latest Changes window is shown.

#include "platform/Error.h"
#include "store/AppUpdate.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tanvill {

class ReachabilityMonitor;

inline const QString AppUpdaterDidUpdate = QStringLiteral("Tanvill.AppUpdaterDidUpdate");

// A running repeating timer; destroying it stops it.
class RepeatingTimer
{
public:
    virtual ~RepeatingTimer() = default;
};

class AppUpdater : public QObject
{
    Q_OBJECT

public:
    using RefreshCompletion
        = std::function<void(std::optional<Error>, std::optional<std::vector<AppUpdate>>)>;
    // Refreshes every application outside the archive and calls the completion once; the
    // application refreshes through its lists controller. Without one, updates do nothing.
    using RefreshFunction = std::function<void(RefreshCompletion)>;
    using TimerFactory = std::function<std::unique_ptr<RepeatingTimer>(double intervalSeconds,
                                                                       std::function<void()> fire)>;
    using LatestChangesPresenter = std::function<void(const std::vector<AppUpdate> &updates)>;

    static constexpr double kDefaultIntervalSeconds = 900.0;
    static constexpr double kMinimumIntervalSeconds = 60.0;
    // The refresh intervals the preferences offer, shortest first.
    static constexpr std::array<qint64, 8> kOfferedIntervalSeconds
        = { 5 * 60, 15 * 60, 30 * 60, 60 * 60, 3 * 3600, 6 * 3600, 12 * 3600, 24 * 3600 };
    static constexpr double kMaximumIntervalSeconds = double(kOfferedIntervalSeconds.back());

    // The application's updater (see SharedInstance.h).
    static AppUpdater &sharedUpdater();

    AppUpdater();
    ~AppUpdater() override;

    // (Re)starts periodic refreshing as the settings say; refreshes at once when on.
    void startUpdater();
    void stopUpdater();
    // One refresh attempt: waits for the network when it is away. Refreshes that overlap (as
    // one that takes over the look-ups of another when the store country changes) are told of
    // once, when the last of them ends: one notice and one set of latest changes for them all.
    void update();
    // One refresh attempt once `seconds` have passed without another such call, so that a
    // choice made in steps (a country's name typed letter by letter) refreshes once. The
    // refresh counts as under way from the first call: what refreshes ending meanwhile found
    // is told with what it finds.
    void updateAfter(double seconds);

    // The changes of the latest refresh that found any; none before the first.
    const std::optional<std::vector<AppUpdate>> &currentUpdate() const { return m_currentUpdate; }
    // Opens a new Latest Changes window for currentUpdate (nothing when there is none).
    void showLatestChangesWindow();

    bool isRunning() const { return m_timer != nullptr; }
    bool monitoringReachability() const { return m_monitoringReachability; }

    // The stored "AppUpdateInverval" as seconds: 900 when missing, not a number, zero or
    // negative; never below a minute nor above the longest interval offered (a day).
    static double updateIntervalSeconds(const QVariant &stored);
    // The informative text of the change notification for p price changes, v new versions and
    // r rating changes; none when all three are 0.
    static std::optional<QString> changeNotificationText(int p, int v, int r);

    void setRefreshFunction(RefreshFunction refresh) { m_refresh = std::move(refresh); }
    void setTimerFactory(TimerFactory factory) { m_timerFactory = std::move(factory); }
    void setLatestChangesPresenter(LatestChangesPresenter presenter)
    {
        m_latestChangesPresenter = std::move(presenter);
    }
    // Runs as each refresh starts, the network being there: the shell then tries the links
    // that wait for a store that answers.
    void setRefreshStartHandler(std::function<void()> handler)
    {
        m_refreshStartHandler = std::move(handler);
    }
    // The monitor asked before each refresh; the shared one unless replaced. Null: the
    // network counts as reachable.
    void setReachabilityMonitor(ReachabilityMonitor *monitor);

private:
    void refreshEnded(const std::optional<Error> &error,
                      const std::optional<std::vector<AppUpdate>> &updates);
    // Tells of the refreshes ended, once none is under way or about to start.
    void tellEndedRefreshes();
    void notifyAboutChanges(const std::vector<AppUpdate> &updates);
    void reachabilityChanged(const QVariantMap &userInfo);
    void settingChanged(const QString &key, const QVariant &newValue);
    ReachabilityMonitor *reachabilityMonitor() const;

    std::unique_ptr<RepeatingTimer> m_timer;
    QMetaObject::Connection m_wakeConnection;
    QMetaObject::Connection m_screenWakeConnection;
    quint64 m_reachabilityObserver = 0;
    std::optional<std::vector<AppUpdate>> m_currentUpdate;
    bool m_monitoringReachability = false;
    // Refreshes asked of the refresh function that did not end yet.
    int m_refreshesUnderWay = 0;
    // What the refreshes ended since the last notice found, and whether one ended.
    AppUpdateList m_endedChanges;
    bool m_refreshEnded = false;
    QTimer m_delayedUpdate;

    RefreshFunction m_refresh;
    TimerFactory m_timerFactory;
    LatestChangesPresenter m_latestChangesPresenter;
    std::function<void()> m_refreshStartHandler;
    std::optional<ReachabilityMonitor *> m_reachabilityMonitor;
};

} // namespace tanvill
