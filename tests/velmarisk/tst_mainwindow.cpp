// The main window on a real MAIN.DB: layout, browsing, the commands of the
// toolbar and the text export, with the desktop answered by scripted fakes.
#include "controls/DatasetTableModel.h"
#include "controls/DbEdit.h"
#include "controls/DbGrid.h"
#include "controls/ToolBar.h"
#include "ProgramWorld.h"
#include "velmarisk/AnsiTextFile.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QFrame>
#include <QPointer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cerrno>
#include <csignal>
#include <memory>
#include <sys/resource.h>

using services::Button;
using services::MsgKind;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void putFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The authors of the aphorism list in the order shown, walked through the
// grid's model so that what the user sees is checked.
QStringList shownAuthors(controls::DbGrid* grid)
{
    QAbstractItemModel* model = grid->model();
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    QStringList result;
    for (int row = 0; row < model->rowCount(); ++row)
        result << model->index(row, 0).data().toString();
    return result;
}

QStringList shownColumn(controls::DbGrid* grid)
{
    return shownAuthors(grid); // the first column, whatever it holds
}

// The worked catalogue:
//   Афоризмы о жизни / Жизнь / Общее:  Иванов "Мысль.", (no author) "Раз\r\nДва"
//                             / Смерть: Бэкон, Айн, Вольтер (entered in that order)
//   Любовь / Любовь / Ревность:         Шекспир
//   Пустой раздел / Без подразделов     (no subsection 2)
struct Catalogue
{
    qint64 general = 0, death = 0, jealousy = 0;
    qint64 ivanov = 0, twoLines = 0;
};

Catalogue fillCatalogue(const QString& db)
{
    using testsupport::insert;
    Catalogue c;
    const qint64 life = insert(db, "INSERT INTO TB0 (GROUP1) VALUES (?)", {u"Афоризмы о жизни"_qs});
    const qint64 love = insert(db, "INSERT INTO TB0 (GROUP1) VALUES (?)", {u"Любовь"_qs});
    const qint64 empty = insert(db, "INSERT INTO TB0 (GROUP1) VALUES (?)", {u"Пустой раздел"_qs});
    const qint64 lifeSub =
        insert(db, "INSERT INTO TB1 (NMB1, GROUP2) VALUES (?, ?)", {life, u"Жизнь"_qs});
    const qint64 loveSub =
        insert(db, "INSERT INTO TB1 (NMB1, GROUP2) VALUES (?, ?)", {love, u"Любовь"_qs});
    insert(db, "INSERT INTO TB1 (NMB1, GROUP2) VALUES (?, ?)", {empty, u"Без подразделов"_qs});
    c.general = insert(db, "INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, ?)", {lifeSub, u"Общее"_qs});
    c.death = insert(db, "INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, ?)", {lifeSub, u"Смерть"_qs});
    c.jealousy =
        insert(db, "INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, ?)", {loveSub, u"Ревность"_qs});
    const char* add = "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM, SOURCE) VALUES (?, ?, ?, ?)";
    c.ivanov = insert(db, add, {c.general, u"Иванов"_qs, u"Мысль."_qs, u"Записки"_qs});
    c.twoLines = insert(db, add, {c.general, QVariant(), u"Раз\r\nДва"_qs, QVariant()});
    insert(db, add, {c.death, u"Бэкон"_qs, u"b"_qs, QVariant()});
    insert(db, add, {c.death, u"Айн"_qs, u"a"_qs, QVariant()});
    insert(db, add, {c.death, u"Вольтер"_qs, u"c"_qs, QVariant()});
    insert(db, add, {c.jealousy, u"Шекспир"_qs, u"Ревность"_qs, QVariant()});
    return c;
}

