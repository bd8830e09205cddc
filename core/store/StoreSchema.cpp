#include "core/store/StoreSchema.h"

#include "core/store/Database.h"
#include "platform/RegularFile.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QtEndian>

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
        // The currency of each application's prices; empty for the prices an older version
        // kept, which the lists controller takes to be in the "currencyCode" of the day.
        QStringLiteral("ALTER TABLE apps ADD COLUMN currency_code TEXT NOT NULL DEFAULT ''"),
        // Applications whose description and screenshots the file lacks: a file of kept
        // changes written while the store could not be read. They are fetched from the store
        // again, archived ones too; writing an application's description takes it off.
        QStringLiteral(R"(
            CREATE TABLE IF NOT EXISTS content_to_fetch (
                app_id INTEGER PRIMARY KEY REFERENCES apps(id) ON DELETE CASCADE
            );
        )"),
        // The store country whose answer each application's values are; empty for those an
        // older version kept. An application of another store than the one chosen is asked
        // again at the next start, though automatic refreshing is off.
        QStringLiteral("ALTER TABLE apps ADD COLUMN store_country TEXT NOT NULL DEFAULT ''"),
    };
    return all;
}

} // namespace

bool isDamage(int sqliteCode)
{
    return (sqliteCode & 0xff) == SQLITE_CORRUPT || (sqliteCode & 0xff) == SQLITE_NOTADB;
}

bool isTransient(int code)
{
    return code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_NOMEM
        || code == SQLITE_FULL || code == SQLITE_IOERR || code == SQLITE_INTERRUPT;
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

quint32 identity(Database &database)
{
    return quint32(database.queryInteger(QStringLiteral("PRAGMA application_id")).value_or(0));
}

bool setIdentity(Database &database, quint32 identity)
{
    // The pragma takes a signed 32-bit number.
    return database.exec(QStringLiteral("PRAGMA application_id=%1").arg(qint32(identity)));
}

quint32 newIdentity()
{
    quint32 fresh = 0;
    while (fresh == 0)
        fresh = QRandomGenerator::system()->generate();
    return fresh;
}

quint32 ensureIdentity(Database &database)
{
    if (const quint32 existing = identity(database))
        return existing;
    const quint32 fresh = newIdentity();
    return setIdentity(database, fresh) ? fresh : 0;
}

std::optional<quint32> identityInFile(const QString &path)
{
    // The header: the format's name, and the application id at offset 68.
    static const QByteArray magic("SQLite format 3", 16);
    const std::optional<QByteArray> header = readRegularFile(path, 100);
    if (!header || header->size() < 100 || !header->startsWith(magic))
        return std::nullopt;
    return qFromBigEndian<quint32>(header->constData() + 68);
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
