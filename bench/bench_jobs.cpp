// Job list throughput: cleaning raw jobs (beside the clean-up of the Windows Latin-1 days,
// OldCleanUp.h), merging a site's list into a big listing (with and without grouping the
// openings other boards list too), and sorting by each column.
#include <benchmark/benchmark.h>

#include <string>

#include "OldCleanUp.h"
#include "data/VelaJobs.h"
#include "platform/ByteString.h"
#include "platform/MainLoop.h"

namespace {

using tessaly::TVelaJobsList;

// Steps the xorshift generator `x` and gives a job number from it.
std::string NextId(uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return tessaly::IntToStr(static_cast<int64_t>(x % 1000000));
}

// Raw jobs as a page yields them: entities, tags, capitals, link templates.
void FillRaw(TVelaJobsList& l, int n, int salt) {
    uint32_t x = 2463534242u + static_cast<uint32_t>(salt);
    for (int i = 0; i < n; ++i) {
        const std::string id = NextId(x);
        auto& j = l.AddJob();
        j.Title = (i % 3 ? "<b>SENIOR ENGINEER (JAVA) " : "Line &amp; Cook &lt;i&gt;") + id;
        j.Company = "  Smith &amp; Sons&nbsp;" + id.substr(0, 2);
        j.Location = i % 2 ? "Boston, MA" : "Austin TX";
        j.URL = "/job?t=%title%&id=" + id;
        j.Notes = id;
        j.Found = id;
        j.Source = id.substr(1);
        j.Relevancy = static_cast<uint8_t>(x % 7);
        j.Status = static_cast<uint8_t>(x % 5);
        j.High = (x & 8) != 0;
        j.Pinned = (x % 97) == 0;
    }
}

using TFill = void (*)(TVelaJobsList&, int, int);

// Times one clean-up over 100000 raw jobs made by `fill`; filling is not timed.
void TimeCleanUp(benchmark::State& state, TFill fill, void (*cleanUp)(TVelaJobsList&)) {
    for (auto _ : state) {
        state.PauseTiming();
        TVelaJobsList l;
        fill(l, 100000, 1);
        state.ResumeTiming();
        cleanUp(l);
        benchmark::DoNotOptimize(l[0].Title);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}

// As the search run cleans a site's jobs: the loop runs after each job.
void CleanUpNow(TVelaJobsList& l) {
    l.CleanUpJobs(false, [] {
        tessaly::ProcessMessages();
        return true;
    });
}

void BM_CleanUp100k(benchmark::State& state) {
    TimeCleanUp(state, FillRaw, CleanUpNow);
}
BENCHMARK(BM_CleanUp100k)->Unit(benchmark::kMillisecond);

// Raw jobs as today's UTF-8 pages yield them: accented capitals, typographic references,
// line breaks inside titles, raw no-break spaces, "&amp;" in links.
void FillRawUtf8(TVelaJobsList& l, int n, int salt) {
    uint32_t x = 88675123u + static_cast<uint32_t>(salt);
    for (int i = 0; i < n; ++i) {
        const std::string id = NextId(x);
        auto& j = l.AddJob();
        j.Title = (i % 3 ? "<b>ING\xc3\x89NIEUR QUALIT\xc3\x89 (H/F) "
                         : "Data\r\nAnalyst &ndash; Z\xc3\xbcrich ") +
                  id;
        j.Company = "  Soci\xc3\xa9t\xc3\xa9 G\xc3\xa9n\xc3\xa9rale&nbsp;" + id.substr(0, 2);
        j.Location = i % 2 ? "Chamb&#233;ry\xc2\xa0(73)" : "It&rsquo;s M\xc3\xbcnchen";
        j.URL = "/job?t=%title%&amp;id=" + id;
        j.Notes = id;
        j.Found = id;
        j.Source = id.substr(1);
    }
}

void BM_CleanUp100kUtf8Pages(benchmark::State& state) {
    TimeCleanUp(state, FillRawUtf8, CleanUpNow);
}
BENCHMARK(BM_CleanUp100kUtf8Pages)->Unit(benchmark::kMillisecond);

// The same raw jobs through the clean-up of old, side by side.
void BM_OldCleanUp(benchmark::State& state, TFill fill) {
    TimeCleanUp(state, fill, tessaly::bench_old::CleanUpJobs);
}
BENCHMARK_CAPTURE(BM_OldCleanUp, Ascii, FillRaw)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OldCleanUp, Utf8Pages, FillRawUtf8)->Unit(benchmark::kMillisecond);

void BM_Merge100kInto100kHalfDuplicates(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TVelaJobsList listing, site;
        FillRaw(listing, 100000, 1);
        FillRaw(site, 50000, 1);  // the same first half: duplicates
        FillRaw(site, 50000, 2);  // and new ones
        state.ResumeTiming();
        listing.MergeJobs(site, true);
        benchmark::DoNotOptimize(listing.Count());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Merge100kInto100kHalfDuplicates)->Unit(benchmark::kMillisecond);

// A cleaned listing of 100000 jobs from one board, and 100000 from another of which 30 %
// are the same openings spelled that board's way.
void FillListing(TVelaJobsList& l, int n, int salt, const char* source, bool otherSpelling) {
    static const char* const kTitles[] = {"Senior Python Engineer", "Data Analyst",
                                          "Product Manager", "Junior Developer", "Welder"};
    static const char* const kOther[] = {"Sr. Python Engineer (Remote)", "DATA ANALYST",
                                         "Product Mgr", "Jr. Developer", "Welder - Remote"};
    static const char* const kPlaces[] = {"Boston, MA", "Austin TX", "Berlin", "Remote"};
    static const char* const kOtherPlaces[] = {"Boston, Massachusetts", "Austin, Texas, USA",
                                               "Berlin", "Remote"};
    for (int i = 0; i < n; ++i) {
        const std::string id = tessaly::IntToStr(salt * 1000000 + i);
        auto& j = l.AddJob();
        const int k = i % 5;
        // The number stands before a trailing "(Remote)", as boards put suffixes last.
        const std::string title = otherSpelling ? kOther[k] : kTitles[k];
        const size_t cut = title.find_first_of("(-");
        j.Title = cut == std::string::npos ? title + " " + id
                                           : title.substr(0, cut) + id + " " + title.substr(cut);
        j.Company = "Acme Analytics " + id + (otherSpelling ? ", Inc." : "");
        j.Location = (otherSpelling ? kOtherPlaces : kPlaces)[i % 4];
        j.URL = std::string("https://") + source + ".example/jobs/" + id;
        j.Source = source;
        j.Found = "12/09/2026 @ 10:00:00";
        j.Relevancy = static_cast<uint8_t>(2 + i % 5);
    }
}

void BM_Merge100kCrossPosted30PerCent(benchmark::State& state) {
    const bool group = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        TVelaJobsList listing, site;
        FillListing(listing, 100000, 1, "remotive", false);
        FillListing(site, 30000, 1, "jobicy", true);   // copies of the listing's first 30000
        FillListing(site, 70000, 2, "jobicy", false);  // and openings of its own
        state.ResumeTiming();
        listing.MergeJobs(site, true, group);
        benchmark::DoNotOptimize(listing.Count());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
    state.SetLabel(group ? "grouping" : "without grouping");
}
BENCHMARK(BM_Merge100kCrossPosted30PerCent)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Sort100k(benchmark::State& state, const char* column) {
    TVelaJobsList l;
    FillRaw(l, 100000, 3);
    for (auto _ : state) {
        l.SortJobs("Notes ");  // a fresh order for every run
        l.ReverseJobs();
        l.SortJobs(column);
        benchmark::DoNotOptimize(l[0].Title);
    }
}
BENCHMARK_CAPTURE(BM_Sort100k, Status, " ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort100k, Title, "Title ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort100k, Company, "Company ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort100k, Location, "Location ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort100k, Source, "Source ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort100k, Found, "Found ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort100k, Relevancy, "Relevancy ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort100k, Notes, "Notes ")->Unit(benchmark::kMillisecond);

}  // namespace

// Cutting a site's jobs down to the most relevant 250 (the highest MaxJobs): grows with
// the list, not with its square.
void BM_KeepBest(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        TVelaJobsList l;
        FillRaw(l, n, 3);
        state.ResumeTiming();
        l.KeepBest("Relevancy ", 250);
        benchmark::DoNotOptimize(l[0].Title);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_KeepBest)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Entity decoding of one title made of ampersands, 1, 2 and 4 MB.
void BM_DecodeAmpersands(benchmark::State& state) {
    const std::string title(static_cast<size_t>(state.range(0)) << 20, '&');
    for (auto _ : state)
        benchmark::DoNotOptimize(tessaly::DecodeEntities(title));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(title.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DecodeAmpersands)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
