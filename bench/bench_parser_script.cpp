// Throughput of the script interpreter on result-page-sized input.
#include <benchmark/benchmark.h>

#include <string>

#include "parsing/ParserScript.h"

namespace {

using tessaly::TParserScript;
using tessaly::TStrings;

// About 1 MB holding 500 job blocks.
std::string ResultPage() {
    std::string page = "<html><body><table>";
    for (int i = 0; i < 500; ++i) {
        page += "<tr class=\"job\"><td><a href=\"/job?id=" + std::to_string(i) +
                "\">Senior Welder " + std::to_string(i) +
                "</a></td><td>Company</td><td>Cork</td><td>";
        page += std::string(1900, 'x');
        page += "</td></tr>\n";
    }
    return page + "</table></body></html>";
}

void BM_JobBlocksOverResultPage(benchmark::State& state) {
    const std::string page = ResultPage();
    const TStrings script = {"Go(Begin, \"<tr class=\"\"job\"\"\", IgnoreCase);",
                             "Cut(All, Backward);",
                             "Go(After, \"</tr>\", IgnoreCase);",
                             "Get(All, Backward);",
                             "Cut(All, Backward);",
                             "Replace(\"\n\", \" \", Out);"};
    TParserScript parser;
    size_t blocks = 0;
    for (auto _ : state) {
        blocks = parser.RunRepeated(script, page).size();
        benchmark::DoNotOptimize(blocks);
    }
    state.counters["blocks"] = static_cast<double>(blocks);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_JobBlocksOverResultPage)->Unit(benchmark::kMillisecond);

void BM_ReplaceAll10000Hits(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "some text &amp; ";
    TParserScript parser;
    for (auto _ : state) {
        auto out = parser.Run({"Replace(\"&amp;\", \"&\");"}, text);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceAll10000Hits)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
