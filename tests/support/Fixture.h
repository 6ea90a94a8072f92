// Test fixtures for the catalogue database.
//
// Every function here opens its own SQLite connection, does its one job and
// closes it again, exactly as another program working on the same file would.
// That makes them fit for preparing a database before the code under test
// opens it, and for checking from outside what that code really committed.
//
// No function waits for a lock: if the code under test holds one, the call
// fails at once (SQLITE_BUSY) instead of depending on timing.
//
// All failures throw std::runtime_error whose what() names the path, the
// statement and SQLite's message; a QtTest function that lets it escape is
// reported as failed with that text.
#pragma once

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

namespace testsupport {

// The text of data/schema.sql, as compiled into the test program.
QString schemaSql();

// Creates a new database file at `path` holding the catalogue schema (the
// tables TB0, TB1, TB2, TB4 and their indexes). Throws if the file already
// exists, so a fixture never clobbers something by mistake.
void createDatabase(const QString& path);

// Runs one or more statements separated by semicolons (no parameters).
void exec(const QString& path, const QString& sql);

// First column of the first row of `sql`: qint64 for INTEGER, double for
// REAL, QString for TEXT, QByteArray for BLOB, and a null QVariant for NULL
// or when there is no row at all.
QVariant scalar(const QString& path, const QString& sql);

// Every row of `sql`, each as a list of its column values (typed as for
// scalar()); for checks that need more than one value, such as the lines of
// EXPLAIN QUERY PLAN.
QList<QVariantList> rows(const QString& path, const QString& sql);

// Runs one statement with positional parameters (`?` or `?1`, `?2` ...; an
// invalid/null QVariant binds NULL, integers bind as INTEGER, QByteArray as
// BLOB, everything else as text) and returns sqlite3_last_insert_rowid, i.e.
// the key of the inserted row:
//     qint64 s = insert(db, "INSERT INTO TB0 (GROUP1) VALUES (?)", {"Мудрость"});
qint64 insert(const QString& path, const QString& sql, const QVariantList& params = {});

// A fresh temporary folder holding MAIN.DB with the schema and nothing else;
// the folder and everything in it are removed when the object is destroyed.
//     testsupport::TempCollection c;
//     qint64 s = testsupport::insert(c.path(), "INSERT INTO TB0 (GROUP1) VALUES ('A')");
class TempCollection
{
public:
    TempCollection(); // throws std::runtime_error if the folder or file cannot be made
    TempCollection(const TempCollection&) = delete;
    TempCollection& operator=(const TempCollection&) = delete;

    QString dir() const;  // the folder, without a trailing slash
    QString path() const; // dir() + "/MAIN.DB"

private:
    QTemporaryDir m_dir;
};

} // namespace testsupport
