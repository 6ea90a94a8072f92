#include "velmarisk.h"

#include "AnsiTextFile.h"
#include "Application.h"
#include "controls/DbEdit.h"
#include "controls/DbGrid.h"
#include "controls/ToolBar.h"
#include "editdb/editdb.h"
#include "fCommon.h"
#include "fData/fData.h"
#include "fEdit/fEdit.h"
#include "Seek/Seek.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QTableView>
#include <QToolButton>

#include <cerrno>

TfmMain* fmMain = nullptr;

namespace {

const QString kDesignedTitle = QStringLiteral("Афоризмы");
const QString kDatabaseName = QStringLiteral("MAIN.DB");

const QString kSortDateAsc =
    QStringLiteral("SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY NMB4 ASC");
const QString kSortDateDesc =
    QStringLiteral("SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY NMB4 DESC");
const QString kSortAuthorAsc =
    QStringLiteral("SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY AUTHOR ASC");
const QString kSortAuthorDesc =
    QStringLiteral("SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3 ORDER BY AUTHOR DESC");

const QColor kPanelColour(0x2F, 0x4F, 0x4F);
const QColor kCream(0xFF, 0xFB, 0xF0);

QFont tahoma(int pixels, bool italic = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setItalic(italic);
    return font;
}

// Runs a handler for an event; a failure goes to the default exception
// handler and the program goes on.
template <typename Handler> void runHandler(Handler handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowUnknownException();
    }
}

// The folder of a file path, as given: no resolving of links or dots, so a
// folder with blanks or Cyrillic letters appears in messages as it is.
QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// MAIN.DB, or on a file system that tells letter case apart, a file whose
// name differs from it only in case (main.db). Empty when there is none.
QString findDatabase(const QString& folder)
{
    const QString exact = folder + QLatin1Char('/') + kDatabaseName;
    if (QFileInfo::exists(exact))
        return exact;
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort(Qt::CaseSensitive);
    for (const QString& name : std::as_const(names)) {
        if (name.compare(kDatabaseName, Qt::CaseInsensitive) == 0)
            return folder + QLatin1Char('/') + name;
    }
    return QString();
}

void showModeless(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

bool hasPendingChange(const data::QueryDataset* dataset)
{
    return dataset->State() == data::DatasetState::Edit ||
           dataset->State() == data::DatasetState::Insert;
}

// A text's own line breaks become CR LF, so that every line of the file ends
// alike; CR LF pairs already there stay as they are.
QString withCrLf(const QString& text)
{
    if (!text.contains(QLatin1Char('\n')))
        return text;
    QString result;
    result.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r')))
            result.append(QLatin1Char('\r'));
        result.append(c);
    }
    return result;
}

} // namespace

TfmMain::TfmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(kDesignedTitle);
    setFont(tahoma(10));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
    resize(728, 612);
    CentreOnScreen(this);

    buildToolBar();
    buildLists();
    buildDetailPanel();
    setTabOrder(DBGridEh1, DBGridEh2);
    setTabOrder(DBGridEh2, DBGridEh3);
    setTabOrder(DBGridEh3, DBGridEh4);
    setTabOrder(DBGridEh4, DBMemo1);
    setTabOrder(DBMemo1, DBEdit1);
    setTabOrder(DBEdit1, DBEdit2);
    connectHandlers();

    runHandler([this] { FormCreate(); });
}

TfmMain::~TfmMain() = default;

void TfmMain::buildToolBar()
{
    controls::ToolBarBuilder bar(this);
    ToolBar1 = bar.toolBar();
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, 728, 29);

    auto button = [&bar](const char* name, int image, const QString& hint) {
        QToolButton* b = bar.addButton(image, hint);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    auto separator = [&bar](const char* name) {
        QWidget* s = bar.addSeparator();
        s->setObjectName(QLatin1String(name));
        return s;
    };
    tbtnSeek = button("tbtnSeek", 22, QStringLiteral("Поиск"));
    tbtnCopyToBuffer = button("tbtnCopyToBuffer", 26, QStringLiteral("Копировать в буфер "));
    tbtnPrint = button("tbtnPrint", 16, QStringLiteral("Сохранить афоризмы в файле"));
    ToolButton2 = separator("ToolButton2");
    tbtnSortDateAsc = button("tbtnSortDateAsc", 27, QStringLiteral("Сортировка по дате"));
    tbtnSortDateDesc = button("tbtnSortDateDesc", 28, QStringLiteral("Сортировка по дате"));
    tbtnSortAuthorAsc =
        button("tbtnSortAuthorAsc", 12, QStringLiteral("Сортировка по автору по возрастанию"));
    tbtnSortAuthorDesc =
        button("tbtnSortAuthorDesc", 13, QStringLiteral("Сортировка по автору по убыванию"));
    ToolButton5 = separator("ToolButton5");
    tbtnEditAf = button("tbtnEditAf", 2, QStringLiteral("Правка афоризма"));
    tbtAddAforizm = button("tbtAddAforizm", 4, QStringLiteral("Добавить афоризм"));
    tbtDelAforizm = button("tbtDelAforizm", 5, QStringLiteral("Удалить афоризм"));
    ToolButton3 = separator("ToolButton3");
    tbtnEditCat = button("tbtnEditCat", 14, QStringLiteral("Правка каталога"));
    ToolButton6 = separator("ToolButton6");
    tbtbnAbout = button("tbtbnAbout", 15, QStringLiteral("О программе"));
    ToolButton1 = separator("ToolButton1");
    tbtnClose = button("tbtnClose", 6, QStringLiteral("Выход"));
}

