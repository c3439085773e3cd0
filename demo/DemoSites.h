// The demo job boards: six boards built differently, each under its own path prefix on
// the one port, and the definitions that describe them for the program.
//
// The boards read their region and category codes from the same definitions they hand
// out, so a code in the definitions and a code the board understands cannot drift
// apart. Everything here is immutable after construction, so the server's connection
// threads may call Handle at the same time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "demo/DemoRequest.h"
#include "demo/DemoServer.h"
#include "demo/JobCatalog.h"
#include "platform/ByteString.h"
#include "platform/Result.h"

namespace tessaly::demo {

// The readable definitions (plain line pairs) as shipped, with "@PORT@" and "@DEADPORT@"
// where the ports go.
std::string_view DefinitionsSource();
// The plain lines with the ports filled in; with `tls` every address of the boards is an
// "https" one.
TStrings PlainDefinitions(int port, int deadPort, bool tls = false);

// What a board learns from its own definition.
struct TBoardCodes {
    std::string Title;
    std::map<std::string, std::string> Regions;     // site code -> master name
    std::map<std::string, std::string> Categories;  // site code -> master name
    int JobsPerPage = 0;
};

class TDemoSites {
  public:
    struct TConfig {
        int port = 0;
        int deadPort = 0;
        int stallMs = 20000;
        bool tls = false;  // the server speaks TLS: every address it hands out is "https"
    };

    // Throws std::runtime_error when the definitions do not load (a build fault).
    explicit TDemoSites(TConfig config);

    TDemoResponse Handle(const TDemoRequest& request) const;

    const TJobCatalog& Catalog() const { return catalog_; }
    const TConfig& Config() const { return config_; }
    const TBoardCodes& Codes(TBoard board) const { return codes_[static_cast<size_t>(board)]; }
    std::string BoardUrl(TBoard board) const;
    // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT", without a slash at the end.
    std::string Base() const;

    // The session cookie value the cookie board expects for a search.
    static std::string SessionToken(std::string_view region, std::string_view category,
                                    const TStrings& keywords);

  private:
    using TPage = TDemoResponse (TDemoSites::*)(const TDemoRequest&) const;
    // A board: where it lives and how its pages are addressed. Every board is one row of
    // kBoards; what differs between boards is in its columns, not in code.
    struct TBoardInfo {
        const char* prefix;  // path prefix, slashes on both sides
        const char* title;   // as in the definitions
        // The search form: its results page (the form's action), its method and fields.
        const char* results;
        const char* method;
        const char* keywordField;
        const char* regionField;
        const char* categoryField;
        TPage resultsPage;
        // A further results page (the classifieds board) and its handler, or none.
        const char* more;
        TPage morePage;
        // A job's page: `job` with the job number in the parameter `jobParam`, or when
        // there is none, in the path after `job` and before `jobSuffix`.
        const char* job;
        const char* jobParam;
        const char* jobSuffix;
    };
    static const TBoardInfo kBoards[kBoardCount];
    static const TBoardInfo& Info(TBoard board) { return kBoards[static_cast<size_t>(board)]; }

    struct TSearch {
        std::string region;    // master name; empty when the code is unknown
        std::string category;  // master name
        bool known = true;     // false when a code was not understood
        TStrings keywords;
    };

    TSearch ReadSearch(TBoard board, const std::string& regionCode, const std::string& categoryCode,
                       TStrings keywords) const;

    TDemoResponse Index() const;
    TDemoResponse Home(TBoard board) const;
    TDemoResponse Detail(TBoard board, const TDemoJob* job) const;
    TDemoResponse Logo() const;
    TDemoResponse Apply(TBoard board, const TDemoRequest& request) const;

    TDemoResponse CareerHub(const TDemoRequest& request) const;
    TDemoResponse JobFair(const TDemoRequest& request) const;
    TDemoResponse MetroJobs(const TDemoRequest& request, bool more) const;
    TDemoResponse MetroFind(const TDemoRequest& request) const { return MetroJobs(request, false); }
    TDemoResponse MetroMore(const TDemoRequest& request) const { return MetroJobs(request, true); }
    TDemoResponse Emploi(const TDemoRequest& request) const;
    TDemoResponse TechPost(const TDemoRequest& request) const;
    TDemoResponse SlowBoard(const TDemoRequest& request) const;

    TConfig config_;
    TJobCatalog catalog_;
    std::vector<TBoardCodes> codes_;
};

// Text as MarkupEscape writes it, with every byte above 127 written as a named entity
// where there is one (else as a numeric one), as the French board writes its accents.
std::string HtmlEscapeAccents(std::string_view text);
// An error page with a status.
TDemoResponse ErrorPage(int status, const std::string& reason, const std::string& text);

}  // namespace tessaly::demo
