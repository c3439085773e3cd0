// `tessaly search|update|refine|grab`: the runs of the program from the command line.
#include <unistd.h>

#include <iostream>
#include <ostream>

#include "cli/Command.h"
#include "cli/RunCommands.h"
#include "cli/Workspace.h"
#include "platform/ByteString.h"

namespace tessaly::cli {

const char* const kRunNote =
    "While the run goes on, each job site has a line with \"Found\", \"Kept\" and\n"
    "\"Status\", and an overall gauge follows (redrawn in place on a terminal, plain lines\n"
    "otherwise); --quiet prints only the final message. Ctrl-C stops the run: the sites\n"
    "drain and the run ends with its \"Aborted.\" message; a second Ctrl-C leaves at once\n"
    "after saving the jobs merged so far.\n"
    "\n"
    "An opening found on several boards is one row: its source shows \"+N\" and the other\n"
    "boards' pages are kept with it. 'tessaly box set HOME/options.box Search\n"
    "GroupCrossPosts False' keeps every board's posting a row of its own.\n"
    "\n"
    "Exit status: 0 when the run completed, 3 when it was aborted, 2 for usage or file\n"
    "errors (the message on standard error).\n";

// Fails with the choices when `value` is no entry of `list`.
TResult<void> CheckChoice(const TStrings& list, const std::string& value, const std::string& what) {
    for (const auto& v : list)
        if (v == value) return {};
    return Error("unknown " + what + " \"" + value +
                 "\"; the definitions offer: " + Join(list, ", "));
}

namespace {

struct TOpened {
    std::unique_ptr<TWorkspace> workspace;
    int status = kExitOk;
};

TOpened OpenWorkspace(TCliIO& io, const std::string& command, bool quiet) {
    TOpened o;
    o.workspace =
        TWorkspace::OpenFor(io, command, IsTerminal(STDOUT_FILENO) && &io.out == &std::cout, quiet);
    if (!o.workspace) o.status = kExitUsage;
    return o;
}

// ---- search ----

const std::string kSearchUsage =
    std::string(
        "Usage: tessaly search [--region R] [--category C] [--quiet] "
        "[--offline] KEYWORDS...\n"
        "\n"
        "Runs a new search over every job site that takes part and "
        "keeps its listing as a new\n"
        "saved search. R and C are entries of the definitions' region "
        "and category lists\n"
        "(see 'tessaly sources'); they default to the first entry of "
        "each. --offline skips the\n"
        "job-source update that otherwise runs before the first search "
        "of a run.\n\n") +
    kRunNote;

int Search(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"quiet", "offline"}, {"region", "category"}); !parsed)
        return UsageError(io, "search", parsed.error());
    if (args.Positional().empty()) return UsageError(io, "search", "expected KEYWORDS");
    TInterruptGuard interrupts;
    TOpened o = OpenWorkspace(io, "search", args.Has("quiet"));
    if (!o.workspace) return o.status;
    TSearchEngine& e = o.workspace->Engine();
    const TStrings& regions = e.Sites().MRegions;
    const TStrings& categories = e.Sites().MCategories;
    if (regions.empty() || categories.empty())
        return UsageError(io, "search", "the definitions hold no region or no category");
    TNewSearchValues v;
    v.Region = args.Value("region").value_or(regions.front());
    v.Category = args.Value("category").value_or(categories.front());
    v.Keywords = Join(args.Positional(), " ");
    if (auto checked = CheckChoice(regions, v.Region, "region"); !checked)
        return UsageError(io, "search", checked.error());
    if (auto checked = CheckChoice(categories, v.Category, "category"); !checked)
        return UsageError(io, "search", checked.error());
    if (args.Has("offline")) e.SetAutoUpdate(false);
    const int errorsBefore = o.workspace->Front().ErrorCount;
    e.StartSearch(v);
    const int status = o.workspace->WaitForRun();
    o.workspace->Close();
    // Said only when the run itself saved its jobs (a damaged settings file, told before,
    // still makes the status 2).
    if (!args.Has("quiet") && o.workspace->Front().ErrorCount == errorsBefore)
        io.out << "Saved as search " << e.SearchList().Count() << " in " << o.workspace->Home()
               << "; 'tessaly show " << e.SearchList().Count() << "' lists its jobs.\n";
    return o.workspace->Status() != kExitOk ? kExitUsage : status;
}

// ---- refine ----

