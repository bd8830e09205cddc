#include "core/store/Database.h"

#include "core/TextLimits.h"

#include <sqlite3.h>

#include <utility>

namespace tanvill {

Database::~Database()
{
    close();
}

Database::Database(Database &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_lastError(std::move(other.m_lastError)),
      m_lastErrorCode(other.m_lastErrorCode)
{ }

Database &Database::operator=(Database &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_lastError = std::move(other.m_lastError);
        m_lastErrorCode = other.m_lastErrorCode;
    }
    return *this;
}

bool Database::open(const QString &path, bool create)
{
    close();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        recordError(rc);
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 0);
    // The writer and the UI-thread reader may meet; a short wait beats a spurious failure.
    sqlite3_busy_timeout(m_db, 5000);
    return true;
}

void Database::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void Database::recordError(int code)
{
    m_lastErrorCode = code & 0xff;
    m_lastError
        = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(code));
}

bool Database::exec(const QString &sql)
{
    if (!m_db) {
        m_lastError = QStringLiteral("database is not open");
        m_lastErrorCode = SQLITE_MISUSE;
        return false;
    }
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_lastErrorCode = rc & 0xff;
        m_lastError = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

Statement Database::prepare(const QString &sql)
{
    if (!m_db) {
        m_lastError = QStringLiteral("database is not open");
        m_lastErrorCode = SQLITE_MISUSE;
        return {};
    }
    sqlite3_stmt *stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        recordError(rc);
        sqlite3_finalize(stmt);
        return {};
    }
    return Statement(this, stmt);
}

std::optional<qint64> Database::queryInteger(const QString &sql)
{
    Statement statement = prepare(sql);
    if (!statement.isValid() || statement.step() != Statement::Step::Row)
        return std::nullopt;
    return statement.integer(0);
}

std::optional<QString> Database::queryText(const QString &sql)
{
    Statement statement = prepare(sql);
    if (!statement.isValid() || statement.step() != Statement::Step::Row)
        return std::nullopt;
    return statement.text(0);
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement &&other) noexcept
    : m_database(std::exchange(other.m_database, nullptr)),
      m_stmt(std::exchange(other.m_stmt, nullptr))
{ }

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_database = std::exchange(other.m_database, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

void Statement::bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::bind(int index, double value)
{
    sqlite3_bind_double(m_stmt, index, value);
}

void Statement::bind(int index, const QString &text)
{
    bindUtf8(index, text.toUtf8());
}

void Statement::bind(int index, const std::optional<QString> &text)
{
    if (text)
        bind(index, *text);
    else
        bindNull(index);
}

void Statement::bindUtf8(int index, const QByteArray &utf8)
{
    // An empty QByteArray has a null data pointer, which SQLite would store as NULL.
    sqlite3_bind_text(m_stmt, index, utf8.isNull() ? "" : utf8.constData(), int(utf8.size()),
                      SQLITE_TRANSIENT);
}

void Statement::bindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
}

Statement::Step Statement::step()
{
    if (!m_stmt)
        return Step::Error;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    if (m_database)
        m_database->recordError(rc);
    return Step::Error;
}

bool Statement::run()
{
    const Step result = step();
    reset();
    return result == Step::Done;
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

QString Statement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

QString Statement::text(int column, qsizetype maxLength) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    // A code unit takes at most three bytes of UTF-8, so this many bytes hold every unit kept.
    const qsizetype bytes = qMin(qsizetype(sqlite3_column_bytes(m_stmt, column)), maxLength * 4);
    return TextLimits::capped(QString::fromUtf8(data, bytes), maxLength);
}

std::optional<QString> Statement::optionalText(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

QByteArray Statement::utf8(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Transaction::Transaction(Database &database) : m_database(database)
{
    m_active = m_database.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (m_active)
        m_database.exec(QStringLiteral("ROLLBACK"));
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    if (!m_database.exec(QStringLiteral("COMMIT")))
        return false;
    m_active = false;
    return true;
}

} // namespace tanvill
