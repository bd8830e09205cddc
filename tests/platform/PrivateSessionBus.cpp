#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

namespace tanvill::test {

namespace {

QProcess *daemon = nullptr;

void stopDaemon()
{
    if (!daemon)
        return;
    daemon->kill();
    daemon->waitForFinished(5000);
    delete daemon;
    daemon = nullptr;
}

} // namespace

QString privateSessionBusAddress()
{
    static const QString address = [] {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty())
            return QString();
        daemon = new QProcess;
        // Ended before the application object goes, while QProcess can still wait for it.
        qAddPostRoutine(stopDaemon);
        daemon->start(program, { "--session", "--nofork", "--print-address=1" });
        if (!daemon->waitForStarted(5000) || !daemon->waitForReadyRead(5000))
            return QString();
        const QString found = QString::fromUtf8(daemon->readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", found.toUtf8());
        return found;
    }();
    return address;
}

} // namespace tanvill::test
