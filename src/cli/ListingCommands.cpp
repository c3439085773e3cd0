// `tessaly list|show|delete|sources|clear-grabbed|note|highlight|export`: the saved
// searches and their listings.
#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/RunCommands.h"
#include "cli/Workspace.h"
#include "data/JobColumns.h"
#include "data/Openings.h"
#include "data/Relevancy.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly::cli {
namespace {

std::unique_ptr<TWorkspace> Open(TCliIO& io, const std::string& command, int& status) {
    auto w = TWorkspace::OpenFor(io, command, false, true);
    if (!w) status = kExitUsage;
    return w;
}

const char* StatusName(uint8_t status) {
    switch (status) {
        case kStatusNew:
            return "New";
        case kStatusGreen:
            return "Validated";
        case kStatusYellow:
            return "Unreachable";
        case kStatusRed:
            return "Invalidated";
        default:
            return "";
    }
}

std::string CsvField(const std::string& stored) {
    // Line breaks stay (quoted, as CSV holds them); other control bytes are escaped.
    const std::string s = EscapeForDisplay(ReplaceAll(stored, "\r\n", "\n"));
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    return "\"" + ReplaceAll(s, "\"", "\"\"") + "\"";
}

// Job rows in the order to print: list positions.
std::vector<int> Rows(const TVelaJobsList& jobs, bool onlyNew) {
    std::vector<int> rows;
    for (int i = 0; i < jobs.Count(); ++i) {
        if (jobs[i].Relevancy == kRelevancyDeleted) continue;
        if (onlyNew && jobs[i].Status != kStatusNew) continue;
        rows.push_back(i);
    }
    return rows;
}

void WriteJson(std::ostream& os, const TVelaJobsList& jobs, const std::vector<int>& rows) {
    TJsonWriter w;
    w.BeginArray();
    for (int i : rows) {
        const TVelaJob& j = jobs[i];
        w.BeginObject()
            .Key("Number")
            .Int(i + 1)
            .Key("Title")
            .Utf8(j.Title)
            .Key("Company")
            .Utf8(j.Company)
            .Key("Location")
            .Utf8(j.Location)
            .Key("Source")
            .Utf8(j.Source)
            .Key("Relevancy")
            .String(RelevancyText(j.Relevancy))
            .Key("Status")
            .String(StatusName(j.Status))
            .Key("High")
            .Bool(j.High)
            .Key("Notes")
            .Utf8(j.Notes)
            .Key("URL")
            .Utf8(j.URL)
            .Key("LocalFile")
            .Utf8(j.LocalFile)
            .Key("AlsoOn")
            .BeginArray();
        for (const TAlsoOn& a : j.AlsoOn)
            w.BeginObject().Key("Source").Utf8(a.Source).Key("URL").Utf8(a.URL).EndObject();
        w.EndArray().EndObject();
    }
    os << w.EndArray().Text() << "\n";
}

void WriteCsv(std::ostream& os, const TVelaJobsList& jobs, const std::vector<int>& rows) {
    os << "Number,Title,Company,Location,Source,Relevancy,Status,High,Notes,URL,LocalFile,"
          "AlsoOn\r\n";
    for (int i : rows) {
        const TVelaJob& j = jobs[i];
        // The other boards' pages in one field, separated by blanks (links hold none).
        std::string alsoOn;
        for (const TAlsoOn& a : j.AlsoOn)
            alsoOn += (alsoOn.empty() ? "" : " ") + a.URL;
        os << i + 1 << ',' << CsvField(j.Title) << ',' << CsvField(j.Company) << ','
           << CsvField(j.Location) << ',' << CsvField(j.Source) << ','
           << CsvField(RelevancyText(j.Relevancy)) << ',' << StatusName(j.Status) << ','
           << (j.High ? "True" : "False") << ',' << CsvField(j.Notes) << ',' << CsvField(j.URL)
           << ',' << CsvField(j.LocalFile) << ',' << CsvField(alsoOn) << "\r\n";
    }
}

}  // namespace

