#include "platform/Error.h"

#include "platform/Identity.h"

namespace tanvill {

QString Error::domainFor(const QString &reporter)
{
    return bundleIdentifier() + QLatin1Char('.') + reporter;
}

} // namespace tanvill
