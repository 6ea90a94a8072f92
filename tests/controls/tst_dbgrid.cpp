#include "CatalogueFixture.h"
#include "controls/DatasetTableModel.h"
#include "controls/DbGrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <QVBoxLayout>
#include <QWheelEvent>

using controls::DbGrid;
using data::DatasetState;
using services::Button;

namespace {

// A shown, active window holding a grid over the catalogue's aphorisms and a
// second control to move the focus to.
struct GridWindow
{
    QWidget window;
    DbGrid* grid;
    QLineEdit* other;
    explicit GridWindow(Catalogue& c)
    {
        auto* layout = new QVBoxLayout(&window);
        grid = new DbGrid(&window);
        other = new QLineEdit(&window);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->setDataSource(&c.source);
        grid->setColumns({{"AUTHOR", "Автор", 120}, {"AFORIZM", "Афоризм", 300}});
        window.resize(460, 300);
        window.show();
        window.activateWindow();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window); }
};

} // namespace

class TestDbGrid : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void viewAndDatasetMoveTogether();
    void fetchesOnlyWhatIsShown();
    void searchMarksCellsCaseSensitively_data();
    void searchMarksCellsCaseSensitively();
    void searchJumpsBetweenHits();
    void findNextSearchesRowsIgnoringCase();
    void rowHeightSnapsToWholeLines_data();
    void rowHeightSnapsToWholeLines();
    void draggingARowEdgeSizesAllRows();
    void recordBarCountsAndNavigates();
    void wheelMovesTheCurrentRow_data();
    void wheelMovesTheCurrentRow();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void deletingANewRowOnlyDropsIt();
    void readOnlyGridNeitherInsertsNorDeletes();
    void inPlaceEditIsPostedWhenTheRowIsLeft();
    void unchangedNewRowIsDroppedOnLeaving();
    void downArrowOnLastRowAppendsUnlessTheWindowClearsTheKey();
    void doubleClickIsSignalled();
    void columnLinesBelowTheLastRowOnlyWhenAsked_data();
    void columnLinesBelowTheLastRowOnlyWhenAsked();
};

void TestDbGrid::viewAndDatasetMoveTogether()
{
    Catalogue c;
    c.addAforizms(20);
    GridWindow w(c);
    QAbstractItemModelTester tester(w.grid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    c.dataset.Open();
    QCOMPARE(w.grid->currentRow(), 0);

    // The dataset moves: the view follows and keeps the row in sight.
    c.dataset.MoveTo(15);
    QCOMPARE(w.grid->currentRow(), 15);
    QVERIFY(w.grid->view()->viewport()->rect().intersects(
        w.grid->view()->visualRect(w.grid->model()->index(15, 0))));
    QVERIFY(c.dataset.Locate("NMB4", 3));
    QCOMPARE(w.grid->currentRow(), 2);

    // The user moves: the dataset follows.
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_Down);
    QCOMPARE(c.dataset.RecNo(), 3);
    const QModelIndex cell = w.grid->model()->index(1, 1);
    QTest::mouseClick(w.grid->view()->viewport(), Qt::LeftButton, {},
                      w.grid->view()->visualRect(cell).center());
    QCOMPARE(c.dataset.RecNo(), 1);
    QCOMPARE(w.grid->view()->currentIndex(), cell);
    // Tab goes from cell to cell, from the last column on to the next row.
    QTest::keyClick(w.grid->view(), Qt::Key_Tab);
    QCOMPARE(c.dataset.RecNo(), 2);
    QCOMPARE(w.grid->view()->currentIndex().column(), 0);
    QVERIFY(w.grid->view()->hasFocus());

    // A move while the controls are held back shows once they are released.
    c.dataset.DisableControls();
    c.dataset.MoveTo(5);
    c.dataset.EnableControls();
    QCOMPARE(w.grid->currentRow(), 5);
    c.dataset.Close();
    QCOMPARE(w.grid->currentRow(), -1);
    // Re-queries keep the columns as set.
    c.dataset.Open();
    QCOMPARE(w.grid->view()->columnWidth(0), 120);
    QCOMPARE(w.grid->view()->columnWidth(1), 300);
    QCOMPARE(w.grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Афоризм"));
}

void TestDbGrid::fetchesOnlyWhatIsShown()
{
    Catalogue c;
    c.addAforizms(5000);
    GridWindow w(c);
    c.dataset.Open();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QCoreApplication::processEvents();
    const int shown = w.grid->model()->rowCount();
    QVERIFY2(shown > 0 && shown < 500, qPrintable(QString::number(shown)));

    // Paging down fetches only when the page would run past the rows held.
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_PageDown);
    QVERIFY(w.grid->currentRow() > 0);
    QCOMPARE(w.grid->model()->rowCount(), shown);
    while (w.grid->currentRow() + 1 < shown)
        QTest::keyClick(w.grid->view(), Qt::Key_PageDown);
    QVERIFY(w.grid->model()->rowCount() > shown);
    QVERIFY(w.grid->model()->rowCount() < 5000);
    w.grid->view()->scrollToTop();

    // Scrolling to the end of what is held asks for the next rows.
    w.grid->view()->scrollToBottom();
    QCoreApplication::processEvents();
    QVERIFY(w.grid->model()->rowCount() > shown);
    QVERIFY(w.grid->model()->rowCount() < 5000);
    // Ctrl+End goes to the very last row.
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(w.grid->model()->rowCount(), 5000);
    QCOMPARE(w.grid->currentRow(), 4999);
}

