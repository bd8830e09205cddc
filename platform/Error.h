#pragma once

// Errors a user can act on: a domain ("com.tanvill.Tanvill.<Reporter>"), a small code, a
// localised description, an optional recovery suggestion and the buttons offered.

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tanvill {

struct Error
{
    QString domain;
    int code = 0;
    QString description;
    QString recoverySuggestion;
    QStringList recoveryOptions;
    QVariantMap userInfo;

    // The domain of a reporting class: bundle identifier + "." + reporter.
    static QString domainFor(const QString &reporter);

    bool operator==(const Error &other) const = default;
};

} // namespace tanvill
