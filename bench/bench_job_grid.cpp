// The job listing at size, in the window (offscreen): a 100,000-job table shown in the
// main window, sorted by title and by relevancy (header clicks and the Sort menu), and
// the remote window opened on it. Every time is printed beside the time the same run
// takes to load the table alone; the peak memory beside that of `tessaly show` on the
// same table.
//
// Not a Google Benchmark program: each step changes the window's state, so each runs
// once, in order. Exits 1 when a target is missed (show <= 1.5x load, each sort <= 0.5 s,
// peak memory <= 1.5x the command line's).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "data/VelaSearches.h"
#include "data/VelaSources.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "ui/JobGrid.h"
#include "ui/QtMainLoop.h"
#include "ui/VelaMain.h"
#include "ui/VelaRemote.h"

using namespace tessaly;
using namespace tessaly::ui;

namespace {

constexpr int kJobs = 100000;

double Seconds(const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A home with the product file, the sample boards and one search of kJobs jobs: varied
// titles, companies and relevancies, some notes, highlights and colour marks.
void MakeHome(const std::string& home) {
    std::filesystem::copy_file(std::string(TESSALY_DATA) + "/id.box", JoinPath(home, "id.box"));
    auto encoded =
        EncodeSourcesLines(ReadTextLines(std::string(TESSALY_FIXTURES) + "/boards.plain"));
    if (!encoded) throw std::runtime_error("cannot encode the sample definitions");
    WriteFileAtomic(JoinPath(home, "sources.def"), encoded.value());
    ForceDirectories(JoinPath(home, "searches"));
    ForceDirectories(JoinPath(home, "temp"));

    static const char* const kWords[] = {"Senior", "Welding", "Software", "Engineer", "Manager",
                                         "Pipe",   "Nurse",   "Driver",   "Analyst",  "Chef"};
    TVelaSearchesList searches;
    searches.LoadIndex(SearchesIndexPath(home));
    TVelaSearch& s = searches.AddSearch();
    s.Keywords = "engineer";
    s.Region = "Texas";
    s.Category = "Engineering";
    s.Created = "12/08/2026 @ 10:00:00";
    s.TableFile = NewTableFileName(home);
    s.JobCount = kJobs;
    TVelaJobsList table;
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int i = 0; i < kJobs; ++i) {
        TVelaJob& j = table.AddJob();
        const std::string id = IntToStr(i);
        j.Title = std::string(kWords[next() % 10]) + " " + kWords[next() % 10] + " " + id;
        j.Company = std::string(kWords[next() % 10]) + " & Sons Ltd";
        j.Location = "Boston, Massachusetts";
        j.URL = "http://jobs.example.test/view?id=" + id;
        j.Source = "Table Board";
        j.Found = "12/08/2026 @ 08:59:00";
        j.Notes = i % 4 ? "" : "call back " + id;
        j.Relevancy = static_cast<uint8_t>(2 + next() % 5);
        j.Status = static_cast<uint8_t>(next() % 5);
        j.High = i % 3 == 0;
    }
    SaveJobTable(table, s.TableFile, home);
    searches.SaveIndex(SearchesIndexPath(home));
}

// Runs a program and waits for it; its peak resident size in kB, -1 when it failed.
long RunForPeak(const std::function<void()>& child) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        try {
            child();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "bench_job_grid: %s\n", e.what());
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

long PeakOf(const std::string& program, const std::string& home) {
    return RunForPeak([&] {
        std::freopen("/dev/null", "w", stdout);
        execl(program.c_str(), program.c_str(), "--home", home.c_str(), "show", "1",
              static_cast<char*>(nullptr));
        _exit(127);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    char tmpl[] = "/tmp/bench_job_grid_XXXXXX";
    const std::string home = mkdtemp(tmpl);
    // The table is written by a child, so its building does not count in the peak.
    if (RunForPeak([&] { MakeHome(home); }) < 0) return 2;

    const long cliPeak = PeakOf(TESSALY_CLI, home);
    const double cliTime = Seconds([&] { PeakOf(TESSALY_CLI, home); });

    QApplication app(argc, argv);
    TQtMainLoop loop;

    // The table load alone: what any front-end pays before showing a row. Measured before
    // and after the window's steps; the shorter one is the reference, so that a cold first
    // load does not flatter the ratios.
    auto loadAlone = [&home] {
        TVelaSearchesList searches;
        searches.LoadIndex(SearchesIndexPath(home));
        TVelaJobsList list;
        return Seconds([&] { LoadJobTable(list, searches[0].TableFile); });
    };
    double load = loadAlone();

    auto form = std::make_unique<TVelaMainForm>(home);
    form->OnMessage = [](const QString&) {};
    form->OnOpenURL = [](const std::string&, bool) {};
    form->OnYesNo = [](const QString&) { return false; };
    form->OnExecDialog = [](QDialog*) { return int(QDialog::Rejected); };
    form->Engine().SetAutoUpdate(false);
    TResult<void> started = form->ReadProductId();
    if (started) started = form->FirstActivation();
    if (!started) {
        std::fprintf(stderr, "bench_job_grid: start-up failed: %s\n", started.error().c_str());
        return 2;
    }
    form->resize(1000, 700);
    form->show();
    QApplication::processEvents();

    // Selecting the search: the table loads, is sorted and shown, and the window paints.
    const double show = Seconds([&] {
        form->GridTimerTimer();
        QApplication::processEvents();
    });
    const int rows = form->GetJobGrid()->Model().JobRows();
    if (rows != kJobs) {
        std::fprintf(stderr, "bench_job_grid: %d rows shown, %d expected\n", rows, kJobs);
        return 2;
    }
    const double fill = Seconds([&] {
        form->JobListToGrid(true);
        QApplication::processEvents();
    });

    auto click = [&](TJobColumn column) {
        return Seconds([&] {
            form->JobGridCanSort(form->GetJobGrid()->ColumnOf(column));
            QApplication::processEvents();
        });
    };
    auto menu = [&](const char* item) {
        return Seconds([&] {
            form->SortGridClick(item);
            QApplication::processEvents();
        });
    };
    const double byTitle = click(TJobColumn::Title);
    const double byTitleAgain = click(TJobColumn::Title);  // descending
    const double byRelevancy = click(TJobColumn::Relevancy);
    const double menuTitle = menu("Title");
    const double menuRelevancy = menu("Relevancy");

    form->GetRemoteForm()->OnPopupMessage = [] {};
    form->GetRemoteForm()->OnPopBanner = [] {};
    const double remote = Seconds([&] {
        form->MMBrowseClick("All");
        QApplication::processEvents();
    });
    const int remoteRows = form->GetRemoteForm()->JobGrid->Model().JobRows();
    const double remoteSort = Seconds([&] {
        form->GetRemoteForm()->SortGridClick("byTitle");
        QApplication::processEvents();
    });
    form->GetRemoteForm()->close();
    QApplication::processEvents();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peak = usage.ru_maxrss;
    // After the peak is read: a second list beside the window's would raise it.
    load = std::min(load, loadAlone());

    std::printf("job grid, %d jobs (offscreen)\n", kJobs);
    std::printf("  table load alone            %8.3f s\n", load);
    auto line = [&](const char* what, double s) {
        std::printf("  %-27s %8.3f s   %5.2fx load\n", what, s, s / load);
    };
    line("select search (load+show)", show);
    line("show again (fill+paint)", fill);
    line("sort by Title (header)", byTitle);
    line("sort by Title desc (header)", byTitleAgain);
    line("sort by Relevancy (header)", byRelevancy);
    line("sort by Title (menu)", menuTitle);
    line("sort by Relevancy (menu)", menuRelevancy);
    line("open remote window", remote);
    line("remote: sort by Title", remoteSort);
    std::printf("  remote window rows          %8d\n", remoteRows);
    std::printf("  peak memory                 %8ld kB   %5.2fx `tessaly show` (%ld kB, %.3f s)\n",
                peak, cliPeak > 0 ? double(peak) / double(cliPeak) : 0.0, cliPeak, cliTime);

    form.reset();
    std::filesystem::remove_all(home);

    const bool ok = show <= 1.5 * load && fill <= 1.5 * load && byTitle <= 0.5 &&
                    byTitleAgain <= 0.5 && byRelevancy <= 0.5 && menuTitle <= 0.5 &&
                    menuRelevancy <= 0.5 && remoteSort <= 0.5 &&
                    (cliPeak <= 0 || peak <= 1.5 * double(cliPeak));
    std::printf("  targets                     %s\n", ok ? "met" : "MISSED");
    return ok ? 0 : 1;
}