void TestDbGrid::searchMarksCellsCaseSensitively_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("marked");
    QTest::newRow("word inside") << "мудр"
                                 << "Всё мудрое просто" << true;
    QTest::newRow("lower case misses a capital") << "мудр"
                                                 << "Мудрость" << false;
    QTest::newRow("capital finds capital") << "Мудр"
                                           << "Мудрость" << true;
    QTest::newRow("upper case misses lower") << "ВСЁ"
                                             << "всё" << false;
    QTest::newRow("latin case") << "seneca"
                                << "Seneca" << false;
    QTest::newRow("empty marks nothing") << ""
                                         << "текст" << false;
    QTest::newRow("the other column too") << "Авт"
                                          << "текст" << false;
    QTest::newRow("second line of a text") << "день"
                                           << "Лови\nдень" << true;
}

void TestDbGrid::searchMarksCellsCaseSensitively()
{
    QFETCH(QString, search);
    QFETCH(QString, cell);
    QFETCH(bool, marked);
    Catalogue c;
    c.add("Автор", cell);
    DbGrid grid;
    grid.setDataSource(&c.source);
    grid.setColumns({{"AUTHOR", "", 100}, {"AFORIZM", "", 100}});
    grid.setSearchBarVisible(true);
    c.dataset.Open();
    typeText(grid.searchEdit(), search); // typed into the bar
    QCOMPARE(grid.searchText(), search);
    QCOMPARE(grid.cellMatches(grid.model()->index(0, 1)), marked);
    QCOMPARE(grid.cellMatches(grid.model()->index(0, 0)), search == QStringLiteral("Авт"));
}

