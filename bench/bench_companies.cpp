// A company's whole career board: a Greenhouse-style answer of 550 jobs with their contents
// (about 4 MB) is cut into jobs, selected by a search and merged into a listing, beside the
// time it takes to read the same file from disk.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "data/BoardJobs.h"
#include "data/Companies.h"
#include "data/VelaSources.h"
#include "platform/ByteString.h"
#include "platform/TextFile.h"

namespace {

using namespace tessaly;

// One job's description, HTML-escaped as the board sends it, about 7 KB.
std::string Content(int i) {
    std::string c;
    while (c.size() < 7000)
        c += "\\u003cp\\u003eWe ship freight software \\u0026amp; build \\\"reliable\\\" systems "
             "for team " +
             IntToStr(i) + ". Zürich, Berlin or remote.\\u003c/p\\u003e\\n";
    return c;
}

std::string Answer() {
    const char* titles[] = {"Senior Python Engineer", "Warehouse Associate", "Data Analyst",
                            "Backend Engineer (Go)",  "Office Manager",      "Python Developer"};
    const char* places[] = {"Berlin, Germany",     "Remote - USA", "London",
                            "Zürich, Switzerland", "Munich",       "Paris, France"};
    std::string s = "{\n  \"jobs\": [\n";
    for (int i = 0; i < 550; ++i) {
        if (i > 0) s += ",\n";
        s += "    {\n      \"absolute_url\": \"https://boards.greenhouse.io/nimbus/jobs/" +
             IntToStr(4000000 + i) + "\",\n";
        s += "      \"data_compliance\": [{\"type\": \"gdpr\", \"requires_consent\": false}],\n";
        s += "      \"internal_job_id\": " + IntToStr(i) + ",\n";
        s += "      \"location\": {\"name\": \"" + std::string(places[i % 6]) + "\"},\n";
        s += "      \"metadata\": [{\"id\": 1, \"name\": \"Team\", \"value\": \"Core\"}],\n";
        s += "      \"id\": " + IntToStr(4000000 + i) + ",\n";
        s += "      \"updated_at\": \"2026-11-30T10:15:00-05:00\",\n";
        s += "      \"title\": \"" + std::string(titles[i % 6]) + " " + IntToStr(i) + "\",\n";
        s += "      \"content\": \"" + Content(i) + "\",\n";
        s += "      \"company_name\": \" Nimbus Freight \"\n    }";
    }
    return s + "\n  ],\n  \"meta\": {\"total\": 550}\n}\n";
}

struct TBoardFile {
    TBoardFile() {
        char name[] = "/tmp/tessaly-bench-board-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        path = name;
        text = Answer();
        WriteFileBytes(path, text);
    }
    ~TBoardFile() { std::remove(path.c_str()); }
    std::string path, text;
};

const TBoardFile& Board() {
    static const TBoardFile file;
    return file;
}

void ReadFromDisk(benchmark::State& state) {
    const std::string& path = Board().path;
    for (auto _ : state) {
        std::string bytes = ReadFileBytes(path);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Board().text.size()));
}

void CutSelectMerge(benchmark::State& state) {
    TStrings errors;
    const std::vector<TBoardFamily> families =
        FamiliesOf(DecodeSourcesText(ReadFileBytes(TESSALY_DATA "/companies.plain")), "bench");
    TVelaSourcesList list;
    list.MRegions = {"Anywhere", "Germany"};
    list.MRegionNames = {"", "Germany, Deutschland, Berlin, Munich, München"};
    TVelaSource& site = AddCompanySite(list, *FindFamily(families, "Greenhouse"),
                                       {"Greenhouse", "nimbus", "Nimbus", 1});
    const std::string& answer = Board().text;
    int kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TVelaJobsList listing;
        for (int i = 0; i < 2000; ++i) {
            TVelaJob& j = listing.AddJob();
            j.Title = "Earlier job " + IntToStr(i);
            j.URL = "https://elsewhere.example/" + IntToStr(i);
        }
        site.Jobs.ClearJobs();
        state.ResumeTiming();
        site.HarvestJobs(site.ScriptPage(answer));
        site.Jobs.CleanUpJobs();
        kept = SelectBoardJobs(site.Jobs, "python", "Germany", list.MRegions, list.MRegionNames);
        listing.MergeJobs(site.Jobs, true);
        benchmark::DoNotOptimize(listing.Count());
    }
    state.counters["kept"] = kept;
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(answer.size()));
}

BENCHMARK(ReadFromDisk)->Unit(benchmark::kMillisecond);
BENCHMARK(CutSelectMerge)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
