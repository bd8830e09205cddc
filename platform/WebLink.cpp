#include "WebLink.h"

namespace tanvill {

bool isWebLink(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool isWebLink(const QString &text)
{
    return isWebLink(QUrl(text, QUrl::StrictMode));
}

} // namespace tanvill
