// `tessaly query`: the request a site gets for a search, or for the page after a saved
// result page, for people writing site definitions.
#include <ostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SourcesArg.h"
#include "data/QueryBuilder.h"
#include "platform/TextFile.h"

namespace tessaly::cli {
namespace {

const char* kUsage =
    "Usage: tessaly query SOURCES.DEF SITE --region R --category C --keywords K\n"
    "                     [--en K] [--fr K] [--de K] [--sp K] [--json]\n"
    "       tessaly query --next SOURCES.DEF SITE PAGE [--url ADDRESS] [--json]\n"
    "\n"
    "Builds the first request of SITE (a site number from 0, or a site's Title) for a\n"
    "search with region R, category C (names as in the master lists) and keywords K as\n"
    "typed; --en, --fr, --de and --sp give the translated keywords. With --next, builds\n"
    "the request for the page after the result page saved in the file PAGE; a relative\n"
    "next-page link or form action is completed against ADDRESS, the address the page was\n"
    "saved from (without --url, the site's FirstPageURL).\n"
    "\n"
    "Writes ok, URL, IsPost and Parameters one a line, or with --json one object\n"
    "{\"ok\": B, \"URL\": S, \"IsPost\": B, \"Parameters\": S} (strings hold the bytes as\n"
    "code points 0-255, one per byte). Keywords and codes are sent in the site's Charset\n"
    "when it names one other than UTF-8; a next-page link is read in UTF-8 with its\n"
    "references decoded.\n"
    "\n"
    "Exit status: 0 when there is a request to send, 1 when there is none (the site\n"
    "cannot serve the search, or there is no next page), 2 for bad usage or a file that\n"
    "cannot be read.\n";

void Print(const TQueryRequest& r, bool ok, bool json, std::ostream& out) {
    if (json) {
        TJsonWriter w;
        w.BeginObject()
            .Key("ok")
            .Bool(ok)
            .Key("URL")
            .String(r.URL)
            .Key("IsPost")
            .Bool(r.IsPost)
            .Key("Parameters")
            .String(r.Parameters)
            .EndObject();
        out << w.Text() << "\n";
    } else {
        out << "ok: " << (ok ? "true" : "false") << "\n"
            << "URL: " << r.URL << "\n"
            << "IsPost: " << (r.IsPost ? "true" : "false") << "\n"
            << "Parameters: " << r.Parameters << "\n";
    }
}

int Run(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"next", "json"},
                                 {"region", "category", "keywords", "en", "fr", "de", "sp", "url"});
        !parsed)
        return UsageError(io, "query", parsed.error());
    const bool next = args.Has("next");
    const auto& pos = args.Positional();
    if (next && pos.size() != 3) return UsageError(io, "query", "expected SOURCES.DEF SITE PAGE");
    if (!next && pos.size() != 2) return UsageError(io, "query", "expected SOURCES.DEF SITE");
    if (next) {
        for (const char* o : {"region", "category", "keywords", "en", "fr", "de", "sp"})
            if (args.Has(o))
                return UsageError(io, "query", std::string("--") + o + " does not go with --next");
    } else {
        for (const char* o : {"region", "category", "keywords"})
            if (!args.Has(o)) return UsageError(io, "query", std::string("--") + o + " is needed");
        if (args.Has("url")) return UsageError(io, "query", "--url goes with --next only");
    }

    std::string page;
    if (next) {
        try {
            page = ReadFileBytes(pos[2]);
        } catch (const EFileError& e) {
            io.err << "tessaly query: " << e.what() << "\n";
            return kExitUsage;
        }
    }
    TVelaSourcesList list;
    int status = kExitOk;
    TVelaSource* site = LoadSite(list, pos[0], pos[1], "query", io, status);
    if (site == nullptr) return status;

    TQueryRequest request;
    request.ID = 1;
    bool ok;
    if (next) {
        std::string error;
        const std::string address = SavedPageAddress(args, site, error);
        if (!error.empty()) return UsageError(io, "query", error);
        ok = BuildNextRequest(*site, site->ScriptPage(page), request, {}, address);
    } else {
        TQuerySearch search;
        search.Region = *args.Value("region");
        search.Category = *args.Value("category");
        search.Keywords = *args.Value("keywords");
        search.KeywordsEN = args.Value("en").value_or("");
        search.KeywordsFR = args.Value("fr").value_or("");
        search.KeywordsDE = args.Value("de").value_or("");
        search.KeywordsSP = args.Value("sp").value_or("");
        ok = BuildFirstRequest(*site, search, request);
    }
    Print(request, ok, args.Has("json"), io.out);
    return ok ? kExitOk : kExitFailed;
}

const TRegisterCommand kQuery{{
    "query",
    "build a site's first request for a search, or its next-page request",
    kUsage,
    Run,
}};

}  // namespace
}  // namespace tessaly::cli
