#pragma once

// Tells when the machine wakes from sleep: logind's PrepareForSleep(false) on the system bus.
// Without a system bus nothing is ever reported. The periodic updater refreshes on wake.

#include <QObject>

namespace tanvill {

class PowerEvents : public QObject
{
    Q_OBJECT

public:
    // The application's instance (see SharedInstance.h).
    static PowerEvents &shared();

    PowerEvents();

signals:
    void didWake();

private slots:
    void prepareForSleep(bool sleeping);
};

} // namespace tanvill
