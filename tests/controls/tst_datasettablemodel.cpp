#include "CatalogueFixture.h"
#include "controls/DatasetTableModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using controls::DatasetTableModel;
using data::DatasetState;

class TestDatasetTableModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void followsTheDatasetThroughItsLife();
    void showsValuesAndNullsAsText();
    void setDataEditsTheRowAndPostWritesIt();
    void setDataWithTheSameValueStartsNoEdit();
    void setDataFailureIsReportedNotThrown();
    void followsTheSourceToAnotherDataset();
    void followsRowsThatMoveInTheClientOrder_data();
    void followsRowsThatMoveInTheClientOrder();
};

// Every structural change of the dataset must reach the model as a matching
// notification, or the tester fails the test.
void TestDatasetTableModel::followsTheDatasetThroughItsLife()
{
    Catalogue c;
    c.addAforizms(150); // more than one fetch
    DatasetTableModel model(&c.source);
    model.setFields({"AUTHOR", "AFORIZM"});
    model.setFetchBatch(10); // the tester itself fetches once after a reset
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    c.dataset.Open();
    QCOMPARE(model.rowCount(), c.dataset.RecordCount());
    QVERIFY(model.rowCount() < 150);
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCOMPARE(model.rowCount(), 150);

    c.dataset.MoveTo(10);
    c.dataset.Insert(); // a new row at row 10
    QCOMPARE(model.rowCount(), 151);
    QCOMPARE(model.index(10, 0).data().toString(), QString());
    c.dataset.Cancel();
    QCOMPARE(model.rowCount(), 150);
    QCOMPARE(model.index(10, 0).data().toString(), QStringLiteral("Автор 11"));

    c.dataset.Append();
    c.dataset.FieldByName("AUTHOR").SetAsString("Новый");
    QCOMPARE(model.index(150, 0).data().toString(), QStringLiteral("Новый"));
    c.dataset.Post();
    QCOMPARE(model.rowCount(), 151);

    c.dataset.MoveTo(0);
    c.dataset.Delete();
    QCOMPARE(model.rowCount(), 150);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Автор 2"));

    c.dataset.Refresh();
    c.dataset.Close();
    QCOMPARE(model.rowCount(), 0);
    c.dataset.Open("SELECT * FROM TB4 WHERE AUTHOR LIKE 'Автор 1%' ORDER BY AUTHOR DESC");
    QCOMPARE(model.rowCount(), c.dataset.RecordCount());
    c.dataset.Last();
    QCOMPARE(model.rowCount(), c.dataset.RecordCount());
}

void TestDatasetTableModel::showsValuesAndNullsAsText()
{
    Catalogue c;
    c.add("Сенека", QVariant(), "Письма");
    DatasetTableModel model(&c.source);
    model.setFields({"author", "AFORIZM", "NMB4", "NO_SUCH_FIELD"});
    model.setTitles({"Автор"});
    c.dataset.Open();

    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Сенека")); // case ignored
    QCOMPARE(model.index(0, 1).data(), QVariant(QString()));
    QCOMPARE(model.index(0, 1).data(Qt::EditRole), QVariant(QString()));
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("1"));
    QVERIFY(!model.index(0, 3).data().isValid());
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Автор"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("AFORIZM"));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    model.setReadOnly(false);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(!(model.flags(model.index(0, 3)) & Qt::ItemIsEditable));
}

void TestDatasetTableModel::setDataEditsTheRowAndPostWritesIt()
{
    Catalogue c;
    c.addAforizms(3);
    DatasetTableModel model(&c.source);
    model.setFields({"AUTHOR", "NMB3"});
    model.setReadOnly(false);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    c.dataset.Open();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setData(model.index(2, 0), "Марк Аврелий"));
    QCOMPARE(c.dataset.RecNo(), 2);
    QCOMPARE(c.dataset.State(), DatasetState::Edit);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("Марк Аврелий"));
    // Not yet in the database: the edit is pending until the row is left.
    QCOMPARE(c.stored("SELECT AUTHOR FROM TB4 WHERE NMB4 = 3").toString(),
             QStringLiteral("Автор 3"));
    QVERIFY(model.setData(model.index(2, 1), "7")); // integer column takes a number
    c.dataset.MoveTo(0);
    QCOMPARE(c.stored("SELECT AUTHOR FROM TB4 WHERE NMB4 = 3").toString(),
             QStringLiteral("Марк Аврелий"));
    QCOMPARE(c.stored("SELECT typeof(NMB3) || NMB3 FROM TB4 WHERE NMB4 = 3").toString(),
             QStringLiteral("integer7"));
}

