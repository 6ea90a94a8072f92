// The busy-message window.
#include "fMess.h"

#include <QLabel>
#include <QScreen>
#include <QtTest>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

} // namespace

class TestFMess : public QObject
{
    Q_OBJECT

private slots:
    void createdHiddenWithItsLook()
    {
        TfmMessage window;
        QVERIFY(!window.isVisible());
        QCOMPARE(window.Label1->text(), QStringLiteral("Сообщение"));
        QCOMPARE(window.size(), QSize(408, 68));
        QCOMPARE(window.frameGeometry().size(), QSize(408, 68));
        // No title bar and so no border icons to close it with.
        QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
        QCOMPARE(window.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(window.font().pixelSize(), 10);
        QCOMPARE(window.Label1->alignment(), Qt::AlignCenter);
        QVERIFY(!window.Label1->wordWrap());
    }

    // Whatever the text, it is shown as typed: empty, with an ampersand,
    // looking like markup, over several lines.
    void showMessShowsTextAtOnce_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("plain") << QStringLiteral("Идёт загрузка афоризмов...");
        QTest::newRow("ampersand") << QStringLiteral("Поиск & сортировка");
        QTest::newRow("looks like markup") << QStringLiteral("<b>не</b> разметка");
        QTest::newRow("two lines") << QStringLiteral("Подождите\nидёт работа");
    }
    void showMessShowsTextAtOnce()
    {
        QFETCH(QString, text);
        TfmMessage window;
        PaintCounter counter;
        window.Label1->installEventFilter(&counter);

        window.ShowMess(text);

        // Painted before ShowMess returns, without the event loop.
        QVERIFY(counter.paints > 0);
        QVERIFY(window.isVisible());
        QCOMPARE(window.Label1->text(), text);
        QCOMPARE(window.Label1->textFormat(), Qt::PlainText);
        QCOMPARE(window.Label1->geometry(), window.contentsRect());
        const QRect screen = window.screen()->geometry();
        QCOMPARE(window.frameGeometry().center(), screen.center());
    }

    // "&" is no accelerator marker: "a&b" takes more room than "ab".
    void ampersandIsNotSwallowed()
    {
        TfmMessage window;
        window.ShowMess(QStringLiteral("ab"));
        const int plain = window.Label1->sizeHint().width();
        window.ShowMess(QStringLiteral("a&b"));
        QVERIFY(window.Label1->sizeHint().width() > plain);
    }

    void secondCallReplacesText()
    {
        TfmMessage window;
        window.ShowMess(QStringLiteral("Первое"));
        PaintCounter counter;
        window.Label1->installEventFilter(&counter);
        window.ShowMess(QStringLiteral("Второе"));
        QVERIFY(counter.paints > 0);
        QCOMPARE(window.Label1->text(), QStringLiteral("Второе"));
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(TestFMess)
#include "tst_fmess.moc"
