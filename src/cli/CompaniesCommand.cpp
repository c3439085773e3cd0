// `tessaly companies add|list|remove|check`: the companies whose career boards every search
// covers, kept in the home's watch list.
#include <ostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/Workspace.h"
#include "data/Companies.h"
#include "data/QueryBuilder.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/MainLoop.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly::cli {
namespace {

// A whole board is read to its end, within this many jobs.
constexpr int kMostJobs = 5000;

std::unique_ptr<TWorkspace> Open(TCliIO& io, const std::string& command) {
    return TWorkspace::OpenFor(io, "companies " + command, false, true);
}

// The watched companies' sites: those with a board token.
std::vector<TVelaSource*> CompanySites(TSearchEngine& e, const std::string& name) {
    std::vector<TVelaSource*> sites;
    for (int i = 0; i < e.Sites().Count(); ++i) {
        TVelaSource& s = e.Sites()[i];
        if (s.Board.empty()) continue;
        if (name.empty() || SameText(s.Title, Trim(name)) || SameText(s.Board, Trim(name)))
            sites.push_back(&s);
    }
    return sites;
}

int Add(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {"name"}); !parsed)
        return UsageError(io, "companies add", parsed.error());
    if (args.Positional().size() != 1)
        return UsageError(io, "companies add", "expected one board address or FAMILY:TOKEN");
    auto w = Open(io, "add");
    if (!w) return kExitUsage;
    auto added = WatchCompany(w->Home(), ShippedDataDirectory(), args.Positional()[0],
                              args.Value("name").value_or(""), w->Engine().Sites());
    if (!added) {
        io.err << "tessaly companies add: " << EscapeForDisplay(added.error()) << "\n";
        return kExitUsage;
    }
    const TWatchedCompany& c = added.value();
    io.out << "Watching \"" << EscapeForDisplay(c.Name) << "\": " << c.Family << " board "
           << c.Token << ".\n";
    return kExitOk;
}

int List(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "companies list", parsed.error());
    if (!args.Positional().empty()) return UsageError(io, "companies list", "expected nothing");
    auto w = Open(io, "list");
    if (!w) return kExitUsage;
    TStrings errors;
    const auto companies = ReadWatchList(w->Home(), errors);
    for (const auto& c : companies)
        io.out << EscapeForDisplay(c.Name) << '\t' << c.Family << '\t' << c.Token << "\n";
    if (companies.empty()) io.out << "No company is watched.\n";
    return w->Status();
}

int Remove(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "companies remove", parsed.error());
    if (args.Positional().size() != 1) return UsageError(io, "companies remove", "expected NAME");
    auto w = Open(io, "remove");
    if (!w) return kExitUsage;
    auto removed = UnwatchCompany(w->Home(), args.Positional()[0]);
    if (!removed) {
        io.err << "tessaly companies remove: " << EscapeForDisplay(removed.error()) << "\n";
        return kExitUsage;
    }
    for (const auto& c : removed.value())
        io.out << "No longer watching \"" << EscapeForDisplay(c.Name) << "\" (" << c.Family
               << " board " << c.Token << ").\n";
    return kExitOk;
}

// What a check found: the board's answer, or no answer at all.
enum class TBoardState { Jobs, NotFound, BadFormat, Unreachable };

TBoardState ReadAnswer(TVelaSource& site, const std::string& data, const std::string& header,
                       bool& more) {
    switch (ReadBoardAnswer(site, data, header, kMostJobs, more)) {
        case TBoardAnswer::NotFound:
            return TBoardState::NotFound;
        case TBoardAnswer::BadFormat:
            return TBoardState::BadFormat;
        case TBoardAnswer::Jobs:
            break;
    }
    return TBoardState::Jobs;
}

// Asks the board as a search does, following its pages.
TBoardState FetchBoard(TSearchEngine& e, TVelaSource& site, std::string& why) {
    std::unique_ptr<THTTPQuery> query = e.Http().NewQuery();
    std::string url = BoardFirstAddress(e.Sites(), site, query->ID);
    for (;;) {
        query->URL = url;
        bool finished = false;
        THTTPResult answer;
        bool failed = false;
        query->OnEvent = [&](THTTPResult& r, THTTPMachineEventType type) {
            if (type == meDone || type == meFailed) {
                answer = r;
                failed = type == meFailed;
                finished = true;
            }
        };
        e.Http().AddQuery(std::move(query));
        MainLoop().RunUntil([&] { return finished; });
        if (failed) {
            if (answer.Outcome == THttpOutcome::Refused && answer.Status == 404)
                return TBoardState::NotFound;
            why = answer.Outcome == THttpOutcome::TooLarge
                      ? "the answer is larger than the program takes"
                      : IntToStr(answer.Status) + " " + answer.Reason;
            return TBoardState::Unreachable;
        }
        bool more = false;
        const TBoardState state = ReadAnswer(site, answer.Data, answer.Header, more);
        if (state != TBoardState::Jobs || !more) return state;
        query = e.Http().NewQuery();
        TQueryRequest next;
        next.ID = query->ID;
        if (!BuildNextRequest(site, site.ScriptPage(answer.Data), next, answer.Header))
            return state;
        url = next.URL;
    }
}

