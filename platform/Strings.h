#pragma once

// The localised string table (resources/strings/en.json, key -> text; a missing key shows
// the key) and printf-like formats with user text, expanded in one pass. A text that counts
// something may come in plural forms: the key then holds an object of the table language's
// plural categories ({"one": "%li app…", "other": "%li apps…"}), and the count chooses.

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace tanvill {

class Strings
{
public:
    // The text for key, or the key itself when the table has none; for a key with plural
    // forms, its "other" form.
    static QString localized(const QString &key);
    static QString localized(const char *key);
    static bool contains(const QString &key);

    // Expands %@ (any value as text), %d, %i, %ld, %li, %lu, %u (integers), %f, %.Nf, positional
    // forms such as %1$@ and %2$ld, and %% in one pass; inserted text is never expanded
    // again. A missing argument expands to nothing; an unknown directive stays as written.
    static QString format(const QString &format, const QVariantList &arguments);

    // localized(key) then format(); for a key with plural forms, the form of the first
    // integer among the arguments.
    static QString localizedFormat(const QString &key, const QVariantList &arguments);

    // Replaces the table (tests); an empty path restores the built-in table.
    static void loadTable(const QString &path = {});
};

} // namespace tanvill