void TestDbGrid::searchJumpsBetweenHits()
{
    Catalogue c;
    c.add("Сенека", "Пока живём, учимся");
    c.add("Гораций", "Лови день");
    c.add("Учитель", "Повторение");
    c.add("Сократ", "Учись у всех");
    GridWindow w(c);
    w.grid->setSearchBarVisible(true);
    c.dataset.Open();
    w.grid->setSearchText("у");
    // Hits in reading order: (0,1) "учимся", (3,1) "у всех"; "Учитель" has a capital.
    QVERIFY(w.grid->findNextHit());
    QCOMPARE(c.dataset.RecNo(), 0);
    QCOMPARE(w.grid->view()->currentIndex().column(), 1);
    QVERIFY(w.grid->findNextHit());
    QCOMPARE(c.dataset.RecNo(), 3);
    QVERIFY(w.grid->findNextHit()); // wraps round
    QCOMPARE(c.dataset.RecNo(), 0);
    QVERIFY(w.grid->findPreviousHit());
    QCOMPARE(c.dataset.RecNo(), 3);
    // Enter and Shift+Enter in the bar do the same.
    QVERIFY(w.ready());
    w.grid->searchEdit()->setFocus();
    QTest::keyClick(w.grid->searchEdit(), Qt::Key_Return);
    QCOMPARE(c.dataset.RecNo(), 0);
    QTest::keyClick(w.grid->searchEdit(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(c.dataset.RecNo(), 3);
    w.grid->setSearchText("Ъ");
    QVERIFY(!w.grid->findNextHit());
    QCOMPARE(c.dataset.RecNo(), 3);
}

void TestDbGrid::findNextSearchesRowsIgnoringCase()
{
    Catalogue c;
    c.addAforizms(300); // beyond the rows fetched at first
    GridWindow w(c);
    c.dataset.Open();
    QVERIFY(c.dataset.RecordCount() < 300);
    QVERIFY(w.grid->findNext("ТЕКСТ 250"));
    QCOMPARE(c.dataset.FieldByName("AFORIZM").AsString(), QStringLiteral("Текст 250"));
    QCOMPARE(w.grid->currentRow(), c.dataset.RecNo());
    QVERIFY(w.grid->findNext("автор 99")); // none below: from the top again
    QCOMPARE(c.dataset.FieldByName("AUTHOR").AsString(), QStringLiteral("Автор 99"));
    QVERIFY(!w.grid->findNext("нет такого"));
    QCOMPARE(c.dataset.FieldByName("AUTHOR").AsString(), QStringLiteral("Автор 99"));

    // Ctrl+F opens the dialog; its button runs the same search.
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.grid->findDialog());
    QVERIFY(w.grid->findDialog()->isVisible());
    w.grid->findDialog()->textEdit()->setText("текст 7");
    QVERIFY(w.grid->findDialog()->findNext());
    QCOMPARE(c.dataset.FieldByName("AUTHOR").AsString(), QStringLiteral("Автор 7"));
    w.grid->findDialog()->textEdit()->setText("нет такого");
    QVERIFY(!w.grid->findDialog()->findNext());
    QVERIFY(!w.grid->findDialog()->statusLabel()->text().isEmpty());
}

void TestDbGrid::rowHeightSnapsToWholeLines_data()
{
    QTest::addColumn<double>("linesDragged"); // in text lines
    QTest::addColumn<int>("lines");
    QTest::newRow("one line and a bit") << 1.2 << 1;
    QTest::newRow("nearly two") << 1.7 << 2;
    QTest::newRow("three") << 3.0 << 3;
    QTest::newRow("nothing") << 0.0 << 1;
    QTest::newRow("negative") << -2.0 << 1;
}

void TestDbGrid::rowHeightSnapsToWholeLines()
{
    QFETCH(double, linesDragged);
    QFETCH(int, lines);
    Catalogue c;
    c.addAforizms(5);
    DbGrid grid;
    grid.setDataSource(&c.source);
    grid.setRowSizing(true);
    c.dataset.Open();
    QCOMPARE(grid.rowLines(), 1); // one text line by default
    grid.setRowHeight(qRound(grid.heightForLines(1) + (linesDragged - 1) * grid.lineHeight()));
    QCOMPARE(grid.rowLines(), lines);
    QCOMPARE(grid.rowHeight(), grid.heightForLines(lines));
    // All rows, also those fetched later, have that height.
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        QCOMPARE(grid.view()->rowHeight(row), grid.heightForLines(lines));
}

void TestDbGrid::draggingARowEdgeSizesAllRows()
{
    Catalogue c;
    c.addAforizms(10);
    GridWindow w(c);
    w.grid->setRowSizing(true);
    c.dataset.Open();
    QVERIFY(w.ready());
    QWidget* viewport = w.grid->view()->viewport();
    // The lower edge of the second row, dragged down by about two lines.
    const int edge = w.grid->view()->rowViewportPosition(1) + w.grid->view()->rowHeight(1) - 1;
    const int target = edge + 2 * (2 * w.grid->lineHeight()) + 1; // two rows above the edge
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(50, edge));
    QTest::mouseMove(viewport, QPoint(50, target));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(50, target));
    QCOMPARE(w.grid->rowLines(), 3);
    for (int row = 0; row < w.grid->model()->rowCount(); ++row)
        QCOMPARE(w.grid->view()->rowHeight(row), w.grid->heightForLines(3));
    QCOMPARE(c.dataset.RecNo(), 0); // grabbing an edge is not a click on a row

    // Without row sizing the edge cannot be grabbed.
    w.grid->setRowSizing(false);
    const int height = w.grid->rowHeight();
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(50, height - 1));
    QTest::mouseMove(viewport, QPoint(50, height * 2));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(50, height * 2));
    QCOMPARE(w.grid->rowHeight(), height);
}