void PrintJobRow(std::ostream& os, const TVelaJobsList& jobs, int i) {
    const TVelaJob& j = jobs[i];
    os << i + 1 << '\t' << (j.High ? "*" : "") << StatusName(j.Status) << '\t'
       << DisplayField(j.Title) << '\t' << DisplayField(j.Company) << '\t'
       << DisplayField(j.Location) << '\t' << DisplayField(SourceWithAlsoOn(j)) << '\t'
       << RelevancyText(j.Relevancy) << '\t' << DisplayField(j.Notes) << "\n";
}

namespace {

// ---- list ----

int List(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "list", parsed.error());
    if (!args.Positional().empty()) return UsageError(io, "list", "expected no arguments");
    // Listing does not make a home: one that does not exist has no searches.
    if (const std::string home = ResolveHomeDirectory(HomeOption()); !PathExists(home)) {
        io.out << "No saved searches in " << home
               << " (it does not exist yet); 'tessaly search' starts one.\n";
        return kExitOk;
    }
    int status = kExitOk;
    auto w = Open(io, "list", status);
    if (!w) return status;
    const TVelaSearchesList& s = w->Engine().SearchList();
    if (s.Count() == 0)
        io.out << "No saved searches in " << w->Home() << "; 'tessaly search' starts one.\n";
    for (int i = 0; i < s.Count(); ++i)
        io.out << i + 1 << '\t' << DisplayField(ReplaceAll(s[i].Keywords, "\r\n", " ")) << '\t'
               << DisplayField(s[i].Region) << '\t' << DisplayField(s[i].Category) << '\t'
               << DisplayField(s[i].Created) << '\t' << s[i].JobCount << "\n";
    // Tables no search names any more (an index cut short, a copy from elsewhere) are
    // not lost silently: naming them counts as an error, since only damage makes them.
    const std::string folder = JoinPath(w->Home(), "searches");
    bool orphans = false;
    for (const std::string& name : ListDirectory(folder)) {
        if (!StartsWith(name, "velares~") || !EndsWith(name, ".tbl")) continue;
        const std::string path = JoinPath(folder, name);
        bool named = false;
        for (int i = 0; i < s.Count() && !named; ++i)
            named = s[i].TableFile == path;
        if (named) continue;
        orphans = true;
        io.err << "tessaly list: " << EscapeForDisplay(path)
               << " belongs to no saved search (the index does not name it); it is left "
                  "as it is.\n";
    }
    return orphans ? kExitUsage : w->Status();
}

// ---- show and export ----

int Show(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"desc", "asc", "new", "json", "csv"}, {"sort"}); !parsed)
        return UsageError(io, "show", parsed.error());
    if (args.Has("desc") && args.Has("asc"))
        return UsageError(io, "show", "--asc and --desc do not go together");
    if (args.Positional().size() != 1) return UsageError(io, "show", "expected N");
    if (args.Has("json") && args.Has("csv"))
        return UsageError(io, "show", "choose one of --json and --csv");
    std::optional<TJobColumn> column = TJobColumn::Relevancy;
    if (auto sort = args.Value("sort"); sort && !(column = JobColumnByName(*sort)))
        return UsageError(io, "show",
                          "unknown column \"" + *sort +
                              "\"; use status, title, company, location, source, relevancy or "
                              "notes");
    int status = kExitOk;
    auto w = Open(io, "show", status);
    if (!w) return status;
    if (auto selected = w->SelectNumber(args.Positional()[0]); !selected)
        return UsageError(io, "show", selected.error());
    TVelaJobsList& jobs = w->Engine().Jobs();
    // Numbers are list positions before the display sort, so note and highlight agree.
    std::vector<int> rows = Rows(jobs, args.Has("new"));
    if (args.Value("sort") || args.Has("desc") || args.Has("asc")) {
        std::vector<TVelaJob*> order;
        TVelaJobsList copy;
        for (int i : rows) {
            TVelaJob& c = copy.AddJob();
            const int index = c.JobIndex;
            c = jobs[i];
            c.JobIndex = index;
            c.RequestID = i;  // remembers the number through the sort
        }
        copy.SortJobs(*column);
        // The relevancy sort gives the highest first, every other column ascends: reverse
        // only when the asked direction is the other one.
        const bool naturallyDescending = column == TJobColumn::Relevancy;
        if (args.Has(naturallyDescending ? "asc" : "desc")) copy.ReverseJobs();
        rows.clear();
        for (int i = 0; i < copy.Count(); ++i)
            rows.push_back(copy[i].RequestID);
    }
    if (args.Has("json")) {
        WriteJson(io.out, jobs, rows);
    } else if (args.Has("csv")) {
        WriteCsv(io.out, jobs, rows);
    } else {
        for (int i : rows)
            PrintJobRow(io.out, jobs, i);
    }
    return w->Status();
}

