// LH5 packing and unpacking speed over a 10 MB HTML-like corpus (or the file named by
// TESSALY_PACKER_CORPUS, so the comparison script measures the same bytes).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "data/Packer.h"
#include "platform/TextFile.h"

namespace {

const std::string& Corpus() {
    static const std::string corpus = [] {
        if (const char* path = std::getenv("TESSALY_PACKER_CORPUS"))
            return tessaly::ReadFileBytes(path);
        std::mt19937 rng(3);
        const char* words[] = {"<div class=\"job\">",
                               "<a href=\"/jobs/",
                               "</a>",
                               "engineer",
                               "Paris",
                               "London",
                               "senior",
                               "developer",
                               "salary",
                               "<td>",
                               "</td>",
                               "\r\n",
                               "C++",
                               "full time",
                               "contract"};
        std::string s;
        while (s.size() < (10u << 20)) {
            s += words[rng() % 15];
            s += rng() % 5 == 0 ? std::to_string(rng() % 100000) : " ";
        }
        return s;
    }();
    return corpus;
}

void BM_Lh5Pack(benchmark::State& state) {
    std::size_t packed = 0;
    for (auto _ : state) {
        const std::string out = tessaly::Lh5Pack(Corpus());
        packed = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Corpus().size()));
    state.counters["ratio"] = double(packed) / double(Corpus().size());
}
BENCHMARK(BM_Lh5Pack)->Unit(benchmark::kMillisecond);

void BM_Lh5Unpack(benchmark::State& state) {
    const std::string packed = tessaly::Lh5Pack(Corpus());
    for (auto _ : state) {
        std::size_t n = 0;
        tessaly::Lh5Unpack(packed, Corpus().size(), [&](const char*, std::size_t k) { n += k; });
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Corpus().size()));
}
BENCHMARK(BM_Lh5Unpack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
