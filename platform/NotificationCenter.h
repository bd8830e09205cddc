#pragma once

// Broadcast of named changes inside the process, the way the windows learn what the data
// core, the updater and the settings did. Delivery is synchronous, on the calling (UI)
// thread, in registration order. Observers go away as the teardown of their context object
// begins (a window's with the window's), so that nothing posted while a window is taken down
// reaches into it; an observer may be removed (or added) while a notification is being
// delivered.

#include "platform/TeardownWatch.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace tanvill {

struct Notification
{
    QString name;
    const void *sender = nullptr;
    QVariantMap userInfo;
};

class NotificationCenter
{
public:
    using Handler = std::function<void(const Notification &)>;
    using Token = quint64;

    // The application's centre (see SharedInstance.h).
    static NotificationCenter &defaultCenter();

    // Observes `name` (every name when empty) from `sender` (every sender when null) until
    // the teardown of `context`, or of an object it lies in as it is added, begins. Returns a
    // token for removeObserver.
    Token addObserver(const QString &name, QObject *context, Handler handler,
                      const void *sender = nullptr);
    void removeObserver(Token token);
    // Removes every observation made with `context`.
    void removeObservers(const QObject *context);

    void post(const QString &name, const void *sender = nullptr, const QVariantMap &userInfo = {});

    int observerCount() const;

private:
    struct Observer
    {
        Token token = 0;
        QString name;
        const void *sender = nullptr;
        const QObject *contextAddress = nullptr;
        QPointer<QObject> context;
        Handler handler;
        bool removed = false;
    };

    void compact();
    void contextTornDown(const QObject *context);

    std::vector<Observer> m_observers;
    Token m_nextToken = 1;
    int m_deliveryDepth = 0;
    TeardownWatch m_teardown { [this](const QObject *context) {
        contextTornDown(context);
    } };
};

} // namespace tanvill