// Moves a catalogue list as the user does, by making a row of its view
// current.
void pickRow(controls::DbGrid* grid, int row)
{
    QTableView* view = grid->view();
    view->setCurrentIndex(view->model()->index(row, 0));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void toolbar();
    void onlyTheToolbarFollowsTheWidth();
    void focusOrder();
    void modelsAreSound();
    void browsingRequeriesTheListsToTheRight();

    void copyToClipboard_data();
    void copyToClipboard();

    void sortOrderHoldsAcrossNodes();
    void sortOnEmptyListStaysEmpty();
    void sortKeepsTypedChange();

    void addStartsRowInCurrentNode();
    void addThenDeleteStoresNothing();
    void addWithoutLevel3NodeStoresNothing();
    void deleteRemovesAtOnceAndReportsEmptyList();
    void editorAndCatalogueOpenModeless();

    void closePostsPendingChange();
    void closeAfterFailedPostAsks_data();
    void closeAfterFailedPostAsks();

    void exportWorkedExample();
    void exportEmptyList_data();
    void exportEmptyList();
    void exportAppendsAfterLastByte_data();
    void exportAppendsAfterLastByte();
    void exportConvertsToWindows1251();
    void exportFailures_data();
    void exportFailures();
    void exportStopsAtFailureKeepingWhatWasWritten();
    void exportErrorReachesTheUserFromTheButton();
    void exportCancelWritesNothing();

private:
    QTemporaryDir templateDir; // the catalogue, filled once and copied for each test
    QString templateDb;
    Catalogue templateCat;
    std::unique_ptr<ProgramWorld> world;
    Catalogue cat;
    TfmMain* w = nullptr;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(templateDir.isValid());
    templateDb = templateDir.filePath(u"MAIN.DB"_qs);
    testsupport::createDatabase(templateDb);
    templateCat = fillCatalogue(templateDb);
}

void TestMainWindow::init()
{
    world = std::make_unique<ProgramWorld>(false);
    QVERIFY(QFile::copy(templateDb, world->db()));
    cat = templateCat;
    w = world->createProgram();
    QVERIFY2(world->dialogs.asked().isEmpty(),
             qPrintable(world->dialogs.asked().value(0).text)); // start-up went well
}

void TestMainWindow::cleanup()
{
    world.reset();
    w = nullptr;
}

// --- layout ---------------------------------------------------------------

void TestMainWindow::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // relative to the parent
    QTest::newRow("ToolBar1") << u"ToolBar1"_qs << QRect(0, 0, 728, 29);
    QTest::newRow("DBGridEh1") << u"DBGridEh1"_qs << QRect(7, 36, 232, 127);
    QTest::newRow("DBGridEh2") << u"DBGridEh2"_qs << QRect(247, 36, 232, 127);
    QTest::newRow("DBGridEh3") << u"DBGridEh3"_qs << QRect(488, 36, 232, 127);
    QTest::newRow("DBGridEh4") << u"DBGridEh4"_qs << QRect(7, 172, 713, 256);
    QTest::newRow("Panel1") << u"Panel1"_qs << QRect(7, 436, 713, 164);
    QTest::newRow("DBMemo1") << u"DBMemo1"_qs << QRect(14, 13, 684, 102);
    QTest::newRow("DBEdit1") << u"DBEdit1"_qs << QRect(14, 127, 174, 22);
    QTest::newRow("DBEdit2") << u"DBEdit2"_qs << QRect(199, 127, 499, 22);
}

void TestMainWindow::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QCOMPARE(w->size(), QSize(728, 612));
    QCOMPARE(w->windowTitle(), u"Афоризмы 2.5.4.292"_qs);
    QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    auto* control = w->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
}

