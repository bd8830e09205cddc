#include "store/AppUpdater.h"

#include "core/SettingsKeys.h"
#include "platform/Analytics.h"
#include "platform/NotificationCenter.h"
#include "platform/PowerEvents.h"
#include "platform/SharedInstance.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotifications.h"
#include "store/ReachabilityMonitor.h"

#include <QDebug>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace tanvill {

namespace {

class QtRepeatingTimer : public RepeatingTimer
{
public:
    QtRepeatingTimer(double intervalSeconds, std::function<void()> fire)
    {
        m_timer.setTimerType(Qt::CoarseTimer);
        m_timer.setInterval(int(std::llround(intervalSeconds * 1000.0)));
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(fire));
        m_timer.start();
    }

private:
    QTimer m_timer;
};

std::unique_ptr<RepeatingTimer> makeQtTimer(double intervalSeconds, std::function<void()> fire)
{
    return std::make_unique<QtRepeatingTimer>(intervalSeconds, std::move(fire));
}

QString word(const char *key)
{
    return Strings::localized(QString::fromLatin1(key));
}

} // namespace

AppUpdater &AppUpdater::sharedUpdater()
{
    return SharedInstance<AppUpdater>::get("AppUpdater::sharedUpdater");
}

AppUpdater::AppUpdater() : m_timerFactory(&makeQtTimer)
{
    m_delayedUpdate.setSingleShot(true);
    connect(&m_delayedUpdate, &QTimer::timeout, this, [this] {
        update();
        // Without a network no refresh started: what ended meanwhile is told now.
        tellEndedRefreshes();
    });
    UserDefaults &defaults = UserDefaults::standard();
    for (const QString &key :
         { SettingsKeys::AutomaticallyUpdateApps.name, SettingsKeys::AppUpdateInterval.name }) {
        defaults.observe(key, this,
                         [this, key](const QVariant &newValue) { settingChanged(key, newValue); });
    }
}

AppUpdater::~AppUpdater()
{
    stopUpdater();
}

void AppUpdater::setReachabilityMonitor(ReachabilityMonitor *monitor)
{
    m_reachabilityMonitor = monitor;
}

ReachabilityMonitor *AppUpdater::reachabilityMonitor() const
{
    return m_reachabilityMonitor ? *m_reachabilityMonitor
                                 : ReachabilityMonitor::sharedReachability();
}

double AppUpdater::updateIntervalSeconds(const QVariant &stored)
{
    bool ok = false;
    const double seconds
        = stored.isValid() && stored.typeId() != QMetaType::Bool ? stored.toDouble(&ok) : 0.0;
    if (!ok || std::isnan(seconds) || seconds <= 0.0)
        return kDefaultIntervalSeconds;
    // Someone who asked for a long interval wants few refreshes: the longest we offer comes
    // closer to that than the default would.
    return std::clamp(seconds, kMinimumIntervalSeconds, kMaximumIntervalSeconds);
}

void AppUpdater::startUpdater()
{
    stopUpdater();
    UserDefaults &defaults = UserDefaults::standard();
    if (!defaults.boolean(SettingsKeys::AutomaticallyUpdateApps))
        return;

    m_wakeConnection
        = connect(&PowerEvents::shared(), &PowerEvents::didWake, this, [this] { update(); });
    m_screenWakeConnection
        = connect(&PowerEvents::shared(), &PowerEvents::screensDidWake, this, [this] { update(); });
    m_reachabilityObserver = NotificationCenter::defaultCenter().addObserver(
        ReachabilityChangedNotification, this,
        [this](const Notification &notification) { reachabilityChanged(notification.userInfo); });

    const double interval = updateIntervalSeconds(defaults.value(SettingsKeys::AppUpdateInterval));
    QPointer<AppUpdater> guard(this);
    m_timer = m_timerFactory(interval, [guard] {
        if (guard)
            guard->update();
    });
    update();
}

void AppUpdater::stopUpdater()
{
    if (m_wakeConnection)
        disconnect(m_wakeConnection);
    m_wakeConnection = {};
    if (m_screenWakeConnection)
        disconnect(m_screenWakeConnection);
    m_screenWakeConnection = {};
    if (m_reachabilityObserver)
        NotificationCenter::defaultCenter().removeObserver(m_reachabilityObserver);
    m_reachabilityObserver = 0;
    m_timer.reset();
}

void AppUpdater::update()
{
    if (ReachabilityMonitor *monitor = reachabilityMonitor()) {
        // Asked afresh every time: a status stored at the last check says nothing about now.
        monitor->refreshReachabilityStatus();
        if (!monitor->isReachable()) {
            if (!m_monitoringReachability) {
                monitor->startNotifier();
                m_monitoringReachability = true;
            }
            return;
        }
        m_monitoringReachability = false;
        monitor->stopNotifier();
    }
    if (m_refreshStartHandler)
        m_refreshStartHandler();
    if (!m_refresh)
        return;
    ++m_refreshesUnderWay;
    QPointer<AppUpdater> guard(this);
    m_refresh([guard](std::optional<Error> error, std::optional<std::vector<AppUpdate>> updates) {
        if (guard)
            guard->refreshEnded(error, updates);
    });
}

void AppUpdater::updateAfter(double seconds)
{
    m_delayedUpdate.start(int(std::llround(seconds * 1000.0)));
}

