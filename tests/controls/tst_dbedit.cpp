#include "CatalogueFixture.h"
#include "controls/DbEdit.h"

#include <QSignalSpy>
#include <QtTest>
#include <QVBoxLayout>

using controls::DbEdit;
using controls::DbMemo;
using data::DatasetState;

namespace {

// The editor's three bound controls and a place to move the focus to.
struct EditWindow
{
    QWidget window;
    DbMemo* memo;
    DbEdit* author;
    DbEdit* source;
    QLineEdit* other;
    explicit EditWindow(Catalogue& c)
    {
        auto* layout = new QVBoxLayout(&window);
        memo = new DbMemo(&window);
        author = new DbEdit(&window);
        source = new DbEdit(&window);
        other = new QLineEdit(&window);
        for (QWidget* w : {static_cast<QWidget*>(memo), static_cast<QWidget*>(author),
                           static_cast<QWidget*>(source), static_cast<QWidget*>(other)})
            layout->addWidget(w);
        memo->setDataSource(&c.source);
        memo->setDataField("AFORIZM");
        author->setDataSource(&c.source);
        author->setDataField("AUTHOR");
        source->setDataSource(&c.source);
        source->setDataField("SOURCE");
        window.show();
        window.activateWindow();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window); }
};

} // namespace

class TestDbEdit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showsTheCurrentRow();
    void typingStartsAnEditAndFocusOutWritesIt();
    void updateRecordWritesHeldText();
    void movingAwayPostsTheTyping();
    void readOnlyControlsNeverEdit();
    void nullStaysNullUnlessTyped();
    void anotherWriterWinsOverHeldText();
    void typingIntoAnEmptyListStartsANewRow();
    void memoKeepsStoredLineEnds();
    void discardedChangeDropsHeldText();
};

void TestDbEdit::showsTheCurrentRow()
{
    Catalogue c;
    c.add("Сенека", "Пока живём,\nучимся", QVariant());
    c.add("Гораций", "Лови день", "Оды");
    EditWindow w(c);
    QCOMPARE(w.author->text(), QString()); // closed
    c.dataset.Open();
    QCOMPARE(w.author->text(), QStringLiteral("Сенека"));
    QCOMPARE(w.memo->text(), QStringLiteral("Пока живём,\nучимся"));
    QCOMPARE(w.source->text(), QString()); // NULL
    c.dataset.Next();
    QCOMPARE(w.author->text(), QStringLiteral("Гораций"));
    QCOMPARE(w.source->text(), QStringLiteral("Оды"));
    // A long value is shown whole (a line edit cuts at 32767 by default).
    const QString longText(40000, QLatin1Char('x'));
    c.dataset.Edit();
    c.dataset.FieldByName("SOURCE").SetAsString(longText);
    QCOMPARE(w.source->text(), longText);
    c.dataset.Cancel();
    QCOMPARE(w.source->text(), QStringLiteral("Оды"));
    c.dataset.Open("SELECT NMB4 FROM TB4"); // the field is not in the result
    QCOMPARE(w.author->text(), QString());
    c.dataset.Close();
    QCOMPARE(w.memo->text(), QString());
}

void TestDbEdit::typingStartsAnEditAndFocusOutWritesIt()
{
    Catalogue c;
    c.add("Сенека", "Текст");
    EditWindow w(c);
    c.dataset.Open();
    QVERIFY(w.ready());
    w.author->setFocus();
    w.author->end(false);
    typeText(w.author, " Младший");
    QCOMPARE(c.dataset.State(), DatasetState::Edit);
    // Held in the control until the focus leaves it.
    QCOMPARE(c.dataset.FieldByName("AUTHOR").AsString(), QStringLiteral("Сенека"));
    QVERIFY(!c.dataset.Modified());
    w.other->setFocus();
    QCOMPARE(c.dataset.FieldByName("AUTHOR").AsString(), QStringLiteral("Сенека Младший"));
    QVERIFY(c.dataset.Modified());
    QCOMPARE(w.author->text(), QStringLiteral("Сенека Младший"));
    c.dataset.Post();
    QCOMPARE(c.stored("SELECT AUTHOR FROM TB4").toString(), QStringLiteral("Сенека Младший"));
}

void TestDbEdit::updateRecordWritesHeldText()
{
    Catalogue c;
    c.add("Сенека", "Текст");
    EditWindow w(c);
    c.dataset.Open();
    QVERIFY(w.ready());
    w.memo->setFocus();
    w.memo->moveCursor(QTextCursor::End);
    typeText(w.memo, "!");
    QTest::keyClick(w.memo, Qt::Key_Return); // a line break, not a command
    typeText(w.memo, "Ещё");
    QCOMPARE(c.dataset.State(), DatasetState::Edit);
    // A handler posts while the focus is still in the memo.
    c.dataset.Post();
    QCOMPARE(c.stored("SELECT AFORIZM FROM TB4").toString(), QStringLiteral("Текст!\nЕщё"));
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QVERIFY(!w.memo->link()->isDirty());
    QVERIFY(w.memo->hasFocus());
}

void TestDbEdit::movingAwayPostsTheTyping()
{
    Catalogue c;
    c.add("Сенека", "Первый");
    c.add("Гораций", "Второй");
    EditWindow w(c);
    c.dataset.Open();
    QVERIFY(w.ready());
    w.source->setFocus();
    typeText(w.source, "Письма");
    c.dataset.Next(); // a move in another window
    QCOMPARE(c.stored("SELECT SOURCE FROM TB4 WHERE NMB4 = 1").toString(),
             QStringLiteral("Письма"));
    QCOMPARE(w.source->text(), QString());
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
}

