// What the main window's creation leaves behind in each start-up state, and
// that the window is created in all of them.
#include "ProgramWorld.h"

#include <QFile>
#include <QTest>
#include <QToolButton>

#include <memory>

using services::Button;
using services::MsgKind;

namespace {

void putFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

void fillSmallCatalogue(const QString& db)
{
    using testsupport::insert;
    const qint64 s = insert(db, "INSERT INTO TB0 (GROUP1) VALUES (?)", {u"Раздел"_qs});
    const qint64 t = insert(db, "INSERT INTO TB1 (NMB1, GROUP2) VALUES (?, ?)", {s, u"П1"_qs});
    const qint64 u = insert(db, "INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, ?)", {t, u"П2"_qs});
    insert(db, "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM) VALUES (?, ?, ?)",
           {u, u"Автор"_qs, u"Текст"_qs});
}

bool browseDatasetsOpen()
{
    return DataModule1->FDQuery1->Active() && DataModule1->FDQuery2->Active() &&
           DataModule1->FDQuery3->Active() && DataModule1->FDQuery4->Active();
}

bool browseDatasetsClosed()
{
    return !DataModule1->FDQuery1->Active() && !DataModule1->FDQuery2->Active() &&
           !DataModule1->FDQuery3->Active() && !DataModule1->FDQuery4->Active();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void versionInTitle_data();
    void versionInTitle();
    void allWell();
    void databaseFoundUnderOtherLetterCase();
    void databaseMissing();
    void connectionFails();
    void databaseWithoutTables();
    void sectionsWithoutSubsections();
    void executableWithoutVersion();
    void commandsAfterFailedStartReportErrors();
};

void TestStartup::versionInTitle_data()
{
    QTest::addColumn<QList<int>>("version");
    QTest::addColumn<QString>("title");
    QTest::newRow("2.5.4.292") << QList<int>{2, 5, 4, 292} << u"Афоризмы 2.5.4.292"_qs;
    QTest::newRow("zeros") << QList<int>{0, 0, 0, 0} << u"Афоризмы 0.0.0.0"_qs;
    QTest::newRow("largest") << QList<int>{65535, 65535, 65535, 65535}
                             << u"Афоризмы 65535.65535.65535.65535"_qs;
}

void TestStartup::versionInTitle()
{
    QFETCH(QList<int>, version);
    QFETCH(QString, title);
    ProgramWorld world(true, quint16(version[0]), quint16(version[1]), quint16(version[2]),
                       quint16(version[3]));
    TfmMain* w = world.createProgram();
    QCOMPARE(w->windowTitle(), title);
}

void TestStartup::allWell()
{
    ProgramWorld world;
    fillSmallCatalogue(world.db());
    TfmMain* w = world.createProgram();

    QVERIFY(world.dialogs.asked().isEmpty());
    QCOMPARE(w->windowTitle(), u"Афоризмы 2.5.4.292"_qs);
    QVERIFY(DataModule1->FDConnection1->Connected());
    QCOMPARE(DataModule1->FDConnection1->Database(), world.db());
    QCOMPARE(DataModule1->FDConnection1->DriverName(), u"SQLite"_qs);
    QVERIFY(browseDatasetsOpen());
    QCOMPARE(DataModule1->FDQuery4->FieldByName(u"AFORIZM"_qs).AsString(), u"Текст"_qs);
    // The other windows exist and stay hidden.
    QVERIFY(fmSeek && !fmSeek->isVisible());
    QVERIFY(fmEditdb && !fmEditdb->isVisible());
    QVERIFY(fmEditAforizm && !fmEditAforizm->isVisible());
}

void TestStartup::databaseFoundUnderOtherLetterCase()
{
    ProgramWorld world(false);
    const QString lower = world.dir() + u"/main.db"_qs;
    testsupport::createDatabase(lower);
    fillSmallCatalogue(lower);
    world.createProgram();

    QVERIFY(world.dialogs.asked().isEmpty());
    QCOMPARE(DataModule1->FDConnection1->Database(), lower);
    QVERIFY(browseDatasetsOpen());
}

void TestStartup::databaseMissing()
{
    ProgramWorld world(false);
    TfmMain* w = world.createProgram();

    const auto& asked = world.dialogs.asked();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().kind, MsgKind::Warning);
    QCOMPARE(asked.first().buttons, int(Button::Ok));
    // The full path that was tried, blanks and Cyrillic letters as they are.
    QCOMPARE(asked.first().text, u"Ошибка связи с базой данных "_qs + world.db());
    QCOMPARE(w->windowTitle(), u"Афоризмы 2.5.4.292"_qs);
    QVERIFY(!DataModule1->FDConnection1->Connected());
    QCOMPARE(DataModule1->FDConnection1->Database(), QString());
    QVERIFY(browseDatasetsClosed());
    QVERIFY(!QFile::exists(world.db())); // nothing was created
}

