// The data module over a small catalogue: the six datasets as loaded, the
// chain of the four browse datasets, new rows in details, and the
// duplication of an aphorism.
#include "fData/fData.h"

#include "Fixture.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using namespace data;
using testsupport::exec;
using testsupport::insert;
using testsupport::scalar;

namespace {

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const DataError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

QStringList column(QueryDataset* q, const char* name)
{
    QStringList out;
    const int c = q->FieldIndex(QString::fromLatin1(name));
    for (int r = 0; r < q->RecordCount(); ++r)
        out << q->Value(r, c).toString();
    return out;
}

// Two sections: "Жизнь" with two subsections 1 (the first with two nodes of
// aphorisms), and "Авторы" (sorting first) with none.
struct Catalogue
{
    testsupport::TempCollection files;
    qint64 life = 0, authors = 0;
    qint64 love = 0, work = 0;  // level 2 under life
    qint64 early = 0, late = 0; // level 3 under love
    qint64 nodeOfWork = 0;      // level 3 under work

    Catalogue()
    {
        const QString p = files.path();
        life = insert(p, "INSERT INTO TB0 (GROUP1) VALUES ('Жизнь')");
        authors = insert(p, "INSERT INTO TB0 (GROUP1) VALUES ('Авторы')");
        work = insert(p, "INSERT INTO TB1 (NMB1, GROUP2) VALUES (?, 'Труд')", {life});
        love = insert(p, "INSERT INTO TB1 (NMB1, GROUP2) VALUES (?, 'Любовь')", {life});
        late = insert(p, "INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, 'Поздняя')", {love});
        early = insert(p, "INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, 'Ранняя')", {love});
        nodeOfWork = insert(p, "INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, 'Всякий')", {work});
        for (const char* a : {"Толстой", "Пушкин", "Чехов"})
            insert(p, "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM, SOURCE) VALUES (?, ?, ?, ?)",
                   {late, QString::fromUtf8(a), QStringLiteral("Текст ") + QString::fromUtf8(a),
                    QVariant()});
        insert(p, "INSERT INTO TB4 (NMB3, AUTHOR) VALUES (?, 'Гоголь')", {early});
    }
    QString path() const { return files.path(); }
};

} // namespace

class TestDataModule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void membersAsLoaded();
    void openingTheChain();
    void masterMoveRequeriesDetailsBeforeReturning();
    void walkingDownTheChainWithLocate();
    void detailRowsAreReadAgain();
    void aphorismsOfALargeNodeAreFetchedOnDemand();
    void newDetailRowGetsItsLink();
    void newSectionHasKeyAndEmptyDetails();
    void orphanRowsAreRefused();
    void pendingDetailChangeEndsBeforeMasterOperation();
    void closingMasterLeavesDetails();
    void duplicateCopiesAllButLinkAndKey();
    void duplicateOnEmptyListStoresEmptyAphorism();
    void duplicateSavesPendingEditFirst();
    void duplicateTwiceGivesThreeEqualRows();

private:
    std::unique_ptr<Catalogue> cat;
    std::unique_ptr<TDataModule1> dm;
    void openBrowse()
    {
        dm->FDConnection1->SetDatabase(cat->path());
        dm->FDConnection1->Open();
        dm->FDQuery1->Open();
        dm->FDQuery2->Open();
        dm->FDQuery3->Open();
        dm->FDQuery4->Open();
    }
    // Section "Жизнь", subsection "Любовь", node "Поздняя".
    void goToLate()
    {
        QVERIFY(dm->FDQuery1->Locate("NMB1", qint32(cat->life)));
        QVERIFY(dm->FDQuery2->Locate("NMB2", qint32(cat->love)));
        QVERIFY(dm->FDQuery3->Locate("NMB3", qint32(cat->late)));
    }
};

void TestDataModule::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    cat = std::make_unique<Catalogue>();
    dm = std::make_unique<TDataModule1>();
}

