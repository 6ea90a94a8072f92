// Times what the user waits for in the main window on a real-sized MAIN.DB,
// with the window shown and painted (offscreen platform):
//   create  - the main window created: connection, four lists opened
//   node    - one row down in the section list, three lists re-read and the
//             window repainted
//   page    - one Page Down in the largest node's aphorism list, repainted,
//             all the way to its last row
// and how many rows the aphorism list held when its current row was at a
// given place (rows are fetched as the list is scrolled, not all at once).
//
//   bench_mainwindow MAIN.DB
// prints one "name value unit" line per figure.
#include "Application.h"
#include "controls/DbGrid.h"
#include "fCommon.h"
#include "fData/fData.h"
#include "services/Services.h"
#include "velmarisk/velmarisk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Stats
{
    double median = 0, p95 = 0, max = 0;
};

Stats stats(std::vector<double> v)
{
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[v.size() * 95 / 100], v.back()};
}

// Delivers a key to a widget and lets the window repaint, as a key press
// from the user would.
void pressKey(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
    QApplication::processEvents();
}

// The level-3 node with the most aphorisms and the keys of its ancestors.
struct Node
{
    qint32 nmb1 = 0, nmb2 = 0, nmb3 = 0, count = 0;
};

Node largestNode(data::QueryDataset* lookup)
{
    Node n;
    lookup->Open(QStringLiteral(
        "SELECT TB0.NMB1, TB1.NMB2, TB4.NMB3, count(*) AS N FROM TB4 JOIN TB2 ON "
        "TB2.NMB3 = TB4.NMB3 JOIN TB1 ON TB1.NMB2 = TB2.NMB2 JOIN TB0 ON TB0.NMB1 = TB1.NMB1 "
        "GROUP BY TB4.NMB3 ORDER BY N DESC LIMIT 1"));
    n.nmb1 = lookup->FieldByName(QStringLiteral("NMB1")).AsInteger();
    n.nmb2 = lookup->FieldByName(QStringLiteral("NMB2")).AsInteger();
    n.nmb3 = lookup->FieldByName(QStringLiteral("NMB3")).AsInteger();
    n.count = lookup->FieldByName(QStringLiteral("N")).AsInteger();
    lookup->Close();
    return n;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_mainwindow MAIN.DB\n");
        return 2;
    }
    TApplication app(argc, argv);
    InstallApplicationServices();

    // The window looks for MAIN.DB beside the executable: put a copy of this
    // program (it carries the version) beside a link to the collection.
    QTemporaryDir dir;
    const QString exe = dir.path() + QStringLiteral("/aforizm");
    if (!QFile::copy(QCoreApplication::applicationFilePath(), exe) ||
        !QFile::link(QDir().absoluteFilePath(QString::fromLocal8Bit(argv[1])),
                     dir.path() + QStringLiteral("/MAIN.DB"))) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(dir.path()));
        return 1;
    }
    SetExecutablePathForTesting(exe);
    services::ScriptedDialogs dialogs; // nothing may wait for an answer here
    services::ScopedService<services::Dialogs> dialogsGuard(&dialogs);

    DataModule1 = new data::TDataModule1;
    QElapsedTimer t;
    t.start();
    fmMain = new TfmMain;
    fmMain->show();
    QApplication::processEvents();
    std::printf("create_and_show %.1f ms\n", double(t.nsecsElapsed()) / 1e6);
    if (!dialogs.asked().isEmpty()) {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(dialogs.asked().first().text));
        return 1;
    }

    // Moving between nodes: the section list one row at a time.
    std::vector<double> moves;
    QWidget* sections = fmMain->DBGridEh1->view();
    for (int i = 0; i < 60; ++i) {
        t.restart();
        pressKey(sections, Qt::Key_Down);
        moves.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const Stats m = stats(moves);
    std::printf("section_down median %.2f ms, p95 %.2f ms, max %.2f ms (%zu moves)\n", m.median,
                m.p95, m.max, moves.size());

    // Scrolling the largest node page by page to its end.
    const Node node = largestNode(DataModule1->FDQuery6);
    DataModule1->FDQuery1->Locate(QStringLiteral("NMB1"), node.nmb1);
    DataModule1->FDQuery2->Locate(QStringLiteral("NMB2"), node.nmb2);
    DataModule1->FDQuery3->Locate(QStringLiteral("NMB3"), node.nmb3);
    QApplication::processEvents();
    data::QueryDataset* aforizms = DataModule1->FDQuery4;
    std::printf("node_rows %d, held after opening %d\n", node.count, aforizms->RecordCount());

    QWidget* list = fmMain->DBGridEh4->view();
    list->setFocus();
    std::vector<double> pages;
    int heldAtQuarter = -1;
    while (aforizms->RecNo() < node.count - 1 && pages.size() < 100000) {
        t.restart();
        pressKey(list, Qt::Key_PageDown);
        pages.push_back(double(t.nsecsElapsed()) / 1e6);
        if (qEnvironmentVariableIsSet("BENCH_TRACE") && pages.size() < 8)
            std::printf("  page %zu: row %d, held %d\n", pages.size(), aforizms->RecNo(),
                        aforizms->RecordCount());
        if (heldAtQuarter < 0 && aforizms->RecNo() >= node.count / 4)
            heldAtQuarter = aforizms->RecordCount();
    }
    const Stats p = stats(pages);
    std::printf("page_down median %.2f ms, p95 %.2f ms, max %.2f ms (%zu pages to row %d)\n",
                p.median, p.p95, p.max, pages.size(), aforizms->RecNo() + 1);
    std::printf("rows_held_at_quarter %d of %d\n", heldAtQuarter, node.count);

    delete fmMain;
    fmMain = nullptr;
    delete DataModule1;
    DataModule1 = nullptr;
    return 0;
}
