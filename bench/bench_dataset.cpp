// Times what the user waits for in the data layer, on a real-sized MAIN.DB:
//   start-up  - connect and open the four browse datasets
//   move      - one row down (or up) in the section list: three lists re-read
//   open5     - open "SELECT * FROM TB4" up to its first row
//   last5     - Last on it: every row fetched
// and the peak resident memory after browsing and after Last. Last is timed
// in turns with the sqlite3 shell writing the same rows to /dev/null.
//
//   bench_dataset MAIN.DB [repeats]
// prints one "name value unit" line per figure.
#include "fData/fData.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace {

long peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// CPU time (user + system) used so far by this process or its children.
double cpuMs(int who)
{
    rusage u{};
    getrusage(who, &u);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

// Median time of f(); before(), untimed, runs ahead of each call.
template <typename B, typename F> double medianMs(int repeats, B&& before, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < repeats; ++i) {
        before();
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_dataset MAIN.DB [repeats]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int repeats = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    try {
        const auto nothing = [] {};
        const double startup = medianMs(repeats, nothing, [&] {
            data::TDataModule1 dm;
            dm.FDConnection1->SetDatabase(path);
            dm.FDConnection1->Open();
            dm.FDQuery1->Open();
            dm.FDQuery2->Open();
            dm.FDQuery3->Open();
            dm.FDQuery4->Open();
        });
        std::printf("startup_open_browse %.2f ms\n", startup);

        data::TDataModule1 dm;
        dm.FDConnection1->SetDatabase(path);
        dm.FDQuery1->Open();
        dm.FDQuery2->Open();
        dm.FDQuery3->Open();
        dm.FDQuery4->Open();

        // Down the section list and back up again.
        const int sections = dm.FDQuery1->RecordCount();
        int step = 0;
        const double move = medianMs(std::max(repeats, 2 * (sections - 1)), nothing, [&] {
            if ((step++ / (sections - 1)) % 2 == 0)
                dm.FDQuery1->Next();
            else
                dm.FDQuery1->Prior();
        });
        std::printf("move_section_one_row %.2f ms (lists now %d/%d/%d rows)\n", move,
                    dm.FDQuery2->RecordCount(), dm.FDQuery3->RecordCount(),
                    dm.FDQuery4->RecordCount());

        const auto close5 = [&] { dm.FDQuery5->Close(); };
        const double open5 = medianMs(
            repeats, close5, [&] { dm.FDQuery5->Open(QStringLiteral("SELECT * FROM TB4")); });
        std::printf("open_all_to_first_row %.2f ms (%d rows fetched)\n", open5,
                    dm.FDQuery5->RecordCount());
        std::printf("peak_after_browsing %ld kB\n", peakKb());

        // Last beside the sqlite3 shell reading the same rows, taken in turns
        // so that both see the same load on the machine. Wall time and CPU
        // time (user + system) of each.
        std::vector<double> ourWall, ourCpu, shellWall, shellCpu;
        int rows = 0;
        const QByteArray shell = "sqlite3 '" + QFile::encodeName(path) +
                                 "' '.mode list' 'SELECT * FROM TB4' > /dev/null";
        const bool haveShell = std::system("command -v sqlite3 > /dev/null") == 0;
        for (int i = 0; i < repeats; ++i) {
            dm.FDQuery5->Close();
            double cpu = cpuMs(RUSAGE_SELF);
            QElapsedTimer t;
            t.start();
            dm.FDQuery5->Open(QStringLiteral("SELECT * FROM TB4"));
            dm.FDQuery5->Last();
            ourWall.push_back(double(t.nsecsElapsed()) / 1e6);
            ourCpu.push_back(cpuMs(RUSAGE_SELF) - cpu);
            rows = dm.FDQuery5->RecordCount();
            if (i == 0)
                std::printf("peak_after_last %ld kB\n", peakKb());
            if (haveShell) {
                cpu = cpuMs(RUSAGE_CHILDREN);
                t.start();
                if (std::system(shell.constData()) != 0)
                    throw std::runtime_error("the sqlite3 shell failed");
                shellWall.push_back(double(t.nsecsElapsed()) / 1e6);
                shellCpu.push_back(cpuMs(RUSAGE_CHILDREN) - cpu);
            }
        }
        std::printf("open_and_last_all %.0f ms wall, %.0f ms cpu (%d rows)\n", median(ourWall),
                    median(ourCpu), rows);
        if (haveShell) {
            std::printf("sqlite3_shell_select_all %.0f ms wall, %.0f ms cpu\n", median(shellWall),
                        median(shellCpu));
            std::printf("last_vs_shell %.2fx wall, %.2fx cpu\n",
                        median(ourWall) / median(shellWall), median(ourCpu) / median(shellCpu));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_dataset: %s\n", e.what());
        return 1;
    }
    return 0;
}
