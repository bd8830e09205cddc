#include "platform/Analytics.h"

#include "platform/Identity.h"
#include "platform/SharedInstance.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace tanvill {

namespace {
constexpr size_t kMaxEventsInMemory = 1000;
}

Analytics &Analytics::shared()
{
    return SharedInstance<Analytics>::get("Analytics::shared");
}

void Analytics::track(const QString &name, const QVariantMap &properties)
{
    AnalyticsEvent event { name, properties, QDateTime::currentDateTimeUtc() };
    if (m_events.size() >= kMaxEventsInMemory)
        m_events.erase(m_events.begin());
    m_events.push_back(event);

    const QString folder = applicationFolder(QStandardPaths::GenericDataLocation);
    if (!QDir().mkpath(folder))
        return;
    QFile log(folder + QStringLiteral("/analytics.jsonl"));
    if (!log.open(QIODevice::Append | QIODevice::WriteOnly))
        return;
    QJsonObject line { { QStringLiteral("event"), name },
                       { QStringLiteral("time"), event.time.toString(Qt::ISODate) },
                       { QStringLiteral("properties"), QJsonObject::fromVariantMap(properties) } };
    log.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

QStringList Analytics::eventNames() const
{
    QStringList names;
    for (const AnalyticsEvent &event : m_events)
        names.append(event.name);
    return names;
}

} // namespace tanvill
