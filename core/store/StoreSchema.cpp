#include "core/store/StoreSchema.h"

#include "core/store/Database.h"

#include <QStringList>

#include <sqlite3.h>

namespace tanvill::StoreSchema {

namespace {

// Migration n brings version n - 1 to version n. Append new ones; never edit old ones.
const QStringList &migrations()
{
    static const QStringList all = {
        QStringLiteral(R"(
            CREATE TABLE lists (
                id INTEGER PRIMARY KEY,
                idx INTEGER NOT NULL,
                name TEXT NOT NULL DEFAULT '',
                color TEXT
            );
            CREATE TABLE apps (
                id INTEGER PRIMARY KEY,
                list_id INTEGER REFERENCES lists(id) ON DELETE CASCADE,
                position INTEGER NOT NULL DEFAULT 0,
                identifier TEXT NOT NULL DEFAULT '',
                name TEXT NOT NULL DEFAULT '',
                developer TEXT NOT NULL DEFAULT '',
                price TEXT NOT NULL DEFAULT '0',
                last_price TEXT NOT NULL DEFAULT '0',
                rating REAL NOT NULL DEFAULT 0,
                last_rating REAL NOT NULL DEFAULT 0,
                icon_url TEXT NOT NULL DEFAULT '',
                kind INTEGER NOT NULL DEFAULT 0,
                app_store_url TEXT NOT NULL DEFAULT '',
                version TEXT NOT NULL DEFAULT '',
                last_version TEXT NOT NULL DEFAULT '',
                notes TEXT
            );
            CREATE INDEX apps_by_list ON apps(list_id, position);
            CREATE INDEX apps_by_identifier ON apps(identifier);
            -- Descriptions are large and read one at a time; apart, they stay out of the
            -- pages read when the store opens.
            CREATE TABLE descriptions (
                app_id INTEGER PRIMARY KEY REFERENCES apps(id) ON DELETE CASCADE,
                text TEXT NOT NULL DEFAULT ''
            );
            CREATE TABLE screenshots (
                id INTEGER PRIMARY KEY,
                app_id INTEGER NOT NULL REFERENCES apps(id) ON DELETE CASCADE,
                position INTEGER NOT NULL DEFAULT 0,
                url TEXT NOT NULL DEFAULT ''
            );
            CREATE INDEX screenshots_by_app ON screenshots(app_id, position);
        )"),
    };
    return all;
}

} // namespace

bool isDamage(int sqliteCode)
{
    return (sqliteCode & 0xff) == SQLITE_CORRUPT || (sqliteCode & 0xff) == SQLITE_NOTADB;
}

bool passesQuickCheck(Database &database)
{
    const std::optional<QString> result = database.queryText(QStringLiteral("PRAGMA quick_check"));
    return result && *result == QLatin1String("ok");
}

bool isNewerStore(const QString &path)
{
    Database database;
    if (!database.open(path, false))
        return false;
    const std::optional<qint64> version
        = database.queryInteger(QStringLiteral("PRAGMA user_version"));
    return version && *version > currentVersion();
}

int currentVersion()
{
    return int(migrations().size());
}

bool configure(Database &database, QString *error)
{
    const std::optional<QString> mode
        = database.queryText(QStringLiteral("PRAGMA journal_mode=DELETE"));
    if (!mode || mode->compare(QStringLiteral("delete"), Qt::CaseInsensitive) != 0
        || !database.exec(QStringLiteral("PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL"))) {
        if (error)
            *error = database.lastError();
        return false;
    }
    return true;
}

bool migrate(Database &database, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // The version is read inside the write transaction: two first starts at once would
    // otherwise both see an empty file and both create the tables.
    Transaction transaction(database);
    if (!transaction.isActive())
        return fail(database.lastError());
    const std::optional<qint64> version
        = database.queryInteger(QStringLiteral("PRAGMA user_version"));
    if (!version)
        return fail(database.lastError());
    if (*version > currentVersion())
        return fail(QStringLiteral("the store was written by a newer version (%1)").arg(*version));
    // No version of Tanvill writes one below zero: the file is not a store it can read.
    if (*version < 0)
        return fail(QStringLiteral("the store has an unknown version (%1)").arg(*version));
    if (*version == currentVersion())
        return transaction.commit() || fail(database.lastError());
    if (*version == 0) {
        const std::optional<qint64> objects
            = database.queryInteger(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (!objects)
            return fail(database.lastError());
        if (*objects > 0)
            return fail(QStringLiteral("the file holds tables of another program"));
    }
    for (int next = int(*version) + 1; next <= currentVersion(); ++next) {
        if (!database.exec(migrations().at(next - 1)))
            return fail(database.lastError());
    }
    if (!database.exec(QStringLiteral("PRAGMA user_version=%1").arg(currentVersion()))
        || !transaction.commit())
        return fail(database.lastError());
    return true;
}

} // namespace tanvill::StoreSchema
