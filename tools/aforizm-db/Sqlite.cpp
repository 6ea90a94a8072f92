#include "Sqlite.h"

#include <sqlite3.h>

namespace dbtool {

Database::Database(const QString& path, Mode mode) : m_path(path)
{
    int flags = SQLITE_OPEN_READWRITE;
    if (mode == Mode::CreateNew)
        flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        QString reason =
            m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw Failure(QStringLiteral("%1: cannot open the database: %2").arg(path, reason));
    }
    sqlite3_extended_result_codes(m_db, 1);
    // The program may be reading the same file; give its short locks time
    // to pass instead of failing at once.
    sqlite3_busy_timeout(m_db, 5000);
}

Database::~Database()
{
    sqlite3_close_v2(m_db);
}

void Database::fail(const QString& what) const
{
    throw Failure(
        QStringLiteral("%1: %2: %3").arg(m_path, what, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void Database::exec(const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        QString reason = QString::fromUtf8(error ? error : sqlite3_errmsg(m_db));
        sqlite3_free(error);
        throw Failure(QStringLiteral("%1: %2").arg(m_path, reason));
    }
}

Statement Database::prepare(const QString& sql)
{
    sqlite3_stmt* stmt = nullptr;
    QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        fail(QStringLiteral("cannot prepare \"%1\"").arg(sql));
    return Statement(*this, stmt);
}

qint64 Database::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

Statement::Statement(Statement&& other) noexcept : m_db(other.m_db), m_stmt(other.m_stmt)
{
    other.m_stmt = nullptr;
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement& Statement::bind(int index, qint64 value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        m_db->fail(QStringLiteral("cannot bind a parameter"));
    return *this;
}

Statement& Statement::bind(int index, const QString& text)
{
    if (text.isNull()) {
        if (sqlite3_bind_null(m_stmt, index) != SQLITE_OK)
            m_db->fail(QStringLiteral("cannot bind a parameter"));
        return *this;
    }
    QByteArray utf8 = text.toUtf8();
    return bindUtf8(index, utf8.constData(), int(utf8.size()));
}

Statement& Statement::bindUtf8(int index, const char* text, int bytes)
{
    if (sqlite3_bind_text(m_stmt, index, text, bytes, SQLITE_TRANSIENT) != SQLITE_OK)
        m_db->fail(QStringLiteral("cannot bind a parameter"));
    return *this;
}

bool Statement::step()
{
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_db->fail(QStringLiteral("\"%1\" failed").arg(QString::fromUtf8(sqlite3_sql(m_stmt))));
}

void Statement::run()
{
    while (step()) {
    }
    reset();
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

qint64 Statement::int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString Statement::text(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!data)
        return {};
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

} // namespace dbtool
