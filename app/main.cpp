// The program entry: the application object, the data module and the
// long-lived windows, each created once, then the event loop. The command
// line is not read.
#include "Application.h"
#include "editdb/editdb.h"
#include "fData/fData.h"
#include "fEdit/fEdit.h"
#include "fMess.h"
#include "Seek/Seek.h"
#include "velmarisk/velmarisk.h"

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    InstallApplicationServices();

    // The data module first: every window binds to its data sources, and
    // the main window's creation connects to the database.
    DataModule1 = new data::TDataModule1;
    fmMain = new TfmMain;
    fmMessage = new TfmMessage;
    fmSeek = new TfmSeek;
    fmEditdb = new TfmEditdb;
    fmEditAforizm = new TfmEditAforizm;

    // The program ends when the main window closes, even while an editor is
    // still open beside it; closing any other window only hides it.
    for (QWidget* window : {static_cast<QWidget*>(fmMessage), static_cast<QWidget*>(fmSeek),
                            static_cast<QWidget*>(fmEditdb), static_cast<QWidget*>(fmEditAforizm)})
        window->setAttribute(Qt::WA_QuitOnClose, false);

    fmMain->show();
    const int result = app.exec();

    delete fmEditAforizm;
    fmEditAforizm = nullptr;
    delete fmEditdb;
    fmEditdb = nullptr;
    delete fmSeek;
    fmSeek = nullptr;
    delete fmMessage;
    fmMessage = nullptr;
    delete fmMain;
    fmMain = nullptr;
    delete DataModule1;
    DataModule1 = nullptr;
    return result;
}