int Export(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "export", parsed.error());
    if (args.Positional().size() != 2) return UsageError(io, "export", "expected N FILE");
    const std::string& file = args.Positional()[1];
    const bool json = EndsWith(file, ".json");
    if (!json && !EndsWith(file, ".csv"))
        return UsageError(io, "export", "FILE must end in .csv or .json");
    int status = kExitOk;
    auto w = Open(io, "export", status);
    if (!w) return status;
    if (auto selected = w->SelectNumber(args.Positional()[0]); !selected)
        return UsageError(io, "export", selected.error());
    if (w->Engine().TableDamaged(w->Engine().SelectedSearch())) return kExitUsage;
    std::ostringstream text;
    const TVelaJobsList& jobs = w->Engine().Jobs();
    if (json)
        WriteJson(text, jobs, Rows(jobs, false));
    else
        WriteCsv(text, jobs, Rows(jobs, false));
    WriteFileAtomic(file, text.str());
    io.out << "Wrote " << Rows(jobs, false).size() << " jobs to " << file << "\n";
    return kExitOk;
}

// ---- changes to one search ----

// Runs `change` on search N's listing, then saves it as the window does when it closes.
int ChangeSearch(const std::vector<std::string>& argv, TCliIO& io, const std::string& command,
                 size_t positionals, const std::string& expected,
                 const std::function<int(TWorkspace&, const TArgs&)>& change) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, command, parsed.error());
    if (args.Positional().size() != positionals) return UsageError(io, command, expected);
    int status = kExitOk;
    auto w = Open(io, command, status);
    if (!w) return status;
    if (auto selected = w->SelectNumber(args.Positional()[0]); !selected)
        return UsageError(io, command, selected.error());
    // The table could not be read (the error is shown): nothing may be saved over it.
    if (w->Engine().TableDamaged(w->Engine().SelectedSearch())) return kExitUsage;
    status = change(*w, args);
    if (status != kExitOk) return status;
    w->Close();
    return w->Status();
}

TVelaJob* JobNumber(TWorkspace& w, const std::string& number, TCliIO& io,
                    const std::string& command) {
    const auto n = ParseInt(number);
    TVelaJobsList& jobs = w.Engine().Jobs();
    if (!n || *n < 1 || *n > jobs.Count() || jobs[*n - 1].Relevancy == kRelevancyDeleted) {
        UsageError(io, command, "no job number " + number + " in this search");
        return nullptr;
    }
    return &jobs[*n - 1];
}

int Delete(const std::vector<std::string>& argv, TCliIO& io) {
    return ChangeSearch(argv, io, "delete", 1, "expected N", [&](TWorkspace& w, const TArgs&) {
        const std::string keywords = w.Engine().SelectedSearch()->Keywords;
        w.Engine().MMDeleteAllClick();
        io.out << "Deleted the search \"" << DisplayField(keywords) << "\".\n";
        return kExitOk;
    });
}

int ClearGrabbed(const std::vector<std::string>& argv, TCliIO& io) {
    return ChangeSearch(argv, io, "clear-grabbed", 1, "expected N",
                        [&](TWorkspace& w, const TArgs&) {
                            w.Engine().MMDeleteGrabbedClick();
                            io.out << "Cleared the grabbed pages.\n";
                            return kExitOk;
                        });
}

int Note(const std::vector<std::string>& argv, TCliIO& io) {
    return ChangeSearch(argv, io, "note", 3, "expected N JOB TEXT",
                        [&](TWorkspace& w, const TArgs& a) {
                            TVelaJob* job = JobNumber(w, a.Positional()[1], io, "note");
                            if (!job) return kExitUsage;
                            // Typed in UTF-8 (bytes of another code page are read as Windows-1252).
                            job->Notes = Utf8FromStored(a.Positional()[2]);
                            w.Engine().MarkListingModified();
                            return kExitOk;
                        });
}

