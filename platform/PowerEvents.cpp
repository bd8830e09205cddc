#include "platform/PowerEvents.h"

#include "platform/SharedInstance.h"

#include <QDBusConnection>

namespace tanvill {

PowerEvents &PowerEvents::shared()
{
    return SharedInstance<PowerEvents>::get("PowerEvents::shared");
}

PowerEvents::PowerEvents()
    : PowerEvents(QDBusConnection::systemBus(), QDBusConnection::sessionBus())
{ }

PowerEvents::PowerEvents(const QDBusConnection &systemBus, const QDBusConnection &sessionBus)
{
    // QtDBus binds signals by slot signature only; a copy of a connection may connect.
    QDBusConnection system = systemBus;
    if (system.isConnected())
        system.connect(QStringLiteral("org.freedesktop.login1"),
                       QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"),
                       QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    // Whichever service of the desktop implements the interface sends the signal.
    QDBusConnection session = sessionBus;
    if (session.isConnected())
        session.connect(QString(), QStringLiteral("/org/freedesktop/ScreenSaver"),
                        QStringLiteral("org.freedesktop.ScreenSaver"),
                        QStringLiteral("ActiveChanged"), this,
                        SLOT(screenSaverActiveChanged(bool)));
}

void PowerEvents::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit didWake();
}

void PowerEvents::screenSaverActiveChanged(bool active)
{
    if (!active)
        emit screensDidWake();
}

} // namespace tanvill