void WriteJobs(std::ostream& out, const TVelaJobsList& jobs) {
    TJsonWriter w;
    w.BeginArray();
    for (int i = 0; i < jobs.Count(); ++i) {
        const TVelaJob& j = jobs[i];
        w.BeginObject()
            .Key("Title")
            .Utf8(j.Title)
            .Key("Company")
            .Utf8(j.Company)
            .Key("Location")
            .Utf8(j.Location)
            .Key("URL")
            .Utf8(j.URL)
            .EndObject();
    }
    w.EndArray();
    out << w.Text() << "\n";
}

int Check(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"json"}, {"page"}); !parsed)
        return UsageError(io, "companies check", parsed.error());
    if (args.Positional().size() > 1)
        return UsageError(io, "companies check", "expected at most one NAME");
    const std::string name = args.Positional().empty() ? "" : args.Positional()[0];
    std::string page;
    if (auto file = args.Value("page")) {
        if (!TryReadFileBytes(*file, page))
            return UsageError(io, "companies check", "cannot read the page " + *file);
    }
    auto w = Open(io, "check");
    if (!w) return kExitUsage;
    TSearchEngine& e = w->Engine();
    const std::vector<TVelaSource*> sites = CompanySites(e, name);
    if (sites.empty()) {
        io.err << "tessaly companies check: "
               << (name.empty() ? "no company is watched"
                                : "no watched company named \"" + EscapeForDisplay(name) + "\"")
               << "\n";
        return kExitUsage;
    }
    if (args.Value("page") && sites.size() != 1)
        return UsageError(io, "companies check", "--page needs the NAME of one company");
    int status = kExitOk;
    TVelaJobsList all;
    for (TVelaSource* site : sites) {
        site->Jobs.ClearJobs();
        std::string why;
        bool more = false;
        const TBoardState state =
            args.Value("page") ? ReadAnswer(*site, page, "", more) : FetchBoard(e, *site, why);
        site->Jobs.CleanUpJobs(site->KeepCapitals);
        std::ostream& says = args.Has("json") ? io.err : io.out;
        says << EscapeForDisplay(site->Title) << ": ";
        switch (state) {
            case TBoardState::Jobs:
                says << site->Jobs.Count() << (site->Jobs.Count() == 1 ? " job" : " jobs") << "\n";
                break;
            case TBoardState::NotFound:
                says << "not found\n";
                status = kExitFailed;
                break;
            case TBoardState::BadFormat:
                says << "not in the expected format\n";
                status = kExitFailed;
                break;
            case TBoardState::Unreachable:
                says << "unreachable (" << EscapeForDisplay(why) << ")\n";
                status = kExitFailed;
                break;
        }
        all.MergeJobs(site->Jobs, false);
        site->Jobs.ClearJobs();
    }
    if (args.Has("json")) WriteJobs(io.out, all);
    return status;
}

const char* kGroupHelp =
    "Companies whose career boards every search covers, each as a job site of its own.\n"
    "The watch list is companies.txt in the home (one company a line: FAMILY:TOKEN NAME);\n"
    "the job-source update never writes it.\n";

TRegisterGroupHelp help("companies", kGroupHelp);
TRegisterCommand r1({"companies add", "watch a company's career board",
                     "Usage: tessaly companies add ADDRESS|FAMILY:TOKEN [--name NAME]\n\n"
                     "Adds a company to the watch list. ADDRESS is its board's address as a\n"
                     "browser shows it (boards.greenhouse.io/acme, https://jobs.lever.co/acme/,\n"
                     "...); FAMILY:TOKEN names the board directly (greenhouse:acme). NAME is\n"
                     "the name its jobs' site shows (default: the token).\n",
                     Add});
TRegisterCommand r2({"companies list", "the watched companies",
                     "Usage: tessaly companies list\n\nOne line per watched company: its name, "
                     "its board's family and token.\n",
                     List});
TRegisterCommand r3({"companies remove", "stop watching a company",
                     "Usage: tessaly companies remove NAME\n\nTakes the company named NAME "
                     "(its name or its token, in any letter case) off the watch list.\n",
                     Remove});
TRegisterCommand r4(
    {"companies check", "ask watched boards whether they answer, and with how many jobs",
     "Usage: tessaly companies check [NAME] [--page FILE] [--json]\n\n"
     "Asks the board of NAME (or of every watched company) once, as a search does, and says\n"
     "\"N jobs\", \"not found\" or \"not in the expected format\". --page FILE reads a saved\n"
     "answer instead, offline. --json prints the jobs (Title, Company, Location, URL) as\n"
     "JSON and the counts on standard error.\n\n"
     "Exit status: 0 when every board answered with its jobs, 1 when one was not found, not\n"
     "in the expected format or unreachable, 2 for bad usage.\n",
     Check});

}  // namespace
}  // namespace tessaly::cli
