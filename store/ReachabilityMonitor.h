#pragma once

// Whether the network can be reached, as a property, a change closure and the notification
// "ReachabilityChangedNotification". The periodic updater asks the shared monitor before each
// refresh and waits for its "Reachable" notification while the network is away.

#include "platform/Reachability.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace tanvill {

inline const QString ReachabilityChangedNotification
    = QStringLiteral("ReachabilityChangedNotification");
inline const QString ReachabilityNotificationStatusItem
    = QStringLiteral("ReachabilityNotificationStatusItem");

class ReachabilityMonitor : public QObject
{
    Q_OBJECT

public:
    enum class ReachabilityStatus {
        Unknown = -1,
        NotReachable = 0,
        ReachableViaWWAN = 1,
        ReachableViaWiFi = 2,
        Reachable = 3,
    };
    enum class ReachabilityAssociation { ForAddress = 1, ForAddressPair = 2, ForName = 3 };
    enum class ReachabilityInformationMode { Simple = 1, Advanced = 2 };

    static std::optional<ReachabilityStatus> statusFromRawValue(int rawValue);
    static std::optional<ReachabilityAssociation> associationFromRawValue(int rawValue);
    static std::optional<ReachabilityInformationMode> informationModeFromRawValue(int rawValue);
    // "Not Reachable", "Reachable Via WiFi", …
    static QString description(ReachabilityStatus status);
    // The case name the notification carries: "NotReachable", "ReachableViaWiFi", …
    static QString notificationText(ReachabilityStatus status);
    static std::optional<ReachabilityStatus> statusFromNotificationText(const QString &text);
    static ReachabilityStatus statusFromFlags(quint32 flags, ReachabilityInformationMode mode);

    // The application's monitor of the internet as a whole (see SharedInstance.h); null when
    // the system cannot tell reachability.
    static ReachabilityMonitor *sharedReachability();
    // A monitor of the internet as a whole on the backend the factory makes (the system's
    // when there is no factory); a store on this machine (tests, benchmarks) counts as
    // always reachable. None when there is no backend.
    static std::unique_ptr<ReachabilityMonitor>
    createForInternet(const ReachabilityBackend::Factory &factory = {});

    ReachabilityMonitor(std::unique_ptr<ReachabilityBackend> backend,
                        ReachabilityAssociation association);
    ~ReachabilityMonitor() override;

    ReachabilityStatus networkReachabilityStatus() const { return m_status; }
    ReachabilityStatus lastNetworkReachabilityStatus() const { return m_lastStatus; }
    ReachabilityAssociation reachabilityAssociation() const { return m_association; }
    ReachabilityInformationMode reachabilityInformationMode() const { return m_mode; }
    void setReachabilityInformationMode(ReachabilityInformationMode mode) { m_mode = mode; }
    void setReachabilityStatusChangedClosure(std::function<void(ReachabilityStatus)> closure)
    {
        m_changedClosure = std::move(closure);
    }
    QString reachabilityStatusDescription() const { return description(m_status); }

    bool isReachable() const;
    bool isReachableViaWWAN() const { return m_status == ReachabilityStatus::ReachableViaWWAN; }
    bool isReachableViaWiFi() const { return m_status == ReachabilityStatus::ReachableViaWiFi; }

    // Reads the backend now and stores what it says, so that a stopped monitor does not
    // answer from a status it stored long ago. A changed status is announced as usual.
    void refreshReachabilityStatus();

    void startNotifier();
    void stopNotifier();
    bool isNotifying() const { return m_notifying; }

    // Applies flags reported by the backend.
    void updateReachabilityStatus(quint32 flags);

private:
    void post(ReachabilityStatus status);

    std::unique_ptr<ReachabilityBackend> m_backend;
    ReachabilityStatus m_status = ReachabilityStatus::Unknown;
    ReachabilityStatus m_lastStatus = ReachabilityStatus::Unknown;
    ReachabilityAssociation m_association;
    ReachabilityInformationMode m_mode = ReachabilityInformationMode::Simple;
    std::function<void(ReachabilityStatus)> m_changedClosure;
    bool m_notifying = false;
    // Bumped by every start and stop so that a first check queued before them is dropped.
    quint64 m_generation = 0;
};

// The user info of ReachabilityChangedNotification: the status under
// ReachabilityNotificationStatusItem, as its notification text.
struct ReachabilityChange
{
    ReachabilityMonitor::ReachabilityStatus status
        = ReachabilityMonitor::ReachabilityStatus::Unknown;

    QVariantMap userInfo() const;
    // None when the item is not the text of a status.
    static std::optional<ReachabilityChange> fromUserInfo(const QVariantMap &userInfo);
};

} // namespace tanvill
