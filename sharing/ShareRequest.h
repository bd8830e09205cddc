#pragma once

// The request that publishes one list through the list-sharing service: its JSON body, built
// from the list as its table shows it and from the user's settings, and where it goes. The
// share sheet sends it.

#include "core/AppKind.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace tanvill {

class List;

struct ShareRequest
{
    struct SharedApp
    {
        QString iconUrl;
        // None when the price is in another currency than the request's (sent as null).
        std::optional<double> price;
        AppKind kind = AppKind::Phone;
        QString identifier;
        QString name;
        QString developer;
    };

    QString name;
    std::optional<QString> email;
    QString currencySymbol;
    QString theme;
    QString countryCode;
    bool allowModification = false;
    std::optional<QString> affiliateToken;
    // The last row of the list's table first.
    std::vector<SharedApp> apps;

    // The request for `list` with its saved sorting and grouping, the settings
    // "currencyCode", "storeLocale" and "affiliateToken", and what the user entered (an empty
    // e-mail address is sent as null). The service takes one currency for a whole list, the
    // chosen store's: an application priced in another (one that store does not sell keeps
    // its last price) goes without a price rather than under the wrong symbol.
    static ShareRequest forList(const List &list, const QString &email, bool allowModification);

    // Compact UTF-8 JSON.
    QByteArray body() const;

    // The service's address for new lists; invalid when no sharing service is set up.
    static QUrl serviceUrl();
};

// The symbol of the currency with that ISO code as a speaker of the language writes it ("$"
// for "USD" in English); "$" when no locale knows the code.
QString currencySymbol(const QString &currencyCode, const QString &languageCode);

// One "@" with something before it and, after it, something, a full stop and something.
bool isAcceptableEmailAddress(const QString &text);

} // namespace tanvill