void TestDataModule::cleanup()
{
    dm.reset();
    QCOMPARE(DataModule1, nullptr);
    cat.reset();
}

void TestDataModule::membersAsLoaded()
{
    QCOMPARE(DataModule1, dm.get());
    QCOMPARE(dm->FDConnection1->ConnectionName(), QStringLiteral("FCONNECT"));
    QCOMPARE(dm->FDConnection1->DriverName(), QStringLiteral("SQLite"));
    QVERIFY(!dm->FDConnection1->Connected());

    QCOMPARE(dm->FDQuery1->SQL(), QStringLiteral("SELECT * FROM TB0 ORDER BY GROUP1 ASC"));
    QCOMPARE(dm->FDQuery2->SQL(),
             QStringLiteral("SELECT * FROM TB1 where TB1.nmb1 = :nmb1 ORDER BY group2"));
    QCOMPARE(dm->FDQuery3->SQL(),
             QStringLiteral("SELECT * FROM TB2 where TB2.nmb2 = :nmb2 ORDER BY group3"));
    QCOMPARE(dm->FDQuery4->SQL(),
             QStringLiteral("SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3  order by AUTHOR asc\n"));
    QCOMPARE(dm->FDQuery5->SQL(), QStringLiteral("SELECT * FROM TB4 "));
    QCOMPARE(dm->FDQuery6->SQL(), QString());

    QCOMPARE(dm->FDQuery2->Master(), dm->FDQuery1);
    QCOMPARE(dm->FDQuery3->Master(), dm->FDQuery2);
    QCOMPARE(dm->FDQuery4->Master(), dm->FDQuery3);
    QCOMPARE(dm->FDQuery5->Master(), nullptr);
    QCOMPARE(dm->FDQuery6->Master(), nullptr);

    const QList<QPair<DataSource*, QueryDataset*>> sources = {
        {dm->DataSource1, dm->FDQuery1}, {dm->DataSource2, dm->FDQuery2},
        {dm->DataSource3, dm->FDQuery3}, {dm->DataSource4, dm->FDQuery4},
        {dm->DataSource5, dm->FDQuery5}, {dm->DataSource6, dm->FDQuery6}};
    for (const auto& [source, dataset] : sources) {
        QCOMPARE(source->DataSet(), dataset);
        QVERIFY(source->AutoEdit());
    }
    for (QueryDataset* q :
         {dm->FDQuery1, dm->FDQuery2, dm->FDQuery3, dm->FDQuery4, dm->FDQuery5, dm->FDQuery6})
        QCOMPARE(q->State(), DatasetState::Inactive);
}

void TestDataModule::openingTheChain()
{
    openBrowse();
    // Sections by name; the first one ("Авторы") has no subsections.
    QCOMPARE(column(dm->FDQuery1, "GROUP1"), QStringList({"Авторы", "Жизнь"}));
    for (QueryDataset* q : {dm->FDQuery2, dm->FDQuery3, dm->FDQuery4}) {
        QVERIFY(q->Active());
        QCOMPARE(q->RecordCount(), 0);
        QVERIFY(q->Eof());
    }

    // Opening the first dataset on a closed connection opens the connection.
    dm.reset();
    dm = std::make_unique<TDataModule1>();
    dm->FDConnection1->SetDatabase(cat->path());
    dm->FDQuery1->Open();
    QVERIFY(dm->FDConnection1->Connected());
}

