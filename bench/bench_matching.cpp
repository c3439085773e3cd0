// Matching costs: keyword hits over one large job page (a refinement runs this for
// every job page), and scoring a big site list.
#include <benchmark/benchmark.h>

#include <string>

#include "data/Relevancy.h"
#include "parsing/VelaPageSearch.h"

namespace {

std::string JobPage(size_t bytes) {
    static const char* kWords[] = {"Senior", "nurse",   "manager",  "hospital", "Boston",
                                   "shifts", "benefit", "required", "years",    "experience"};
    std::string page = "<html><body><table>";
    for (size_t i = 0; page.size() < bytes; ++i) {
        if (i % 12 == 0) page += "<tr><td class=\"x\">";
        page += kWords[(i * 7) % 10];
        page += (i % 5 == 0) ? ", " : " ";
        if (i % 12 == 11) page += "</td></tr>\r\n";
    }
    return page;
}

void BM_CountMatchesFiveKeywords200K(benchmark::State& state) {
    const std::string page = JobPage(200 * 1024);
    tessaly::TVelaPageSearch ps;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ps.CountMatches("nurse manager hospital Boston nights", page, false));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_CountMatchesFiveKeywords200K)->Unit(benchmark::kMillisecond);

void BM_Score10000Jobs(benchmark::State& state) {
    tessaly::TStrings regions{"Boston"}, categories{"Eng"};
    tessaly::TVelaSource site(0, &regions, &categories);
    for (int i = 0; i < 10000; ++i) {
        auto& j = site.Jobs.AddJob();
        j.Title = i % 3 ? "Senior Registered Nurse (Nights)" : "Line Cook";
        j.Company = "General Hospital of Massachusetts";
        j.Location = i % 2 ? "Boston, MA" : "n/a";
    }
    for (auto _ : state)
        tessaly::ScoreJobs(site.Jobs, tessaly::WeightsOf(site), "Boston", "nurse manager");
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_Score10000Jobs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