void TestStartup::connectionFails()
{
    ProgramWorld world(false);
    putFile(world.db(), QByteArray("this is no database, just text that is long enough") +
                            QByteArray(200, 'x'));
    world.dialogs.queue(Button::Cancel);
    TfmMain* w = world.createProgram();

    const auto& asked = world.dialogs.asked();
    QVERIFY(asked.size() >= 1);
    QCOMPARE(asked.first().caption, u"Database communication error"_qs);
    QCOMPARE(asked.first().buttons, int(Button::Ok) | int(Button::Cancel));
    QVERIFY(!asked.first().text.isEmpty());
    // Opening the section list tries once more, fails, and the default
    // handler reports it; the lists stay empty and the window exists.
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.at(1).kind, MsgKind::Error);
    QVERIFY(!asked.at(1).text.isEmpty());
    QCOMPARE(w->windowTitle(), u"Афоризмы 2.5.4.292"_qs);
    QVERIFY(!DataModule1->FDConnection1->Connected());
    QVERIFY(browseDatasetsClosed());
}

void TestStartup::databaseWithoutTables()
{
    ProgramWorld world(false);
    putFile(world.db(), QByteArray()); // an empty file opens as an empty database
    TfmMain* w = world.createProgram();

    const auto& asked = world.dialogs.asked();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().kind, MsgKind::Error);
    QVERIFY2(asked.first().text.startsWith(u"FDQuery1: "_qs), qPrintable(asked.first().text));
    QVERIFY(DataModule1->FDConnection1->Connected());
    QVERIFY(browseDatasetsClosed());
    QCOMPARE(w->DBMemo1 != nullptr, true);
    // No table was created.
    QCOMPARE(testsupport::scalar(world.db(), u"SELECT COUNT(*) FROM sqlite_master"_qs).toLongLong(),
             0);
}

void TestStartup::sectionsWithoutSubsections()
{
    ProgramWorld world;
    testsupport::insert(world.db(), "INSERT INTO TB0 (GROUP1) VALUES ('Один')");
    world.createProgram();
    QVERIFY(world.dialogs.asked().isEmpty());
    QVERIFY(browseDatasetsOpen());
    QCOMPARE(DataModule1->FDQuery1->RecordCount(), 1);
    QCOMPARE(DataModule1->FDQuery2->RecordCount(), 0);
    QCOMPARE(DataModule1->FDQuery3->RecordCount(), 0);
    QCOMPARE(DataModule1->FDQuery4->RecordCount(), 0);
}

void TestStartup::executableWithoutVersion()
{
    ProgramWorld world;
    QVERIFY(makeUnversionedFile(world.exe()));
    TfmMain* w = world.createProgram();

    const auto& asked = world.dialogs.asked();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().kind, MsgKind::Error);
    QCOMPARE(asked.first().text, u"Ошибка версии файла "_qs + world.exe());
    QCOMPARE(w->windowTitle(), u"Афоризмы"_qs);
    QVERIFY(!DataModule1->FDConnection1->Connected());
    QCOMPARE(DataModule1->FDConnection1->Database(), QString());
    QVERIFY(browseDatasetsClosed());
}

void TestStartup::commandsAfterFailedStartReportErrors()
{
    // MAIN.DB appears only after start-up: nothing is retried on its own, a
    // sort fails with the data layer's error, and copy puts two blanks.
    ProgramWorld world(false);
    TfmMain* w = world.createProgram();
    testsupport::createDatabase(world.db());
    world.dialogs.clear();

    w->tbtnSortDateAsc->click();
    QCOMPARE(world.dialogs.asked().size(), 1);
    QCOMPARE(world.dialogs.asked().first().kind, MsgKind::Error);
    QVERIFY(!DataModule1->FDQuery4->Active());

    w->tbtnCopyToBuffer->click();
    QCOMPARE(world.clipboard.Text(), u"  "_qs);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