void TestMainWindow::toolbar()
{
    struct Expected
    {
        QToolButton* button;
        QString hint;
        int image;
    };
    const QList<Expected> expected = {
        {w->tbtnSeek, u"Поиск"_qs, 22},
        {w->tbtnCopyToBuffer, u"Копировать в буфер "_qs, 26},
        {w->tbtnPrint, u"Сохранить афоризмы в файле"_qs, 16},
        {w->tbtnSortDateAsc, u"Сортировка по дате"_qs, 27},
        {w->tbtnSortDateDesc, u"Сортировка по дате"_qs, 28},
        {w->tbtnSortAuthorAsc, u"Сортировка по автору по возрастанию"_qs, 12},
        {w->tbtnSortAuthorDesc, u"Сортировка по автору по убыванию"_qs, 13},
        {w->tbtnEditAf, u"Правка афоризма"_qs, 2},
        {w->tbtAddAforizm, u"Добавить афоризм"_qs, 4},
        {w->tbtDelAforizm, u"Удалить афоризм"_qs, 5},
        {w->tbtnEditCat, u"Правка каталога"_qs, 14},
        {w->tbtbnAbout, u"О программе"_qs, 15},
        {w->tbtnClose, u"Выход"_qs, 6},
    };
    // Separators sit after buttons 3, 7, 10, 11 and 12.
    const QList<QWidget*> separators = {w->ToolButton2, w->ToolButton5, w->ToolButton3,
                                        w->ToolButton6, w->ToolButton1};
    const QList<int> separatorAfter = {2, 6, 9, 10, 11};

    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    for (int i = 0; i < expected.size(); ++i) {
        const Expected& e = expected.at(i);
        QVERIFY(e.button);
        QCOMPARE(e.button->toolTip(), e.hint);
        QCOMPARE(e.button->width(), 23);
        QCOMPARE(e.button->focusPolicy(), Qt::NoFocus);
        const QImage shown = e.button->icon().pixmap(16, 16).toImage();
        const QImage listed = DataModule1->ImageList1->Icon(e.image).pixmap(16, 16).toImage();
        QVERIFY2(!shown.isNull() && shown == listed, qPrintable(e.hint));
        if (i > 0) {
            const QWidget* previous = expected.at(i - 1).button;
            const int sep = separatorAfter.indexOf(i - 1);
            const int gap = e.button->x() - (previous->x() + previous->width());
            if (sep >= 0) {
                QCOMPARE(separators.at(sep)->width(), 8);
                QVERIFY2(separators.at(sep)->x() >= previous->x() + previous->width() &&
                             separators.at(sep)->x() + 8 <= e.button->x(),
                         qPrintable(e.hint));
            } else {
                QVERIFY2(gap < 8, qPrintable(e.hint));
            }
        }
    }
}

void TestMainWindow::onlyTheToolbarFollowsTheWidth()
{
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect list = w->DBGridEh4->geometry();
    const QRect panel = w->Panel1->geometry();
    w->resize(900, 700);
    QCOMPARE(w->ToolBar1->width(), 900);
    QCOMPARE(w->DBGridEh4->geometry(), list);
    QCOMPARE(w->Panel1->geometry(), panel);
}