const std::string kRefineUsage =
    std::string(
        "Usage: tessaly refine N --keywords K [--invalidate] [--all] [--no-download] "
        "[--keep] [--quiet]\n"
        "\n"
        "Tests every job of search N against the keywords K inside its job description:\n"
        "a match validates the job (Green, one relevancy level up), no match invalidates it\n"
        "(Red, one level down); --invalidate swaps the two. --all needs every keyword to\n"
        "match. Job pages are fetched when no grabbed copy exists, unless --no-download;\n"
        "--keep stores the fetched pages as grabbed copies.\n\n") +
    kRunNote;

int RefineCmd(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed =
            args.Parse(argv, {"invalidate", "all", "no-download", "keep", "quiet"}, {"keywords"});
        !parsed)
        return UsageError(io, "refine", parsed.error());
    if (args.Positional().size() != 1) return UsageError(io, "refine", "expected N");
    const std::string keywords = args.Value("keywords").value_or("");
    if (keywords.empty()) return UsageError(io, "refine", "expected --keywords K");
    TInterruptGuard interrupts;
    TOpened o = OpenWorkspace(io, "refine", args.Has("quiet"));
    if (!o.workspace) return o.status;
    if (auto selected = o.workspace->SelectNumber(args.Positional()[0]); !selected)
        return UsageError(io, "refine", selected.error());
    TRefineValues r;
    r.Keywords = keywords;
    r.Validation = !args.Has("invalidate");
    r.MatchAll = args.Has("all");
    r.Download = !args.Has("no-download");
    r.KeepAsGrabbed = args.Has("keep");
    if (o.workspace->Engine().TableDamaged(o.workspace->Engine().SelectedSearch()))
        return kExitUsage;  // reported when it was loaded
    o.workspace->Engine().Refine(r);
    const int status = o.workspace->WaitForRun();
    o.workspace->Close();
    return o.workspace->Status() != kExitOk ? kExitUsage : status;
}

// ---- grab ----

const std::string kGrabUsage =
    std::string(
        "Usage: tessaly grab N [--all|--high|--green|--job J...] [--quiet]\n"
        "\n"
        "Fetches the job descriptions of search N into its folder for offline reading:\n"
        "all jobs (the default), the highlighted ones, the validated ones, or the jobs\n"
        "numbered J (as 'tessaly show' numbers them). Jobs already grabbed are not fetched\n"
        "again.\n\n") +
    kRunNote;

int Grab(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"all", "high", "green", "quiet"}, {"job"}); !parsed)
        return UsageError(io, "grab", parsed.error());
    if (args.Positional().size() != 1) return UsageError(io, "grab", "expected N");
    const int choices = args.Has("all") + args.Has("high") + args.Has("green") + args.Has("job");
    if (choices > 1) return UsageError(io, "grab", "choose one of --all, --high, --green, --job");
    TInterruptGuard interrupts;
    TOpened o = OpenWorkspace(io, "grab", args.Has("quiet"));
    if (!o.workspace) return o.status;
    TSearchEngine& e = o.workspace->Engine();
    if (auto selected = o.workspace->SelectNumber(args.Positional()[0]); !selected)
        return UsageError(io, "grab", selected.error());
    TGrabChoice choice = gcAll;
    if (args.Has("high")) choice = gcHighlighted;
    if (args.Has("green")) choice = gcValidated;
    std::vector<int> positions;
    if (args.Has("job")) {
        choice = gcSelected;
        for (const std::string& j : args.Values("job")) {
            const auto n = ParseInt(j);
            if (!n || *n < 1 || *n > e.Jobs().Count())
                return UsageError(io, "grab", "no job number " + j + " in this search");
            positions.push_back(*n - 1);
        }
    }
    if (e.TableDamaged(e.SelectedSearch())) return kExitUsage;  // reported when it was loaded
    e.Grab(choice, positions);
    const int status = e.State() == rsIdle ? kExitOk : o.workspace->WaitForRun();
    o.workspace->Close();
    return o.workspace->Status() != kExitOk ? kExitUsage : status;
}

TRegisterCommand r1({"search", "run a new search over the job sites", kSearchUsage, Search});
TRegisterCommand r3({"refine", "validate or invalidate jobs by keywords in their pages",
                     kRefineUsage, RefineCmd});
TRegisterCommand r4({"grab", "store job descriptions for offline reading", kGrabUsage, Grab});

}  // namespace
}  // namespace tessaly::cli
