// The dataset layer on its own: a connection and query datasets over a
// throw-away MAIN.DB, checked from a second connection where it matters.
#include "dataset/Dataset.h"
#include "dataset/DataSource.h"

#include "Fixture.h"

#include <QFile>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <set>

using namespace data;
using testsupport::exec;
using testsupport::insert;
using testsupport::scalar;

namespace {

// A collection with a connection on it; datasets made through query().
struct Db
{
    testsupport::TempCollection files;
    Connection conn{QStringLiteral("FCONNECT")};
    std::vector<std::unique_ptr<QueryDataset>> owned;

    Db() { conn.SetDatabase(files.path()); }
    QString path() const { return files.path(); }
    QueryDataset* query(const QString& sql, const QString& name = QStringLiteral("FDQuery5"))
    {
        owned.push_back(std::make_unique<QueryDataset>(name, &conn));
        owned.back()->SetSQL(sql);
        return owned.back().get();
    }
    qint64 count(const QString& table) const
    {
        return scalar(path(), QStringLiteral("SELECT count(*) FROM ") + table).toLongLong();
    }
    // `n` aphorisms in node 1, AUTHOR "a<i>".
    void fillAphorisms(int n) const
    {
        exec(path(), QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                    "FROM c WHERE i < %1) INSERT INTO TB4 (NMB3, AUTHOR, "
                                    "AFORIZM) SELECT 1, 'a' || i, 'text ' || i FROM c")
                         .arg(n));
    }
};

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const DataError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

QList<qint64> keys(QueryDataset* q, const QString& column)
{
    QList<qint64> out;
    const int c = q->FieldIndex(column);
    for (int r = 0; r < q->RecordCount(); ++r)
        out << q->Value(r, c).toLongLong();
    return out;
}

QStringList texts(QueryDataset* q, const QString& column)
{
    QStringList out;
    const int c = q->FieldIndex(column);
    for (int r = 0; r < q->RecordCount(); ++r)
        out << q->Value(r, c).toString();
    return out;
}

// The bytes of a valid SQLite file that holds no table.
QByteArray emptyDatabaseBytes()
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("x.db")).toUtf8();
    sqlite3* db = nullptr;
    sqlite3_open(path.constData(), &db);
    sqlite3_exec(db, "CREATE TABLE t (a); DROP TABLE t;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QFile f(QString::fromUtf8(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int g_busyOn = 0;
int g_busyOff = 0;
void countBusy(bool busy)
{
    (busy ? g_busyOn : g_busyOff)++;
}

} // namespace

class TestDataset : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectionNeverCreatesAFile();
    void connectionOnOddFiles_data();
    void connectionOnOddFiles();
    void parametersMatchWithoutCase_data();
    void parametersMatchWithoutCase();
    void fieldsReadNullsAndTypes();
    void movingAndEof();
    void locate();
    void misuseGivesExactMessages_data();
    void misuseGivesExactMessages();
    void insertWithNothingTypedStoresRowAndKey();
    void appendAndInsertArePartOfTheRows();
    void editWritesOnlyChangedColumns();
    void deleteRemovesRowAndMovesToNeighbour();
    void pendingChangeEndsOnMove();
    void failedWriteKeepsPendingChange();
    void statementsThatCannotBeWritten_data();
    void statementsThatCannotBeWritten();
    void statementsThatWouldWriteAreRefused();
    void rowsAreFetchedOnDemand();
    void writeCommitsWhileAnotherCursorIsHalfRead();
    void fetchingResumesAfterWritesBehindTheCursor_data();
    void fetchingResumesAfterWritesBehindTheCursor();
    void refreshKeepsTheRowByKey();
    void disabledControlsHoldBackVisibleSignals();
    void clientOrderUsesRussianCollation_data();
    void clientOrderUsesRussianCollation();
    void postedRowTakesItsPlaceInClientOrder();
    void waitCursorShowsWhileWorking();
    void openWithTextAndDataSourceAutoEdit();
};

void TestDataset::connectionNeverCreatesAFile()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("MAIN.DB"));
    Connection conn(QStringLiteral("FCONNECT"));
    conn.SetDatabase(missing);
    QVERIFY(errorOf([&] { conn.Open(); }).contains(QStringLiteral("unable to open")));
    QVERIFY(!conn.Connected());

    // Opening a dataset tries the connection again and fails the same way.
    QueryDataset q(QStringLiteral("FDQuery1"), &conn);
    q.SetSQL(QStringLiteral("SELECT * FROM TB0"));
    QVERIFY(errorOf([&] { q.Open(); }) != QStringLiteral("<no error>"));
    QVERIFY(!q.Active());
    QVERIFY(!QFile::exists(missing));
}

