#pragma once

// The tables of the store file and their versions. PRAGMA user_version holds the version;
// opening reads it and runs every missing numbered migration, in order, in one immediate
// transaction, so that two connections opening a new file at once cannot both create it.

#include <QString>

namespace tanvill {

class Database;

namespace StoreSchema {

int currentVersion();

// Sets the connection's pragmas (rollback journal, foreign keys, full sync). Run on every
// connection before use.
bool configure(Database &database, QString *error);

// Brings an open store to the current version. False, with the file untouched, for a file
// that is not a store of ours (foreign tables, a newer version) or that cannot be read.
bool migrate(Database &database, QString *error);

// True for an existing store whose version is newer than this program knows: a later Tanvill
// wrote it, and it is neither migrated nor set aside. Only reads the file.
bool isNewerStore(const QString &path);

// True for SQLite's result codes of a damaged file (SQLITE_CORRUPT, SQLITE_NOTADB).
bool isDamage(int sqliteCode);

// False when SQLite's quick check finds the file damaged (or cannot run it).
bool passesQuickCheck(Database &database);

} // namespace StoreSchema

} // namespace tanvill
