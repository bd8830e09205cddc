#include "sharing/WishlistPage.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace tanvill {

std::optional<QByteArray> wishlistUserPathSegment(const QString &username)
{
    if (username.isEmpty() || username == QLatin1String(".") || username == QLatin1String(".."))
        return std::nullopt;
    // Without exceptions "/" and "?" are escaped too, so the name stays one segment of the path.
    return QUrl::toPercentEncoding(username);
}

std::optional<QString> decodeWishlistPage(const QByteArray &data)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QStringList wishlistIdentifiers(const QString &page)
{
    static const QRegularExpression attribute(QStringLiteral("data-appleid=\"([0-9]{9,10})\""),
                                              QRegularExpression::CaseInsensitiveOption);
    QStringList identifiers;
    for (auto it = attribute.globalMatch(page); it.hasNext();)
        identifiers << it.next().captured(1);
    return identifiers;
}

std::optional<qint64> wishlistNextPageNumber(const QString &page, const QByteArray &encodedUsername)
{
    const QRegularExpression link(
        QStringLiteral("<a href=\"/user/")
            + QRegularExpression::escape(QString::fromLatin1(encodedUsername))
            + QStringLiteral("/wishlist/([0-9]+)\" class=\"btn outlined\" >Next</a>"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = link.match(page);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 number = match.captured(1).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

} // namespace tanvill