void TestDataset::connectionOnOddFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("connects");
    QTest::addColumn<QString>("error"); // of Connection::Open or of opening TB0

    QTest::newRow("zero bytes") << QByteArray() << true
                                << QStringLiteral("FDQuery1: no such table: TB0");
    QTest::newRow("database without tables")
        << emptyDatabaseBytes() << true << QStringLiteral("FDQuery1: no such table: TB0");
    QTest::newRow("not a database") << QByteArray("This is plain text, not SQLite.\n").repeated(40)
                                    << false << QStringLiteral("file is not a database");
}

void TestDataset::connectionOnOddFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, connects);
    QFETCH(QString, error);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAIN.DB"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();

    Connection conn(QStringLiteral("FCONNECT"));
    conn.SetDatabase(path);
    if (!connects) {
        QVERIFY2(errorOf([&] { conn.Open(); }).contains(error), qPrintable(error));
        QVERIFY(!conn.Connected());
    } else {
        conn.Open();
        QueryDataset q(QStringLiteral("FDQuery1"), &conn);
        q.SetSQL(QStringLiteral("SELECT * FROM TB0 ORDER BY GROUP1 ASC"));
        QCOMPARE(errorOf([&] { q.Open(); }), error);
        QVERIFY(!q.Active());
    }
    // Nothing was written into the file.
    QCOMPARE(QFileInfo(path).size(), qint64(content.size()));
}

void TestDataset::parametersMatchWithoutCase_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("param");
    QTest::newRow(":nmb1 / NMB1") << "SELECT * FROM TB1 where TB1.nmb1 = :nmb1"
                                  << "NMB1";
    QTest::newRow(":NMB3 / nmb3") << "SELECT * FROM TB1 where NMB1 = :NMB3"
                                  << "nmb3";
    QTest::newRow(":Nmb2 / nMB2") << "SELECT * FROM TB1 where NMB1 = :Nmb2"
                                  << "nMB2";
}

void TestDataset::parametersMatchWithoutCase()
{
    QFETCH(QString, sql);
    QFETCH(QString, param);
    Db db;
    exec(db.path(), "INSERT INTO TB1 (NMB1, GROUP2) VALUES (7, 'a'), (7, 'b'), (8, 'c')");
    QueryDataset* q = db.query(sql);
    q->SetParamValue(param, 7);
    q->Open();
    QCOMPARE(q->RecordCount(), 2);

    // An unset parameter is NULL and matches nothing.
    QueryDataset* unset = db.query(sql);
    unset->Open();
    QCOMPARE(unset->RecordCount(), 0);
}

void TestDataset::fieldsReadNullsAndTypes()
{
    Db db;
    insert(db.path(), "INSERT INTO TB4 (NMB3) VALUES (1)");
    QueryDataset* q = db.query("SELECT * FROM TB4");
    q->Open();

    QCOMPARE(q->FieldCount(), 5);
    const QStringList names = {"NMB3", "NMB4", "AUTHOR", "AFORIZM", "SOURCE"};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(q->Fields(i).FieldName(), names[i]);
    QCOMPARE(q->FieldByName("nmb4").DataType(), FieldType::AutoInc);
    QVERIFY(q->Fields(1).IsAutoInc());
    QCOMPARE(q->Fields(0).DataType(), FieldType::Integer);
    QCOMPARE(q->FieldByName("Author").DataType(), FieldType::String);
    QCOMPARE(q->FieldByName("AFORIZM").DataType(), FieldType::Memo);

    Field author = q->FieldByName("author");
    QVERIFY(author.IsNull());
    QCOMPARE(author.AsString(), QString());
    QCOMPARE(author.AsInteger(), 0);
    QVERIFY(author.AsVariant().isNull());
    QCOMPARE(q->FieldByName("NMB3").AsInteger(), 1);

    QCOMPARE(errorOf([&] { q->FieldByName("GROUP1"); }),
             QStringLiteral("FDQuery5: Field 'GROUP1' not found"));

    // An empty result still has its fields; they read as empty.
    QueryDataset* empty = db.query("SELECT * FROM TB4 WHERE NMB4 < 0");
    empty->Open();
    QCOMPARE(empty->FieldCount(), 5);
    QVERIFY(empty->Eof());
    QCOMPARE(empty->FieldByName("AFORIZM").AsString(), QString());
    QCOMPARE(empty->FieldByName("NMB4").AsInteger(), 0);
    QVERIFY(empty->FieldByName("NMB4").AsVariant().isNull());

    // Unicode text comes back as stored.
    const QString text = QStringLiteral("Ёжик в тумане — «цитата»\nвторая строка");
    insert(db.path(), "INSERT INTO TB4 (NMB3, AFORIZM) VALUES (2, ?)", {text});
    q->Refresh();
    q->Last();
    QCOMPARE(q->FieldByName("AFORIZM").AsString(), text);
}

