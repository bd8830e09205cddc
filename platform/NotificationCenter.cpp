#include "platform/NotificationCenter.h"

#include "platform/SharedInstance.h"

#include <algorithm>

namespace tanvill {

NotificationCenter &NotificationCenter::defaultCenter()
{
    return SharedInstance<NotificationCenter>::get("NotificationCenter::defaultCenter");
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, QObject *context,
                                                          Handler handler, const void *sender)
{
    Q_ASSERT(context);
    Observer observer;
    observer.token = m_nextToken++;
    observer.name = name;
    observer.sender = sender;
    observer.contextAddress = context;
    observer.context = context;
    observer.handler = std::move(handler);
    m_observers.push_back(std::move(observer));
    m_teardown.watch(context);
    return m_observers.back().token;
}

void NotificationCenter::removeObserver(Token token)
{
    for (Observer &observer : m_observers) {
        if (observer.token == token)
            observer.removed = true;
    }
    compact();
}

void NotificationCenter::removeObservers(const QObject *context)
{
    for (Observer &observer : m_observers) {
        if (observer.contextAddress == context)
            observer.removed = true;
    }
    compact();
}

void NotificationCenter::post(const QString &name, const void *sender, const QVariantMap &userInfo)
{
    const Notification notification { name, sender, userInfo };
    // Observers added during delivery are not called for this notification; the vector may
    // grow meanwhile, so walk by index and look each observer up again after every call.
    const Token lastToken = m_nextToken - 1;
    ++m_deliveryDepth;
    for (size_t i = 0; i < m_observers.size(); ++i) {
        if (m_observers[i].token > lastToken)
            break;
        if (m_observers[i].removed || m_observers[i].context.isNull())
            continue;
        if (!m_observers[i].name.isEmpty() && m_observers[i].name != name)
            continue;
        if (m_observers[i].sender && m_observers[i].sender != sender)
            continue;
        // Copy the handler: it may remove its own observer, and the vector may reallocate.
        const Handler handler = m_observers[i].handler;
        handler(notification);
    }
    --m_deliveryDepth;
    compact();
}

void NotificationCenter::contextTornDown(const QObject *context)
{
    for (Observer &observer : m_observers) {
        if (TeardownWatch::isWithin(observer.context.data(), context))
            observer.removed = true;
    }
    compact();
}

int NotificationCenter::observerCount() const
{
    return int(std::count_if(m_observers.begin(), m_observers.end(),
                             [](const Observer &o) { return !o.removed && !o.context.isNull(); }));
}

void NotificationCenter::compact()
{
    if (m_deliveryDepth > 0)
        return;
    std::erase_if(m_observers, [](const Observer &o) { return o.removed || o.context.isNull(); });
}

} // namespace tanvill