void TestDataModule::masterMoveRequeriesDetailsBeforeReturning()
{
    openBrowse();
    dm->FDQuery1->Next(); // "Жизнь"
    // Every list below already follows when Next returns.
    QCOMPARE(column(dm->FDQuery2, "GROUP2"), QStringList({"Любовь", "Труд"}));
    QCOMPARE(column(dm->FDQuery3, "GROUP3"), QStringList({"Поздняя", "Ранняя"}));
    QCOMPARE(column(dm->FDQuery4, "AUTHOR"), QStringList({"Пушкин", "Толстой", "Чехов"}));
    QCOMPARE(dm->FDQuery4->RecNo(), 0);

    QSignalSpy resets4(dm->FDQuery4, &QueryDataset::reset);
    dm->FDQuery3->Next(); // "Ранняя"
    QCOMPARE(resets4.count(), 1);
    QCOMPARE(column(dm->FDQuery4, "AUTHOR"), QStringList({"Гоголь"}));

    // Back to a section without subsections: all three lists empty at once.
    dm->FDQuery1->First();
    QCOMPARE(dm->FDQuery2->RecordCount(), 0);
    QCOMPARE(dm->FDQuery3->RecordCount(), 0);
    QCOMPARE(dm->FDQuery4->RecordCount(), 0);
    QVERIFY(dm->FDQuery4->Eof());
}

void TestDataModule::walkingDownTheChainWithLocate()
{
    openBrowse();
    const qint32 gogol =
        scalar(cat->path(), "SELECT NMB4 FROM TB4 WHERE AUTHOR = 'Гоголь'").toInt();
    // As the jump from a search hit does it: reopen the top, locate downwards.
    dm->FDQuery6->Open(QStringLiteral("select * from TB4 where NMB4=%1").arg(gogol));
    QCOMPARE(dm->FDQuery6->FieldByName("NMB3").AsInteger(), cat->early);
    dm->FDQuery1->Close();
    dm->FDQuery1->Open();
    QVERIFY(dm->FDQuery1->Locate("NMB1", qint32(cat->life)));
    QVERIFY(dm->FDQuery2->Locate("NMB2", qint32(cat->love)));
    QVERIFY(dm->FDQuery3->Locate("NMB3", qint32(cat->early)));
    QVERIFY(dm->FDQuery4->Locate("NMB4", gogol));
    QCOMPARE(dm->FDQuery4->FieldByName("author").AsString(), QStringLiteral("Гоголь"));
}

void TestDataModule::detailRowsAreReadAgain()
{
    openBrowse();
    goToLate();
    QCOMPARE(dm->FDQuery4->RecordCount(), 3);
    insert(cat->path(), "INSERT INTO TB4 (NMB3, AUTHOR) VALUES (?, 'Бунин')", {cat->late});
    dm->FDQuery3->Next();
    dm->FDQuery3->Prior();
    QCOMPARE(column(dm->FDQuery4, "AUTHOR"), QStringList({"Бунин", "Пушкин", "Толстой", "Чехов"}));
}

void TestDataModule::aphorismsOfALargeNodeAreFetchedOnDemand()
{
    // The aphorism list is ordered by its link column, which every row of a
    // node shares: it keeps the statement's order and needs no full fetch,
    // so a node of thousands of aphorisms opens with a first handful only.
    const int total = 2000;
    exec(cat->path(), QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                     "FROM n WHERE i < %1) INSERT INTO TB4 (NMB3, AUTHOR) "
                                     "SELECT %2, printf('Автор %05d', i) FROM n")
                          .arg(total)
                          .arg(cat->early));
    openBrowse();
    QVERIFY(dm->FDQuery1->Locate("NMB1", qint32(cat->life)));
    QVERIFY(dm->FDQuery2->Locate("NMB2", qint32(cat->love)));
    QVERIFY(dm->FDQuery3->Locate("NMB3", qint32(cat->early)));

    QueryDataset* aforizms = dm->FDQuery4;
    QVERIFY(aforizms->RecordCount() < total);
    QCOMPARE(aforizms->FieldByName("AUTHOR").AsString(), QStringLiteral("Автор 00001"));
    aforizms->Last();
    QCOMPARE(aforizms->RecordCount(), total + 1); // and Гоголь, sorting last by author
    QCOMPARE(aforizms->FieldByName("AUTHOR").AsString(), QStringLiteral("Гоголь"));
    aforizms->Prior();
    QCOMPARE(aforizms->FieldByName("AUTHOR").AsString(), QStringLiteral("Автор 02000"));

    // The catalogue lists are still kept in alphabetical order on our side.
    QCOMPARE(column(dm->FDQuery3, "GROUP3"), QStringList({"Поздняя", "Ранняя"}));
}

