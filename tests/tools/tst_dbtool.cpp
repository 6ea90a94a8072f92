// The database tool, run as a separate process the way people use it.
#include "Fixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int code = -1;
    QString out, err;
};

Run runTool(const QStringList& args)
{
    QProcess tool;
    tool.start(QStringLiteral(AFORIZM_DB_TOOL), args);
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return {-1, {}, QStringLiteral("the tool did not finish normally")};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The aphorisms of a database in entry order, as "author|text" with "∅" for NULL.
QStringList aphorisms(const QString& db)
{
    QStringList list;
    for (const QVariantList& row :
         testsupport::rows(db, QStringLiteral("SELECT AUTHOR, AFORIZM FROM TB4 ORDER BY NMB4"))) {
        auto text = [](const QVariant& v) {
            return v.isNull() ? QStringLiteral("∅") : v.toString();
        };
        list.append(text(row[0]) + QLatin1Char('|') + text(row[1]));
    }
    return list;
}

// The level-3 node names of every aphorism, "section/sub1/sub2", in entry order.
QStringList nodePaths(const QString& db)
{
    QStringList list;
    for (const QVariantList& row : testsupport::rows(
             db, QStringLiteral("SELECT GROUP1 || '/' || GROUP2 || '/' || GROUP3 FROM TB4 "
                                "JOIN TB2 USING (NMB3) JOIN TB1 USING (NMB2) "
                                "JOIN TB0 USING (NMB1) ORDER BY NMB4")))
        list.append(row[0].toString());
    return list;
}

QByteArray cp1251(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return encoder(text);
}

} // namespace

