// What the windows need of the desktop: message boxes, the save-file dialog,
// the clipboard, opening a file with the user's default application. Each is a
// small interface with a Qt implementation; tests install their own answers
// through the seams below instead of driving real modal windows.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace services {

enum class MsgKind { Warning, Information, Error, Confirmation };

enum class Button { None = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8 };
using Buttons = int; // a set of Button values or-ed together

// Modal message boxes.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // A message dialog of the given kind; returns the button pressed, or
    // Button::None when the box was closed otherwise.
    virtual Button MessageDlg(const QString& text, MsgKind kind, Buttons buttons,
                              Button defaultButton) = 0;
    // A plain box with a caption, no icon.
    virtual Button MessageBox(const QString& text, const QString& caption, Buttons buttons) = 0;
};

// What the save-file dialog is set up with, and what it answered.
struct SaveDialogOptions
{
    QString title;
    QString fileName;      // shown at first
    QString initialDir;
    QString filter;        // "Description|*.PAT|Description|*.PAT..."
    int filterIndex = 1;   // 1-based, as the filter lists them
    QString defaultExt;    // added to a name typed without extension
};

class SaveFileDialog
{
public:
    virtual ~SaveFileDialog() = default;
    // The full path chosen, or an empty string when cancelled.
    virtual QString Execute(const SaveDialogOptions& options) = 0;
};

class Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual void SetText(const QString& text) = 0;
    virtual QString Text() const = 0;
};

class FileOpener
{
public:
    virtual ~FileOpener() = default;
    // Opens the file with the user's default application; false on failure.
    virtual bool Open(const QString& path) = 0;
};

// The instances in use. The program gets the Qt implementations; a test
// installs its own with the setters and restores the old one afterwards.
Dialogs& dialogs();
SaveFileDialog& saveFileDialog();
Clipboard& clipboard();
FileOpener& fileOpener();

Dialogs* setDialogs(Dialogs* replacement);             // returns the previous one
SaveFileDialog* setSaveFileDialog(SaveFileDialog* replacement);
Clipboard* setClipboard(Clipboard* replacement);
FileOpener* setFileOpener(FileOpener* replacement);

// Scripted answers for tests: each call takes the next queued answer and
// records what was asked, so a test can check texts and buttons.
class ScriptedDialogs : public Dialogs
{
public:
    struct Asked
    {
        QString text;
        QString caption; // MessageBox only
        MsgKind kind = MsgKind::Information;
        Buttons buttons = 0;
    };
    void queue(Button answer) { answers_.append(answer); }
    const QList<Asked>& asked() const { return asked_; }
    void clear()
    {
        answers_.clear();
        asked_.clear();
    }

    Button MessageDlg(const QString& text, MsgKind kind, Buttons buttons,
                      Button defaultButton) override;
    Button MessageBox(const QString& text, const QString& caption, Buttons buttons) override;

private:
    Button next(Buttons buttons);
    QList<Button> answers_;
    QList<Asked> asked_;
};

} // namespace services
