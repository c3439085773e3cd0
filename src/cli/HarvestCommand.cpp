// `tessaly harvest`: cuts the jobs out of a saved result page with one site's scripts,
// so a definition writer can check the scripts without the network.
#include <ostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SourcesArg.h"
#include "data/VelaSources.h"
#include "platform/TextFile.h"

namespace tessaly::cli {

namespace {

int Harvest(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"clean", "us", "json"}, {"url"}); !parsed)
        return UsageError(io, "harvest", parsed.error());
    if (args.Positional().size() != 3)
        return UsageError(io, "harvest", "expected SOURCES.DEF SITE PAGE");
    const auto& pos = args.Positional();
    std::string page;
    try {
        page = ReadFileBytes(pos[2]);
    } catch (const EFileError& e) {
        io.err << "tessaly harvest: " << e.what() << "\n";
        return kExitUsage;
    }
    TVelaSourcesList list;
    int status = kExitOk;
    TVelaSource* site = LoadSite(list, pos[0], pos[1], "harvest", io, status);
    if (site == nullptr) return status;
    TVelaSource& s = *site;
    std::string error;
    const std::string address = SavedPageAddress(args, site, error);
    if (!error.empty()) return UsageError(io, "harvest", error);
    s.HarvestJobs(s.ScriptPage(page), {}, address);
    if (args.Has("clean")) s.Jobs.CleanUpJobs(s.KeepCapitals);
    if (args.Has("us")) s.Jobs.ExpandStates();
    if (args.Has("json")) {
        TJsonWriter w;
        w.BeginArray();
        for (int i = 0; i < s.Jobs.Count(); ++i) {
            const TVelaJob& j = s.Jobs[i];
            w.BeginObject();
            w.Key("Title").String(j.Title);
            w.Key("Company").String(j.Company);
            w.Key("Location").String(j.Location);
            w.Key("URL").String(j.URL);
            w.EndObject();
        }
        w.EndArray();
        io.out << w.Text() << "\n";
    } else {
        io.out << "Title\tCompany\tLocation\tURL\n";
        for (int i = 0; i < s.Jobs.Count(); ++i) {
            const TVelaJob& j = s.Jobs[i];
            io.out << j.Title << "\t" << j.Company << "\t" << j.Location << "\t" << j.URL << "\n";
        }
    }
    return kExitOk;
}

const TRegisterCommand kHarvest{{
    "harvest",
    "cut the jobs out of a saved result page with one site's scripts",
    "Usage: tessaly harvest SOURCES.DEF SITE PAGE [--url ADDRESS] [--clean] [--us] [--json]\n\n"
    "Runs the job block, title, company, location and link scripts of SITE (a site number\n"
    "from 0, or a site's Title) over the saved page PAGE. SOURCES.DEF may be scrambled or\n"
    "the readable plain form. A relative job link is completed against ADDRESS, the\n"
    "address the page was saved from (without --url, the site's FirstPageURL), as a\n"
    "search completes it against the page's address. --clean cleans the jobs as a search\n"
    "does (KeepCapitals True keeps texts in capitals); --us writes out state codes in\n"
    "locations. Prints a tab-separated table, or with --json an array of objects with\n"
    "\"Title\", \"Company\", \"Location\" and \"URL\".\n"
    "The cut fields are turned into UTF-8 as a search does (the site's Charset, else the\n"
    "page's declaration, else UTF-8 when the page is valid UTF-8, else Windows-1252) and\n"
    "JSON-unescaped for TextFormat JSON. They are written as bytes; --json writes each\n"
    "byte as one code point 0-255.\n",
    Harvest,
}};

}  // namespace

}  // namespace tessaly::cli
