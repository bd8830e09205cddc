#include "shell/UrlEvent.h"

#include <QHash>
#include <QStringList>
#include <QUrl>

namespace tanvill {

namespace {

bool isStoreIdentifier(const QString &text)
{
    if (text.isEmpty() || text.size() > 19)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> addAppIdentifierFromLink(const QString &link)
{
    const QString scheme = QStringLiteral("tanvill:");
    if (!link.startsWith(scheme, Qt::CaseInsensitive) || !QUrl(link, QUrl::StrictMode).isValid())
        return std::nullopt;
    // Split by hand: QUrl would decode escapes such as "%31" or "%41" on the way, and the
    // link is to be taken exactly as written.
    QString rest = link.mid(scheme.size());
    rest.truncate(rest.indexOf(QLatin1Char('#')) >= 0 ? rest.indexOf(QLatin1Char('#'))
                                                      : rest.size());
    const qsizetype queryStart = rest.indexOf(QLatin1Char('?'));
    const QString query = queryStart >= 0 ? rest.mid(queryStart + 1) : QString();
    QString path = queryStart >= 0 ? rest.left(queryStart) : rest;
    if (path.startsWith(QLatin1String("//"))) {
        // The authority runs to the next slash; "tanvill://addApp" has an empty path.
        const qsizetype pathStart = path.indexOf(QLatin1Char('/'), 2);
        path = pathStart >= 0 ? path.mid(pathStart) : QString();
    }
    if (path != QLatin1String("/addApp"))
        return std::nullopt;

    QHash<QString, QString> values;
    if (queryStart >= 0) {
        for (const QString &piece : query.split(QLatin1Char('&'))) {
            const QStringList parts = piece.split(QLatin1Char('='));
            if (parts.size() == 2)
                values.insert(parts[0], parts[1]);
        }
    }
    const auto id = values.constFind(QStringLiteral("id"));
    if (id == values.constEnd() || !isStoreIdentifier(*id))
        return std::nullopt;
    return *id;
}

} // namespace tanvill
