// The Qt implementations behind services::dialogs() and friends, declared
// here so that their tests can reach the pieces that turn our options into
// Qt settings.
#pragma once

#include "services/Services.h"

#include <QStringList>

class QFileDialog;
class QMessageBox;

namespace services {

class QtDialogs : public Dialogs
{
public:
    Button MessageDlg(const QString& text, MsgKind kind, Buttons buttons,
                      Button defaultButton) override;
    Button MessageBox(const QString& text, const QString& caption, Buttons buttons) override;

    // The title each kind of message box carries.
    static QString KindTitle(MsgKind kind);

private:
    static Button run(QMessageBox& box);
};

class QtSaveFileDialog : public SaveFileDialog
{
public:
    QString Execute(const SaveDialogOptions& options) override;

    // Sets up a save dialog from the options (title, folder, name, filters,
    // default suffix, no overwrite question).
    static void Configure(QFileDialog& dialog, const SaveDialogOptions& options);
    // "Desc|*.PAT;*.PT2|Desc|*.PAT" as Qt name filters "Desc (*.pat *.PAT ...)".
    // The descriptions already show their pattern, so the dialog hides the
    // part in brackets. Names are matched without regard to letter case; the
    // lower-case spelling comes first because the dialog takes the suffix it
    // puts on a typed name from the first pattern.
    static QStringList NameFilters(const QString& filter);
};

class QtClipboard : public Clipboard
{
public:
    void SetText(const QString& text) override;
    QString Text() const override;
};

class QtFileOpener : public FileOpener
{
public:
    bool Open(const QString& path) override;
};

} // namespace services