void TfmMain::buildLists()
{
    auto catalogueList = [this](const char* name, data::DataSource* source, int left,
                                const QString& field, const QString& title, int width) {
        auto* grid = new controls::DbGrid(this);
        grid->setObjectName(QLatin1String(name));
        grid->setGeometry(left, 36, 232, 127);
        grid->setDataSource(source);
        grid->setColumns({{field, title, width}});
        grid->setTitleFont(tahoma(11));
        grid->setCellFont(tahoma(13));
        grid->setReadOnly(true);
        grid->setSearchBarVisible(false);
        grid->setRecordBarVisible(false);
        grid->setScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff);
        grid->setColumnLinesBelowRows(true);
        return grid;
    };
    DBGridEh1 = catalogueList("DBGridEh1", DataModule1->DataSource1, 7, QStringLiteral("GROUP1"),
                              QStringLiteral("Раздел"), 228);
    DBGridEh1->setRowHeight(DBGridEh1->lineHeight() + 4);
    DBGridEh2 = catalogueList("DBGridEh2", DataModule1->DataSource2, 247, QStringLiteral("GROUP2"),
                              QStringLiteral("Подраздел 1"), 227);
    DBGridEh3 = catalogueList("DBGridEh3", DataModule1->DataSource3, 488, QStringLiteral("GROUP3"),
                              QStringLiteral("Подраздел 2"), 227);

    DBGridEh4 = new controls::DbGrid(this);
    DBGridEh4->setObjectName(QStringLiteral("DBGridEh4"));
    DBGridEh4->setGeometry(7, 172, 713, 256);
    DBGridEh4->setDataSource(DataModule1->DataSource4);
    DBGridEh4->setColumns({{QStringLiteral("AUTHOR"), QStringLiteral("Автор"), 112},
                           {QStringLiteral("AFORIZM"), QStringLiteral("Афоризм"), 578}});
    DBGridEh4->setTitleFont(tahoma(11));
    DBGridEh4->setCellFont(tahoma(13));
    DBGridEh4->setReadOnly(true);
    DBGridEh4->setRowSelect(true);
    DBGridEh4->setScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOn);
    DBGridEh4->setSearchBarVisible(true);
    DBGridEh4->setRecordBarVisible(true);
    DBGridEh4->setRowSizing(true);
    DBGridEh4->setRowHeight(DBGridEh4->lineHeight() + 4); // snapped to one text line
}

void TfmMain::buildDetailPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(7, 436, 713, 164);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    QPalette panelPal = Panel1->palette();
    panelPal.setColor(QPalette::Window, kPanelColour);
    Panel1->setPalette(panelPal);
    Panel1->setAutoFillBackground(true);

    auto cream = [](QWidget* w) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, kCream);
        w->setPalette(pal);
    };

    DBMemo1 = new controls::DbMemo(Panel1);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setGeometry(14, 13, 684, 102);
    DBMemo1->setDataSource(DataModule1->DataSource4);
    DBMemo1->setDataField(QStringLiteral("AFORIZM"));
    DBMemo1->setReadOnly(true);
    DBMemo1->setScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff);
    DBMemo1->setFont(tahoma(15));
    cream(DBMemo1);

    DBEdit1 = new controls::DbEdit(Panel1);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit1->setGeometry(14, 127, 174, 22);
    DBEdit1->setDataSource(DataModule1->DataSource4);
    DBEdit1->setDataField(QStringLiteral("AUTHOR"));
    DBEdit1->setReadOnly(true);
    DBEdit1->setFont(tahoma(12, true));
    cream(DBEdit1);

    DBEdit2 = new controls::DbEdit(Panel1);
    DBEdit2->setObjectName(QStringLiteral("DBEdit2"));
    DBEdit2->setGeometry(199, 127, 499, 22);
    DBEdit2->setDataSource(DataModule1->DataSource4);
    DBEdit2->setDataField(QStringLiteral("SOURCE"));
    DBEdit2->setReadOnly(true);
    DBEdit2->setFont(tahoma(12, true));
    cream(DBEdit2);
}

