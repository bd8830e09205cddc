#pragma once

// Where the system's view of network reachability comes from. The store's reachability
// monitor reads flags from a backend; the system backend follows QNetworkInformation, tests
// install a manual one.

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace tanvill {

class ReachabilityBackend : public QObject
{
    Q_OBJECT

public:
    // Flag bits as the reachability monitor reads them.
    enum Flag : quint32 {
        Reachable = 1u << 1,
        ConnectionRequired = 1u << 2,
        ConnectionOnTraffic = 1u << 3,
        InterventionRequired = 1u << 4,
        ConnectionOnDemand = 1u << 5,
    };

    using Factory = std::function<std::unique_ptr<ReachabilityBackend>()>;

    // The flags as the system sees them now (cheap; asked before every refresh).
    virtual quint32 currentFlags() const = 0;

    // QNetworkInformation with its default backend, else "glib"; none when neither loads
    // (callers then treat the network as reachable).
    static std::unique_ptr<ReachabilityBackend> createSystem();

signals:
    void flagsChanged(quint32 flags);
};

// The desktop's reachability reports read as flags. "Site" (connected, but the desktop's
// own connectivity check failed) counts as reachable; only "disconnected" and "local" wait.
// "Unknown" right after a definite report is
// a network in transition (going to sleep, waking, connecting): it counts as unreachable for a
// short grace period, so that the network's arrival is seen as a change and refreshes wait for
// it. An "unknown" that lasts longer, or that is all the desktop ever says, counts as reachable
// so that refreshes are never held back for good. Times are milliseconds of a monotonic clock.
class NetworkReachabilityReading
{
public:
    enum class Report { Unknown, Disconnected, Local, Site, Online };

    static constexpr qint64 kTransitionGraceMs = 120000;

    void report(Report report, qint64 nowMs);
    quint32 flags(qint64 nowMs) const;
    // Milliseconds until the flags change without a new report; none when they will not.
    std::optional<qint64> msUntilChange(qint64 nowMs) const;

private:
    Report m_report = Report::Unknown;
    bool m_everKnown = false;
    qint64 m_unknownSinceMs = 0;
};

// A backend whose flags are set by hand (tests, and setups without network information).
class ManualReachabilityBackend : public ReachabilityBackend
{
    Q_OBJECT

public:
    explicit ManualReachabilityBackend(quint32 flags = Reachable) : m_flags(flags) { }

    quint32 currentFlags() const override { return m_flags; }
    // Stores the flags and tells listeners when they differ from the stored ones.
    void setFlags(quint32 flags);
    void setReachable(bool reachable) { setFlags(reachable ? Reachable : 0u); }

private:
    quint32 m_flags;
};

} // namespace tanvill