class TstDbTool : public QObject
{
    Q_OBJECT
private slots:
    void createMakesCatalogueAndNeverOverwrites()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("MAIN.DB"));
        Run made = runTool({QStringLiteral("create"), db});
        QCOMPARE(made.code, 0);
        QCOMPARE(testsupport::scalar(db, QStringLiteral("SELECT group_concat(name, ',') FROM "
                                                        "(SELECT name FROM sqlite_master WHERE "
                                                        "type = 'table' AND name LIKE 'TB_' "
                                                        "ORDER BY name)"))
                     .toString(),
                 QStringLiteral("TB0,TB1,TB2,TB4"));
        QCOMPARE(testsupport::scalar(db, QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));

        testsupport::insert(db, QStringLiteral("INSERT INTO TB0 (GROUP1) VALUES ('мой раздел')"));
        const QByteArray before = fileBytes(db);
        Run again = runTool({QStringLiteral("create"), db});
        QCOMPARE(again.code, 1);
        QVERIFY(again.err.contains(QStringLiteral("already exists")));
        QCOMPARE(fileBytes(db), before);

        Run nowhere = runTool({QStringLiteral("create"), dir.filePath("no/such/folder/MAIN.DB")});
        QCOMPARE(nowhere.code, 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("MAIN.DB")});
    }

    // The aphorisms of a node are read through the indexes for every sort
    // order the main window offers, never by scanning or sorting all of TB4.
    void aphorismListsUseIndexes_data()
    {
        QTest::addColumn<QString>("sql");
        const char* tails[] = {"  order by AUTHOR asc", " ORDER BY NMB4 ASC", " ORDER BY NMB4 DESC",
                               " ORDER BY AUTHOR ASC", " ORDER BY AUTHOR DESC"};
        for (const char* tail : tails)
            QTest::newRow(tail) << QStringLiteral("SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3") +
                                       QLatin1String(tail);
    }
    void aphorismListsUseIndexes()
    {
        QFETCH(QString, sql);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("MAIN.DB"));
        QCOMPARE(runTool({QStringLiteral("create"), db}).code, 0);
        QStringList plan;
        for (const QVariantList& row : testsupport::rows(db, "EXPLAIN QUERY PLAN " + sql))
            plan.append(row.value(3).toString());
        const QString text = plan.join(QLatin1Char('\n'));
        QVERIFY2(text.contains(QLatin1String("USING INDEX")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("SCAN")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("TEMP B-TREE")), qPrintable(text));
    }

    void importReadsBothFormats_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("fortune: authors, blank lines, missing author")
            << QString("Первая строка,\n  вторая строка.\n\n\t\t-- Автор Один\n%\n"
                       "Без автора.\n\n\n%\n%\n"
                       "Третья.\n   --   Автор Три  \n%\n")
                   .toUtf8()
            << QStringList{"Автор Один|Первая строка,\n  вторая строка.", "∅|Без автора.",
                           "Автор Три|Третья."};
        QTest::newRow("fortune: CR LF, no final separator")
            << QByteArray("A\r\n\t-- X\r\n%\r\nB\r\nC\r\n") << QStringList{"X|A", "∅|B\nC"};
        QTest::newRow("fortune: author cut off by a stray separator")
            << QString("Не насладится муж.\n%\n\t\t-- Аристофан\n%\nДругое.\n").toUtf8()
            << QStringList{"Аристофан|Не насладится муж.", "∅|Другое."};
        QTest::newRow("fortune: windows-1251")
            << cp1251("Ёлка.\n-- Ёжик\n%\n") << QStringList{"Ёжик|Ёлка."};

        // Written by the program's export: CR LF, windows-1251, an empty
        // line for a missing author, the text's own line break kept.
        QTest::newRow("export: windows-1251, CR LF") << QByteArray::fromHex("C8E2E0EDEEE20D0A"
                                                                            "CCFBF1EBFC2E0D0A"
                                                                            "0D0A"
                                                                            "0D0A"
                                                                            "D0E0E70D0A"
                                                                            "C4E2E00D0A"
                                                                            "0D0A")
                                                     << QStringList{"Иванов|Мысль.", "∅|Раз\nДва"};
        QTest::newRow("export: UTF-8 with BOM, LF, empty text, empty record")
            << ("\xEF\xBB\xBF" + QString("Автор\nТекст\n\nТолько автор\n\n\n\n\n\n").toUtf8())
            << QStringList{"Автор|Текст", "Только автор|∅"};
    }
    void importReadsBothFormats()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, expected);
        testsupport::TempCollection c;
        const QString file = c.dir() + "/input.txt";
        writeFile(file, input);

        Run run = runTool({"import", c.path(), "--section", "Раздел", "--sub1", "Подраздел",
                           "--sub2", "Тема", file});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(aphorisms(c.path()), expected);
        for (const QString& node : nodePaths(c.path()))
            QCOMPARE(node, QStringLiteral("Раздел/Подраздел/Тема"));
        QCOMPARE(testsupport::scalar(c.path(), "PRAGMA integrity_check").toString(),
                 QStringLiteral("ok"));
    }

    // Node names not given come from the file's path; nodes that exist are
    // reused, not duplicated, by later imports.
    void importFilesNodesByPathAndReusesNodes()
    {
        testsupport::TempCollection c;
        const QString root = c.dir() + "/Мудрость";
        writeFile(root + "/Жизнь/Время.txt", "Текст 1.\n-- А\n%\n");
        writeFile(root + "/Жизнь/Счастье", "Текст 2.\n%\nТекст 3.\n");
        writeFile(root + "/Знание/Книги.TXT", "Текст 4.\n");
        qint64 existing = testsupport::insert(c.path(), "INSERT INTO TB0 (GROUP1) VALUES (?)",
                                              {QStringLiteral("Мудрость")});

        Run first = runTool({"import", c.path(), root + "/Жизнь/Время.txt", root + "/Жизнь/Счастье",
                             root + "/Знание/Книги.TXT"});
        QVERIFY2(first.code == 0, qPrintable(first.err));
        Run second = runTool({"import", c.path(), "--sub2", "Счастье", root + "/Жизнь/Время.txt"});
        QVERIFY2(second.code == 0, qPrintable(second.err));

        QCOMPARE(
            nodePaths(c.path()),
            (QStringList{"Мудрость/Жизнь/Время", "Мудрость/Жизнь/Счастье", "Мудрость/Жизнь/Счастье",
                         "Мудрость/Знание/Книги", "Мудрость/Жизнь/Счастье"}));
        QCOMPARE(testsupport::scalar(c.path(), "SELECT group_concat(NMB1) FROM TB0").toString(),
                 QString::number(existing));
        QCOMPARE(testsupport::scalar(c.path(), "SELECT count(*) FROM TB1").toLongLong(), 2);
        QCOMPARE(testsupport::scalar(c.path(), "SELECT count(*) FROM TB2").toLongLong(), 3);
    }

    // Whatever goes wrong, the database file keeps every byte it had.
    void failedImportChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("database"); // "catalogue", "text", "empty", "missing"
        QTest::addColumn<QString>("message");

        const QByteArray good = QString("Хорошая запись.\n-- Автор\n%\n").toUtf8();
        QTest::newRow("binary file") << QByteArray("PK\x03\x04\x00\x00garbage", 14) << "catalogue"
                                     << "binary";
        QTest::newRow("line broken by a control character")
            << good + QString("Строка\x01 с мусором.\n").toUtf8() << "catalogue"
            << ":4:";
        QTest::newRow("byte windows-1251 does not define")
            << cp1251("Текст ") + "\x98" + cp1251(" дальше.\n") << "catalogue"
            << "not text";
        QTest::newRow("failure while writing") << good + QString("boom\n").toUtf8() << "catalogue"
                                               << "refused";
        QTest::newRow("not a database") << good << "text"
                                        << "not a database";
        QTest::newRow("database without the tables") << good << "empty"
                                                     << "TB0";
        QTest::newRow("no database file") << good << "missing"
                                          << "no such";
        QTest::newRow("unreadable input") << QByteArray() << "catalogue"
                                          << "cannot read";
    }
    void failedImportChangesNothing()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, database);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString db = dir.filePath("MAIN.DB");
        if (database == "catalogue") {
            testsupport::createDatabase(db);
            testsupport::insert(db, "INSERT INTO TB4 (NMB3, AFORIZM) VALUES (1, 'старое')");
            // A store that refuses one text, to fail in the middle of writing.
            testsupport::exec(db, "CREATE TRIGGER refuse BEFORE INSERT ON TB4 "
                                  "WHEN NEW.AFORIZM = 'boom' BEGIN SELECT RAISE(ABORT, "
                                  "'refused'); END");
        } else if (database == "text") {
            writeFile(db, "Это просто текст, а не база данных.\n" + QByteArray(600, 'x'));
        } else if (database == "empty") {
            writeFile(db, {}); // SQLite takes an empty file for an empty database
            testsupport::exec(db, "CREATE TABLE notes (text)");
        }
        const bool exists = QFileInfo::exists(db);
        const QByteArray before = fileBytes(db);

        // A good file first: its records must not survive the failure.
        const QString goodFile = dir.filePath("good.txt");
        writeFile(goodFile, "Первая.\n%\nВторая.\n");
        const QString badFile = dir.filePath("bad.txt");
        if (!input.isEmpty())
            writeFile(badFile, input);
        Run run = runTool({"import", db, "--section", "Новый", "--sub1", "Новый", "--sub2", "Новый",
                           goodFile, badFile});

        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(message, Qt::CaseInsensitive), qPrintable(run.err));
        QCOMPARE(QFileInfo::exists(db), exists);
        QVERIFY(fileBytes(db) == before);
        QCOMPARE(QDir(dir.path()).entryList({"MAIN.DB*"}, QDir::Files).size(), exists ? 1 : 0);
    }
    void sampleFilesFortunesByTheme()
    {
        QTemporaryDir dir;
        const QString from = dir.filePath("fortunes");
        writeFile(from + "/love", "Любовь.\n-- Кто-то\n%\n");
        writeFile(from + "/2001.03", "Март.\n%\n");
        writeFile(from + "/zzz", "Прочее.\n");
        writeFile(from + "/love.dat", QByteArray("\x00\x00\x00\x02\x00\x00", 6));
        QVERIFY(QFile::link("love", from + "/love.u8"));
        const QString db = dir.filePath("MAIN.DB");

        Run run = runTool({"sample", db, "--from", from});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(nodePaths(db),
                 (QStringList{"Авторы/Евгений Кащеев/2001-03, март",
                              "Любовь и дружба/Любовь/Любовь", "Разное/Прочее/zzz"}));
        QCOMPARE(aphorisms(db), (QStringList{"∅|Март.", "Кто-то|Любовь.", "∅|Прочее."}));

        const QByteArray before = fileBytes(db);
        QCOMPARE(runTool({"sample", db, "--from", from}).code, 1);
        QVERIFY(fileBytes(db) == before);
    }

    // The real package: every file must decode and parse.
    void sampleFromFortunesRu()
    {
        if (!QFileInfo::exists("/usr/share/games/fortunes/ru"))
            QSKIP("fortunes-ru is not installed");
        QTemporaryDir dir;
        const QString db = dir.filePath("MAIN.DB");
        Run run = runTool({"sample", db});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(testsupport::scalar(db, "SELECT count(*) FROM TB4").toLongLong() > 10000);
        QCOMPARE(testsupport::scalar(db, "SELECT count(*) FROM TB4 WHERE AFORIZM IS NULL "
                                         "OR NMB3 NOT IN (SELECT NMB3 FROM TB2)")
                     .toLongLong(),
                 0);
        QCOMPARE(testsupport::scalar(db, "PRAGMA integrity_check").toString(),
                 QStringLiteral("ok"));
    }

    void generateIsCompleteAndRepeatable()
    {
        QTemporaryDir dir;
        auto generate = [&](const QString& name, const QString& seed) {
            const QString db = dir.filePath(name);
            Run run =
                runTool({"generate", db, "--aphorisms", "500", "--nodes", "30", "--seed", seed});
            return run.code == 0 ? db : QString();
        };
        const QString a = generate("a.db", "5"), b = generate("b.db", "5"),
                      c = generate("c.db", "6");
        QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty());
        QCOMPARE(aphorisms(a), aphorisms(b));
        QCOMPARE(nodePaths(a), nodePaths(b));
        QVERIFY(aphorisms(a) != aphorisms(c));

        QCOMPARE(testsupport::scalar(a, "SELECT count(*) FROM TB4").toLongLong(), 500);
        QCOMPARE(testsupport::scalar(a, "SELECT count(*) FROM TB2").toLongLong(), 30);
        QCOMPARE(nodePaths(a).size(), 500); // every aphorism reaches a section
        QCOMPARE(testsupport::scalar(a, "SELECT count(*) FROM TB4 WHERE length(AFORIZM) "
                                        "NOT BETWEEN 40 AND 420")
                     .toLongLong(),
                 0);
        QCOMPARE(testsupport::scalar(a, "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        QVERIFY(generate("a.db", "5").isEmpty()); // never overwrites
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"drop", "x.db"};
        QTest::newRow("import without files") << QStringList{"import", "x.db"};
        QTest::newRow("unknown option") << QStringList{"import", "x.db", "--sectoin", "A", "f"};
        QTest::newRow("bad format") << QStringList{"import", "x.db", "--format", "csv", "f"};
        QTest::newRow("missing --nodes") << QStringList{"generate", "x.db", "--aphorisms", "5"};
        QTest::newRow("not a number")
            << QStringList{"generate", "x.db", "--aphorisms", "many", "--nodes", "5"};
        QTest::newRow("option without value") << QStringList{"create", "x.db", "--seed"};
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        tool.start(QStringLiteral(AFORIZM_DB_TOOL), args);
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(!tool.readAllStandardError().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{});
    }
};

QTEST_GUILESS_MAIN(TstDbTool)
#include "tst_dbtool.moc"
