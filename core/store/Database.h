#pragma once

// A small RAII layer over the SQLite C API: one open connection (`Database`) and its prepared
// statements (`Statement`). The object store uses one connection on the UI thread (opening,
// migrations, reading descriptions on demand) and one on its writer thread.

#include <QByteArray>
#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace tanvill {

class Statement;

class Database
{
public:
    Database() = default;
    ~Database();
    Database(Database &&other) noexcept;
    Database &operator=(Database &&other) noexcept;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens (and with `create`, creates) the file. On failure the connection stays closed and
    // lastError() says why.
    bool open(const QString &path, bool create = true);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // Runs one or more statements without results.
    bool exec(const QString &sql);
    Statement prepare(const QString &sql);

    // Reads the integer of a single-value PRAGMA or query; no value on error.
    std::optional<qint64> queryInteger(const QString &sql);
    std::optional<QString> queryText(const QString &sql);

    QString lastError() const { return m_lastError; }
    // The primary SQLite result code of the last failure (SQLITE_NOTADB, SQLITE_CORRUPT, …).
    int lastErrorCode() const { return m_lastErrorCode; }

    sqlite3 *handle() const { return m_db; }

private:
    friend class Statement;
    void recordError(int code);

    sqlite3 *m_db = nullptr;
    QString m_lastError;
    int m_lastErrorCode = 0;
};

class Statement
{
public:
    enum class Step { Row, Done, Error };

    Statement() = default;
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }

    // Parameters count from 1, as in SQLite.
    void bind(int index, qint64 value);
    void bind(int index, int value) { bind(index, qint64(value)); }
    void bind(int index, double value);
    void bind(int index, const QString &text);
    void bind(int index, const std::optional<QString> &text);
    void bindUtf8(int index, const QByteArray &utf8);
    void bindNull(int index);

    Step step();
    // step() that expects no row; true when the statement ran to completion.
    bool run();
    void reset();

    // Columns count from 0.
    qint64 integer(int column) const;
    double real(int column) const;
    QString text(int column) const;
    // The text cut to at most maxLength UTF-16 code units (TextLimits), without decoding
    // more of a long value than that needs.
    QString text(int column, qsizetype maxLength) const;
    std::optional<QString> optionalText(int column) const;
    QByteArray utf8(int column) const;
    bool isNull(int column) const;

private:
    friend class Database;
    Statement(Database *database, sqlite3_stmt *stmt) : m_database(database), m_stmt(stmt) { }

    Database *m_database = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

// Runs a transaction: BEGIN IMMEDIATE at construction, ROLLBACK at destruction unless
// commit() succeeded.
class Transaction
{
public:
    explicit Transaction(Database &database);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    bool commit();

private:
    Database &m_database;
    bool m_active = false;
};

} // namespace tanvill
