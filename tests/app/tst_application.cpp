// The application's default error handler, the busy pointer and the fonts.
#include "Application.h"
#include "dataset/Dataset.h"
#include "fCommon.h"
#include "services/Services.h"

#include <QEventLoop>
#include <QFontInfo>
#include <QPushButton>
#include <QtTest>

#include <functional>

namespace {

struct NotAStdException
{};

using Thrower = std::function<void()>;

} // namespace

Q_DECLARE_METATYPE(Thrower)

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    // An exception escaping a handler run by the event loop is shown in an
    // error box, unchanged, and the loop goes on with the next event.
    void exceptionInHandlerIsShownAndLoopGoesOn_data()
    {
        QTest::addColumn<Thrower>("thrower");
        QTest::addColumn<QString>("shown");
        QTest::newRow("data layer error") << Thrower([] {
            throw data::DataError(QStringLiteral("FDQuery1: no such table: TB0"));
        }) << "FDQuery1: no such table: TB0";
        QTest::newRow("Cyrillic message")
            << Thrower([] { throw data::DataError(QStringLiteral("Ошибка связи: «MAIN.DB»")); })
            << "Ошибка связи: «MAIN.DB»";
        QTest::newRow("file version") << Thrower([] {
            throw EFileVersionError(QStringLiteral("Ошибка версии файла /a b/я"));
        }) << "Ошибка версии файла /a b/я";
        QTest::newRow("standard library")
            << Thrower([] { throw std::out_of_range("index 7 out of range"); })
            << "index 7 out of range";
        QTest::newRow("not a std::exception")
            << Thrower([] { throw NotAStdException(); }) << "Неизвестная ошибка";
    }
    void exceptionInHandlerIsShownAndLoopGoesOn()
    {
        QFETCH(Thrower, thrower);
        QFETCH(QString, shown);
        services::ScriptedDialogs dialogs;
        services::ScopedService guard(&dialogs);

        QEventLoop loop;
        QStringList ran;
        QObject target;
        QMetaObject::invokeMethod(
            &target,
            [&] {
                ran << "first";
                thrower();
            },
            Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            &target, [&] { ran << "second"; }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        QCOMPARE(loop.exec(), 0);

        QCOMPARE(ran, QStringList({"first", "second"}));
        QCOMPARE(dialogs.asked().size(), 1);
        const auto& box = dialogs.asked().first();
        QCOMPARE(box.text, shown);
        QCOMPARE(box.kind, services::MsgKind::Error);
        QCOMPARE(box.buttons, int(services::Button::Ok));
        QCOMPARE(box.defaultButton, services::Button::Ok);
    }

    // A click whose handler throws is reported every time; the button and
    // its window keep working.
    void exceptionInClickHandler()
    {
        services::ScriptedDialogs dialogs;
        services::ScopedService guard(&dialogs);
        QPushButton button(QStringLiteral("Поиск"));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, this, [&] {
            ++clicks;
            throw data::DataError(QStringLiteral("FDQuery5: near \"SELEC\": syntax error"));
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(dialogs.asked().size(), 2);
        QCOMPARE(dialogs.asked().last().text,
                 QStringLiteral("FDQuery5: near \"SELEC\": syntax error"));
        QVERIFY(!button.isDown());
    }

    // The data layer shows the busy pointer while it works, nested or not.
    void waitCursorShowsBusyPointer()
    {
        InstallApplicationServices();
        QVERIFY(!QGuiApplication::overrideCursor());
        {
            data::WaitCursor outer;
            QVERIFY(QGuiApplication::overrideCursor());
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            {
                data::WaitCursor inner;
                QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            }
            QVERIFY(QGuiApplication::overrideCursor());
        }
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // fontconfig maps Tahoma and MS Sans Serif to a wider font; the
    // metric-compatible ones Wine ships must be the ones used.
    void windowsFontsAreMatchedByName_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("Tahoma") << "Tahoma";
        QTest::newRow("MS Sans Serif") << "MS Sans Serif";
    }
    void windowsFontsAreMatchedByName()
    {
        QFETCH(QString, family);
        if (!QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"))) {
            QSKIP("fonts-wine is not installed");
        }
        InstallApplicationServices();
        QFont font(family);
        font.setPixelSize(11);
        QCOMPARE(QFontInfo(font).family(), family);
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
