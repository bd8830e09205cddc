#include "platform/Reachability.h"

#include <QElapsedTimer>
#include <QNetworkInformation>
#include <QTimer>

namespace tanvill {

namespace {

// Follows the process-wide QNetworkInformation instance.
class SystemReachabilityBackend : public ReachabilityBackend
{
public:
    explicit SystemReachabilityBackend(QNetworkInformation *information)
    {
        // Monotonic, and it stands still while the machine sleeps, so a night asleep does not
        // use up the grace of the transition it woke in.
        m_clock.start();
        m_reading.report(reportFor(information->reachability()), m_clock.elapsed());
        m_graceTimer.setSingleShot(true);
        connect(&m_graceTimer, &QTimer::timeout, this,
                [this] { emit flagsChanged(currentFlags()); });
        connect(information, &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability reachability) {
                    m_reading.report(reportFor(reachability), m_clock.elapsed());
                    if (const auto wait = m_reading.msUntilChange(m_clock.elapsed()))
                        m_graceTimer.start(int(*wait));
                    else
                        m_graceTimer.stop();
                    emit flagsChanged(currentFlags());
                });
    }

    quint32 currentFlags() const override { return m_reading.flags(m_clock.elapsed()); }

private:
    static NetworkReachabilityReading::Report
    reportFor(QNetworkInformation::Reachability reachability)
    {
        using Report = NetworkReachabilityReading::Report;
        switch (reachability) {
        case QNetworkInformation::Reachability::Online:
            return Report::Online;
        case QNetworkInformation::Reachability::Disconnected:
            return Report::Disconnected;
        case QNetworkInformation::Reachability::Local:
            return Report::Local;
        case QNetworkInformation::Reachability::Site:
            return Report::Site;
        case QNetworkInformation::Reachability::Unknown:
            return Report::Unknown;
        }
        return Report::Unknown;
    }

    NetworkReachabilityReading m_reading;
    QElapsedTimer m_clock;
    QTimer m_graceTimer;
};

} // namespace

std::unique_ptr<ReachabilityBackend> ReachabilityBackend::createSystem()
{
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend())
        QNetworkInformation::loadBackendByName(u"glib");
    QNetworkInformation *information = QNetworkInformation::instance();
    if (!information || !information->supports(QNetworkInformation::Feature::Reachability))
        return nullptr;
    return std::make_unique<SystemReachabilityBackend>(information);
}

void NetworkReachabilityReading::report(Report report, qint64 nowMs)
{
    if (report == Report::Unknown && m_report != Report::Unknown)
        m_unknownSinceMs = nowMs;
    if (report != Report::Unknown)
        m_everKnown = true;
    m_report = report;
}

quint32 NetworkReachabilityReading::flags(qint64 nowMs) const
{
    switch (m_report) {
    case Report::Online:
    // Connected, but the desktop's own check of the internet failed: common behind firewalls
    // that block that check only. The refresh is tried and fails on its own if it must.
    case Report::Site:
        return ReachabilityBackend::Reachable;
    case Report::Disconnected:
    case Report::Local:
        return 0;
    case Report::Unknown:
        return msUntilChange(nowMs) ? 0u : quint32(ReachabilityBackend::Reachable);
    }
    return ReachabilityBackend::Reachable;
}

std::optional<qint64> NetworkReachabilityReading::msUntilChange(qint64 nowMs) const
{
    if (m_report != Report::Unknown || !m_everKnown)
        return std::nullopt;
    const qint64 left = m_unknownSinceMs + kTransitionGraceMs - nowMs;
    return left > 0 ? std::optional<qint64>(left) : std::nullopt;
}

void ManualReachabilityBackend::setFlags(quint32 flags)
{
    if (flags == m_flags)
        return;
    m_flags = flags;
    emit flagsChanged(flags);
}

} // namespace tanvill