void TestMainWindow::focusOrder()
{
    // The lists left to right, the aphorism list, then the panel; the
    // toolbar takes no focus.
    const QList<QWidget*> designed = {w->DBGridEh1->view(),
                                      w->DBGridEh2->view(),
                                      w->DBGridEh3->view(),
                                      w->DBGridEh4->view(),
                                      w->DBMemo1,
                                      w->DBEdit1,
                                      w->DBEdit2};
    QList<QWidget*> seen;
    QWidget* widget = designed.first();
    for (int steps = 0; steps < 200 && seen.size() < designed.size(); ++steps) {
        if (designed.contains(widget) && !seen.contains(widget))
            seen.append(widget);
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(seen, designed);
}

void TestMainWindow::modelsAreSound()
{
    for (controls::DbGrid* grid : {w->DBGridEh1, w->DBGridEh2, w->DBGridEh3, w->DBGridEh4}) {
        QAbstractItemModelTester tester(grid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        pickRow(w->DBGridEh1, 1);
        pickRow(w->DBGridEh1, 0);
        pickRow(w->DBGridEh3, 1);
        w->tbtnSortDateDescClick();
        if (QTest::currentTestFailed())
            return;
    }
}

void TestMainWindow::browsingRequeriesTheListsToTheRight()
{
    QCOMPARE(shownColumn(w->DBGridEh1),
             QStringList({u"Афоризмы о жизни"_qs, u"Любовь"_qs, u"Пустой раздел"_qs}));
    QCOMPARE(shownColumn(w->DBGridEh2), QStringList({u"Жизнь"_qs}));
    QCOMPARE(shownColumn(w->DBGridEh3), QStringList({u"Общее"_qs, u"Смерть"_qs}));
    QCOMPARE(w->DBMemo1->text(), DataModule1->FDQuery4->FieldByName(u"AFORIZM"_qs).AsString());

    pickRow(w->DBGridEh1, 1); // Любовь
    QCOMPARE(shownColumn(w->DBGridEh2), QStringList({u"Любовь"_qs}));
    QCOMPARE(shownColumn(w->DBGridEh3), QStringList({u"Ревность"_qs}));
    QCOMPARE(shownAuthors(w->DBGridEh4), QStringList({u"Шекспир"_qs}));
    QCOMPARE(w->DBEdit1->text(), u"Шекспир"_qs);
    QCOMPARE(w->DBMemo1->text(), u"Ревность"_qs);

    pickRow(w->DBGridEh1, 2); // a section whose subsection 1 has no subsection 2
    QCOMPARE(shownColumn(w->DBGridEh2), QStringList({u"Без подразделов"_qs}));
    QCOMPARE(shownColumn(w->DBGridEh3), QStringList());
    QCOMPARE(shownAuthors(w->DBGridEh4), QStringList());
    QCOMPARE(w->DBMemo1->text(), QString());
    QCOMPARE(w->DBEdit1->text(), QString());
    QCOMPARE(w->DBEdit2->text(), QString());
}

// --- clipboard ------------------------------------------------------------

void TestMainWindow::copyToClipboard_data()
{
    QTest::addColumn<int>("section");  // row of the section list
    QTest::addColumn<int>("aphorism"); // row of the aphorism list, by author
    QTest::addColumn<QString>("text");
    // By author ascending the aphorism without an author comes first.
    QTest::newRow("two lines, no author") << 0 << 0 << u"Раз\nДва  "_qs;
    QTest::newRow("one line with author") << 0 << 1 << u"Мысль.  Иванов"_qs;
    QTest::newRow("empty list: two blanks") << 2 << 0 << u"  "_qs;
}

void TestMainWindow::copyToClipboard()
{
    QFETCH(int, section);
    QFETCH(int, aphorism);
    QFETCH(QString, text);
    pickRow(w->DBGridEh1, section);
    if (aphorism > 0)
        pickRow(w->DBGridEh4, aphorism);
    world->clipboard.SetText(u"old"_qs);
    w->tbtnCopyToBuffer->click();
    // Line breaks as the memo shows them: one per line, as the desktop's
    // plain text has them.
    QString copied = world->clipboard.Text();
    copied.replace(u"\r\n"_qs, u"\n"_qs);
    QCOMPARE(copied, text);
    QVERIFY(world->dialogs.asked().isEmpty());
}

// --- sorting --------------------------------------------------------------

void TestMainWindow::sortOrderHoldsAcrossNodes()
{
    pickRow(w->DBGridEh3, 1); // Смерть
    QCOMPARE(shownAuthors(w->DBGridEh4),
             QStringList({u"Айн"_qs, u"Бэкон"_qs, u"Вольтер"_qs})); // by author at start

    struct Case
    {
        QToolButton* button;
        QString sql;
        QStringList authors;
    };
    const QList<Case> cases = {
        {w->tbtnSortDateDesc,
         u"SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY NMB4 DESC"_qs,
         {u"Вольтер"_qs, u"Айн"_qs, u"Бэкон"_qs}},
        {w->tbtnSortDateAsc,
         u"SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY NMB4 ASC"_qs,
         {u"Бэкон"_qs, u"Айн"_qs, u"Вольтер"_qs}},
        {w->tbtnSortAuthorDesc,
         u"SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY AUTHOR DESC"_qs,
         {u"Вольтер"_qs, u"Бэкон"_qs, u"Айн"_qs}},
        {w->tbtnSortAuthorAsc,
         u"SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY AUTHOR ASC"_qs,
         {u"Айн"_qs, u"Бэкон"_qs, u"Вольтер"_qs}},
    };
    for (const Case& c : cases) {
        pickRow(w->DBGridEh4, 2); // not on the first row before the sort
        c.button->click();
        QCOMPARE(DataModule1->FDQuery4->SQL(), c.sql);
        QCOMPARE(shownAuthors(w->DBGridEh4), c.authors);
        // The first row of the new order is current and the panel shows it.
        QCOMPARE(DataModule1->FDQuery4->RecNo(), 0);
        QCOMPARE(w->DBEdit1->text(), c.authors.first());
        QCOMPARE(w->DBGridEh4->currentRow(), 0);
    }

    // The order holds for another node, reached through the catalogue.
    w->tbtnSortDateDesc->click();
    pickRow(w->DBGridEh3, 0); // Общее
    QCOMPARE(shownAuthors(w->DBGridEh4), QStringList({QString(), u"Иванов"_qs}));
    pickRow(w->DBGridEh1, 1);
    pickRow(w->DBGridEh1, 0);
    pickRow(w->DBGridEh3, 1);
    QCOMPARE(shownAuthors(w->DBGridEh4), QStringList({u"Вольтер"_qs, u"Айн"_qs, u"Бэкон"_qs}));
    QVERIFY(world->dialogs.asked().isEmpty());
}

void TestMainWindow::sortOnEmptyListStaysEmpty()
{
    pickRow(w->DBGridEh1, 2);
    w->tbtnSortDateDesc->click();
    QVERIFY(world->dialogs.asked().isEmpty());
    QVERIFY(DataModule1->FDQuery4->Active());
    QCOMPARE(DataModule1->FDQuery4->RecordCount(), 0);
}

void TestMainWindow::sortKeepsTypedChange()
{
    // An editable author field like the aphorism editor's, bound to the
    // same data source; the user types into it and then sorts.
    controls::DbEdit editor;
    editor.setDataSource(DataModule1->DataSource4);
    editor.setDataField(u"AUTHOR"_qs);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    pickRow(w->DBGridEh4, 1); // Иванов
    QCOMPARE(editor.text(), u"Иванов"_qs);
    editor.setFocus();
    editor.selectAll();
    QTest::keyClicks(&editor, "Petrov");
    QCOMPARE(DataModule1->FDQuery4->State(), data::DatasetState::Edit);

    w->tbtnSortDateAsc->click();

    QVERIFY(world->dialogs.asked().isEmpty());
    QCOMPARE(
        testsupport::scalar(
            world->db(), QStringLiteral("SELECT AUTHOR FROM TB4 WHERE NMB4 = %1").arg(cat.ivanov))
            .toString(),
        u"Petrov"_qs);
    QCOMPARE(shownAuthors(w->DBGridEh4), QStringList({u"Petrov"_qs, QString()}));
}

// --- add, delete, editors ---------------------------------------------------

void TestMainWindow::addStartsRowInCurrentNode()
{
    pickRow(w->DBGridEh3, 1); // Смерть
    w->tbtAddAforizm->click();
    QVERIFY(world->dialogs.asked().isEmpty());
    QCOMPARE(DataModule1->FDQuery4->State(), data::DatasetState::Insert);
    QVERIFY(fmEditAforizm->isVisible());
    DataModule1->FDQuery4->Post();
    QCOMPARE(testsupport::scalar(world->db(), QStringLiteral("SELECT COUNT(*) FROM TB4 WHERE "
                                                             "NMB3 = %1")
                                                  .arg(cat.death))
                 .toLongLong(),
             4);
}

void TestMainWindow::addThenDeleteStoresNothing()
{
    pickRow(w->DBGridEh3, 1); // Смерть
    const QStringList before = shownAuthors(w->DBGridEh4);
    w->tbtAddAforizm->click();
    w->tbtDelAforizm->click();
    QVERIFY(world->dialogs.asked().isEmpty());
    QCOMPARE(
        testsupport::scalar(world->db(), QStringLiteral("SELECT COUNT(*) FROM TB4")).toLongLong(),
        6);
    QCOMPARE(shownAuthors(w->DBGridEh4), before);
}

void TestMainWindow::addWithoutLevel3NodeStoresNothing()
{
    pickRow(w->DBGridEh1, 2); // its subsection 1 has no subsection 2
    const qint64 before =
        testsupport::scalar(world->db(), QStringLiteral("SELECT COUNT(*) FROM TB4")).toLongLong();
    w->tbtAddAforizm->click();

    QCOMPARE(world->dialogs.asked().size(), 1);
    QCOMPARE(world->dialogs.asked().first().kind, MsgKind::Warning);
    QVERIFY(world->dialogs.asked().first().text.contains(u"подраздел 2"_qs));
    QVERIFY(!fmEditAforizm->isVisible());
    QCOMPARE(DataModule1->FDQuery4->State(), data::DatasetState::Browse);
    QCOMPARE(
        testsupport::scalar(world->db(), QStringLiteral("SELECT COUNT(*) FROM TB4")).toLongLong(),
        before);
}

void TestMainWindow::deleteRemovesAtOnceAndReportsEmptyList()
{
    pickRow(w->DBGridEh1, 1); // Любовь: one aphorism
    w->tbtDelAforizm->click();
    QVERIFY(world->dialogs.asked().isEmpty()); // no question
    QCOMPARE(testsupport::scalar(
                 world->db(),
                 QStringLiteral("SELECT COUNT(*) FROM TB4 WHERE NMB3 = %1").arg(cat.jealousy))
                 .toLongLong(),
             0);
    QCOMPARE(shownAuthors(w->DBGridEh4), QStringList());
    QCOMPARE(w->DBMemo1->text(), QString());

    w->tbtDelAforizm->click();
    QCOMPARE(world->dialogs.asked().size(), 1);
    QCOMPARE(world->dialogs.asked().first().kind, MsgKind::Error);
    QCOMPARE(world->dialogs.asked().first().text,
             u"FDQuery4: Cannot perform this operation on an empty dataset"_qs);
    QCOMPARE(
        testsupport::scalar(world->db(), QStringLiteral("SELECT COUNT(*) FROM TB4")).toLongLong(),
        5);
}

void TestMainWindow::editorAndCatalogueOpenModeless()
{
    w->show();
    w->tbtnEditAf->click();
    QVERIFY(fmEditAforizm->isVisible());
    QVERIFY(!fmEditAforizm->isModal());
    fmEditAforizm->hide();
    emit w->DBGridEh4->doubleClicked();
    QVERIFY(fmEditAforizm->isVisible());
    w->tbtnEditCat->click();
    QVERIFY(fmEditdb->isVisible());
    QVERIFY(!fmEditdb->isModal());
    QVERIFY(world->dialogs.asked().isEmpty());
}

// --- exit -----------------------------------------------------------------

void TestMainWindow::closePostsPendingChange()
{
    w->show();
    DataModule1->FDQuery4->Edit();
    DataModule1->FDQuery4->FieldByName(u"SOURCE"_qs).SetAsString(u"Дневник"_qs);
    const qint64 key = DataModule1->FDQuery4->FieldByName(u"NMB4"_qs).AsInteger();
    w->tbtnClose->click();
    QVERIFY(!w->isVisible());
    QVERIFY(world->dialogs.asked().isEmpty());
    QCOMPARE(testsupport::scalar(world->db(),
                                 QStringLiteral("SELECT SOURCE FROM TB4 WHERE NMB4 = %1").arg(key))
                 .toString(),
             u"Дневник"_qs);
}

void TestMainWindow::closeAfterFailedPostAsks_data()
{
    QTest::addColumn<Button>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("no: stay") << Button::No << false;
    QTest::newRow("yes: quit without saving") << Button::Yes << true;
    QTest::newRow("box closed: stay") << Button::None << false;
}

void TestMainWindow::closeAfterFailedPostAsks()
{
    QFETCH(Button, answer);
    QFETCH(bool, closed);
    testsupport::exec(world->db(), "CREATE TRIGGER refuse BEFORE UPDATE ON TB4 "
                                   "BEGIN SELECT RAISE(ABORT, 'locked by test'); END");
    w->show();
    DataModule1->FDQuery4->Edit();
    DataModule1->FDQuery4->FieldByName(u"SOURCE"_qs).SetAsString(u"Дневник"_qs);

    world->dialogs.queue(Button::Ok); // the error box
    world->dialogs.queue(answer);
    w->tbtnClose->click();

    const auto& asked = world->dialogs.asked();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.at(0).kind, MsgKind::Error);
    QVERIFY2(asked.at(0).text.contains(u"locked by test"_qs), qPrintable(asked.at(0).text));
    QCOMPARE(asked.at(1).kind, MsgKind::Confirmation);
    QCOMPARE(asked.at(1).buttons, int(Button::Yes) | int(Button::No));
    QCOMPARE(w->isVisible(), !closed);
    if (!closed) {
        // Nothing is lost: the change is still pending and can be saved later.
        QCOMPARE(DataModule1->FDQuery4->State(), data::DatasetState::Edit);
        QCOMPARE(DataModule1->FDQuery4->FieldByName(u"SOURCE"_qs).AsString(), u"Дневник"_qs);
    }
}

// --- export ---------------------------------------------------------------

void TestMainWindow::exportWorkedExample()
{
    w->tbtnSortDateAsc->click(); // Иванов first, then the one without an author
    const QString path = world->dir() + u"/вывод.txt"_qs;

    world->dialogs.queue(Button::Yes);
    world->saveDialog.queue(path);
    w->tbtnPrint->click();

    const QByteArray first = QByteArray("\xC8\xE2\xE0\xED\xEE\xE2\r\n"
                                        "\xCC\xFB\xF1\xEB\xFC.\r\n"
                                        "\r\n");
    const QByteArray second = QByteArray("\r\n"
                                         "\xD0\xE0\xE7\r\n"
                                         "\xC4\xE2\xE0\r\n"
                                         "\r\n");
    QCOMPARE(fileBytes(path), first + second);
    QCOMPARE(fileBytes(path).size(), 32);
    // The walk leaves the list on its last row.
    QCOMPARE(DataModule1->FDQuery4->RecNo(), 1);
    QCOMPARE(w->DBGridEh4->currentRow(), 1);

    const auto& asked = world->dialogs.asked();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().text, u"Сохранить все афоризмы в подкаталоге?"_qs);
    QCOMPARE(asked.first().kind, MsgKind::Confirmation);
    QCOMPARE(asked.first().buttons, int(Button::Yes) | int(Button::No));
    QCOMPARE(asked.first().defaultButton, Button::Yes);

    QCOMPARE(world->saveDialog.shown().size(), 1);
    const services::SaveDialogOptions& options = world->saveDialog.shown().first();
    QCOMPARE(options.title, u"Сохранить как..."_qs);
    QCOMPARE(options.fileName, u"aforizm.txt"_qs);
    QCOMPARE(options.initialDir, world->dir());
    QCOMPARE(options.filter, u"Текстовый файл (*.txt)|*.TXT|Файл RTF (*.rft)|*.RTF|"
                             "Все файлы (*.*)|*.*"_qs);
    QCOMPARE(options.filterIndex, 1);
    QCOMPARE(options.defaultExt, u"txt"_qs);
    QCOMPARE(world->opener.opened(), QStringList({path}));

    // Once more with No while the second aphorism is current: its record
    // alone is appended.
    world->dialogs.queue(Button::No);
    world->saveDialog.queue(path);
    w->tbtnPrint->click();
    QCOMPARE(fileBytes(path), first + second + second);
    QCOMPARE(fileBytes(path).size(), 46);
    QCOMPARE(world->opener.opened(), QStringList({path, path}));
}

