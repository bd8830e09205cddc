#include "platform/PowerEvents.h"

#include "platform/SharedInstance.h"

#include <QDBusConnection>

namespace tanvill {

PowerEvents &PowerEvents::shared()
{
    return SharedInstance<PowerEvents>::get("PowerEvents::shared");
}

PowerEvents::PowerEvents()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    // QtDBus binds signals by slot signature only.
    bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                this, SLOT(prepareForSleep(bool)));
}

void PowerEvents::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit didWake();
}

} // namespace tanvill