void TestDataset::movingAndEof()
{
    Db db;
    db.fillAphorisms(3);
    QueryDataset* q = db.query("SELECT * FROM TB4 ORDER BY NMB4");
    q->Open();
    QCOMPARE(q->RecNo(), 0);
    QVERIFY(!q->Eof());
    QVERIFY(q->Bof());
    q->Next();
    q->Next();
    QCOMPARE(q->FieldByName("AUTHOR").AsString(), QStringLiteral("a3"));
    QVERIFY(!q->Eof());
    q->Next(); // no further row: Eof, and the cursor stays
    QVERIFY(q->Eof());
    QCOMPARE(q->RecNo(), 2);
    q->Prior();
    QVERIFY(!q->Eof());
    QCOMPARE(q->RecNo(), 1);
    q->First();
    QCOMPARE(q->RecNo(), 0);
    q->Prior();
    QVERIFY(q->Bof());
    QCOMPARE(q->RecNo(), 0);

    // The usual loop visits every row once.
    QStringList seen;
    for (q->First(); !q->Eof(); q->Next())
        seen << q->FieldByName("AUTHOR").AsString();
    QCOMPARE(seen, QStringList({"a1", "a2", "a3"}));

    q->Close();
    QCOMPARE(q->RecordCount(), 0);
    QVERIFY(q->Eof());
    QCOMPARE(q->State(), DatasetState::Inactive);
    QVERIFY(errorOf([&] { q->Next(); }).startsWith("FDQuery5: "));

    QueryDataset* empty = db.query("SELECT * FROM TB4 WHERE 0");
    empty->Open();
    QVERIFY(empty->Eof());
    QCOMPARE(empty->RecNo(), -1);
    empty->Next();
    empty->Last();
    QVERIFY(empty->Eof());
}

void TestDataset::locate()
{
    Db db;
    db.fillAphorisms(1000);
    QueryDataset* q = db.query("SELECT * FROM TB4");
    q->Open();
    q->MoveTo(5);
    QVERIFY(q->RecordCount() < 1000);

    // A key no row has: false, and the cursor stays.
    QVERIFY(!q->Locate("NMB4", 5000));
    QCOMPARE(q->RecNo(), 5);
    // A row far beyond the fetched ones is found (the search fetches).
    QVERIFY(q->Locate("nmb4", 900));
    QCOMPARE(q->FieldByName("AUTHOR").AsString(), QStringLiteral("a900"));
    // The first match, from the first row.
    QVERIFY(q->Locate("NMB3", 1));
    QCOMPARE(q->RecNo(), 0);
}

void TestDataset::misuseGivesExactMessages_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("message");
    enum { SetField, PostBrowsing, DeleteEmpty };
    QTest::newRow("write while browsing")
        << "1" << int(SetField) << "FDQuery4: Dataset not in edit or insert mode";
    QTest::newRow("post while browsing")
        << "1" << int(PostBrowsing) << "FDQuery4: Dataset not in edit or insert mode";
    QTest::newRow("delete on empty") << "0" << int(DeleteEmpty)
                                     << "FDQuery4: Cannot perform this operation on an empty "
                                        "dataset";
}

void TestDataset::misuseGivesExactMessages()
{
    QFETCH(QString, where);
    QFETCH(int, action);
    QFETCH(QString, message);
    Db db;
    db.fillAphorisms(2);
    QueryDataset* q = db.query("SELECT * FROM TB4 WHERE " + where, "FDQuery4");
    q->Open();
    const QString got = errorOf([&] {
        switch (action) {
        case 0:
            q->FieldByName("AUTHOR").SetAsString("x");
            break;
        case 1:
            q->Post();
            break;
        default:
            q->Delete();
            break;
        }
    });
    QCOMPARE(got, message);
    QCOMPARE(db.count("TB4"), 2);
    QCOMPARE(q->State(), DatasetState::Browse);
}

void TestDataset::insertWithNothingTypedStoresRowAndKey()
{
    Db db;
    db.fillAphorisms(2);
    QueryDataset* q = db.query("SELECT * FROM TB4 ORDER BY NMB4");
    q->Open();
    q->Insert();
    QCOMPARE(q->State(), DatasetState::Insert);
    QVERIFY(q->FieldByName("NMB4").IsNull());
    q->Post();

    QCOMPARE(q->State(), DatasetState::Browse);
    const qint64 key = q->FieldByName("NMB4").AsInteger();
    QCOMPARE(key, 3);
    // Stored at once: a second connection sees it, with nothing but its key.
    QCOMPARE(db.count("TB4"), 3);
    QCOMPARE(scalar(db.path(), "SELECT count(*) FROM TB4 WHERE NMB4 = 3 AND NMB3 IS NULL AND "
                               "AUTHOR IS NULL AND AFORIZM IS NULL AND SOURCE IS NULL")
                 .toLongLong(),
             1);

    // Values set before the post are stored, and read back as stored.
    q->Append();
    q->FieldByName("AUTHOR").SetAsString(QStringLiteral("Козьма Прутков"));
    q->FieldByName("NMB3").SetAsInteger(42);
    q->Post();
    QCOMPARE(q->FieldByName("NMB4").AsInteger(), 4);
    QCOMPARE(scalar(db.path(), "SELECT AUTHOR || '/' || NMB3 FROM TB4 WHERE NMB4 = 4").toString(),
             QStringLiteral("Козьма Прутков/42"));
}