void TestMainWindow::exportEmptyList_data()
{
    QTest::addColumn<Button>("answer");
    QTest::addColumn<QByteArray>("existing"); // empty: no file before
    QTest::addColumn<QByteArray>("expected");
    const QByteArray kept("kept\r\n");
    QTest::newRow("yes, new file: created empty") << Button::Yes << QByteArray() << QByteArray();
    QTest::newRow("yes, existing file: unchanged") << Button::Yes << kept << kept;
    QTest::newRow("no: one empty record")
        << Button::No << QByteArray() << QByteArray("\r\n\r\n\r\n");
    QTest::newRow("box closed counts as no")
        << Button::None << kept << kept + QByteArray("\r\n\r\n\r\n");
}

void TestMainWindow::exportEmptyList()
{
    QFETCH(Button, answer);
    QFETCH(QByteArray, existing);
    QFETCH(QByteArray, expected);
    pickRow(w->DBGridEh1, 2);
    const QString path = world->dir() + u"/empty.txt"_qs;
    if (!existing.isEmpty())
        putFile(path, existing);

    world->dialogs.queue(answer);
    world->saveDialog.queue(path);
    w->SaveToFile(0);

    QVERIFY(QFile::exists(path));
    QCOMPARE(fileBytes(path), expected);
    QCOMPARE(world->opener.opened(), QStringList({path}));
}

