#include "support/TestBoards.h"

#include <stdexcept>

#include "data/VelaSources.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly::test {

std::string JobRow(int id, const std::string& title, const std::string& company,
                   const std::string& place) {
    return "<tr class=job><td><a href=/job/" + IntToStr(id) + ">" + title + "</a></td><td>" +
           company + "</td><td>" + place + "</td></tr>\n";
}

namespace {

const char* const kBlock =
    "Go(Begin, \"<tr class=job>\", IgnoreCase);|\xA7|Cut(All, Backward);|\xA7|"
    "Go(After, \"</tr>\", IgnoreCase);|\xA7|Get(All, Backward);|\xA7|Cut(All, Backward);";
const char* const kTitle =
    "Go(After, \"<a href=\");|\xA7|Go(After, \">\");|\xA7|Cut(All, Backward);|\xA7|"
    "Go(Begin, \"</a>\");|\xA7|Get(All, Backward);";
const char* const kCompany =
    "Go(After, \"</td><td>\");|\xA7|Cut(All, Backward);|\xA7|Go(Begin, \"</td>\");|\xA7|"
    "Get(All, Backward);";
const char* const kLocation =
    "Go(#2, After, \"</td><td>\");|\xA7|Cut(All, Backward);|\xA7|Go(Begin, \"</td>\");|\xA7|"
    "Get(All, Backward);";

}  // namespace

TTestBoards::TTestBoards()
    : server_([this](const TTestHttpServer::TRequest& r) { return Answer(r); }, true) {}

std::string TTestBoards::Host() const {
    return "http://127.0.0.1:" + IntToStr(server_.Port());
}

void TTestBoards::WriteHome(const std::string& home, const std::string& extra) {
    ForceDirectories(JoinPath(home, "searches"));
    WriteTextLines(JoinPath(home, "id.box"),
                   {"[ID]", "Product=TJ98", "Version=1.15", "Edition=Generic"});
    // Written options: the shortest time-out the dialog allows; tests shorten its seconds.
    WriteTextLines(JoinPath(home, "options.box"),
                   {"[Visual]", "Yellow=True", "[Connection]", "MaxJobs=25", "TimeOut=15",
                    "MaxThreads=8", "[Sources]", "Epsilon Jobs=Disabled"});
    WriteSources(home, extra);
}

void DisableBoards(const std::string& home, const TStrings& titles) {
    const std::string path = JoinPath(home, "options.box");
    TStrings options = ReadTextLines(path);
    for (const std::string& title : titles)
        options.push_back(title + "=Disabled");
    WriteTextLines(path, options);
}

void TTestBoards::WriteSources(const std::string& home, const std::string& extra) {
    const std::string h = Host();
    const std::string urlScript =
        "Go(After, \"<a href=\");|\xA7|Cut(All, Backward);|\xA7|Go(Begin, \">\");|\xA7|"
        "Add(\"" +
        h + "\");|\xA7|Get(All, Backward);";
    const std::string next =
        "Go(Begin, \"Next &gt;\");|\xA7|Cut(All, Forward);|\xA7|"
        "Go(Backward, After, \"<a href=\");|\xA7|Cut(All, Backward);|\xA7|"
        "Go(Begin, \">\");|\xA7|Add(\"" +
        h + "\");|\xA7|Get(All, Backward);";
    TStrings lines = {"Version",  "2026.12.08", "MRegions",    "Boston",
                      "MRegions", "Austin",     "MCategories", "Trades"};
    int n = 0;
    auto site = [&](const std::string& title, const std::string& url, const std::string& params,
                    const TStrings& more) {
        const std::string sfx = n == 0 ? "" : "|" + IntToStr(n);
        ++n;
        TStrings s = {"Title",
                      title,
                      "Enabled",
                      "True",
                      "FirstPageURL",
                      url,
                      "FirstPageParameters",
                      params,
                      "JobBlockScript",
                      kBlock,
                      "JobTitleScript",
                      kTitle,
                      "JobCompanyScript",
                      kCompany,
                      "JobLocationScript",
                      kLocation,
                      "JobURLScript",
                      urlScript};
        s.insert(s.end(), more.begin(), more.end());
        for (size_t i = 0; i < s.size(); i += 2) {
            lines.push_back(s[i] + sfx);
            lines.push_back(s[i + 1]);
        }
    };
    site("Alpha Jobs", h + "/alpha", "?q=<keyword>",
         {"JobsPerPage", "2", "MultiplePages", "True", "NextPageLinkScript", next});
    site("Beta Jobs", "http://127.0.0.1:" + IntToStr(TTestHttpServer::UnusedPort()) + "/",
         "?q=<keyword>", {});
    site("Gamma Jobs", h + "/gamma", "?r=<region>",
         {"Regions", "", "Regions", "TX", "Categories", "t"});
    site("Delta Jobs", h + "/delta", "?q=<keyword>", {});
    site("Epsilon Jobs", h + "/alpha", "?q=<keyword>", {});
    if (!extra.empty()) site(extra, h + "/extra", "?q=<keyword>", extraLines);
    auto encoded = EncodeSourcesLines(lines);
    if (!encoded.ok()) throw std::runtime_error("test definitions do not encode");
    WriteFileBytes(JoinPath(home, "sources.def"), encoded.value());
}

TTestHttpServer::TAnswer TTestBoards::Answer(const TTestHttpServer::TRequest& r) {
    const std::string& line = r.requestLine;
    auto page = [](const std::string& rows, const std::string& tail = "") {
        return TTestHttpServer::Normal("<html><table>\n" + rows + "</table>" + tail + "</html>\n");
    };
    if (line.find("/alpha?page=2") != std::string::npos)
        return page(JobRow(3, "Pipe Welder", "Harbor Works", "Boston, MA") + extraRow);
    if (line.find("/alpha") != std::string::npos)
        return page(JobRow(1, "SENIOR WELDER", "Smith &amp; Sons", "Boston, MA") +
                        JobRow(2, "Welder Helper", "Iron Co", "Quincy, MA"),
                    "<p><a href=/alpha?page=2>Next &gt;&gt;</a></p>");
    if (line.find("/extra") != std::string::npos && extraAnswer) return extraAnswer(r);
    if (line.find("/delta") != std::string::npos) {
        ++deltaHits;
        TTestHttpServer::TAnswer a;
        a.bytes = "HTTP/1.0 200 OK\r\n\r\n";
        a.stallMs = 8000;
        return a;
    }
    if (line.find("/job/") != std::string::npos) {
        const std::string id = line.substr(line.find("/job/") + 5, 1);
        return TTestHttpServer::Normal(
            "<html><body><form ACTION=\"/apply.cgi\"><img SRC=/logo.gif></form>\n"
            "Job " +
            id + (id == "1" ? " needs TIG experience" : " general work") +
            // Job 3's page is in the Windows code page and does not say so.
            (id == "3" ? ", qualit\xe9 \xe9t\xe9 1998" : "") + "\n</body></html>\n");
    }
    return TTestHttpServer::Status(404, "Not Found", "none");
}

}  // namespace tessaly::test
