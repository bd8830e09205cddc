#include "store/ReachabilityMonitor.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/SharedInstance.h"

#include <QHostAddress>
#include <QPointer>
#include <QUrl>

namespace tanvill {

using Status = ReachabilityMonitor::ReachabilityStatus;

std::optional<Status> ReachabilityMonitor::statusFromRawValue(int rawValue)
{
    if (rawValue < -1 || rawValue > 3)
        return std::nullopt;
    return Status(rawValue);
}

std::optional<ReachabilityMonitor::ReachabilityAssociation>
ReachabilityMonitor::associationFromRawValue(int rawValue)
{
    if (rawValue < 1 || rawValue > 3)
        return std::nullopt;
    return ReachabilityAssociation(rawValue);
}

std::optional<ReachabilityMonitor::ReachabilityInformationMode>
ReachabilityMonitor::informationModeFromRawValue(int rawValue)
{
    if (rawValue < 1 || rawValue > 2)
        return std::nullopt;
    return ReachabilityInformationMode(rawValue);
}

QString ReachabilityMonitor::description(Status status)
{
    switch (status) {
    case Status::Unknown:
        return QStringLiteral("Unknown");
    case Status::NotReachable:
        return QStringLiteral("Not Reachable");
    case Status::ReachableViaWWAN:
        return QStringLiteral("Reachable Via WWAN");
    case Status::ReachableViaWiFi:
        return QStringLiteral("Reachable Via WiFi");
    case Status::Reachable:
        return QStringLiteral("Reachable");
    }
    return QStringLiteral("Unknown");
}

QString ReachabilityMonitor::notificationText(Status status)
{
    switch (status) {
    case Status::Unknown:
        return QStringLiteral("Unknown");
    case Status::NotReachable:
        return QStringLiteral("NotReachable");
    case Status::ReachableViaWWAN:
        return QStringLiteral("ReachableViaWWAN");
    case Status::ReachableViaWiFi:
        return QStringLiteral("ReachableViaWiFi");
    case Status::Reachable:
        return QStringLiteral("Reachable");
    }
    return QStringLiteral("Unknown");
}

std::optional<Status> ReachabilityMonitor::statusFromNotificationText(const QString &text)
{
    for (const Status status : { Status::Unknown, Status::NotReachable, Status::ReachableViaWWAN,
                                 Status::ReachableViaWiFi, Status::Reachable }) {
        if (text == notificationText(status))
            return status;
    }
    return std::nullopt;
}

Status ReachabilityMonitor::statusFromFlags(quint32 flags, ReachabilityInformationMode mode)
{
    if (!(flags & ReachabilityBackend::Reachable))
        return Status::NotReachable;
    if (flags & ReachabilityBackend::ConnectionRequired) {
        const bool automatic = (flags & ReachabilityBackend::ConnectionOnTraffic)
            || (flags & ReachabilityBackend::ConnectionOnDemand);
        if (!automatic || (flags & ReachabilityBackend::InterventionRequired))
            return Status::NotReachable;
    }
    return mode == ReachabilityInformationMode::Simple ? Status::Reachable
                                                       : Status::ReachableViaWiFi;
}

ReachabilityMonitor *ReachabilityMonitor::sharedReachability()
{
    return SharedInstance<ReachabilityMonitor>::find();
}

std::unique_ptr<ReachabilityMonitor>
ReachabilityMonitor::createForInternet(const ReachabilityBackend::Factory &factory)
{
    // A store on this machine is there whatever the network does.
    const QUrl storeUrl(qEnvironmentVariable("TANVILL_STORE_URL"));
    const QHostAddress storeHost(storeUrl.host());
    const bool storeIsLocal = storeHost.isLoopback()
        || storeUrl.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
    std::unique_ptr<ReachabilityBackend> backend;
    if (storeIsLocal)
        backend = std::make_unique<ManualReachabilityBackend>(ReachabilityBackend::Reachable);
    else
        backend = factory ? factory() : ReachabilityBackend::createSystem();
    if (!backend)
        return nullptr;
    return std::make_unique<ReachabilityMonitor>(std::move(backend),
                                                 ReachabilityAssociation::ForAddress);
}

ReachabilityMonitor::ReachabilityMonitor(std::unique_ptr<ReachabilityBackend> backend,
                                         ReachabilityAssociation association)
    : m_backend(std::move(backend)), m_association(association)
{
    if (!m_backend)
        return;
    connect(m_backend.get(), &ReachabilityBackend::flagsChanged, this, [this](quint32 flags) {
        if (!m_notifying)
            return;
        // Reports reach the monitor on a later pass, never inside the backend's signal.
        QPointer<ReachabilityMonitor> guard(this);
        const quint64 generation = m_generation;
        MainQueue::async([guard, generation, flags] {
            if (guard && guard->m_notifying && guard->m_generation == generation)
                guard->updateReachabilityStatus(flags);
        });
    });
}

ReachabilityMonitor::~ReachabilityMonitor()
{
    stopNotifier();
}

bool ReachabilityMonitor::isReachable() const
{
    return m_status == Status::Reachable || m_status == Status::ReachableViaWWAN
        || m_status == Status::ReachableViaWiFi;
}

void ReachabilityMonitor::refreshReachabilityStatus()
{
    if (!m_backend)
        return;
    const Status fresh = statusFromFlags(m_backend->currentFlags(), m_mode);
    if (fresh == m_status)
        return;
    if (m_changedClosure)
        m_changedClosure(fresh);
    m_lastStatus = m_status;
    m_status = fresh;
    // Announced on a later pass, like every report: the caller is often in the middle of
    // deciding what to do about the network and must not be re-entered.
    QPointer<ReachabilityMonitor> guard(this);
    MainQueue::async([guard, fresh] {
        if (guard)
            guard->post(fresh);
    });
}

void ReachabilityMonitor::startNotifier()
{
    stopNotifier();
    if (!m_backend)
        return;
    m_notifying = true;
    const quint64 generation = ++m_generation;
    const quint32 flags = m_backend->currentFlags();
    QPointer<ReachabilityMonitor> guard(this);
    // The first report always goes out, changed or not, on a later pass.
    MainQueue::async([guard, generation, flags] {
        if (!guard || guard->m_generation != generation)
            return;
        guard->m_status = statusFromFlags(flags, guard->m_mode);
        guard->post(guard->m_status);
    });
}

void ReachabilityMonitor::stopNotifier()
{
    if (!m_notifying)
        return;
    m_notifying = false;
    ++m_generation;
}

void ReachabilityMonitor::updateReachabilityStatus(quint32 flags)
{
    const Status fresh = statusFromFlags(flags, m_mode);
    if (fresh == m_status)
        return;
    if (m_changedClosure)
        m_changedClosure(fresh);
    QPointer<ReachabilityMonitor> guard(this);
    MainQueue::async([guard, fresh] {
        if (!guard)
            return;
        guard->m_lastStatus = guard->m_status;
        guard->m_status = fresh;
        guard->post(fresh);
    });
}

void ReachabilityMonitor::post(Status status)
{
    NotificationCenter::defaultCenter().post(ReachabilityChangedNotification, this,
                                             ReachabilityChange { status }.userInfo());
}

QVariantMap ReachabilityChange::userInfo() const
{
    return { { ReachabilityNotificationStatusItem,
               ReachabilityMonitor::notificationText(status) } };
}

std::optional<ReachabilityChange> ReachabilityChange::fromUserInfo(const QVariantMap &userInfo)
{
    const QVariant item = userInfo.value(ReachabilityNotificationStatusItem);
    if (item.typeId() != QMetaType::QString)
        return std::nullopt;
    const auto status = ReachabilityMonitor::statusFromNotificationText(item.toString());
    if (!status)
        return std::nullopt;
    return ReachabilityChange { *status };
}

} // namespace tanvill
