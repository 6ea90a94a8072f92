// The main window: the three catalogue lists, the aphorism list of the
// current level-3 node, the detail panel and the toolbar of all commands.
// Every control is bound to a data source of DataModule1; the window keeps
// no data of its own.
#pragma once

#include "services/Services.h"

#include <QWidget>

class QFrame;
class QToolButton;

namespace controls {
class DbEdit;
class DbGrid;
class DbMemo;
class EdgedToolBar;
} // namespace controls

class TfmMain : public QWidget
{
    Q_OBJECT
public:
    // Builds the window and runs FormCreate; an exception there is shown by
    // the default handler and the window is still created.
    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    controls::EdgedToolBar* ToolBar1;
    QToolButton* tbtnEditCat;
    QToolButton* tbtnClose;
    controls::DbGrid* DBGridEh1; // sections
    controls::DbGrid* DBGridEh2; // subsections 1
    controls::DbGrid* DBGridEh3; // subsections 2
    controls::DbGrid* DBGridEh4; // aphorisms of the current subsection 2
    QWidget* ToolButton2;        // separator
    QToolButton* tbtnSortAuthorAsc;
    QToolButton* tbtnSortAuthorDesc;
    QFrame* Panel1;
    controls::DbMemo* DBMemo1; // AFORIZM
    controls::DbEdit* DBEdit1; // AUTHOR
    controls::DbEdit* DBEdit2; // SOURCE
    QWidget* ToolButton6;      // separator
    QWidget* ToolButton1;      // separator
    QToolButton* tbtbnAbout;
    QToolButton* tbtnPrint;
    services::SaveDialogOptions SaveDialog1; // set up anew by every export
    QToolButton* tbtnSeek;
    QToolButton* tbtnCopyToBuffer;
    QWidget* ToolButton5; // separator
    QToolButton* tbtAddAforizm;
    QToolButton* tbtnEditAf;
    QWidget* ToolButton3; // separator
    QToolButton* tbtDelAforizm;
    QToolButton* tbtnSortDateAsc;
    QToolButton* tbtnSortDateDesc;

    // Writes the aphorisms of the current level-3 node (ds == 0) or the
    // search hits (any other ds), all of them or only the current one, to a
    // Windows-1251 text file the user picks, then opens it. File errors
    // throw EInOutError; what was written before the failure stays.
    void SaveToFile(int ds);

    // Handlers. Each lets a failure escape to its caller; the toolbar and
    // the grid run them through the default exception handler.
    void FormCreate();
    void tbtnSeekClick();
    void tbtnCopyToBufferClick();
    void tbtnPrintClick();
    void tbtnSortDateAscClick();
    void tbtnSortDateDescClick();
    void tbtnSortAuthorAscClick();
    void tbtnSortAuthorDescClick();
    void tbtnEditAfClick();
    void DBGridEh4DblClick();
    void tbtAddAforizmClick();
    void tbtDelAforizmClick();
    void tbtnEditCatClick();
    void tbtbnAboutClick();
    void tbtnCloseClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolBar();
    void buildLists();
    void buildDetailPanel();
    void connectHandlers();
    void sortAforizms(const QString& sql);
    // Posts what is still pending in the browse and search datasets; false
    // when a post failed and the user chose to stay.
    bool postPendingChanges();
};

extern TfmMain* fmMain;