void TestDbEdit::readOnlyControlsNeverEdit()
{
    Catalogue c;
    c.add("Сенека", "Пока живём, учимся");
    ScriptedDialogsScope scope;
    EditWindow w(c);
    w.memo->setReadOnly(true);
    w.author->setReadOnly(true);
    c.dataset.Open();
    QVERIFY(w.ready());
    for (QWidget* control : {static_cast<QWidget*>(w.memo), static_cast<QWidget*>(w.author)}) {
        control->setFocus();
        typeText(control, "xyz");
        QTest::keyClick(control, Qt::Key_Backspace);
        QTest::keyClick(control, Qt::Key_Delete);
        w.other->setFocus();
    }
    QCOMPARE(c.dataset.State(), DatasetState::Browse);
    QCOMPARE(w.memo->text(), QStringLiteral("Пока живём, учимся"));
    QCOMPARE(w.author->text(), QStringLiteral("Сенека"));
    // Selecting and copying still work.
    w.author->selectAll();
    QCOMPARE(w.author->selectedText(), QStringLiteral("Сенека"));
    w.memo->selectAll();
    QCOMPARE(w.memo->textCursor().selectedText(), QStringLiteral("Пока живём, учимся"));
    QVERIFY(scope.dialogs.asked().isEmpty());
}

void TestDbEdit::nullStaysNullUnlessTyped()
{
    Catalogue c;
    c.add("Сенека", "Текст", QVariant());
    EditWindow w(c);
    c.dataset.Open();
    QVERIFY(w.ready());
    // Source is NULL and untouched; text is emptied by the user.
    w.memo->setFocus();
    w.memo->selectAll();
    QTest::keyClick(w.memo, Qt::Key_Delete);
    // Typed and taken back again: still nothing to write into a NULL.
    w.source->setFocus();
    typeText(w.source, "a");
    QTest::keyClick(w.source, Qt::Key_Backspace);
    w.other->setFocus();
    c.dataset.Post();
    QCOMPARE(c.stored("SELECT quote(AFORIZM) FROM TB4").toString(), QStringLiteral("''"));
    QCOMPARE(c.stored("SELECT quote(SOURCE) FROM TB4").toString(), QStringLiteral("NULL"));
    QCOMPARE(c.stored("SELECT AUTHOR FROM TB4").toString(), QStringLiteral("Сенека"));
}

void TestDbEdit::anotherWriterWinsOverHeldText()
{
    Catalogue c;
    c.add("Сенека", "Текст");
    EditWindow w(c);
    c.dataset.Open();
    QVERIFY(w.ready());
    w.memo->setFocus();
    w.memo->moveCursor(QTextCursor::End);
    typeText(w.memo, " в памяти");
    // Another field of the row changes: the memo keeps what is being typed.
    c.dataset.FieldByName("AUTHOR").SetAsString("Луций Анней Сенека");
    QCOMPARE(w.memo->text(), QStringLiteral("Текст в памяти"));
    QCOMPARE(w.author->text(), QStringLiteral("Луций Анней Сенека"));
    // A handler writes the memo's own field (as joining lines does): its
    // value is what the memo shows from then on.
    c.dataset.FieldByName("AFORIZM").SetAsString("Новый текст");
    QCOMPARE(w.memo->text(), QStringLiteral("Новый текст"));
    w.other->setFocus();
    c.dataset.Post();
    QCOMPARE(c.stored("SELECT AFORIZM FROM TB4").toString(), QStringLiteral("Новый текст"));
}

void TestDbEdit::typingIntoAnEmptyListStartsANewRow()
{
    Catalogue c;
    EditWindow w(c);
    c.dataset.Open();
    QVERIFY(w.ready());
    w.author->setFocus();
    typeText(w.author, "Аноним");
    QCOMPARE(c.dataset.State(), DatasetState::Insert);
    QCOMPARE(w.author->text(), QStringLiteral("Аноним")); // the keystroke is kept
    c.dataset.Post();
    QCOMPARE(c.stored("SELECT AUTHOR FROM TB4").toString(), QStringLiteral("Аноним"));
}

void TestDbEdit::memoKeepsStoredLineEnds()
{
    Catalogue c;
    c.add("Сенека", "Первая\r\nвторая");
    EditWindow w(c);
    c.dataset.Open();
    QCOMPARE(w.memo->toPlainText(), QStringLiteral("Первая\nвторая"));
    QCOMPARE(w.memo->text(), QStringLiteral("Первая\r\nвторая"));
    QVERIFY(w.ready());
    w.memo->setFocus();
    w.memo->moveCursor(QTextCursor::End);
    typeText(w.memo, "!");
    w.other->setFocus();
    c.dataset.Post();
    QCOMPARE(c.stored("SELECT AFORIZM FROM TB4").toString(), QStringLiteral("Первая\r\nвторая!"));
}

void TestDbEdit::discardedChangeDropsHeldText()
{
    Catalogue c;
    c.add("Сенека", "Текст");
    EditWindow w(c);
    c.dataset.Open();
    QVERIFY(w.ready());
    w.author->setFocus();
    typeText(w.author, "X");
    c.dataset.Cancel();
    QCOMPARE(w.author->text(), QStringLiteral("Сенека"));
    typeText(w.author, "Y");
    c.dataset.Close(); // a sort closes the list: the pending change is gone
    QCOMPARE(w.author->text(), QString());
    w.other->setFocus();
    QCOMPARE(c.stored("SELECT AUTHOR FROM TB4").toString(), QStringLiteral("Сенека"));
}

QTEST_MAIN(TestDbEdit)
#include "tst_dbedit.moc"
