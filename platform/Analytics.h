#pragma once

// Named usage events with optional properties. They are kept on this machine only: in
// memory for the running session and appended to analytics.jsonl in the data folder.

#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <vector>

namespace tanvill {

struct AnalyticsEvent
{
    QString name;
    QVariantMap properties;
    QDateTime time;
};

class Analytics
{
public:
    // The application's record (see SharedInstance.h).
    static Analytics &shared();

    void track(const QString &name, const QVariantMap &properties = {});

    const std::vector<AnalyticsEvent> &events() const { return m_events; }
    // Names of the recorded events, oldest first (tests).
    QStringList eventNames() const;
    void clear() { m_events.clear(); }

private:
    std::vector<AnalyticsEvent> m_events;
    bool m_writeFailureLogged = false;
};

} // namespace tanvill
