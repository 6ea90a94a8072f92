// The fixture helpers that every other test folder relies on.
#include "Fixture.h"

#include <QFileInfo>
#include <QTest>

#include <stdexcept>

class TstFixture : public QObject
{
    Q_OBJECT
private slots:
    void collectionHoldsEmptyCatalogue()
    {
        QString dir;
        {
            testsupport::TempCollection c;
            dir = c.dir();
            QCOMPARE(QFileInfo(c.path()).fileName(), QStringLiteral("MAIN.DB"));
            QCOMPARE(testsupport::scalar(c.path(),
                                         "SELECT group_concat(name, ',') FROM (SELECT name FROM "
                                         "sqlite_master WHERE type = 'table' AND name LIKE 'TB%' "
                                         "ORDER BY name)")
                         .toString(),
                     QStringLiteral("TB0,TB1,TB2,TB4"));
            QCOMPARE(testsupport::scalar(c.path(), "SELECT count(*) FROM TB4").toLongLong(), 0);
        }
        QVERIFY(!QFileInfo::exists(dir));
    }

    void insertBindsAndReturnsKey()
    {
        testsupport::TempCollection c;
        const QString text = QStringLiteral("Всё течёт, всё меняется.\nΠάντα ῥεῖ");
        qint64 first = testsupport::insert(
            c.path(), "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM, SOURCE) VALUES (?, ?, ?, ?)",
            {7, QStringLiteral("Гераклит"), text, QVariant()});
        qint64 second = testsupport::insert(c.path(), "INSERT INTO TB4 (NMB3) VALUES (7)");
        QVERIFY(second > first);
        QString where = QStringLiteral(" FROM TB4 WHERE NMB4 = %1").arg(first);
        QCOMPARE(testsupport::scalar(c.path(), "SELECT AFORIZM" + where).toString(), text);
        QCOMPARE(testsupport::scalar(c.path(), "SELECT NMB3" + where).toLongLong(), 7);
        QVERIFY(testsupport::scalar(c.path(), "SELECT SOURCE" + where).isNull());
        QVERIFY(testsupport::scalar(c.path(), "SELECT AUTHOR FROM TB4 WHERE 0").isNull());
    }

    void failuresThrow()
    {
        testsupport::TempCollection c;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, testsupport::createDatabase(c.path()));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, testsupport::exec(c.path(), "SELEKT 1"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 testsupport::scalar(c.dir() + "/missing.db", "SELECT 1"));
        QVERIFY(!QFileInfo::exists(c.dir() + "/missing.db"));
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            testsupport::insert(c.path(), "INSERT INTO TB0 VALUES (?, ?)", {1}));
    }
};

QTEST_GUILESS_MAIN(TstFixture)
#include "tst_fixture.moc"
