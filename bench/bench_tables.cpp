// Saving and loading a 100,000-job table, packed and plain.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "data/VelaSearches.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace {

using tessaly::TVelaJobsList;

constexpr int kJobs = 100000;

void Fill(TVelaJobsList& l) {
    for (int i = 0; i < kJobs; ++i) {
        auto& j = l.AddJob();
        const std::string id = tessaly::IntToStr(i);
        j.Title = "Senior Software Engineer (C++) " + id;
        j.Company = "Smith & Sons Ltd";
        j.Location = "Boston, Massachusetts";
        j.URL = "http://jobs.example.test/view?id=" + id + "&src=feed";
        j.Source = "Example Jobs";
        j.Found = "12/08/2026 @ 08:59:00";
        j.Notes = i % 4 ? "" : "  call back = yes";
        j.Relevancy = static_cast<uint8_t>(i % 7 == 1 ? 2 : i % 7);
        j.Status = static_cast<uint8_t>(i % 5);
        j.High = i % 3 == 0;
    }
}

// A scratch program directory; "compress.not" in it when plain.
std::string ScratchDir(bool plain) {
    char tmpl[] = "/tmp/bench_tables_XXXXXX";
    std::string dir = mkdtemp(tmpl);
    tessaly::ForceDirectories(tessaly::JoinPath(dir, "searches"));
    if (plain) tessaly::WriteFileBytes(tessaly::JoinPath(dir, "compress.not"), "");
    return dir;
}

void Cleanup(const std::string& dir) {
    tessaly::DeleteFile(tessaly::JoinPath(dir, "compress.not"));
    tessaly::DeleteFile(tessaly::JoinPath(dir, "searches/velares~1.tbl"));
    rmdir(tessaly::JoinPath(dir, "searches").c_str());
    rmdir(dir.c_str());
}

void BM_SaveTable(benchmark::State& state) {
    const bool plain = state.range(0) != 0;
    const std::string dir = ScratchDir(plain);
    const std::string table = tessaly::JoinPath(dir, "searches/velares~1.tbl");
    TVelaJobsList list;
    Fill(list);
    for (auto _ : state)
        tessaly::SaveJobTable(list, table, dir);
    state.SetLabel(plain ? "plain" : "packed");
    Cleanup(dir);
}
BENCHMARK(BM_SaveTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadTable(benchmark::State& state) {
    const bool plain = state.range(0) != 0;
    const std::string dir = ScratchDir(plain);
    const std::string table = tessaly::JoinPath(dir, "searches/velares~1.tbl");
    {
        TVelaJobsList list;
        Fill(list);
        tessaly::SaveJobTable(list, table, dir);
    }
    for (auto _ : state) {
        TVelaJobsList list;
        tessaly::LoadJobTable(list, table);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetLabel(plain ? "plain" : "packed");
    Cleanup(dir);
}
BENCHMARK(BM_LoadTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
