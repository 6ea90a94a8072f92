#include "services/QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace services {

namespace {

QtDialogs qtDialogs;
QtSaveFileDialog qtSaveFileDialog;
QtClipboard qtClipboard;
QtFileOpener qtFileOpener;

Dialogs* currentDialogs = &qtDialogs;
SaveFileDialog* currentSaveFileDialog = &qtSaveFileDialog;
Clipboard* currentClipboard = &qtClipboard;
FileOpener* currentFileOpener = &qtFileOpener;

QtDialogHooks::Hook& beforeExecHook()
{
    static QtDialogHooks::Hook hook;
    return hook;
}

template <class Service, class Default>
Service* replace(Service*& current, Service* replacement, Default& fallback)
{
    Service* previous = current;
    current = replacement ? replacement : &fallback;
    return previous;
}

struct ButtonMap
{
    Button ours;
    QMessageBox::StandardButton qt;
    const char* text;
};

// In the order the boxes list them.
constexpr ButtonMap kButtons[] = {
    {Button::Yes, QMessageBox::Yes, "Да"},
    {Button::No, QMessageBox::No, "Нет"},
    {Button::Ok, QMessageBox::Ok, "OK"},
    {Button::Cancel, QMessageBox::Cancel, "Отмена"},
};

// The parent a modal box is centred on: the active window, if any.
QWidget* boxParent()
{
    return QApplication::activeWindow();
}

void addButtons(QMessageBox& box, Buttons buttons)
{
    for (const ButtonMap& b : kButtons) {
        if (buttons & int(b.ours)) {
            box.addButton(b.qt)->setText(QString::fromUtf8(b.text));
        }
    }
    if (box.buttons().isEmpty()) { // a box must be closable by a button
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    }
}

} // namespace

// --- the current instances ------------------------------------------------

Dialogs& dialogs()
{
    return *currentDialogs;
}
SaveFileDialog& saveFileDialog()
{
    return *currentSaveFileDialog;
}
Clipboard& clipboard()
{
    return *currentClipboard;
}
FileOpener& fileOpener()
{
    return *currentFileOpener;
}

Dialogs* setDialogs(Dialogs* replacement)
{
    return replace(currentDialogs, replacement, qtDialogs);
}
SaveFileDialog* setSaveFileDialog(SaveFileDialog* replacement)
{
    return replace(currentSaveFileDialog, replacement, qtSaveFileDialog);
}
Clipboard* setClipboard(Clipboard* replacement)
{
    return replace(currentClipboard, replacement, qtClipboard);
}
FileOpener* setFileOpener(FileOpener* replacement)
{
    return replace(currentFileOpener, replacement, qtFileOpener);
}

void QtDialogHooks::setBeforeExec(Hook hook)
{
    beforeExecHook() = std::move(hook);
}

void QtDialogHooks::beforeExec(QWidget& dialog)
{
    if (beforeExecHook()) {
        beforeExecHook()(dialog);
    }
}

// --- message boxes ---------------------------------------------------------

QString QtDialogs::KindTitle(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Warning:
        return QStringLiteral("Предупреждение");
    case MsgKind::Information:
        return QStringLiteral("Информация");
    case MsgKind::Error:
        return QStringLiteral("Ошибка");
    case MsgKind::Confirmation:
        return QStringLiteral("Подтверждение");
    }
    return {};
}

Button QtDialogs::run(QMessageBox& box)
{
    // Plain text: a message is shown as written, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    QtDialogHooks::beforeExec(box);
    box.exec();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (const ButtonMap& b : kButtons) {
        if (b.qt == pressed) {
            return b.ours;
        }
    }
    return Button::None;
}

Button QtDialogs::MessageDlg(const QString& text, MsgKind kind, Buttons buttons,
                             Button defaultButton)
{
    static const QMessageBox::Icon icons[] = {QMessageBox::Warning, QMessageBox::Information,
                                              QMessageBox::Critical, QMessageBox::Question};
    QMessageBox box(icons[int(kind)], KindTitle(kind), text, QMessageBox::NoButton, boxParent());
    addButtons(box, buttons);
    for (const ButtonMap& b : kButtons) {
        if (b.ours == defaultButton && box.button(b.qt)) {
            box.setDefaultButton(b.qt);
        }
    }
    return run(box);
}

Button QtDialogs::MessageBox(const QString& text, const QString& caption, Buttons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton, boxParent());
    addButtons(box, buttons);
    // Like the system's message box, the first button is the default.
    for (const ButtonMap& b : kButtons) {
        if (box.button(b.qt)) {
            box.setDefaultButton(b.qt);
            break;
        }
    }
    return run(box);
}

// --- save-file dialog -------------------------------------------------------

QStringList QtSaveFileDialog::NameFilters(const QString& filter)
{
    QStringList result;
    if (filter.isEmpty()) {
        return result;
    }
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns;
        const QString given = i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*");
        for (const QString& raw : given.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = raw.trimmed();
            if (pattern.isEmpty()) {
                continue;
            }
            for (const QString& spelling : {pattern.toLower(), pattern.toUpper(), pattern}) {
                if (!patterns.contains(spelling)) {
                    patterns.append(spelling);
                }
            }
        }
        if (patterns.isEmpty()) {
            patterns.append(QStringLiteral("*"));
        }
        result.append(QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' '))));
    }
    return result;
}

void QtSaveFileDialog::Configure(QFileDialog& dialog, const SaveDialogOptions& options)
{
    // Qt's own dialog: the platform's may treat the patterns differently.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowTitle(options.title);
    // Files are matched without regard to letter case (no QDir::CaseSensitive).
    dialog.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);

    const QStringList filters = NameFilters(options.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype index =
            qBound(qsizetype(1), qsizetype(options.filterIndex), filters.size()) - 1;
        dialog.selectNameFilter(filters[index]);
    }
    QString suffix = options.defaultExt;
    while (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    if (!options.initialDir.isEmpty()) {
        dialog.setDirectory(options.initialDir);
    }
    // After the filter, which may rewrite the suffix of the name shown.
    if (!options.fileName.isEmpty()) {
        dialog.selectFile(options.fileName);
    }
}

QString QtSaveFileDialog::Execute(const SaveDialogOptions& options)
{
    QFileDialog dialog(boxParent());
    Configure(dialog, options);
    dialog.setWindowModality(Qt::ApplicationModal);
    QtDialogHooks::beforeExec(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return QString();
    }
    return QFileInfo(chosen.first()).absoluteFilePath();
}

// --- clipboard and file opener ---------------------------------------------

void QtClipboard::SetText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QString QtClipboard::Text() const
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

bool QtFileOpener::Open(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// --- scripted fakes -----------------------------------------------------------

Button ScriptedDialogs::next(Buttons buttons)
{
    if (answers_.isEmpty()) {
        return Button::None;
    }
    const Button answer = answers_.takeFirst();
    return (buttons & int(answer)) ? answer : Button::None;
}

Button ScriptedDialogs::MessageDlg(const QString& text, MsgKind kind, Buttons buttons,
                                   Button defaultButton)
{
    asked_.append(Asked{text, QString(), kind, buttons, defaultButton});
    return next(buttons);
}

Button ScriptedDialogs::MessageBox(const QString& text, const QString& caption, Buttons buttons)
{
    asked_.append(Asked{text, caption, MsgKind::Information, buttons, Button::None});
    return next(buttons);
}

QString ScriptedSaveFileDialog::Execute(const SaveDialogOptions& options)
{
    shown_.append(options);
    return answers_.isEmpty() ? QString() : answers_.takeFirst();
}

} // namespace services