void TestDataset::appendAndInsertArePartOfTheRows()
{
    Db db;
    db.fillAphorisms(3);
    QueryDataset* q = db.query("SELECT * FROM TB4 ORDER BY NMB4");
    q->Open();
    q->Next();
    QSignalSpy aboutIns(q, &QueryDataset::rowAboutToBeInserted);
    QSignalSpy ins(q, &QueryDataset::rowInserted);
    QSignalSpy aboutRem(q, &QueryDataset::rowAboutToBeRemoved);
    QSignalSpy rem(q, &QueryDataset::rowRemoved);

    // Insert: at the current position, counted, current.
    q->Insert();
    QCOMPARE(aboutIns.takeFirst().at(0).toInt(), 1);
    QCOMPARE(ins.takeFirst().at(0).toInt(), 1);
    QCOMPARE(q->RecordCount(), 4);
    QCOMPARE(q->RecNo(), 1);
    QCOMPARE(q->Value(2, q->FieldIndex("AUTHOR")).toString(), QStringLiteral("a2"));
    q->Cancel();
    QCOMPARE(aboutRem.takeFirst().at(0).toInt(), 1);
    QCOMPARE(rem.takeFirst().at(0).toInt(), 1);
    QCOMPARE(q->RecordCount(), 3);
    QCOMPARE(q->FieldByName("AUTHOR").AsString(), QStringLiteral("a2"));

    // Append: at the end; the typed value shows in the view before the post.
    q->Append();
    QCOMPARE(ins.takeFirst().at(0).toInt(), 3);
    QCOMPARE(q->RecNo(), 3);
    q->FieldByName("AUTHOR").SetAsString("new");
    QCOMPARE(q->Value(3, q->FieldIndex("AUTHOR")).toString(), QStringLiteral("new"));
    q->Post();
    QCOMPARE(q->RecordCount(), 4);
    QCOMPARE(db.count("TB4"), 4);
    QCOMPARE(rem.count(), 0);

    // Delete while inserting drops the new row and deletes nothing stored.
    q->Insert();
    q->FieldByName("AUTHOR").SetAsString("never");
    q->Delete();
    QCOMPARE(rem.count(), 1);
    QCOMPARE(q->RecordCount(), 4);
    QCOMPARE(db.count("TB4"), 4);
    QCOMPARE(q->State(), DatasetState::Browse);
}

void TestDataset::editWritesOnlyChangedColumns()
{
    Db db;
    db.fillAphorisms(2);
    QueryDataset* q = db.query("SELECT * FROM tb4 ORDER BY NMB4");
    q->Open();
    q->Edit();
    q->FieldByName("author").SetAsString(QStringLiteral("Автор"));
    QVERIFY(q->Modified());
    // Someone else changes another column of the same row meanwhile.
    exec(db.path(), "UPDATE TB4 SET SOURCE = 'outside' WHERE NMB4 = 1");
    QSignalSpy update(q, &QueryDataset::updateRecord);
    q->Post();
    QVERIFY(update.count() >= 1);
    QCOMPARE(scalar(db.path(), "SELECT AUTHOR || '|' || SOURCE || '|' || AFORIZM FROM TB4 WHERE "
                               "NMB4 = 1")
                 .toString(),
             QStringLiteral("Автор|outside|text 1"));
    // The row is read back after the write.
    QCOMPARE(q->FieldByName("SOURCE").AsString(), QStringLiteral("outside"));
    QCOMPARE(scalar(db.path(), "SELECT AUTHOR FROM TB4 WHERE NMB4 = 2").toString(),
             QStringLiteral("a2"));

    // A NULL written through a null variant is stored as NULL.
    q->Edit();
    q->FieldByName("AUTHOR").SetAsVariant(QVariant());
    q->Post();
    QVERIFY(scalar(db.path(), "SELECT AUTHOR IS NULL FROM TB4 WHERE NMB4 = 1").toBool());
}

