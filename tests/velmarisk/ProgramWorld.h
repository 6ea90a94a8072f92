// The program as the main window's tests need it: a folder whose path has
// blanks and Cyrillic letters, holding a fake executable with a version and
// (optionally) MAIN.DB beside it; scripted dialogs, save dialog, clipboard
// and file opener; the data module and the long-lived windows.
#pragma once

#include "editdb/editdb.h"
#include "fCommon.h"
#include "fData/fData.h"
#include "fEdit/fEdit.h"
#include "Fixture.h"
#include "Seek/Seek.h"
#include "services/Services.h"
#include "velmarisk/velmarisk.h"
#include "VersionedFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <stdexcept>

class ProgramWorld
{
public:
    // Makes the folder and the executable; MAIN.DB only with withDatabase.
    explicit ProgramWorld(bool withDatabase = true, quint16 major = 2, quint16 minor = 5,
                          quint16 release = 4, quint16 build = 292)
    {
        if (!tmp_.isValid())
            throw std::runtime_error("cannot make a temporary folder");
        dir_ = tmp_.path() + QStringLiteral("/Мои афоризмы/папка с пробелами");
        if (!QDir().mkpath(dir_))
            throw std::runtime_error("cannot make the program folder");
        if (!makeVersionedFile(exe(), major, minor, release, build))
            throw std::runtime_error("cannot write the fake executable");
        if (withDatabase)
            testsupport::createDatabase(db());
        SetExecutablePathForTesting(exe());
    }
    ~ProgramWorld()
    {
        destroyProgram();
        SetExecutablePathForTesting(QString());
    }
    ProgramWorld(const ProgramWorld&) = delete;
    ProgramWorld& operator=(const ProgramWorld&) = delete;

    QString dir() const { return dir_; }
    QString exe() const { return dir_ + QStringLiteral("/aforizm"); }
    QString db() const { return dir_ + QStringLiteral("/MAIN.DB"); }

    // Start-up as the program entry does it: the data module, then the main
    // window (which runs FormCreate), then the other windows, hidden.
    TfmMain* createProgram()
    {
        DataModule1 = new data::TDataModule1;
        fmMain = new TfmMain;
        fmSeek = new TfmSeek;
        fmEditdb = new TfmEditdb;
        fmEditAforizm = new TfmEditAforizm;
        return fmMain;
    }
    void destroyProgram()
    {
        delete fmEditAforizm;
        fmEditAforizm = nullptr;
        delete fmEditdb;
        fmEditdb = nullptr;
        delete fmSeek;
        fmSeek = nullptr;
        delete fmMain;
        fmMain = nullptr;
        delete DataModule1;
        DataModule1 = nullptr;
    }

    services::ScriptedDialogs dialogs;
    services::ScriptedSaveFileDialog saveDialog;
    services::MemoryClipboard clipboard;
    services::RecordingFileOpener opener;

private:
    QTemporaryDir tmp_;
    QString dir_;
    services::ScopedService<services::Dialogs> dialogsGuard_{&dialogs};
    services::ScopedService<services::SaveFileDialog> saveGuard_{&saveDialog};
    services::ScopedService<services::Clipboard> clipboardGuard_{&clipboard};
    services::ScopedService<services::FileOpener> openerGuard_{&opener};
};