void TestDatasetTableModel::setDataWithTheSameValueStartsNoEdit()
{
    Catalogue c;
    c.add("Сенека", QVariant());
    DatasetTableModel model(&c.source);
    model.setFields({"AUTHOR", "AFORIZM"});
    model.setReadOnly(false);
    c.dataset.Open();
    // An editor opened and closed without typing hands back the old text.
    QVERIFY(model.setData(model.index(0, 0), "Сенека"));
    QVERIFY(model.setData(model.index(0, 1), QString()));
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    // A read-only model takes nothing.
    model.setReadOnly(true);
    QVERIFY(!model.setData(model.index(0, 0), "Другой"));
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
}

void TestDatasetTableModel::setDataFailureIsReportedNotThrown()
{
    Catalogue c;
    c.addAforizms(2);
    // A statement over an expression has no table to write back to.
    c.dataset.SetSQL("SELECT AUTHOR || '!' AS AUTHOR FROM TB4");
    DatasetTableModel model(&c.source);
    model.setReadOnly(false);
    c.dataset.Open();
    QSignalSpy errors(&model, &DatasetTableModel::dataError);
    QVERIFY(!model.setData(model.index(0, 0), "x"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.at(0).at(0).toString().startsWith(QStringLiteral("FDQuery4: ")));
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
}

void TestDatasetTableModel::followsTheSourceToAnotherDataset()
{
    Catalogue c;
    c.addAforizms(3);
    testsupport::insert(c.files.path(), "INSERT INTO TB0 (GROUP1) VALUES ('Раздел')");
    data::QueryDataset sections("FDQuery1", &c.connection);
    sections.SetSQL("SELECT * FROM TB0");
    DatasetTableModel model(&c.source); // all fields of whatever dataset it shows
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    c.dataset.Open();
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.rowCount(), 3);

    sections.Open();
    c.source.SetDataSet(&sections);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("Раздел"));
    // The old dataset no longer reaches the model.
    c.dataset.Close();
    QCOMPARE(model.rowCount(), 1);
    c.source.SetDataSet(nullptr);
    QCOMPARE(model.rowCount(), 0);
}

void TestDatasetTableModel::followsRowsThatMoveInTheClientOrder_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("author");
    QTest::addColumn<int>("newRow");
    QTest::newRow("down to the end") << 0 << "Я" << 4;
    QTest::newRow("down one") << 1 << "Гв" << 2;
    QTest::newRow("up to the top") << 4 << "А" << 0;
    QTest::newRow("up one") << 3 << "Вв" << 2;
    QTest::newRow("stays") << 2 << "Ввв" << 2;
}

// A posted row takes its place in the client order; the model must move it
// there, not just repaint it.
void TestDatasetTableModel::followsRowsThatMoveInTheClientOrder()
{
    QFETCH(int, row);
    QFETCH(QString, author);
    QFETCH(int, newRow);
    Catalogue c;
    for (const char* name : {"Б", "В", "Г", "Д", "Е"})
        c.add(QString::fromUtf8(name), "текст");
    c.dataset.SetClientOrder({"AUTHOR"});
    DatasetTableModel model(&c.source);
    model.setFields({"AUTHOR"});
    model.setReadOnly(false);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    c.dataset.Open();
    QPersistentModelIndex edited(model.index(row, 0));

    QVERIFY(model.setData(edited, author));
    c.dataset.Post();
    QCOMPARE(edited.row(), newRow);
    QCOMPARE(edited.data().toString(), author);
    QStringList shown;
    for (int r = 0; r < model.rowCount(); ++r)
        shown << model.index(r, 0).data().toString();
    QStringList sorted = shown;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(shown, sorted);
}

QTEST_MAIN(TestDatasetTableModel)
#include "tst_datasettablemodel.moc"
