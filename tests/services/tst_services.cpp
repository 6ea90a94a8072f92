// The Qt implementations of the desktop services, run for real: the modal
// boxes and the save dialog are answered through the before-exec hook with a
// queued action, never by waiting or searching for windows.
#include "services/QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using services::Button;
using services::MsgKind;

Q_DECLARE_METATYPE(services::MsgKind)
Q_DECLARE_METATYPE(services::Button)

namespace {

// What the hook saw of a message box.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons; // texts, in the order Yes, No, OK, Cancel
    QString defaultButton;
    bool modal = false;
};

const QMessageBox::StandardButton kOrder[] = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok,
                                              QMessageBox::Cancel};

// Installs a hook that records the box and then, once it runs, presses the
// button with text `press` ("" closes the box without a button, "Esc" types
// Escape).
class BoxAnswer
{
public:
    explicit BoxAnswer(const QString& press)
    {
        services::QtDialogHooks::setBeforeExec([this, press](QWidget& widget) {
            auto& box = static_cast<QMessageBox&>(widget);
            seen.title = box.windowTitle();
            seen.text = box.text();
            seen.icon = box.icon();
            seen.format = box.textFormat();
            seen.modal = box.windowModality() == Qt::ApplicationModal;
            for (auto b : kOrder) {
                if (QAbstractButton* button = box.button(b)) {
                    seen.buttons << button->text();
                }
            }
            if (box.defaultButton()) {
                seen.defaultButton = box.defaultButton()->text();
            }
            QMetaObject::invokeMethod(
                &box,
                [&box, press] {
                    if (press == QLatin1String("Esc")) {
                        QTest::keyClick(&box, Qt::Key_Escape);
                        return;
                    }
                    for (QAbstractButton* button : box.buttons()) {
                        if (button->text() == press) {
                            button->click();
                            return;
                        }
                    }
                    box.done(0);
                },
                Qt::QueuedConnection);
        });
    }
    ~BoxAnswer() { services::QtDialogHooks::setBeforeExec({}); }
    SeenBox seen;
};

} // namespace

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class TestServices : public QObject
{
    Q_OBJECT

private slots:
    void messageDlg_data()
    {
        QTest::addColumn<MsgKind>("kind");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<Button>("defaultButton");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("shownDefault");
        QTest::addColumn<Button>("answer");
        const int yesNo = int(Button::Yes) | int(Button::No);
        const int okCancel = int(Button::Ok) | int(Button::Cancel);
        QTest::newRow("warning, OK") << MsgKind::Warning << int(Button::Ok) << Button::Ok << "OK"
                                     << "Предупреждение" << int(QMessageBox::Warning)
                                     << QStringList{"OK"} << "OK" << Button::Ok;
        QTest::newRow("information")
            << MsgKind::Information << int(Button::Ok) << Button::Ok << "OK"
            << "Информация" << int(QMessageBox::Information) << QStringList{"OK"} << "OK"
            << Button::Ok;
        QTest::newRow("error") << MsgKind::Error << int(Button::Ok) << Button::Ok << "OK"
                               << "Ошибка" << int(QMessageBox::Critical) << QStringList{"OK"}
                               << "OK" << Button::Ok;
        QTest::newRow("confirm, yes") << MsgKind::Confirmation << yesNo << Button::Yes << "Да"
                                      << "Подтверждение" << int(QMessageBox::Question)
                                      << QStringList{"Да", "Нет"} << "Да" << Button::Yes;
        QTest::newRow("confirm, default no, answered no")
            << MsgKind::Confirmation << yesNo << Button::No << "Нет"
            << "Подтверждение" << int(QMessageBox::Question) << QStringList{"Да", "Нет"} << "Нет"
            << Button::No;
        QTest::newRow("OK and cancel, cancelled")
            << MsgKind::Warning << okCancel << Button::Ok << "Отмена"
            << "Предупреждение" << int(QMessageBox::Warning) << QStringList{"OK", "Отмена"} << "OK"
            << Button::Cancel;
        QTest::newRow("escape on OK/Cancel is Cancel")
            << MsgKind::Warning << okCancel << Button::Ok << "Esc"
            << "Предупреждение" << int(QMessageBox::Warning) << QStringList{"OK", "Отмена"} << "OK"
            << Button::Cancel;
        QTest::newRow("closed without a button")
            << MsgKind::Confirmation << yesNo << Button::Yes << ""
            << "Подтверждение" << int(QMessageBox::Question) << QStringList{"Да", "Нет"} << "Да"
            << Button::None;
    }
    void messageDlg()
    {
        QFETCH(MsgKind, kind);
        QFETCH(int, buttons);
        QFETCH(Button, defaultButton);
        QFETCH(QString, press);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(QStringList, texts);
        QFETCH(QString, shownDefault);
        QFETCH(Button, answer);
        // Text that looks like markup is shown as written.
        const QString text = QStringLiteral("Удалить <b>раздел</b> & всё в нём?");
        BoxAnswer hook(press);
        QCOMPARE(services::dialogs().MessageDlg(text, kind, buttons, defaultButton), answer);
        QCOMPARE(hook.seen.title, title);
        QCOMPARE(hook.seen.text, text);
        QCOMPARE(hook.seen.format, Qt::PlainText);
        QCOMPARE(int(hook.seen.icon), icon);
        QCOMPARE(hook.seen.buttons, texts);
        QCOMPARE(hook.seen.defaultButton, shownDefault);
        QVERIFY(hook.seen.modal);
    }

    void plainMessageBox()
    {
        BoxAnswer hook(QStringLiteral("Отмена"));
        const Button answer = services::dialogs().MessageBox(
            QStringLiteral("unable to open database file"),
            QStringLiteral("Database communication error"), int(Button::Ok) | int(Button::Cancel));
        QCOMPARE(answer, Button::Cancel);
        QCOMPARE(hook.seen.title, QStringLiteral("Database communication error"));
        QCOMPARE(hook.seen.icon, QMessageBox::NoIcon);
        QCOMPARE(hook.seen.buttons, QStringList({"OK", "Отмена"}));
        QCOMPARE(hook.seen.defaultButton, QStringLiteral("OK"));
    }

    void nameFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("two") << "Текстовые файлы (*.txt)|*.TXT|Все файлы (*.*)|*.*"
                             << QStringList{"Текстовые файлы (*.txt) (*.txt *.TXT)",
                                            "Все файлы (*.*) (*.*)"};
        QTest::newRow("several patterns")
            << "Тексты|*.TXT;*.Doc" << QStringList{"Тексты (*.txt *.TXT *.doc *.DOC *.Doc)"};
        QTest::newRow("description without pattern") << "Все|" << QStringList{"Все (*)"};
        QTest::newRow("odd count")
            << "Тексты|*.txt|Прочее" << QStringList{"Тексты (*.txt *.TXT)", "Прочее (*)"};
    }
    void nameFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(services::QtSaveFileDialog::NameFilters(filter), expected);
    }

    // The dialog as the program sets it up: the options all arrive, the
    // filter chosen by its 1-based index, no overwrite question, and the
    // answer is an absolute path with the default extension added.
    void saveDialog_data()
    {
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("expectedName"); // "" = cancelled
        QTest::addColumn<QString>("shownFilter");  // as the user sees it
        QTest::newRow("default name") << 1 << QString() << true << "aforizm.txt"
                                      << "Текстовые файлы (*.txt)";
        QTest::newRow("typed without extension")
            << 1 << QStringLiteral("мои афоризмы") << true << "мои афоризмы.txt"
            << "Текстовые файлы (*.txt)";
        QTest::newRow("existing file, no question")
            << 2 << QStringLiteral("есть.TXT") << true << "есть.TXT"
            << "Все файлы (*.*)";
        QTest::newRow("index out of range") << 9 << QString() << true << "aforizm.txt"
                                            << "Все файлы (*.*)";
        QTest::newRow("cancelled") << 1 << QString() << false << ""
                                   << "Текстовые файлы (*.txt)";
    }
    void saveDialog()
    {
        QFETCH(int, filterIndex);
        QFETCH(QString, typed);
        QFETCH(bool, accept);
        QFETCH(QString, expectedName);
        QFETCH(QString, shownFilter);
        QTemporaryDir tmp;
        const QString folder = tmp.filePath(QStringLiteral("Мои документы"));
        QVERIFY(QDir().mkpath(folder));
        QFile existing(QDir(folder).filePath(QStringLiteral("есть.TXT")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();

        services::SaveDialogOptions options;
        options.title = QStringLiteral("Сохранить афоризмы");
        options.fileName = QStringLiteral("aforizm.txt");
        options.initialDir = folder;
        options.filter = QStringLiteral("Текстовые файлы (*.txt)|*.TXT|Все файлы (*.*)|*.*");
        options.filterIndex = filterIndex;
        options.defaultExt = QStringLiteral("txt");

        QString title, selectedFilter, directory;
        bool confirmsOverwrite = true;
        services::QtDialogHooks::setBeforeExec([&](QWidget& widget) {
            auto& dialog = static_cast<QFileDialog&>(widget);
            title = dialog.windowTitle();
            selectedFilter = dialog.selectedNameFilter();
            directory = dialog.directory().absolutePath();
            confirmsOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
            QCOMPARE(dialog.defaultSuffix(), QStringLiteral("txt"));
            QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
            QMetaObject::invokeMethod(
                &dialog,
                [&dialog, typed, accept] {
                    if (!typed.isEmpty()) {
                        dialog.selectFile(typed);
                    }
                    QDialog& box = dialog; // accept() is public there
                    accept ? box.accept() : box.reject();
                },
                Qt::QueuedConnection);
        });
        const QString chosen = services::saveFileDialog().Execute(options);
        services::QtDialogHooks::setBeforeExec({});

        QCOMPARE(title, options.title);
        QCOMPARE(directory, QDir(folder).absolutePath());
        QCOMPARE(selectedFilter, shownFilter);

        QVERIFY(!confirmsOverwrite);
        QCOMPARE(chosen, expectedName.isEmpty() ? QString() : QDir(folder).filePath(expectedName));
    }

    void clipboardRoundTrip()
    {
        const QString text = QStringLiteral("Познай самого себя.\nСократ");
        services::clipboard().SetText(text);
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QCOMPARE(services::clipboard().Text(), text);
    }

    // The opener hands the desktop a file URL, blanks and Cyrillic intact.
    void fileOpenerPassesFileUrl()
    {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        const QString path = QStringLiteral("/tmp/Мои документы/афоризмы 1.txt");
        const bool opened = services::fileOpener().Open(path);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(opened);
        QCOMPARE(recorder.urls.size(), 1);
        QCOMPARE(recorder.urls.first().toLocalFile(), path);
    }

    // Fakes replace a service for a scope and the one before comes back;
    // nullptr means the Qt implementation.
    void scopedServiceRestoresPrevious()
    {
        services::Dialogs* qt = &services::dialogs();
        services::ScriptedDialogs outer, inner;
        {
            services::ScopedService a(&outer);
            QCOMPARE(&services::dialogs(), &outer);
            {
                services::ScopedService b(&inner);
                QCOMPARE(&services::dialogs(), &inner);
            }
            QCOMPARE(&services::dialogs(), &outer);
        }
        QCOMPARE(&services::dialogs(), qt);
        services::setDialogs(&outer);
        services::setDialogs(nullptr);
        QCOMPARE(&services::dialogs(), qt);
    }

    void scriptedDialogsAnswers()
    {
        services::ScriptedDialogs dialogs;
        dialogs.queue(Button::Yes);
        dialogs.queue(Button::Yes); // not offered by the second box
        const int yesNo = int(Button::Yes) | int(Button::No);
        QCOMPARE(dialogs.MessageDlg("a", MsgKind::Confirmation, yesNo, Button::No), Button::Yes);
        QCOMPARE(dialogs.MessageDlg("b", MsgKind::Warning, int(Button::Ok), Button::Ok),
                 Button::None);
        QCOMPARE(dialogs.MessageBox("c", "Caption", int(Button::Ok)), Button::None); // none queued
        QCOMPARE(dialogs.asked().size(), 3);
        QCOMPARE(dialogs.asked()[0].defaultButton, Button::No);
        QCOMPARE(dialogs.asked()[2].caption, QStringLiteral("Caption"));
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