void TestDbGrid::recordBarCountsAndNavigates()
{
    Catalogue c;
    c.addAforizms(100);
    GridWindow w(c);
    w.grid->setRecordBarVisible(true);
    c.dataset.Open();
    QCOMPARE(w.grid->recordCountLabel()->text().toInt(), c.dataset.RecordCount());
    QCOMPARE(w.grid->navigatorButton(DbGrid::NavFirst)->toolTip(), QStringLiteral("Первая запись"));
    QCOMPARE(w.grid->navigatorButton(DbGrid::NavLast)->toolTip(),
             QStringLiteral("Последняя запись"));
    QVERIFY(w.ready());

    w.grid->navigatorButton(DbGrid::NavLast)->click();
    QCOMPARE(c.dataset.RecNo(), 99);
    QCOMPARE(w.grid->currentRow(), 99);
    QCOMPARE(w.grid->recordCountLabel()->text(), QStringLiteral("100"));
    w.grid->navigatorButton(DbGrid::NavPrior)->click();
    QCOMPARE(c.dataset.RecNo(), 98);
    w.grid->navigatorButton(DbGrid::NavFirst)->click();
    QCOMPARE(c.dataset.RecNo(), 0);
    w.grid->navigatorButton(DbGrid::NavNext)->click();
    QCOMPARE(c.dataset.RecNo(), 1);
    c.dataset.Delete();
    QCOMPARE(w.grid->recordCountLabel()->text(), QStringLiteral("99"));
    c.dataset.Close();
    QCOMPARE(w.grid->recordCountLabel()->text(), QStringLiteral("0"));
}

void TestDbGrid::wheelMovesTheCurrentRow_data()
{
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QList<int>>("turns"); // angle deltas, positive = away from the user
    QTest::addColumn<int>("expectedRow");

    QTest::newRow("one notch down") << 0 << QList<int>{-120} << 1;
    QTest::newRow("three notches up") << 10 << QList<int>{120, 120, 120} << 7;
    QTest::newRow("half notches add up") << 5 << QList<int>{-60, -60} << 6;
    QTest::newRow("stops at the first row") << 1 << QList<int>{120, 120, 120} << 0;
    QTest::newRow("fetches past the rows held") << 0 << QList<int>(150, -120) << 150;
    QTest::newRow("stops at the last row") << 195 << QList<int>(10, -120) << 199;
}

void TestDbGrid::wheelMovesTheCurrentRow()
{
    QFETCH(int, startRow);
    QFETCH(QList<int>, turns);
    QFETCH(int, expectedRow);

    Catalogue c;
    c.addAforizms(200);
    GridWindow w(c);
    w.grid->setScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff);
    c.dataset.Open();
    QVERIFY(w.ready());
    if (startRow > 0) {
        c.dataset.Last();
        c.dataset.MoveTo(startRow);
    }

    QWidget* viewport = w.grid->view()->viewport();
    const QPointF at(20, 20);
    for (int delta : turns) {
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    }
    QCOMPARE(c.dataset.RecNo(), expectedRow);
    QCOMPARE(w.grid->currentRow(), expectedRow);
}

void TestDbGrid::deleteAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("yes") << int(Button::Yes) << true;
    QTest::newRow("no") << int(Button::No) << false;
    QTest::newRow("box closed") << int(Button::None) << false;
}