void TestDataModule::newDetailRowGetsItsLink()
{
    openBrowse();
    goToLate();
    QueryDataset* q3 = dm->FDQuery3;
    QueryDataset* q4 = dm->FDQuery4;

    // A node: NMB2 from the level-2 list, nothing else.
    q3->Insert();
    QCOMPARE(q3->FieldByName("NMB2").AsInteger(), cat->love);
    QVERIFY(q3->FieldByName("GROUP3").IsNull());
    QCOMPARE(q4->RecordCount(), 0); // the new node has no aphorisms yet
    q3->Cancel();
    QCOMPARE(q3->FieldByName("NMB3").AsInteger(), cat->late);
    QCOMPARE(q4->RecordCount(), 3);

    // Edit on an empty list starts a new row in the current node; posted
    // untouched, it holds only the link and its key.
    QVERIFY(q3->Locate("NMB3", qint32(cat->early)));
    exec(cat->path(), "DELETE FROM TB4 WHERE NMB3 = " + QString::number(cat->early));
    q3->Refresh();
    QCOMPARE(q4->RecordCount(), 0);
    q4->Edit();
    QCOMPARE(q4->State(), DatasetState::Insert);
    QCOMPARE(q4->FieldByName("NMB3").AsInteger(), cat->early);
    q4->Post();
    const qint32 key = q4->FieldByName("NMB4").AsInteger();
    QVERIFY(key > 0);
    QCOMPARE(scalar(cat->path(), QStringLiteral("SELECT NMB3 FROM TB4 WHERE NMB4 = %1 AND AUTHOR "
                                                "IS NULL AND AFORIZM IS NULL AND SOURCE IS NULL")
                                     .arg(key))
                 .toLongLong(),
             cat->early);
}

void TestDataModule::newSectionHasKeyAndEmptyDetails()
{
    openBrowse();
    dm->FDQuery1->Last(); // "Жизнь", with subsections
    QVERIFY(dm->FDQuery2->RecordCount() > 0);
    dm->FDQuery1->Append();
    dm->FDQuery1->FieldByName("GROUP1").SetAsString("..");
    dm->FDQuery1->Post();
    const qint32 key = dm->FDQuery1->FieldByName("NMB1").AsInteger();
    QVERIFY(key > cat->authors);
    QCOMPARE(scalar(cat->path(), QStringLiteral("SELECT GROUP1 FROM TB0 WHERE NMB1 = %1").arg(key))
                 .toString(),
             QStringLiteral(".."));
    QCOMPARE(dm->FDQuery2->RecordCount(), 0);
    QCOMPARE(dm->FDQuery4->RecordCount(), 0);

    // A subsection added under it is linked to the new key.
    dm->FDQuery2->Insert();
    dm->FDQuery2->Post();
    QCOMPARE(dm->FDQuery2->FieldByName("NMB1").AsInteger(), key);
}