int Highlight(const std::vector<std::string>& argv, TCliIO& io) {
    return ChangeSearch(argv, io, "highlight", 2, "expected N JOB",
                        [&](TWorkspace& w, const TArgs& a) {
                            TVelaJob* job = JobNumber(w, a.Positional()[1], io, "highlight");
                            if (!job) return kExitUsage;
                            job->High = !job->High;
                            if (job->Status == kStatusNew) job->Status = kStatusWhite;
                            w.Engine().MarkListingModified();
                            io.out << (job->High ? "Highlighted " : "No longer highlighted ")
                                   << "\"" << DisplayField(job->Title) << "\".\n";
                            return kExitOk;
                        });
}

// ---- sources ----

int Sources(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "sources", parsed.error());
    if (!args.Positional().empty()) return UsageError(io, "sources", "expected no arguments");
    int status = kExitOk;
    auto w = Open(io, "sources", status);
    if (!w) return status;
    TSearchEngine& e = w->Engine();
    for (int i = 0; i < e.Sites().Count(); ++i) {
        const TVelaSource& s = e.Sites()[i];
        io.out << DisplayField(s.Title) << '\t' << (e.TakesPart(s) ? "enabled" : "disabled") << '\t'
               << (s.Origin.empty() ? "sources.def" : DisplayField(s.Origin))
               << (e.IsPreferred(s) ? "\tpreferred" : "") << "\n";
    }
    io.out << "Regions: " << DisplayField(Join(e.Sites().MRegions, ", ")) << "\n"
           << "Categories: " << DisplayField(Join(e.Sites().MCategories, ", ")) << "\n";
    return kExitOk;
}

TRegisterCommand r1({"list", "the saved searches with their numbers",
                     "Usage: tessaly list\n\nOne line per saved search: its number, keywords, "
                     "area, category, date and job count.\n",
                     List});
TRegisterCommand r2(
    {"show", "the jobs of a saved search",
     "Usage: tessaly show N [--sort COLUMN] [--asc|--desc] [--new] [--json|--csv]\n\n"
     "Lists the jobs of search N: number, status, title, company, location, source\n"
     "(\"+N\" when N other boards list the same opening), relevancy and notes. COLUMN\n"
     "is status, title, company, location, source, relevancy (the default) or notes.\n"
     "Relevancy lists the highest first unless --asc is given; every other column lists\n"
     "A to Z (status: New first) unless --desc is given. --new shows only the jobs marked\n"
     "New. --json and --csv give the other boards too (AlsoOn).\n",
     Show});
TRegisterCommand r3({"export", "write a listing to a CSV or JSON file",
                     "Usage: tessaly export N FILE.csv|FILE.json\n\nWrites the jobs of search "
                     "N with every field to FILE (format by its extension).\n",
                     Export});
TRegisterCommand r4({"delete", "delete a saved search with its table and grabbed pages",
                     "Usage: tessaly delete N\n\nDeletes search N, its job table and its "
                     "grabbed pages. There is no confirmation.\n",
                     Delete});
TRegisterCommand r5({"clear-grabbed", "delete the grabbed pages of a search",
                     "Usage: tessaly clear-grabbed N\n\nDeletes the grabbed job pages of "
                     "search N; its jobs become White.\n",
                     ClearGrabbed});
TRegisterCommand r6({"note", "set the notes of a job",
                     "Usage: tessaly note N JOB TEXT\n\nSets the notes of job JOB (as 'tessaly "
                     "show N' numbers it) of search N.\n",
                     Note});
TRegisterCommand r7({"highlight", "highlight a job or take the highlight off",
                     "Usage: tessaly highlight N JOB\n\nFlips the highlight of job JOB of "
                     "search N.\n",
                     Highlight});
TRegisterCommand r8({"sources", "the job sites, enabled or not, preferred",
                     "Usage: tessaly sources\n\nOne line per job site: its title, whether it "
                     "takes part in searches, where it comes from (sources.def, the user's own "
                     "mysources.plain, or a company of the watch list companies.txt) and "
                     "whether it is preferred; then the regions and categories searches can "
                     "use.\n",
                     Sources});

}  // namespace
}  // namespace tessaly::cli
