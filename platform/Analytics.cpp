#include "platform/Analytics.h"

#include "platform/Identity.h"
#include "platform/RegularFile.h"
#include "platform/SharedInstance.h"

#include <QDebug>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <utility>

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
    QJsonObject line { { QStringLiteral("event"), name },
                       { QStringLiteral("time"), event.time.toString(Qt::ISODate) },
                       { QStringLiteral("properties"), QJsonObject::fromVariantMap(properties) } };
    // Something other than a file in the log's place (a FIFO nobody reads) would block the
    // UI thread: the event then stays in memory only.
    if (!appendToRegularFile(folder + QStringLiteral("/analytics.jsonl"),
                             QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n')
        && !std::exchange(m_writeFailureLogged, true))
        qWarning("Usage events cannot be written to %s/analytics.jsonl", qPrintable(folder));
}

QStringList Analytics::eventNames() const
{
    QStringList names;
    for (const AnalyticsEvent &event : m_events)
        names.append(event.name);
    return names;
}

} // namespace tanvill