void TestDataset::deleteRemovesRowAndMovesToNeighbour()
{
    Db db;
    db.fillAphorisms(3);
    QueryDataset* q = db.query("SELECT * FROM TB4 ORDER BY NMB4");
    q->Open();
    q->Next();
    QSignalSpy rem(q, &QueryDataset::rowRemoved);
    q->Delete(); // the middle row: the next one becomes current
    QCOMPARE(rem.takeFirst().at(0).toInt(), 1);
    QCOMPARE(q->FieldByName("NMB4").AsInteger(), 3);
    QCOMPARE(db.count("TB4"), 2);
    q->Delete(); // the last row: the previous one becomes current
    QCOMPARE(q->FieldByName("NMB4").AsInteger(), 1);
    q->Delete();
    QCOMPARE(q->RecordCount(), 0);
    QVERIFY(q->Eof());
    QCOMPARE(db.count("TB4"), 0);
}

void TestDataset::pendingChangeEndsOnMove()
{
    Db db;
    db.fillAphorisms(3);
    QueryDataset* q = db.query("SELECT * FROM TB4 ORDER BY NMB4");
    q->Open();

    // A control writes its text when asked: the move posts it.
    connect(q, &QueryDataset::updateRecord, q, [q] {
        if (q->State() == DatasetState::Edit)
            q->FieldByName("SOURCE").SetAsString("typed");
    });
    q->Edit();
    q->Next();
    QCOMPARE(q->State(), DatasetState::Browse);
    QCOMPARE(scalar(db.path(), "SELECT SOURCE FROM TB4 WHERE NMB4 = 1").toString(),
             QStringLiteral("typed"));
    disconnect(q, &QueryDataset::updateRecord, q, nullptr);

    // An untouched new row is dropped by a move; nothing is stored.
    q->Insert();
    QCOMPARE(q->RecordCount(), 4);
    q->MoveTo(3);
    QCOMPARE(q->RecordCount(), 3);
    QCOMPARE(q->FieldByName("NMB4").AsInteger(), 3); // the row that was clicked
    QCOMPARE(db.count("TB4"), 3);

    // A changed new row is posted by a move.
    q->Insert();
    q->FieldByName("AUTHOR").SetAsString("kept");
    q->First();
    QCOMPARE(db.count("TB4"), 4);
    QCOMPARE(q->State(), DatasetState::Browse);
}

void TestDataset::failedWriteKeepsPendingChange()
{
    Db db;
    db.fillAphorisms(2);
    exec(db.path(), "CREATE TRIGGER no_bad BEFORE INSERT ON TB4 WHEN NEW.AUTHOR = 'bad' "
                    "BEGIN SELECT RAISE(ABORT, 'bad author'); END");
    QueryDataset* q = db.query("SELECT * FROM TB4 ORDER BY NMB4", "FDQuery4");
    q->Open();
    q->Append();
    q->FieldByName("AUTHOR").SetAsString("bad");
    QCOMPARE(errorOf([&] { q->Post(); }), QStringLiteral("FDQuery4: bad author"));
    QCOMPARE(q->State(), DatasetState::Insert);
    QCOMPARE(q->FieldByName("AUTHOR").AsString(), QStringLiteral("bad"));
    // A move tries the post again and fails the same way: no move, no loss.
    QVERIFY(errorOf([&] { q->First(); }).contains("bad author"));
    QCOMPARE(q->State(), DatasetState::Insert);
    q->FieldByName("AUTHOR").SetAsString("good");
    q->Post();
    QCOMPARE(db.count("TB4"), 3);

    // The row was deleted by someone else: the update reports it, stays pending.
    q->First();
    q->Edit();
    q->FieldByName("AUTHOR").SetAsString("late");
    exec(db.path(), "DELETE FROM TB4 WHERE NMB4 = 1");
    QVERIFY(errorOf([&] { q->Post(); }).startsWith("FDQuery4: "));
    QCOMPARE(q->State(), DatasetState::Edit);
    QCOMPARE(q->FieldByName("AUTHOR").AsString(), QStringLiteral("late"));
}

void TestDataset::statementsThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("no key column") << "SELECT AUTHOR, AFORIZM FROM TB4";
    QTest::newRow("expression") << "SELECT NMB4, upper(AUTHOR) AS A FROM TB4";
    QTest::newRow("join") << "SELECT * FROM TB4 JOIN TB2 ON TB2.NMB3 = TB4.NMB3";
}

void TestDataset::statementsThatCannotBeWritten()
{
    QFETCH(QString, sql);
    Db db;
    exec(db.path(), "INSERT INTO TB2 (NMB3, NMB2, GROUP3) VALUES (1, 1, 'g')");
    db.fillAphorisms(2);
    QueryDataset* q = db.query(sql);
    q->Open();
    QCOMPARE(q->RecordCount(), 2);
    for (auto action : {&QueryDataset::Edit, &QueryDataset::Insert, &QueryDataset::Append,
                        &QueryDataset::Delete}) {
        const QString error = errorOf([&] { (q->*action)(); });
        QVERIFY2(error.startsWith("FDQuery5: Cannot modify a read-only dataset"),
                 qPrintable(error));
        QCOMPARE(q->State(), DatasetState::Browse);
    }
    QCOMPARE(db.count("TB4"), 2);
}