void TestDbGrid::deleteAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(bool, deleted);
    Catalogue c;
    c.addAforizms(3);
    ScriptedDialogsScope scope;
    scope.dialogs.queue(Button(answer));
    GridWindow w(c);
    w.grid->setReadOnly(false);
    c.dataset.Open();
    c.dataset.MoveTo(1);
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_Delete, Qt::ControlModifier);

    QCOMPARE(scope.dialogs.asked().size(), 1);
    const auto& asked = scope.dialogs.asked().at(0);
    QCOMPARE(asked.text, QStringLiteral("Удалить запись?"));
    QCOMPARE(asked.kind, services::MsgKind::Confirmation);
    QCOMPARE(asked.buttons, int(Button::Yes) | int(Button::No));
    QCOMPARE(c.stored("SELECT COUNT(*) FROM TB4 WHERE NMB4 = 2").toInt(), deleted ? 0 : 1);
    QCOMPARE(w.grid->model()->rowCount(), deleted ? 2 : 3);
}

// A real confirmation box takes the focus while it is open.
class FocusTakingDialogs : public services::ScriptedDialogs
{
public:
    QWidget* takesFocus = nullptr;
    Button MessageDlg(const QString& text, services::MsgKind kind, services::Buttons buttons,
                      Button defaultButton) override
    {
        takesFocus->setFocus();
        return ScriptedDialogs::MessageDlg(text, kind, buttons, defaultButton);
    }
};

void TestDbGrid::deletingANewRowOnlyDropsIt()
{
    Catalogue c;
    c.addAforizms(3);
    FocusTakingDialogs dialogs;
    services::Dialogs* previous = services::setDialogs(&dialogs);
    GridWindow w(c);
    dialogs.takesFocus = w.other;
    dialogs.queue(Button::Yes);
    w.grid->setReadOnly(false);
    c.dataset.Open();
    c.dataset.MoveTo(1);
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_Insert);
    QTest::keyClick(w.grid->view(), Qt::Key_Delete, Qt::ControlModifier);
    services::setDialogs(previous);

    QCOMPARE(dialogs.asked().size(), 1);
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QCOMPARE(c.stored("SELECT COUNT(*) FROM TB4").toInt(), 3); // no stored row deleted
}

void TestDbGrid::readOnlyGridNeitherInsertsNorDeletes()
{
    Catalogue c;
    c.addAforizms(2);
    ScriptedDialogsScope scope;
    GridWindow w(c);
    c.dataset.Open();
    c.dataset.MoveTo(1);
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    for (auto [key, modifiers] :
         {std::pair{Qt::Key_Delete, Qt::ControlModifier}, std::pair{Qt::Key_Insert, Qt::NoModifier},
          std::pair{Qt::Key_Down, Qt::NoModifier}, std::pair{Qt::Key_X, Qt::NoModifier}})
        QTest::keyClick(w.grid->view(), key, modifiers);
    QVERIFY(scope.dialogs.asked().isEmpty());
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QCOMPARE(c.dataset.RecordCount(), 2);
    QCOMPARE(c.stored("SELECT COUNT(*) FROM TB4").toInt(), 2);
}

void TestDbGrid::inPlaceEditIsPostedWhenTheRowIsLeft()
{
    Catalogue c;
    c.addAforizms(3);
    ScriptedDialogsScope scope;
    GridWindow w(c);
    w.grid->setReadOnly(false);
    c.dataset.Open();
    QVERIFY(w.ready());
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_F2); // opens the cell editor on (0, AUTHOR)
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != w.grid->view());
    QTest::keyClick(editor, Qt::Key_End);
    typeText(editor, " Старший");
    QCOMPARE(c.dataset.State(), DatasetState::Browse); // still only in the editor
    QTest::keyClick(editor, Qt::Key_Down);             // leaves the row
    QCOMPARE(c.dataset.RecNo(), 1);
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QCOMPARE(c.stored("SELECT AUTHOR FROM TB4 WHERE NMB4 = 1").toString(),
             QStringLiteral("Автор 1 Старший"));
    QCOMPARE(w.grid->model()->index(0, 0).data().toString(), QStringLiteral("Автор 1 Старший"));
    QVERIFY(scope.dialogs.asked().isEmpty());
}

