#include "platform/DockBadge.h"

#include "platform/Identity.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace tanvill {

namespace {

std::optional<QString> &currentLabel()
{
    static std::optional<QString> label;
    return label;
}

} // namespace

void DockBadge::setLabel(const std::optional<QString> &label)
{
    currentLabel() = label;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/com/tanvill/Tanvill"), QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    const qint64 count = label ? label->toLongLong() : 0;
    QVariantMap properties;
    properties.insert(QStringLiteral("count"), count);
    properties.insert(QStringLiteral("count-visible"), label.has_value());
    signal << QStringLiteral("application://%1.desktop").arg(bundleIdentifier()) << properties;
    bus.send(signal);
}

std::optional<QString> DockBadge::label()
{
    return currentLabel();
}

} // namespace tanvill
