#pragma once

// The tables of the store file and their versions. PRAGMA user_version holds the version;
// opening reads it and runs every missing numbered migration, in order, in one immediate
// transaction, so that two connections opening a new file at once cannot both create it.

#include <QString>

#include <optional>

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
// True for failures that say nothing about the file itself (busy, locked, short of memory or
// space, an I/O error, interrupted): it stays where it is.
bool isTransient(int sqliteCode);

// The identity a store carries in its header (SQLite's application id), which every file written
// anew from it carries too: a file beside the store is taken for its own only with it. 0 for
// none (a store no Tanvill gave one yet).
quint32 identity(Database &database);
bool setIdentity(Database &database, quint32 identity);
// An identity no file has yet, as far as chance goes.
quint32 newIdentity();
// Gives an open store an identity when it has none; the identity, 0 when none could be given.
quint32 ensureIdentity(Database &database);
// The identity in the header of the file at path, read without SQLite; none when what is there
// is no SQLite file.
std::optional<quint32> identityInFile(const QString &path);

// False when SQLite's quick check finds the file damaged (or cannot run it).
bool passesQuickCheck(Database &database);

} // namespace StoreSchema

} // namespace tanvill
