#pragma once

// Tells when the machine wakes from sleep: logind's PrepareForSleep(false) on the system bus.
// Without a system bus nothing is ever reported. The periodic updater refreshes on wake.

#include <QObject>

namespace tanvill {

class PowerEvents : public QObject
{
    Q_OBJECT

public:
    static PowerEvents &shared();

signals:
    void didWake();

private slots:
    void prepareForSleep(bool sleeping);

private:
    PowerEvents();
};

} // namespace tanvill
