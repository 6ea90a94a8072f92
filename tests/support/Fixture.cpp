#include "Fixture.h"

#include "CatalogueSchema.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace testsupport {
namespace {

[[noreturn]] void fail(const QString& path, const QString& sql, const QString& message)
{
    QString text = path + QStringLiteral(": ") + message;
    if (!sql.isEmpty())
        text += QStringLiteral(" [") + sql + QStringLiteral("]");
    throw std::runtime_error(text.toStdString());
}

// One connection for the length of one helper call.
class Db
{
public:
    Db(const QString& path, bool create) : m_path(path)
    {
        int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                   : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close(m_db);
            fail(path, {}, message);
        }
    }
    ~Db() { sqlite3_close(m_db); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void exec(const QString& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(m_db));
            sqlite3_free(error);
            fail(m_path, sql, message);
        }
    }

    sqlite3_stmt* prepare(const QString& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) !=
            SQLITE_OK)
            error(sql);
        if (!stmt)
            fail(m_path, sql, QStringLiteral("no statement"));
        return stmt;
    }

    [[noreturn]] void error(const QString& sql)
    {
        fail(m_path, sql, QString::fromUtf8(sqlite3_errmsg(m_db)));
    }

    sqlite3* handle() const { return m_db; }

private:
    QString m_path;
    sqlite3* m_db = nullptr;
};

struct Finalizer
{
    sqlite3_stmt* stmt;
    ~Finalizer() { sqlite3_finalize(stmt); }
};

QVariant columnValue(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                 sqlite3_column_bytes(stmt, column));
    case SQLITE_BLOB: {
        const char* data = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        return QByteArray(data, sqlite3_column_bytes(stmt, column));
    }
    default:
        return {};
    }
}

int bindValue(sqlite3_stmt* stmt, int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return sqlite3_bind_null(stmt, index);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return sqlite3_bind_int64(stmt, index, value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(stmt, index, value.toDouble());
    case QMetaType::QByteArray: {
        QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                   SQLITE_TRANSIENT);
    }
    default: {
        QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text64(stmt, index, text.constData(), sqlite3_uint64(text.size()),
                                   SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

} // namespace

QString schemaSql()
{
    return QString::fromUtf8(aforizm::catalogueSchemaSql());
}

void createDatabase(const QString& path)
{
    if (QFileInfo::exists(path))
        fail(path, {}, QStringLiteral("file already exists"));
    Db db(path, true);
    db.exec(QStringLiteral("BEGIN"));
    db.exec(schemaSql());
    db.exec(QStringLiteral("COMMIT"));
}

void exec(const QString& path, const QString& sql)
{
    Db db(path, false);
    db.exec(sql);
}

QVariant scalar(const QString& path, const QString& sql)
{
    Db db(path, false);
    Finalizer f{db.prepare(sql)};
    int rc = sqlite3_step(f.stmt);
    if (rc == SQLITE_ROW)
        return columnValue(f.stmt, 0);
    if (rc != SQLITE_DONE)
        db.error(sql);
    return {};
}

QList<QVariantList> rows(const QString& path, const QString& sql)
{
    Db db(path, false);
    Finalizer f{db.prepare(sql)};
    QList<QVariantList> result;
    int rc;
    while ((rc = sqlite3_step(f.stmt)) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(f.stmt); ++i)
            row.append(columnValue(f.stmt, i));
        result.append(row);
    }
    if (rc != SQLITE_DONE)
        db.error(sql);
    return result;
}

qint64 insert(const QString& path, const QString& sql, const QVariantList& params)
{
    Db db(path, false);
    Finalizer f{db.prepare(sql)};
    if (params.size() != sqlite3_bind_parameter_count(f.stmt))
        fail(path, sql,
             QStringLiteral("%1 parameters given, statement has %2")
                 .arg(params.size())
                 .arg(sqlite3_bind_parameter_count(f.stmt)));
    for (int i = 0; i < params.size(); ++i)
        if (bindValue(f.stmt, i + 1, params[i]) != SQLITE_OK)
            db.error(sql);
    int rc;
    while ((rc = sqlite3_step(f.stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        db.error(sql);
    return sqlite3_last_insert_rowid(db.handle());
}

TempCollection::TempCollection()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder: " +
                                 m_dir.errorString().toStdString());
    createDatabase(path());
}

QString TempCollection::dir() const
{
    return m_dir.path();
}

QString TempCollection::path() const
{
    return m_dir.filePath(QStringLiteral("MAIN.DB"));
}

} // namespace testsupport