void TestDataset::statementsThatWouldWriteAreRefused()
{
    Db db;
    db.fillAphorisms(2);
    for (const char* sql :
         {"DELETE FROM TB4", "UPDATE TB4 SET AUTHOR = 'x' RETURNING *", "SELEC * FROM TB4"}) {
        QueryDataset* q = db.query(sql);
        QVERIFY(errorOf([&] { q->Open(); }).startsWith("FDQuery5: "));
        QVERIFY(!q->Active());
    }
    QCOMPARE(scalar(db.path(), "SELECT count(*) FROM TB4 WHERE AUTHOR LIKE 'a%'").toLongLong(), 2);
}

void TestDataset::rowsAreFetchedOnDemand()
{
    Db db;
    db.fillAphorisms(3000);
    QueryDataset* q = db.query("SELECT * FROM TB4");
    QSignalSpy aboutFetch(q, &QueryDataset::rowsAboutToBeFetched);
    QSignalSpy fetched(q, &QueryDataset::rowsFetched);
    q->Open();
    const int first = q->RecordCount();
    QVERIFY(first > 0 && first < 3000);
    QVERIFY(q->CanFetchMore());

    q->FetchMore(100);
    QCOMPARE(q->RecordCount(), first + 100);
    QCOMPARE(fetched.count(), 1);
    QCOMPARE(fetched.at(0).at(0).toInt(), first);
    QCOMPARE(fetched.at(0).at(1).toInt(), first + 99);
    QCOMPARE(aboutFetch.at(0), fetched.at(0));

    // Moving past the fetched rows fetches as needed.
    q->MoveTo(first + 150);
    QCOMPARE(q->RecNo(), first + 150);
    QCOMPARE(q->FieldByName("NMB4").AsInteger(), first + 151);

    q->Last();
    QCOMPARE(q->RecordCount(), 3000);
    QVERIFY(!q->CanFetchMore());
    QCOMPARE(q->FieldByName("AUTHOR").AsString(), QStringLiteral("a3000"));
    // Ranges are contiguous: every row announced exactly once.
    int next = first;
    for (const auto& args : fetched) {
        QCOMPARE(args.at(0).toInt(), next);
        next = args.at(1).toInt() + 1;
    }
    QCOMPARE(next, 3000);
    const QList<qint64> k = keys(q, "NMB4");
    QCOMPARE(std::set<qint64>(k.begin(), k.end()).size(), size_t(3000));
}

void TestDataset::writeCommitsWhileAnotherCursorIsHalfRead()
{
    Db db;
    db.fillAphorisms(3000);
    QueryDataset* hits = db.query("SELECT * FROM TB4", "FDQuery5");
    QueryDataset* list = db.query("SELECT * FROM TB4 WHERE NMB3 = 1 AND NMB4 <= 3", "FDQuery4");
    hits->Open();
    hits->FetchMore(500);
    const int halfway = hits->RecordCount();
    QVERIFY(halfway < 3000);
    list->Open();

    // Each write is visible to another connection the moment it returns.
    list->Append();
    list->FieldByName("AUTHOR").SetAsString("posted");
    list->Post();
    QCOMPARE(db.count("TB4"), 3001);
    list->First();
    list->Edit();
    list->FieldByName("AUTHOR").SetAsString("edited");
    list->Post();
    QCOMPARE(scalar(db.path(), "SELECT AUTHOR FROM TB4 WHERE NMB4 = 1").toString(),
             QStringLiteral("edited"));
    list->Last();
    list->Delete();
    QCOMPARE(db.count("TB4"), 3000);
    // Nothing keeps the file locked: another connection can write too.
    exec(db.path(), "UPDATE TB4 SET SOURCE = 'outside' WHERE NMB4 = 2000");

    // Fetching goes on where it stopped, without repeating a row.
    hits->Last();
    const QList<qint64> k = keys(hits, "NMB4");
    QCOMPARE(std::set<qint64>(k.begin(), k.end()).size(), size_t(k.size()));
    QCOMPARE(k.size(), 3000); // 3000 read, then the new row 3001 was deleted again
    for (int i = 0; i < k.size(); ++i)
        QCOMPARE(k[i], qint64(i + 1));
    QCOMPARE(hits->Value(1999, hits->FieldIndex("SOURCE")).toString(), QStringLiteral("outside"));
}

