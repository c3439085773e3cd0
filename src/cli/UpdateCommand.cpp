// `tessaly update`: runs saved searches again, one after the other in one process, and says
// which of them brought new jobs. Made to run from a timer as well as by hand: --quiet
// prints nothing unless something is new, so that any output is worth a mail.
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <ostream>
#include <vector>

#include "cli/Command.h"
#include "cli/NotificationCommand.h"
#include "cli/RunCommands.h"
#include "cli/Workspace.h"
#include "data/AtomFeed.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"
#include "platform/WindowChannel.h"
#include "services/NewJobs.h"

namespace tessaly::cli {
namespace {

const std::string kUpdateUsage =
    std::string(
        "Usage: tessaly update N [M...] [--new] [--quiet] [--notify] [--offline]\n"
        "       tessaly update --all [--new] [--quiet] [--notify] [--offline]\n"
        "       tessaly update N [--region R] [--category C] [--keywords K] ...\n"
        "\n"
        "Runs the saved searches N, M... (as 'tessaly list' numbers them), or every saved\n"
        "search with --all, again in list order and adds the jobs posted since, marked New.\n"
        "After each search one line tells its new jobs (\"python: 3 new jobs\", \"python:\n"
        "nothing new\"); --new lists them as 'tessaly show N --new' does. --quiet prints\n"
        "nothing at all when no search found a new job, and otherwise only the searches that\n"
        "did, with their new jobs. A search whose table is damaged is skipped with its error;\n"
        "the others still run. The options --region, --category and --keywords change a\n"
        "single search before it runs.\n"
        "\n"
        "--notify sends one desktop notification when the run found new jobs: how many, and\n"
        "the searches with their first titles. Without a session bus or a notification\n"
        "server the run goes on and says so once on standard error. Each run also rewrites\n"
        "the search's Atom feed (see 'tessaly feed').\n"
        "\n"
        "When the window has the home open, --all hands the update to it (the window then\n"
        "updates every search as its scheduled check does); when another command has it,\n"
        "the searches are left to the next run. One line says so and the status is 0.\n\n") +
    ReplaceAll(kRunNote, "--quiet prints only the final message", "--quiet shows no progress");

std::string SearchName(const TVelaSearch& s) {
    return DisplayField(ReplaceAll(s.Keywords, "\r\n", " "));
}

// The search numbers asked for, each once, in the order given; fails on one that names no
// search, before anything runs.
TResult<std::vector<int>> Positions(const TArgs& args, int count) {
    std::vector<int> positions;
    if (args.Has("all")) {
        for (int i = 0; i < count; ++i)
            positions.push_back(i);
        return positions;
    }
    for (const std::string& number : args.Positional()) {
        const auto n = ParseInt(number);
        if (!n || *n < 1 || *n > count)
            return Error("no search number " + number + " (there are " + IntToStr(count) +
                         "; see 'tessaly list')");
        if (std::find(positions.begin(), positions.end(), *n - 1) == positions.end())
            positions.push_back(*n - 1);
    }
    return positions;
}

// How long a run waits for the window to take the update over.
constexpr int kHandOverWaitMs = 3000;

// True (with its line printed) when another process holds the home: a timer's run then
// does not fail (cron would mail a failure). A window holding it is handed the update
// through its channel; otherwise the searches are left to the holder.
bool LeftToTheWindow(TCliIO& io) {
    const std::string home = ResolveHomeDirectory(HomeOption());
    if (!DirectoryExists(home)) return false;
    TInstanceLock probe(home);
    // A lock file that cannot be opened is an error of its own, told by the opening.
    if (probe.Acquired() || StartsWith(probe.Message(), "Cannot open")) return false;
    std::string program;
    if (!probe.Holder().empty()) TryReadFileBytes("/proc/" + probe.Holder() + "/comm", program);
    const std::string process = probe.Holder().empty() ? "" : "process " + probe.Holder();
    const std::string inParens = process.empty() ? "" : " (" + process + ")";
    io.out << "tessaly update: the home " << EscapeForDisplay(home);
    if (auto answer = AskWindow(home, "update", kHandOverWaitMs); answer && answer.value() == "ok")
        io.out << " is in use by the window" << inParens
               << "; the window is updating the searches.\n";
    else if (Trim(program) == "tessaly-jobs" || process.empty())
        io.out << " is in use by the window" << inParens
               << "; the window will update the searches.\n";
    else
        io.out << " is in use by " << process
               << " (another command); the searches are left for the next run.\n";
    return true;
}

int Update(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"quiet", "offline", "all", "new", "notify"},
                                 {"region", "category", "keywords"});
        !parsed)
        return UsageError(io, "update", parsed.error());
    const bool all = args.Has("all");
    if (all && !args.Positional().empty())
        return UsageError(io, "update", "--all takes no search numbers");
    if (!all && args.Positional().empty()) return UsageError(io, "update", "expected N, or --all");
    const bool changes = args.Has("region") || args.Has("category") || args.Has("keywords");
    if (changes && (all || args.Positional().size() != 1))
        return UsageError(io, "update",
                          "--region, --category and --keywords change one search: give one N");
    const bool quiet = args.Has("quiet");
    TInterruptGuard interrupts;
    if (all && LeftToTheWindow(io)) return kExitOk;
    // Quiet runs show no progress at all; errors still go to standard error.
    std::ostream nowhere(nullptr);
    TCliIO runIO{quiet ? nowhere : io.out, io.err};
    auto w = TWorkspace::OpenFor(runIO, "update",
                                 IsTerminal(STDOUT_FILENO) && &io.out == &std::cout, quiet);
    if (!w) return kExitUsage;
    TSearchEngine& e = w->Engine();
    auto positions = Positions(args, e.SearchList().Count());
    if (!positions) return UsageError(io, "update", positions.error());
    for (const auto& [option, list] : {std::pair{"region", &e.Sites().MRegions},
                                       std::pair{"category", &e.Sites().MCategories}}) {
        if (!args.Has(option)) continue;
        auto checked = CheckChoice(*list, *args.Value(option), option);
        if (!checked) return UsageError(io, "update", checked.error());
    }
    if (args.Has("offline")) e.SetAutoUpdate(false);

    int status = kExitOk;
    bool aborted = false;
    bool ran = false;
    std::vector<TSearchNews> news;
    for (const int position : positions.value()) {
        auto selected = w->SelectNumber(IntToStr(position + 1));
        if (!selected) return UsageError(io, "update", selected.error());
        TVelaSearch* s = selected.value();
        // A damaged table was reported when it was loaded; nothing may be saved over it.
        if (e.TableDamaged(s)) {
            status = kExitUsage;
            continue;
        }
        TNewSearchValues v;
        v.Region = args.Value("region").value_or(s->Region);
        v.Category = args.Value("category").value_or(s->Category);
        v.Keywords = args.Value("keywords").value_or(s->Keywords);
        const int errorsBefore = w->Front().ErrorCount;
        e.StartUpdate(position, v);
        // Refused or failed before it started (no site, the table not writable), with its
        // message: nothing of this update is saved.
        const bool started = e.State() != rsIdle;
        if (started) {
            ran = true;
            w->WaitForRun();
        }
        // No site reached is no news: an error, not "nothing new".
        const bool failed = started && e.LastRunReachedNoSite();
        if (failed || w->Front().ErrorCount > errorsBefore) status = kExitUsage;
        if (TInterruptGuard::Count() > 0 || (started && e.LastRunStopped())) {
            aborted = true;
            break;
        }
        if (failed || w->Front().ErrorCount > errorsBefore) continue;
        TSearchNews n = SearchNews(position + 1, SearchName(*s), s->TableFile, e.Jobs());
        if (quiet && n.rows.empty()) continue;
        const size_t count = n.rows.size();
        io.out << n.name << ": "
               << (count == 0   ? std::string("nothing new")
                   : count == 1 ? std::string("1 new job")
                                : IntToStr(static_cast<int64_t>(count)) + " new jobs")
               << "\n";
        if (quiet || args.Has("new"))
            for (const int row : n.rows)
                PrintJobRow(io.out, e.Jobs(), row);
        io.out << std::flush;
        if (count > 0) news.push_back(std::move(n));
    }
    // When nothing ran, nothing is saved: not even the index, which may be the damaged file
    // that made every run refuse.
    if (ran) w->Close();
    if (w->Status() != kExitOk) status = kExitUsage;
    // Told after the saves, and only of what they hold.
    if (args.Has("notify") && !news.empty()) {
        if (auto told = TellNewJobs(news, w->Home()); !told)
            io.err << "tessaly update: no desktop notification (" << told.error() << ").\n";
    }
    return aborted ? kExitAborted : status;
}

