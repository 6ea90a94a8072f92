// What the windows need of the desktop: message boxes, the save-file dialog,
// the clipboard, opening a file with the user's default application. Each is a
// small interface with a Qt implementation; tests install their own answers
// through the seams below instead of driving real modal windows.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

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
    QString fileName; // shown at first
    QString initialDir;
    QString filter;      // "Description|*.PAT|Description|*.PAT..."
    int filterIndex = 1; // 1-based, as the filter lists them
    QString defaultExt;  // added to a name typed without extension
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
// Setting nullptr puts the Qt implementation back.
Dialogs& dialogs();
SaveFileDialog& saveFileDialog();
Clipboard& clipboard();
FileOpener& fileOpener();

Dialogs* setDialogs(Dialogs* replacement); // returns the previous one
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
        Button defaultButton = Button::None; // MessageDlg only
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
    // The next queued answer if it is one of `buttons` (or None); a box with
    // no answer queued, or one whose answer it does not offer, is "closed".
    Button next(Buttons buttons);
    QList<Button> answers_;
    QList<Asked> asked_;
};

// Scripted save-file dialog: answers from a queue (an empty queue answers
// "cancelled") and keeps the options of every call.
class ScriptedSaveFileDialog : public SaveFileDialog
{
public:
    void queue(const QString& path) { answers_.append(path); }
    const QList<SaveDialogOptions>& shown() const { return shown_; }
    QString Execute(const SaveDialogOptions& options) override;

private:
    QList<QString> answers_;
    QList<SaveDialogOptions> shown_;
};

// A clipboard that lives in memory only.
class MemoryClipboard : public Clipboard
{
public:
    void SetText(const QString& text) override { text_ = text; }
    QString Text() const override { return text_; }

private:
    QString text_;
};

// Records the files it was asked to open and answers with `result`.
class RecordingFileOpener : public FileOpener
{
public:
    bool result = true;
    const QStringList& opened() const { return opened_; }
    bool Open(const QString& path) override
    {
        opened_.append(path);
        return result;
    }

private:
    QStringList opened_;
};

// Installs a replacement for one service for the life of the guard and puts
// the previous instance back afterwards:
//     services::ScriptedDialogs dialogs;
//     services::ScopedService guard(&dialogs);
inline Dialogs* installService(Dialogs* s)
{
    return setDialogs(s);
}
inline SaveFileDialog* installService(SaveFileDialog* s)
{
    return setSaveFileDialog(s);
}
inline Clipboard* installService(Clipboard* s)
{
    return setClipboard(s);
}
inline FileOpener* installService(FileOpener* s)
{
    return setFileOpener(s);
}

template <class Fake> class ScopedService
{
public:
    explicit ScopedService(Fake* replacement) : previous_(installService(replacement)) {}
    ~ScopedService() { installService(previous_); }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;

private:
    decltype(installService(std::declval<Fake*>())) previous_;
};

// For tests of the Qt implementations themselves: called with the real
// dialog after it is set up and before it runs modally, so a test can queue
// its answer (e.g. a queued click) without searching for windows. Pass an
// empty function to remove it.
class QtDialogHooks
{
public:
    using Hook = std::function<void(QWidget& dialog)>;
    static void setBeforeExec(Hook hook);
    static void beforeExec(QWidget& dialog);
};

} // namespace services