void AppUpdater::refreshEnded(const std::optional<Error> &error,
                              const std::optional<std::vector<AppUpdate>> &updates)
{
    --m_refreshesUnderWay;
    if (error && !updates)
        qInfo().noquote() << "Refresh failed:" << error->description;
    if (updates) {
        for (const AppUpdate &update : *updates)
            m_endedChanges.add(update);
    }
    m_refreshEnded = true;
    tellEndedRefreshes();
}

void AppUpdater::tellEndedRefreshes()
{
    if (m_refreshesUnderWay > 0 || m_delayedUpdate.isActive() || !m_refreshEnded)
        return;
    m_refreshEnded = false;
    notifyAboutChanges(m_endedChanges.take());
}

void AppUpdater::reachabilityChanged(const QVariantMap &userInfo)
{
    if (!m_monitoringReachability)
        return;
    // The monitor posts the status by its notification text, not by its description.
    const std::optional<ReachabilityChange> change = ReachabilityChange::fromUserInfo(userInfo);
    if (!change || change->status != ReachabilityMonitor::ReachabilityStatus::Reachable)
        return;
    update();
}

void AppUpdater::settingChanged(const QString &key, const QVariant &newValue)
{
    startUpdater();
    if (key == SettingsKeys::AutomaticallyUpdateApps) {
        // A removed value falls back to the registered one, which is what now applies.
        const QVariant enabled = newValue.isValid()
            ? newValue
            : QVariant(UserDefaults::standard().boolean(SettingsKeys::AutomaticallyUpdateApps));
        Analytics::shared().track(QStringLiteral("Toggle AutomaticallyUpdateApps"),
                                  { { QStringLiteral("enabled"), enabled } });
    }
}

std::optional<QString> AppUpdater::changeNotificationText(int p, int v, int r)
{
    if (p <= 0 && v <= 0 && r <= 0)
        return std::nullopt;
    const QString priceWord = word(p == 1 ? "change" : "changes");
    const QString priceVerb = word(p == 1 ? "is" : "are");
    const QString versionWord = word(v == 1 ? "update" : "updates");
    const QString versionVerb = word(v == 1 ? "is" : "are");
    const QString ratingWord = word(r == 1 ? "change" : "changes");
    const QString ratingVerb = word(r == 1 ? "is" : "are");

    if (p > 0 && v > 0 && r > 0)
        return Strings::localizedFormat(
            QStringLiteral("3UpdatesNotificationSubtitle"),
            { priceVerb, qint64(p), priceWord, qint64(v), versionWord, qint64(r), ratingWord });

    QString text;
    if (p > 0)
        text = Strings::localizedFormat(QStringLiteral("PricingUpdateNotificationSubtitle"),
                                        { priceVerb, qint64(p), priceWord });
    const auto appendPart = [&text](const QString &verb, const QString &endingKey, int count,
                                    const QString &countWord) {
        if (text.isEmpty())
            text = Strings::localizedFormat(QStringLiteral("UpdateNotificationSubtitleStart"),
                                            { verb });
        else
            text += Strings::localized(QStringLiteral("UpdateNotificationSubtitleWordSeparator"));
        text += Strings::localizedFormat(endingKey, { qint64(count), countWord });
    };
    if (v > 0)
        appendPart(versionVerb, QStringLiteral("VersionUpdateNotificationSubtitleEnding"), v,
                   versionWord);
    if (r > 0)
        appendPart(ratingVerb, QStringLiteral("RatingUpdateNotificationSubtitleEnding"), r,
                   ratingWord);
    text += Strings::localized(QStringLiteral("UpdateNotificationSubtitleSuffix"));
    return text;
}

void AppUpdater::notifyAboutChanges(const std::vector<AppUpdate> &updates)
{
    const bool hasUpdates = !updates.empty();
    if (hasUpdates) {
        m_currentUpdate = updates;
        NotificationCenter::defaultCenter().post(AppUpdaterDidUpdate, this);
    }

    UserDefaults &defaults = UserDefaults::standard();
    const bool pricing = defaults.boolean(SettingsKeys::NotifyAboutPricing);
    const bool version = defaults.boolean(SettingsKeys::NotifyAboutVersion);
    const bool rating = defaults.boolean(SettingsKeys::NotifyAboutRating);
    if (!pricing && !version && !rating)
        return;

    QPointer<AppUpdater> guard(this);
    UserNotificationCenter::defaultCenter().setActivationHandler([guard] {
        if (guard)
            guard->showLatestChangesWindow();
    });
    if (!hasUpdates)
        return;

    int p = 0;
    int v = 0;
    int r = 0;
    for (const AppUpdate &update : updates) {
        p += pricing && update.pricingChange ? 1 : 0;
        v += version && update.versionChange ? 1 : 0;
        r += rating && update.ratingChange ? 1 : 0;
    }
    const std::optional<QString> text = changeNotificationText(p, v, r);
    if (!text)
        return;
    UserNotificationCenter::defaultCenter().deliver(
        { Strings::localized(QStringLiteral("AppsUpdatedNotificationTitle")), *text });
    Analytics::shared().track(QStringLiteral("Change Notification"));
}

void AppUpdater::showLatestChangesWindow()
{
    if (!m_currentUpdate || !m_latestChangesPresenter)
        return;
    m_latestChangesPresenter(*m_currentUpdate);
}

} // namespace tanvill