void TestDbGrid::unchangedNewRowIsDroppedOnLeaving()
{
    Catalogue c;
    c.addAforizms(3);
    ScriptedDialogsScope scope;
    GridWindow w(c);
    w.grid->setReadOnly(false);
    c.dataset.Open();
    c.dataset.MoveTo(1);
    QVERIFY(w.ready());
    w.grid->view()->setFocus();

    // Insert starts a row before the current one; moving the focus away
    // drops it, as nothing was typed.
    QTest::keyClick(w.grid->view(), Qt::Key_Insert);
    QCOMPARE(c.dataset.State(), DatasetState::Insert);
    QCOMPARE(w.grid->model()->rowCount(), 4);
    QCOMPARE(w.grid->currentRow(), 1);
    w.other->setFocus();
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QCOMPARE(w.grid->model()->rowCount(), 3);

    // Moving off it drops it as well.
    w.grid->view()->setFocus();
    QTest::keyClick(w.grid->view(), Qt::Key_Insert);
    QCOMPARE(c.dataset.State(), DatasetState::Insert);
    QTest::keyClick(w.grid->view(), Qt::Key_Up);
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QCOMPARE(w.grid->model()->rowCount(), 3);

    // A new row with a value typed into its cell editor survives the focus
    // leaving (the editor hands its text over first), and is stored when
    // the row is left.
    QTest::keyClick(w.grid->view(), Qt::Key_Insert);
    QTest::keyClick(w.grid->view(), Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != w.grid->view());
    typeText(editor, "Новый автор");
    w.other->setFocus();
    QCOMPARE(w.grid->model()->index(0, 0).data().toString(), QStringLiteral("Новый автор"));
    QCOMPARE(c.dataset.State(), DatasetState::Insert);
    c.dataset.First();
    QCOMPARE(c.stored("SELECT COUNT(*) FROM TB4").toInt(), 4);
    QVERIFY(scope.dialogs.asked().isEmpty());
}

void TestDbGrid::downArrowOnLastRowAppendsUnlessTheWindowClearsTheKey()
{
    Catalogue c;
    c.addAforizms(2);
    GridWindow w(c);
    w.grid->setReadOnly(false);
    c.dataset.Open();
    c.dataset.Last();
    QVERIFY(w.ready());
    w.grid->view()->setFocus();

    QTest::keyClick(w.grid->view(), Qt::Key_Down);
    QCOMPARE(c.dataset.State(), DatasetState::Insert);
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QCOMPARE(w.grid->currentRow(), 2);
    QTest::keyClick(w.grid->view(), Qt::Key_Down); // no second row after an empty one
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QTest::keyClick(w.grid->view(), Qt::Key_Up);
    QCOMPARE(w.grid->model()->rowCount(), 2);

    // A key-down handler that clears the key keeps the grid from acting.
    QObject::connect(w.grid, &DbGrid::keyDown, w.grid, [](int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Down)
            key = 0;
    });
    QTest::keyClick(w.grid->view(), Qt::Key_Down);
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QCOMPARE(w.grid->model()->rowCount(), 2);
    QCOMPARE(c.dataset.RecNo(), 1);
}

void TestDbGrid::doubleClickIsSignalled()
{
    Catalogue c;
    c.addAforizms(3);
    GridWindow w(c);
    c.dataset.Open();
    QSignalSpy spy(w.grid, &DbGrid::doubleClicked);
    QVERIFY(w.ready());
    const QPoint at = w.grid->view()->visualRect(w.grid->model()->index(2, 0)).center();
    QTest::mouseClick(w.grid->view()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w.grid->view()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(c.dataset.RecNo(), 2);
}

void TestDbGrid::columnLinesBelowTheLastRowOnlyWhenAsked_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("catalogue list: lines carried down") << true;
    QTest::newRow("aphorism list: empty space left blank") << false;
}

void TestDbGrid::columnLinesBelowTheLastRowOnlyWhenAsked()
{
    QFETCH(bool, on);
    Catalogue c;
    c.addAforizms(2);
    GridWindow w(c);
    w.grid->setColumnLinesBelowRows(on);
    c.dataset.Open();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));

    QTableView* view = w.grid->view();
    const QImage image = view->viewport()->grab().toImage();
    const int x = view->columnViewportPosition(0) + view->columnWidth(0) - 1;
    const int below = view->rowViewportPosition(1) + view->rowHeight(1) + 20;
    QVERIFY(below < image.height());
    const QColor background = image.pixelColor(x - 5, below);
    QCOMPARE(image.pixelColor(x, below) != background, on);
}

QTEST_MAIN(TestDbGrid)
#include "tst_dbgrid.moc"
