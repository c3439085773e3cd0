// A whole search over the demo boards through the engine with the machine's own ticks:
// the wall time beside the dispatch schedule's bound (the first dispatch after 0.5 s, then
// one request per 0.25 s), the requests sent and the process's peak memory. The slow board
// is left out: its stall would only measure the time-out.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <string>

#include "demo/DemoServer.h"
#include "demo/DemoSites.h"
#include "demo/HomeFiles.h"
#include "platform/MainLoop.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "search/SearchEngine.h"

namespace tessaly {
namespace {

struct TAccept : TSearchFrontEnd {
    bool NewSearchDialog(const std::string&, const std::string&, TNewSearchValues&) override {
        return true;
    }
};

void BM_DemoSearch(benchmark::State& state) {
    std::unique_ptr<demo::TDemoSites> sites;
    demo::TDemoServer server([&](const demo::TDemoRequest& r) { return sites->Handle(r); });
    if (!server.Listen().ok()) {
        state.SkipWithError("cannot listen");
        return;
    }
    sites = std::make_unique<demo::TDemoSites>(demo::TDemoSites::TConfig{server.Port(), 1, 0});
    if (!server.Start().ok()) {
        state.SkipWithError("cannot start the boards");
        return;
    }
    for (auto _ : state) {
        char dir[] = "/tmp/tessaly-bench-XXXXXX";
        if (!mkdtemp(dir)) {
            state.SkipWithError("no temporary directory");
            return;
        }
        if (!demo::WriteHome(dir, *sites).ok()) {
            state.SkipWithError("cannot write the demo home");
            return;
        }
        TAccept front;
        TSearchEngine e(dir, front);
        e.LoadIdentity();
        e.LoadOptions();
        e.OptionsBox().WriteString("Sources", "Lazy River Jobs", "Disabled");
        e.OptionsBox().WriteString("Sources", "Harbor Line Careers", "Disabled");
        e.LoadUpdateDescriptor();
        e.LoadSources();
        e.LoadSearches();
        e.InitMachine();
        e.SetAutoUpdate(false);
        e.SetState(rsIdle);
        e.NewSearchPreset() = {"Nationwide", "Engineering", "engineer"};
        const auto start = std::chrono::steady_clock::now();
        const int64_t servedBefore = server.Served();
        e.MMNewClick();
        MainLoop().RunUntil([&] { return e.State() == rsIdle; });
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const int64_t requests = server.Served() - servedBefore;
        state.SetIterationTime(wall);
        state.counters["requests"] = static_cast<double>(requests);
        state.counters["bound_s"] = 0.5 + 0.25 * static_cast<double>(requests - 1);
        state.counters["wall_s"] = wall;
        state.counters["jobs"] = e.Jobs().Count();
        for (const std::string& name : ListDirectory(JoinPath(dir, "searches")))
            DeleteFile(JoinPath(JoinPath(dir, "searches"), name));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_DemoSearch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaly

BENCHMARK_MAIN();