void TestDataset::fetchingResumesAfterWritesBehindTheCursor_data()
{
    QTest::addColumn<int>("deleteAt"); // row index relative to the rows read; 0: none
    QTest::addColumn<bool>("insertRow");
    QTest::newRow("row read earlier deleted") << -100 << false;
    QTest::newRow("last row read deleted") << -1 << false;
    QTest::newRow("row not read yet deleted") << 100 << false;
    QTest::newRow("row added") << 0 << true;
}

void TestDataset::fetchingResumesAfterWritesBehindTheCursor()
{
    QFETCH(int, deleteAt);
    QFETCH(bool, insertRow);
    Db db;
    db.fillAphorisms(1000);
    QueryDataset* hits = db.query("SELECT * FROM TB4", "FDQuery5");
    hits->Open();
    hits->FetchMore(300);
    const int read = hits->RecordCount();

    QueryDataset* one = db.query("SELECT * FROM TB4 WHERE NMB4 = :key", "FDQuery6");
    if (deleteAt != 0) {
        one->SetParamValue("key", read + 1 + (deleteAt < 0 ? deleteAt : deleteAt));
        one->Open();
        QCOMPARE(one->RecordCount(), 1);
        one->Delete();
    }
    if (insertRow) {
        one->SetParamValue("key", 1);
        one->Open();
        one->Append();
        one->Post();
    }

    // Every stored row once, in the statement's order: none lost, none twice.
    hits->Last();
    QList<qint64> expected;
    QueryDataset* all = db.query("SELECT * FROM TB4");
    all->Open();
    all->Last();
    expected = keys(all, "NMB4");
    QList<qint64> got = keys(hits, "NMB4");
    if (deleteAt < 0) // the deleted row had been read and stays in the list
        got.removeOne(read + 1 + deleteAt);
    QCOMPARE(got, expected);
}

void TestDataset::refreshKeepsTheRowByKey()
{
    Db db;
    db.fillAphorisms(5);
    QueryDataset* q = db.query("SELECT * FROM TB4 ORDER BY AUTHOR");
    q->Open();
    q->Locate("NMB4", 3);
    QSignalSpy resets(q, &QueryDataset::reset);
    // A new row sorts before the current one: the current row is found by key.
    insert(db.path(), "INSERT INTO TB4 (NMB3, AUTHOR) VALUES (1, 'a0')");
    q->Refresh();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(q->RecordCount(), 6);
    QCOMPARE(q->FieldByName("NMB4").AsInteger(), 3);
    QCOMPARE(q->RecNo(), 3);
    // The current row is gone: the row at the same position.
    exec(db.path(), "DELETE FROM TB4 WHERE NMB4 = 3");
    q->Refresh();
    QCOMPARE(q->RecNo(), 3);
    QCOMPARE(q->FieldByName("AUTHOR").AsString(), QStringLiteral("a4"));
}

void TestDataset::disabledControlsHoldBackVisibleSignals()
{
    Db db;
    db.fillAphorisms(5);
    QueryDataset* q = db.query("SELECT * FROM TB4");
    q->Open();
    QSignalSpy current(q, &QueryDataset::currentChanged);
    QSignalSpy state(q, &QueryDataset::stateChanged);
    QSignalSpy changed(q, &QueryDataset::dataSetChanged);
    QSignalSpy structural(q, &QueryDataset::rowInserted);

    q->DisableControls();
    q->DisableControls();
    q->Next();
    q->Next();
    q->Prior();
    q->Insert();
    q->Cancel();
    q->EnableControls();
    QCOMPARE(changed.count(), 0); // still disabled once
    QVERIFY(q->ControlsDisabled());
    q->EnableControls();
    QVERIFY(!q->ControlsDisabled());

    QCOMPARE(current.count(), 0);
    QCOMPARE(state.count(), 0);
    QCOMPARE(structural.count(), 1); // views must still learn of new rows
    QCOMPARE(changed.count(), 1);
    QCOMPARE(q->RecNo(), 1);

    q->Next();
    QCOMPARE(current.count(), 1);
    QCOMPARE(current.at(0).at(0).toInt(), 2);
}

void TestDataset::clientOrderUsesRussianCollation_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("ru_RU") << QLocale(QLocale::Russian, QLocale::Russia);
    // A machine without a configured locale still sorts Russian names.
    QTest::newRow("C") << QLocale::c();
}