// ---- feed ----

int Feed(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "feed", parsed.error());
    if (args.Positional().size() != 1) return UsageError(io, "feed", "expected N");
    auto w = TWorkspace::OpenFor(io, "feed", false, true);
    if (!w) return kExitUsage;
    auto selected = w->SelectNumber(args.Positional()[0]);
    if (!selected) return UsageError(io, "feed", selected.error());
    TSearchEngine& e = w->Engine();
    const std::string path = SearchFeedPath(w->Home(), *selected.value());
    // A search last run before feeds were written gets its feed now.
    if (!FileExists(path)) {
        if (e.TableDamaged(selected.value())) return kExitUsage;  // reported when it was loaded
        WriteSearchFeed(w->Home(), *selected.value(), e.Jobs());
    }
    io.out << path << "\n";
    return kExitOk;
}

TRegisterCommand r1({"update", "add the newly posted jobs to saved searches", kUpdateUsage,
                     Update});
TRegisterCommand r2({"feed", "the path of a saved search's Atom feed",
                     "Usage: tessaly feed N\n\nPrints the path of search N's Atom feed, which "
                     "every run of the search\nrewrites with its newest jobs (at most 200, newest "
                     "first) for feed readers.\n",
                     Feed});

}  // namespace
}  // namespace tessaly::cli
