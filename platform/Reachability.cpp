#include "platform/Reachability.h"

#include <QNetworkInformation>

namespace tanvill {

namespace {

ReachabilityBackend::Factory &installedFactory()
{
    static ReachabilityBackend::Factory factory;
    return factory;
}

// Follows the process-wide QNetworkInformation instance.
class SystemReachabilityBackend : public ReachabilityBackend
{
public:
    explicit SystemReachabilityBackend(QNetworkInformation *information)
        : m_information(information)
    {
        connect(information, &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability reachability) {
                    emit flagsChanged(flagsFor(reachability));
                });
    }

    quint32 currentFlags() const override { return flagsFor(m_information->reachability()); }

private:
    static quint32 flagsFor(QNetworkInformation::Reachability reachability)
    {
        switch (reachability) {
        case QNetworkInformation::Reachability::Online:
        // A backend that cannot tell should not hold refreshes back; a refresh that fails
        // changes nothing.
        case QNetworkInformation::Reachability::Unknown:
            return Reachable;
        case QNetworkInformation::Reachability::Disconnected:
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
            return 0;
        }
        return Reachable;
    }

    QNetworkInformation *m_information;
};

} // namespace

std::unique_ptr<ReachabilityBackend> ReachabilityBackend::create()
{
    if (installedFactory())
        return installedFactory()();
    return createSystem();
}

void ReachabilityBackend::installFactory(Factory factory)
{
    installedFactory() = std::move(factory);
}

std::unique_ptr<ReachabilityBackend> ReachabilityBackend::createSystem()
{
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend())
        QNetworkInformation::loadBackendByName(u"glib");
    QNetworkInformation *information = QNetworkInformation::instance();
    if (!information || !information->supports(QNetworkInformation::Feature::Reachability))
        return nullptr;
    return std::make_unique<SystemReachabilityBackend>(information);
}

void ManualReachabilityBackend::setFlags(quint32 flags)
{
    if (flags == m_flags)
        return;
    m_flags = flags;
    emit flagsChanged(flags);
}

} // namespace tanvill