void TfmMain::connectHandlers()
{
    const std::pair<QToolButton*, void (TfmMain::*)()> clicks[] = {
        {tbtnSeek, &TfmMain::tbtnSeekClick},
        {tbtnCopyToBuffer, &TfmMain::tbtnCopyToBufferClick},
        {tbtnPrint, &TfmMain::tbtnPrintClick},
        {tbtnSortDateAsc, &TfmMain::tbtnSortDateAscClick},
        {tbtnSortDateDesc, &TfmMain::tbtnSortDateDescClick},
        {tbtnSortAuthorAsc, &TfmMain::tbtnSortAuthorAscClick},
        {tbtnSortAuthorDesc, &TfmMain::tbtnSortAuthorDescClick},
        {tbtnEditAf, &TfmMain::tbtnEditAfClick},
        {tbtAddAforizm, &TfmMain::tbtAddAforizmClick},
        {tbtDelAforizm, &TfmMain::tbtDelAforizmClick},
        {tbtnEditCat, &TfmMain::tbtnEditCatClick},
        {tbtbnAbout, &TfmMain::tbtbnAboutClick},
        {tbtnClose, &TfmMain::tbtnCloseClick},
    };
    for (const auto& [button, handler] : clicks) {
        connect(button, &QToolButton::clicked, this,
                [this, handler = handler] { runHandler([this, handler] { (this->*handler)(); }); });
    }
    connect(DBGridEh4, &controls::DbGrid::doubleClicked, this,
            [this] { runHandler([this] { DBGridEh4DblClick(); }); });
}

void TfmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Only the toolbar follows the window's width.
    ToolBar1->setGeometry(0, 0, width(), 29);
}

// --- start-up -------------------------------------------------------------

void TfmMain::FormCreate()
{
    const QString exePath = ExecutablePath();
    int major = 0, minor = 0, release = 0, build = 0;
    ReadFileVersion(exePath, major, minor, release, build);
    setWindowTitle(windowTitle() + QLatin1Char(' ') + VersionText(major, minor, release, build));

    const QString folder = folderOf(exePath);
    QString dbPath = findDatabase(folder);
    if (dbPath.isEmpty()) {
        services::dialogs().MessageDlg(QStringLiteral("Ошибка связи с базой данных ") + folder +
                                           QLatin1Char('/') + kDatabaseName,
                                       services::MsgKind::Warning, int(services::Button::Ok),
                                       services::Button::Ok);
        return;
    }

    data::Connection* connection = DataModule1->FDConnection1;
    try {
        connection->Close();
        connection->SetDatabase(dbPath);
        // SQLite is linked into the program: no library folder to set.
        connection->SetDriverName(QStringLiteral("SQLite"));
        connection->Open();
    } catch (const std::exception& error) {
        services::dialogs().MessageBox(QString::fromUtf8(error.what()),
                                       QStringLiteral("Database communication error"),
                                       int(services::Button::Ok) | int(services::Button::Cancel));
    }

    DataModule1->FDQuery1->Open();
    DataModule1->FDQuery2->Open();
    DataModule1->FDQuery3->Open();
    DataModule1->FDQuery4->Open();
}

// --- commands -------------------------------------------------------------

void TfmMain::tbtnSeekClick()
{
    fmSeek->ShowModal();
}

void TfmMain::tbtnCopyToBufferClick()
{
    // Taken from the controls, as the user sees them.
    services::clipboard().SetText(DBMemo1->text() + QStringLiteral("  ") + DBEdit1->text());
}

void TfmMain::tbtnPrintClick()
{
    SaveToFile(0);
}

void TfmMain::sortAforizms(const QString& sql)
{
    data::QueryDataset* aforizms = DataModule1->FDQuery4;
    // Closing drops a pending change; end it as a move would, so that a sort
    // never loses what the user typed. A failed post stops the sort here.
    if (aforizms->Active() && hasPendingChange(aforizms))
        aforizms->EndPendingChange();
    aforizms->Close();
    aforizms->SetSQL(sql);
    aforizms->Open();
}

void TfmMain::tbtnSortDateAscClick()
{
    sortAforizms(kSortDateAsc);
}

void TfmMain::tbtnSortDateDescClick()
{
    sortAforizms(kSortDateDesc);
}

void TfmMain::tbtnSortAuthorAscClick()
{
    sortAforizms(kSortAuthorAsc);
}

