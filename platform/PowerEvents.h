#pragma once

// Tells when the machine wakes from sleep (logind's PrepareForSleep(false) on the system bus)
// and when the screen wakes (org.freedesktop.ScreenSaver's ActiveChanged(false) on the
// session bus, where the desktop offers it). Without a bus or that interface nothing is
// reported. The periodic updater refreshes on both.

#include <QDBusConnection>
#include <QObject>

namespace tanvill {

class PowerEvents : public QObject
{
    Q_OBJECT

public:
    // The application's instance (see SharedInstance.h).
    static PowerEvents &shared();

    // Listens on the system and session buses of the process, or on the given ones (tests).
    PowerEvents();
    PowerEvents(const QDBusConnection &systemBus, const QDBusConnection &sessionBus);

signals:
    void didWake();
    void screensDidWake();

private slots:
    void prepareForSleep(bool sleeping);
    void screenSaverActiveChanged(bool active);
};

} // namespace tanvill
