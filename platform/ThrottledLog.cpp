#include "platform/ThrottledLog.h"

#include <QDebug>

namespace tanvill {

ThrottledLog::ThrottledLog(int quietMs, QObject *parent)
    : ThrottledLog([](const QString &line) { qWarning().noquote() << line; }, quietMs, parent)
{ }

ThrottledLog::ThrottledLog(Writer writer, int quietMs, QObject *parent)
    : QObject(parent), m_write(std::move(writer))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(quietMs);
    connect(&m_timer, &QTimer::timeout, this, &ThrottledLog::flush);
}

ThrottledLog::~ThrottledLog()
{
    flush();
}

void ThrottledLog::warn(const QString &kind, const QString &message)
{
    if (!m_seen.value(kind)) {
        m_seen.insert(kind, true);
        m_write(message);
        if (!m_timer.isActive())
            m_timer.start();
        return;
    }
    ++m_suppressed[kind];
}

void ThrottledLog::flush()
{
    for (auto it = m_suppressed.cbegin(); it != m_suppressed.cend(); ++it)
        m_write(QStringLiteral("… and %1 more times: %2").arg(it.value()).arg(it.key()));
    // A kind that was quiet for the whole while is news again.
    const bool flood = !m_suppressed.isEmpty();
    m_suppressed.clear();
    m_seen.clear();
    if (flood)
        m_timer.start();
}

} // namespace tanvill