void TestMainWindow::exportAppendsAfterLastByte_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::newRow("no line end at its end") << QByteArray("abc");
    QTest::newRow("0x1A in its last bytes is kept") << QByteArray("old\r\n\x1A\r\ntail");
}

void TestMainWindow::exportAppendsAfterLastByte()
{
    QFETCH(QByteArray, existing);
    const QString path = world->dir() + u"/old.txt"_qs;
    putFile(path, existing);
    pickRow(w->DBGridEh4, 1); // Иванов

    world->dialogs.queue(Button::No);
    world->saveDialog.queue(path);
    w->SaveToFile(0);

    QCOMPARE(fileBytes(path),
             existing + QByteArray("\xC8\xE2\xE0\xED\xEE\xE2\r\n\xCC\xFB\xF1\xEB\xFC.\r\n\r\n"));
}

void TestMainWindow::exportConvertsToWindows1251()
{
    // The search hits are exported through the other data source, and an
    // aphorism typed with bare line feeds still gets CR LF line ends.
    testsupport::insert(world->db(), "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM) VALUES (?, ?, ?)",
                        {cat.jealousy, u"Σωκράτης"_qs, u"Éрос\nи ёж"_qs});
    DataModule1->FDQuery5->Open(u"SELECT * FROM TB4 WHERE AFORIZM LIKE '%ёж%'"_qs);
    const QString path = world->dir() + u"/hits.txt"_qs;

    world->dialogs.queue(Button::Yes);
    world->saveDialog.queue(path);
    w->SaveToFile(1);

    QCOMPARE(fileBytes(path), QByteArray("????????\r\nE\xF0\xEE\xF1\r\n\xE8 \xB8\xE6\r\n\r\n"));
}

