#include "Dataset.h"

#include <sqlite3.h>

#include <QFileInfo>

#include <algorithm>

namespace data {

namespace {
constexpr int kBusyTimeoutMs = 5000;
}

DataError::DataError(const QString& message) : std::runtime_error(message.toUtf8().toStdString()) {}

struct Connection::Impl
{
    QString name;
    QString database;
    QString driver = QStringLiteral("SQLite");
    sqlite3* db = nullptr;
    std::vector<QueryDataset*> datasets;

    [[noreturn]] void fail(const QString& text) const
    {
        throw DataError(QStringLiteral("%1: %2").arg(name, text));
    }
};

Connection::Connection(const QString& name, QObject* parent) : QObject(parent), d(new Impl)
{
    d->name = name;
    setObjectName(name);
}

Connection::~Connection()
{
    // Datasets still attached keep a pointer to us; they are told to forget it.
    Close();
}

QString Connection::ConnectionName() const
{
    return d->name;
}

void Connection::SetDatabase(const QString& path)
{
    d->database = path;
}

QString Connection::Database() const
{
    return d->database;
}

void Connection::SetDriverName(const QString& name)
{
    d->driver = name;
}

QString Connection::DriverName() const
{
    return d->driver;
}

void Connection::Open()
{
    if (d->db)
        return;
    if (d->driver.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0)
        d->fail(QStringLiteral("Unknown driver \"%1\"").arg(d->driver));
    if (d->database.isEmpty())
        d->fail(QStringLiteral("No database file is set"));

    WaitCursor busy;
    sqlite3* db = nullptr;
    // Read-write only: a wrong path must fail instead of creating an empty file.
    const QByteArray path = QFileInfo(d->database).absoluteFilePath().toUtf8();
    // The connection is used from one thread only: no per-call mutex.
    const int rc = sqlite3_open_v2(path.constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString why =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        d->fail(QStringLiteral("%1 (%2)").arg(why, d->database));
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);

    // SQLite reads the file lazily; reading the schema now tells a file that
    // is not a database from one that is.
    char* err = nullptr;
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &err) !=
        SQLITE_OK) {
        const QString why = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        sqlite3_close_v2(db);
        d->fail(QStringLiteral("%1 (%2)").arg(why, d->database));
    }
    d->db = db;
}

void Connection::Close()
{
    // Copy: closing a dataset does not detach it, but be safe against changes.
    const auto datasets = d->datasets;
    for (QueryDataset* ds : datasets)
        ds->Close();
    if (d->db) {
        sqlite3_close_v2(d->db);
        d->db = nullptr;
    }
}

bool Connection::Connected() const
{
    return d->db != nullptr;
}

sqlite3* Connection::Handle() const
{
    return d->db;
}

void Connection::ReleaseCursors()
{
    for (QueryDataset* ds : d->datasets)
        ds->ReleaseCursor();
}

void Connection::attach(QueryDataset* ds)
{
    d->datasets.push_back(ds);
}

void Connection::detach(QueryDataset* ds)
{
    d->datasets.erase(std::remove(d->datasets.begin(), d->datasets.end(), ds), d->datasets.end());
}

// --- WaitCursor -------------------------------------------------------------

namespace {
WaitCursor::Handler g_waitHandler = nullptr;
int g_waitDepth = 0;
} // namespace

void WaitCursor::SetHandler(Handler handler)
{
    g_waitHandler = handler;
}

WaitCursor::WaitCursor()
{
    if (g_waitDepth++ == 0 && g_waitHandler)
        g_waitHandler(true);
}

WaitCursor::~WaitCursor()
{
    if (--g_waitDepth == 0 && g_waitHandler)
        g_waitHandler(false);
}

} // namespace data