void TestDataModule::orphanRowsAreRefused()
{
    openBrowse(); // "Авторы" is current: no subsections, so no node
    QueryDataset* q4 = dm->FDQuery4;
    q4->Insert();
    q4->FieldByName("AUTHOR").SetAsString("сирота");
    const QString error = errorOf([&] { q4->Post(); });
    QVERIFY2(error.startsWith("FDQuery4: ") && error.contains("master"), qPrintable(error));
    QCOMPARE(q4->State(), DatasetState::Insert);
    QCOMPARE(q4->FieldByName("AUTHOR").AsString(), QStringLiteral("сирота"));
    QCOMPARE(scalar(cat->path(), "SELECT count(*) FROM TB4 WHERE NMB3 IS NULL").toLongLong(), 0);
    q4->Cancel();

    // A master whose new row is not stored yet has no key to give either.
    dm->FDQuery1->Insert();
    dm->FDQuery2->Append();
    dm->FDQuery2->FieldByName("GROUP2").SetAsString("x");
    QVERIFY(errorOf([&] { dm->FDQuery2->Post(); }).contains("master"));
    QCOMPARE(scalar(cat->path(), "SELECT count(*) FROM TB1 WHERE NMB1 IS NULL").toLongLong(), 0);
    dm->FDQuery2->Cancel();
    dm->FDQuery1->Cancel();

    // A new aphorism started in a node keeps that node: closing and reopening
    // the top list (as a jump does) stores it there, even though the lists
    // now stand on a section without nodes.
    goToLate();
    q4->Append();
    q4->FieldByName("AUTHOR").SetAsString("Лермонтов");
    dm->FDQuery1->Close();
    dm->FDQuery1->Open();
    QCOMPARE(q4->RecordCount(), 0);
    QCOMPARE(scalar(cat->path(), "SELECT NMB3 FROM TB4 WHERE AUTHOR = 'Лермонтов'").toLongLong(),
             cat->late);
}

void TestDataModule::pendingDetailChangeEndsBeforeMasterOperation()
{
    openBrowse();
    goToLate();
    QueryDataset* q4 = dm->FDQuery4;

    // An aphorism being edited is saved when a section is picked.
    q4->Edit();
    q4->FieldByName("SOURCE").SetAsString("Война и мир");
    const qint32 key = q4->FieldByName("NMB4").AsInteger();
    dm->FDQuery1->First();
    QCOMPARE(scalar(cat->path(), QStringLiteral("SELECT SOURCE FROM TB4 WHERE NMB4 = %1").arg(key))
                 .toString(),
             QStringLiteral("Война и мир"));

    // An untouched new aphorism is dropped when the node changes.
    goToLate();
    const qint64 before = scalar(cat->path(), "SELECT count(*) FROM TB4").toLongLong();
    q4->Append();
    dm->FDQuery3->Next();
    QCOMPARE(scalar(cat->path(), "SELECT count(*) FROM TB4").toLongLong(), before);
    QCOMPARE(q4->State(), DatasetState::Browse);

    // While the master has a change of its own, the detail's is left alone.
    goToLate();
    q4->Edit();
    q4->FieldByName("SOURCE").SetAsString("pending");
    dm->FDQuery3->Edit(); // ends the detail's change first (saved)
    QCOMPARE(q4->State(), DatasetState::Browse);
    q4->Edit();
    q4->FieldByName("SOURCE").SetAsString("still pending");
    dm->FDQuery3->FieldByName("GROUP3").SetAsString("Поздняя любовь");
    dm->FDQuery3->Post();
    QCOMPARE(q4->State(), DatasetState::Edit);
    QCOMPARE(q4->FieldByName("SOURCE").AsString(), QStringLiteral("still pending"));
    QCOMPARE(
        scalar(cat->path(), "SELECT count(*) FROM TB4 WHERE SOURCE = 'still pending'").toLongLong(),
        0);
    // ... and is saved by the next move of the master.
    dm->FDQuery3->Next();
    QCOMPARE(
        scalar(cat->path(), "SELECT count(*) FROM TB4 WHERE SOURCE = 'still pending'").toLongLong(),
        1);
}

void TestDataModule::closingMasterLeavesDetails()
{
    openBrowse();
    goToLate();
    dm->FDQuery1->Close();
    QCOMPARE(dm->FDQuery4->RecordCount(), 3);
    QVERIFY(dm->FDQuery2->Active());
    dm->FDQuery1->Open(); // counts as a move to the first section
    QCOMPARE(dm->FDQuery2->RecordCount(), 0);
    QCOMPARE(dm->FDQuery4->RecordCount(), 0);
}