void TestDataset::clientOrderUsesRussianCollation()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    Db db;
    // Statement order is by key; the client order re-sorts by name.
    for (const char* name : {"Яма", "Ёлка", "Жук", "Ель", "Арбуз", "арбуз", "Мир", "Ёж", "Мир"})
        insert(db.path(), "INSERT INTO TB0 (GROUP1) VALUES (?)", {QString::fromUtf8(name)});
    QueryDataset* q = db.query("SELECT * FROM TB0 ORDER BY NMB1 DESC", "FDQuery1");
    q->SetClientOrder({"group1"});
    q->Open();
    QCOMPARE(q->RecordCount(), 9); // all rows are fetched for sorting
    QCOMPARE(texts(q, "GROUP1"),
             QStringList({"арбуз", "Арбуз", "Ёж", "Ёлка", "Ель", "Жук", "Мир", "Мир", "Яма"}));
    // Equal names keep the statement's order (NMB1 descending).
    QCOMPARE(q->Value(6, 0).toInt(), 9);
    QCOMPARE(q->Value(7, 0).toInt(), 7);
}

void TestDataset::postedRowTakesItsPlaceInClientOrder()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Db db;
    for (const char* name : {"Арбуз", "Вишня", "Дыня"})
        insert(db.path(), "INSERT INTO TB0 (GROUP1) VALUES (?)", {QString::fromUtf8(name)});
    QueryDataset* q = db.query("SELECT * FROM TB0", "FDQuery1");
    q->SetClientOrder({"GROUP1"});
    q->Open();
    QSignalSpy aboutMove(q, &QueryDataset::rowAboutToBeMoved);
    QSignalSpy moved(q, &QueryDataset::rowMoved);

    q->Insert(); // at row 0
    q->FieldByName("GROUP1").SetAsString(QStringLiteral("Груша"));
    q->Post();
    QCOMPARE(texts(q, "GROUP1"), QStringList({"Арбуз", "Вишня", "Груша", "Дыня"}));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(aboutMove.at(0), QVariantList({0, 2}));
    QCOMPARE(moved.at(0), QVariantList({0, 2}));
    QCOMPARE(q->RecNo(), 2); // the posted row stays current
    QCOMPARE(q->FieldByName("GROUP1").AsString(), QStringLiteral("Груша"));

    // A renamed row moves too; one that stays in order does not.
    q->First();
    q->Edit();
    q->FieldByName("GROUP1").SetAsString(QStringLiteral("Яблоко"));
    q->Post();
    QCOMPARE(texts(q, "GROUP1"), QStringList({"Вишня", "Груша", "Дыня", "Яблоко"}));
    QCOMPARE(moved.at(1), QVariantList({0, 3}));
    QCOMPARE(q->RecNo(), 3);
    q->Edit();
    q->FieldByName("GROUP1").SetAsString(QStringLiteral("Ясень"));
    q->Post();
    QCOMPARE(moved.count(), 2);
}

void TestDataset::waitCursorShowsWhileWorking()
{
    g_busyOn = g_busyOff = 0;
    WaitCursor::SetHandler(&countBusy);
    {
        WaitCursor outer;
        WaitCursor inner; // nested scopes show it once
        QCOMPARE(g_busyOn, 1);
    }
    QCOMPARE(g_busyOff, 1);

    Db db;
    db.fillAphorisms(3);
    QueryDataset* q = db.query("SELECT * FROM TB4");
    g_busyOn = g_busyOff = 0;
    q->Open();
    QVERIFY(g_busyOn >= 1);
    QCOMPARE(g_busyOn, g_busyOff);

    // Released on failure too.
    g_busyOn = g_busyOff = 0;
    QueryDataset* bad = db.query("SELECT * FROM NOPE");
    errorOf([&] { bad->Open(); });
    QCOMPARE(g_busyOn, g_busyOff);
    WaitCursor::SetHandler(nullptr);
}

void TestDataset::openWithTextAndDataSourceAutoEdit()
{
    Db db;
    db.fillAphorisms(3);
    QueryDataset* q = db.query("SELECT * FROM TB4");
    q->Open("SELECT * FROM TB4 WHERE NMB4 = 2");
    QCOMPARE(q->RecordCount(), 1);
    q->Open(QString()); // an empty text reopens the one it has
    QCOMPARE(q->SQL(), QStringLiteral("SELECT * FROM TB4 WHERE NMB4 = 2"));
    QCOMPARE(q->RecordCount(), 1);
    QVERIFY(errorOf([&] { q->SetSQL("SELECT 1"); }).startsWith("FDQuery5: "));

    // Typing into a bound control starts editing, or inserting on no rows.
    DataSource source(QStringLiteral("DataSource5"), q);
    source.Edit();
    QCOMPARE(q->State(), DatasetState::Edit);
    q->Cancel();
    source.SetAutoEdit(false);
    source.Edit();
    QCOMPARE(q->State(), DatasetState::Browse);
    source.SetAutoEdit(true);
    q->Open("SELECT * FROM TB4 WHERE 0");
    source.Edit();
    QCOMPARE(q->State(), DatasetState::Insert);
}

QTEST_GUILESS_MAIN(TestDataset)
#include "tst_dataset.moc"