void TfmMain::tbtnSortAuthorDescClick()
{
    sortAforizms(kSortAuthorDesc);
}

void TfmMain::tbtnEditAfClick()
{
    showModeless(fmEditAforizm);
}

void TfmMain::DBGridEh4DblClick()
{
    tbtnEditAfClick();
}

void TfmMain::tbtAddAforizmClick()
{
    // A new aphorism is filed under the current level-3 node; without one it
    // would belong nowhere, so nothing is started and the pending change of
    // the current aphorism stays as it is.
    const data::QueryDataset* nodes = DataModule1->FDQuery3;
    if (!nodes->Active() || nodes->RecordCount() == 0) {
        services::dialogs().MessageDlg(
            QStringLiteral("Афоризм добавляется в выбранный подраздел 2, а в этом подразделе 1 "
                           "нет ни одного подраздела 2. Выберите другой подраздел или создайте "
                           "подраздел 2 в окне правки каталога."),
            services::MsgKind::Warning, int(services::Button::Ok), services::Button::Ok);
        return;
    }
    DataModule1->FDQuery4->Append();
    showModeless(fmEditAforizm);
}

void TfmMain::tbtDelAforizmClick()
{
    DataModule1->FDQuery4->Delete();
}

void TfmMain::tbtnEditCatClick()
{
    showModeless(fmEditdb);
}

void TfmMain::tbtbnAboutClick()
{
    // The About window is built separately and hooked in here.
}

void TfmMain::tbtnCloseClick()
{
    close();
}

bool TfmMain::postPendingChanges()
{
    // Details before their masters: posting a master row would end a
    // detail's change without asking.
    const data::TDataModule1* dm = DataModule1;
    for (data::QueryDataset* dataset :
         {dm->FDQuery4, dm->FDQuery3, dm->FDQuery2, dm->FDQuery1, dm->FDQuery5}) {
        if (!dataset->Active() || !hasPendingChange(dataset))
            continue;
        try {
            dataset->EndPendingChange();
        } catch (const std::exception& error) {
            ShowException(error);
            const services::Button answer = services::dialogs().MessageDlg(
                QStringLiteral("Изменения не сохранены. Выйти из программы без сохранения?"),
                services::MsgKind::Confirmation,
                int(services::Button::Yes) | int(services::Button::No), services::Button::No);
            if (answer != services::Button::Yes)
                return false;
        }
    }
    return true;
}

void TfmMain::closeEvent(QCloseEvent* event)
{
    if (DataModule1 && !postPendingChanges()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// --- export ---------------------------------------------------------------

void TfmMain::SaveToFile(int ds)
{
    const bool all =
        services::dialogs().MessageDlg(QStringLiteral("Сохранить все афоризмы в подкаталоге?"),
                                       services::MsgKind::Confirmation,
                                       int(services::Button::Yes) | int(services::Button::No),
                                       services::Button::Yes) == services::Button::Yes;

    SaveDialog1 = services::SaveDialogOptions();
    SaveDialog1.fileName = QStringLiteral("aforizm.txt");
    SaveDialog1.initialDir = folderOf(ExecutablePath());
    SaveDialog1.filter = QStringLiteral("Текстовый файл (*.txt)|*.TXT|Файл RTF (*.rft)|*.RTF|"
                                        "Все файлы (*.*)|*.*");
    SaveDialog1.filterIndex = 1;
    SaveDialog1.defaultExt = QStringLiteral("txt");
    SaveDialog1.title = QStringLiteral("Сохранить как...");
    const QString path = services::saveFileDialog().Execute(SaveDialog1);
    if (path.isEmpty())
        return;

    // Text appended to the collection itself would damage it.
    const QString database = DataModule1->FDConnection1->Database();
    if (!database.isEmpty() && QFileInfo(path).exists() &&
        QFileInfo(path).canonicalFilePath() == QFileInfo(database).canonicalFilePath())
        throw EInOutError(EACCES);

    AnsiTextFile file(path);
    file.OpenAppendOrCreate();

    data::QueryDataset* dataset =
        (ds == 0 ? DataModule1->DataSource4 : DataModule1->DataSource5)->DataSet();
    auto writeRecord = [&file, dataset] {
        file.WriteLine(dataset->FieldByName(QStringLiteral("author")).AsString());
        file.WriteLine(withCrLf(dataset->FieldByName(QStringLiteral("aforizm")).AsString()));
        file.WriteLine(QString());
    };
    if (all) {
        if (dataset->RecordCount() > 0) {
            dataset->First();
            while (!dataset->Eof()) {
                writeRecord();
                dataset->Next();
            }
        }
    } else {
        writeRecord();
    }
    file.Close();

    // Opening it is a convenience; the file is written either way.
    services::fileOpener().Open(path);
}
