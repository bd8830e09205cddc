#include "platform/NetworkFailure.h"

#include "platform/HttpClient.h"

namespace tanvill {

Error networkFailureError(const HttpResult &result, const QString &heading,
                          const QString &systemText, const QString &advice)
{
    Error error;
    error.domain = Error::domainFor(QStringLiteral("HttpClient"));
    error.code = int(result.networkError);
    error.description = heading;
    QStringList paragraphs;
    if (!systemText.trimmed().isEmpty())
        paragraphs << systemText.trimmed();
    if (!advice.isEmpty())
        paragraphs << advice;
    error.recoverySuggestion = paragraphs.join(QStringLiteral("\n\n"));
    return error;
}

} // namespace tanvill