void TestMainWindow::exportFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("full disk") << u"/dev/full"_qs << u"I/O error 28"_qs;
    QTest::newRow("missing folder") << u"нет такой папки/a.txt"_qs << u"File not found"_qs;
    QTest::newRow("name too long") << QString(300, u'ж') + u".txt"_qs << u"Invalid filename"_qs;
    QTest::newRow("a folder") << u"."_qs << u"File access denied"_qs;
    QTest::newRow("the collection itself") << u"MAIN.DB"_qs << u"File access denied"_qs;
}

void TestMainWindow::exportFailures()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    if (!path.startsWith(u'/'))
        path = world->dir() + u'/' + path;
    const QByteArray database = fileBytes(world->db());

    world->dialogs.queue(Button::Yes);
    world->saveDialog.queue(path);
    try {
        w->SaveToFile(0);
        QFAIL("the export did not fail");
    } catch (const EInOutError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
    QVERIFY(world->opener.opened().isEmpty()); // stopped at the failure
    QCOMPARE(fileBytes(world->db()), database);
}

void TestMainWindow::exportStopsAtFailureKeepingWhatWasWritten()
{
    // A file-size limit makes the write after the first record fail.
    w->tbtnSortDateAsc->click();
    const QString path = world->dir() + u"/limited.txt"_qs;
    const QByteArray firstRecord("\xC8\xE2\xE0\xED\xEE\xE2\r\n\xCC\xFB\xF1\xEB\xFC.\r\n\r\n");
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(firstRecord.size());
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);

    world->dialogs.queue(Button::Yes);
    world->saveDialog.queue(path);
    QString message;
    try {
        w->SaveToFile(0);
    } catch (const EInOutError& e) {
        message = QString::fromUtf8(e.what());
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(message, QStringLiteral("I/O error %1").arg(EFBIG));
    QCOMPARE(fileBytes(path), firstRecord);
    QVERIFY(world->opener.opened().isEmpty());
}

void TestMainWindow::exportErrorReachesTheUserFromTheButton()
{
    world->dialogs.queue(Button::Yes);
    world->saveDialog.queue(u"/dev/full"_qs);
    world->dialogs.queue(Button::Ok);
    w->tbtnPrint->click();

    const auto& asked = world->dialogs.asked();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.at(1).kind, MsgKind::Error);
    QCOMPARE(asked.at(1).text, u"I/O error 28"_qs);
    QVERIFY(world->opener.opened().isEmpty());
}

void TestMainWindow::exportCancelWritesNothing()
{
    pickRow(w->DBGridEh3, 1);
    pickRow(w->DBGridEh4, 1);
    world->dialogs.queue(Button::Yes); // the save dialog's queue stays empty: cancelled
    w->SaveToFile(0);
    QCOMPARE(world->saveDialog.shown().size(), 1);
    QVERIFY(world->opener.opened().isEmpty());
    QStringList files = QDir(world->dir()).entryList(QDir::Files);
    files.sort(Qt::CaseSensitive);
    QCOMPARE(files, QStringList({u"MAIN.DB"_qs, u"aforizm"_qs}));
    QCOMPARE(DataModule1->FDQuery4->RecNo(), 1); // the list did not move
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