void TestDataModule::duplicateCopiesAllButLinkAndKey()
{
    exec(cat->path(), "ALTER TABLE TB4 ADD COLUMN RATING INTEGER");
    exec(cat->path(), "UPDATE TB4 SET RATING = 5 WHERE AUTHOR = 'Толстой'");
    openBrowse();
    goToLate();
    QueryDataset* q4 = dm->FDQuery4;
    QVERIFY(q4->Locate("NMB4", scalar(cat->path(), "SELECT NMB4 FROM TB4 WHERE AUTHOR = "
                                                   "'Толстой'")
                                   .toInt()));
    const qint32 source = q4->FieldByName("NMB4").AsInteger();

    DuplicateAforizm();

    QCOMPARE(q4->State(), DatasetState::Browse);
    QCOMPARE(q4->RecordCount(), 4);
    const qint32 copy = q4->FieldByName("NMB4").AsInteger();
    QVERIFY(copy > source);
    const auto row = [&](qint32 key) {
        return scalar(cat->path(),
                      QStringLiteral("SELECT NMB3 || '|' || AUTHOR || '|' || AFORIZM || '|' || "
                                     "ifnull(SOURCE, 'NULL') || '|' || RATING FROM TB4 WHERE NMB4 "
                                     "= %1")
                          .arg(key))
            .toString();
    };
    QCOMPARE(row(copy), row(source));
    QCOMPARE(row(copy), QStringLiteral("%1|Толстой|Текст Толстой|NULL|5").arg(cat->late));

    // A separate row: changing the copy leaves the source alone.
    q4->Edit();
    q4->FieldByName("AUTHOR").SetAsString("Копия");
    q4->Post();
    QVERIFY(row(source).contains("Толстой"));
}

void TestDataModule::duplicateOnEmptyListStoresEmptyAphorism()
{
    openBrowse();
    goToLate();
    exec(cat->path(), "DELETE FROM TB4");
    dm->FDQuery3->Refresh();
    QCOMPARE(dm->FDQuery4->RecordCount(), 0);
    DuplicateAforizm();
    QCOMPARE(dm->FDQuery4->RecordCount(), 1);
    QCOMPARE(scalar(cat->path(), "SELECT count(*) FROM TB4 WHERE AUTHOR IS NULL AND AFORIZM IS "
                                 "NULL AND SOURCE IS NULL AND NMB3 = " +
                                     QString::number(cat->late))
                 .toLongLong(),
             1);
}

void TestDataModule::duplicateSavesPendingEditFirst()
{
    openBrowse();
    goToLate();
    QueryDataset* q4 = dm->FDQuery4;
    const qint32 source = q4->FieldByName("NMB4").AsInteger();
    q4->Edit();
    q4->FieldByName("AFORIZM").SetAsString("Склеенный текст");
    DuplicateAforizm();
    QCOMPARE(scalar(cat->path(), "SELECT count(*) FROM TB4 WHERE AFORIZM = 'Склеенный текст'")
                 .toLongLong(),
             2);
    QCOMPARE(
        scalar(cat->path(), QStringLiteral("SELECT AFORIZM FROM TB4 WHERE NMB4 = %1").arg(source))
            .toString(),
        QStringLiteral("Склеенный текст"));
}

void TestDataModule::duplicateTwiceGivesThreeEqualRows()
{
    openBrowse();
    goToLate();
    DuplicateAforizm();
    DuplicateAforizm();
    QCOMPARE(scalar(cat->path(), "SELECT count(DISTINCT NMB4) FROM TB4 WHERE AUTHOR = 'Пушкин'")
                 .toLongLong(),
             3);
    QCOMPARE(dm->FDQuery4->FieldByName("AUTHOR").AsString(), QStringLiteral("Пушкин"));
}

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
