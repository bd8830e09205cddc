#pragma once

// Reading one page of a user's public wish list on the wish-list web site: the store
// identifiers it lists and the number of the page its "Next" link leads to. The wish-list
// importer uses these; they take untrusted HTML and never fail on it.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tanvill {

// The user name as one percent-encoded path segment: only letters, digits and "-._~" stay
// as they are. None for a name that cannot name a user ("", "." and "..").
std::optional<QByteArray> wishlistUserPathSegment(const QString &username);

// The page as text; none when the bytes are not valid UTF-8.
std::optional<QString> decodeWishlistPage(const QByteArray &data);

// The digits of every data-appleid="…" attribute holding 9 or 10 digits, in page order,
// duplicates included. The attribute's name is matched in any case.
QStringList wishlistIdentifiers(const QString &page);

// The page number of the first "Next" link to `encodedUsername`'s wish list (the name as it
// stands in the link, matched literally); none without such a link or for a number too large.
std::optional<qint64> wishlistNextPageNumber(const QString &page,
                                             const QByteArray &encodedUsername);

} // namespace tanvill
