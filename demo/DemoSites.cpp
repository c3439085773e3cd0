#include "demo/DemoSites.h"

#include <algorithm>
#include <stdexcept>

#include "data/VelaSources.h"
#include "demo/Gif.h"
#include "platform/Charset.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly::demo {

namespace {

std::string Replace(std::string text, std::string_view from, std::string_view to) {
    return ReplaceAll(text, from, to);
}

int PageNumber(const std::string& text, int fallback) {
    const auto v = ParseInt(text);
    return v && *v >= 0 && *v < 100000 ? *v : fallback;
}

std::string Page(const std::string& title, const std::string& body, const std::string& head = "") {
    return "<html>\r\n<head>" + head + "<title>" + title +
           "</title></head>\r\n<body bgcolor=\"#FFFFFF\">\r\n" + body + "</body>\r\n</html>\r\n";
}

// The catalog's texts are Windows-1252; a board that speaks UTF-8 converts them.
std::string Utf8(const std::string& cp1252) {
    return Utf8FromCp1252(cp1252);
}

// A text as a JSON string, every character past ASCII as \uXXXX and "/" escaped, as feed
// writers often do.
std::string JsonQuoted(const std::string& cp1252) {
    static const char* kHex = "0123456789abcdef";
    std::string out = "\"";
    const std::string text = Utf8(cp1252);
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextUtf8(text, i);
        if (c == '"' || c == '\\' || c == '/') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(c >> shift) & 15];
        }
    }
    return out + "\"";
}

TDemoResponse Html(std::string body) {
    TDemoResponse r;
    r.body = std::move(body);
    return r;
}

std::string Capitals(std::string_view s) {
    return UpperCase(s);
}

// FNV-1a, enough to tell one search's session from another's.
std::string Hash(std::string_view text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char* kHex = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 12; ++i) {
        out += kHex[h & 15];
        h >>= 4;
    }
    return out;
}

std::string JoinQuery(const TPairs& pairs) {
    std::string q;
    for (const auto& [n, v] : pairs) {
        if (!q.empty()) q += "&";
        q += UrlEncode(n) + "=" + UrlEncode(v);
    }
    return q;
}

TStrings AllValues(const TDemoRequest& r, std::string_view name) {
    TStrings values;
    for (const auto& [n, v] : r.Params())
        if (n == name && !v.empty()) values.push_back(v);
    return values;
}

}  // namespace

const TDemoSites::TBoardInfo TDemoSites::kBoards[kBoardCount] = {
    {"/careerhub/", "CareerHub Online", "search", "get", "kw", "st", "cat", &TDemoSites::CareerHub,
     "", nullptr, "job", "id", ""},
    {"/jobfair/", "JobFair Weekly", "results.cgi", "post", "keywords", "area", "field",
     &TDemoSites::JobFair, "", nullptr, "posting/", "", ".html"},
    {"/metrojobs/", "Metro Classifieds", "find", "get", "q", "loc", "sect", &TDemoSites::MetroFind,
     "more", &TDemoSites::MetroMore, "ad", "ref", ""},
    {"/emploi/", "Carrefour Emploi", "recherche", "get", "motscles", "region", "secteur",
     &TDemoSites::Emploi, "", nullptr, "offre", "no", ""},
    {"/techpost/", "TechPost Careers", "results", "get", "skill1", "area", "dept",
     &TDemoSites::TechPost, "", nullptr, "jobs/", "", ""},
    {"/slowboard/", "Lazy River Jobs", "find", "get", "q", "r", "c", &TDemoSites::SlowBoard, "",
     nullptr, "view", "id", ""},
    // Served by a server of its own: this one only says so.
    {"/harbor/", "Harbor Line Careers", "find", "get", "q", "r", "c", nullptr, "", nullptr, "", "",
     ""},
};

std::string HtmlEscapeAccents(std::string_view text) {
    static const std::pair<unsigned char, const char*> kNames[] = {
        {0xe0, "agrave"}, {0xe2, "acirc"}, {0xe7, "ccedil"}, {0xe8, "egrave"}, {0xe9, "eacute"},
        {0xea, "ecirc"},  {0xeb, "euml"},  {0xee, "icirc"},  {0xef, "iuml"},   {0xf4, "ocirc"},
        {0xf9, "ugrave"}, {0xfb, "ucirc"}, {0xc9, "Eacute"},
    };
    std::string out;
    for (char ch : MarkupEscape(text)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 128) {
            out += ch;
            continue;
        }
        const char* name = nullptr;
        for (const auto& [code, n] : kNames)
            if (code == c) name = n;
        out += name ? std::string("&") + name + ";" : "&#" + IntToStr(c) + ";";
    }
    return out;
}

TDemoResponse ErrorPage(int status, const std::string& reason, const std::string& text) {
    TDemoResponse r;
    r.status = status;
    r.reason = reason;
    r.body =
        Page(IntToStr(status) + " " + reason, "<h1>" + reason + "</h1>\r\n<p>" + text + "</p>\r\n");
    return r;
}

std::string_view DefinitionsSource();  // generated from demo-sites.plain

TStrings PlainDefinitions(int port, int deadPort, bool tls) {
    std::string text(DefinitionsSource());
    // Every address in the definitions (queries, the scripts' link bases) is the server's.
    if (tls) text = Replace(std::move(text), "http://127.0.0.1:@", "https://127.0.0.1:@");
    text = Replace(std::move(text), "@DEADPORT@", IntToStr(deadPort));
    text = Replace(std::move(text), "@PORT@", IntToStr(port));
    return SplitLines(text);
}

// ---------------------------------------------------------------------------

TDemoSites::TDemoSites(TConfig config) : config_(config) {
    auto encoded =
        EncodeSourcesLines(PlainDefinitions(config_.port, config_.deadPort, config_.tls));
    if (!encoded) throw std::runtime_error("demo definitions: " + encoded.error());
    TVelaSourcesList list;
    list.LoadFromText(encoded.value(), "demo definitions");
    codes_.resize(kBoardCount);
    for (int b = 0; b < kBoardCount; ++b) {
        const TBoardInfo& info = kBoards[b];
        const TVelaSource* site = nullptr;
        for (int i = 0; i < list.Count(); ++i)
            if (list[i].Title == info.title) site = &list[i];
        if (!site) throw std::runtime_error(std::string("demo definitions lack ") + info.title);
        TBoardCodes& codes = codes_[static_cast<size_t>(b)];
        codes.Title = site->Title;
        codes.JobsPerPage = site->JobsPerPage;
        for (size_t i = 0; i < site->Regions.size() && i < list.MRegions.size(); ++i)
            if (!site->Regions[i].empty()) codes.Regions[site->Regions[i]] = list.MRegions[i];
        for (size_t i = 0; i < site->Categories.size() && i < list.MCategories.size(); ++i)
            if (!site->Categories[i].empty())
                codes.Categories[site->Categories[i]] = list.MCategories[i];
    }
}

std::string TDemoSites::Base() const {
    return std::string(config_.tls ? "https" : "http") + "://127.0.0.1:" + IntToStr(config_.port);
}

std::string TDemoSites::BoardUrl(TBoard board) const {
    return Base() + Info(board).prefix;
}

std::string TDemoSites::SessionToken(std::string_view region, std::string_view category,
                                     const TStrings& keywords) {
    return Hash(std::string(region) + "|" + std::string(category) + "|" + Join(keywords, "|"));
}

TDemoSites::TSearch TDemoSites::ReadSearch(TBoard board, const std::string& regionCode,
                                           const std::string& categoryCode,
                                           TStrings keywords) const {
    const TBoardCodes& codes = Codes(board);
    TSearch s;
    s.keywords = std::move(keywords);
    if (auto it = codes.Regions.find(regionCode); it != codes.Regions.end())
        s.region = it->second;
    else
        s.known = false;
    if (auto it = codes.Categories.find(categoryCode); it != codes.Categories.end())
        s.category = it->second;
    else
        s.known = false;
    return s;
}

TDemoResponse TDemoSites::Handle(const TDemoRequest& r) const {
    const std::string& p = r.path;
    if (p == "/" || p == "/index.html") return Index();
    for (int b = 0; b < kBoardCount; ++b) {
        const auto board = static_cast<TBoard>(b);
        const std::string prefix = Info(board).prefix;
        if (!StartsWith(p, prefix) && p != prefix.substr(0, prefix.size() - 1)) continue;
        if (board == TBoard::Harbor)
            return ErrorPage(404, "Not Found", "This board is served elsewhere.");
        const std::string rest = p.size() > prefix.size() ? p.substr(prefix.size()) : "";
        if (rest.empty() || rest == "index.html") return Home(board);
        if (rest == "logo.gif") return Logo();
        if (rest == "apply") return Apply(board, r);
        auto job = [&](const std::string& idText) -> const TDemoJob* {
            const auto id = ParseInt(idText);
            const TDemoJob* j = id ? catalog_.ById(*id) : nullptr;
            return j && j->Board == board ? j : nullptr;
        };
        const TBoardInfo& info = Info(board);
        if (rest == info.results) return (this->*info.resultsPage)(r);
        if (info.morePage && rest == info.more) return (this->*info.morePage)(r);
        const std::string page = info.job, suffix = info.jobSuffix;
        if (*info.jobParam) {
            if (rest == page) return Detail(board, job(r.Param(info.jobParam)));
        } else if (rest.size() >= page.size() + suffix.size() && StartsWith(rest, page) &&
                   EndsWith(rest, suffix)) {
            return Detail(board,
                          job(rest.substr(page.size(), rest.size() - page.size() - suffix.size())));
        }
        return ErrorPage(404, "Not Found",
                         "There is no page " + MarkupEscape(p) + " on this board.");
    }
    return ErrorPage(404, "Not Found", "There is no page " + MarkupEscape(p) + " here.");
}

TDemoResponse TDemoSites::Index() const {
    std::string body = "<h1>Demo job boards</h1>\r\n<ul>\r\n";
    for (int b = 0; b < kBoardCount; ++b) {
        const auto board = static_cast<TBoard>(b);
        if (board == TBoard::Harbor) continue;
        body += "<li><a href=\"" + std::string(Info(board).prefix) + "\">" +
                MarkupEscape(Info(board).title) + "</a></li>\r\n";
    }
    body += "</ul>\r\n<p>" + IntToStr(static_cast<int64_t>(catalog_.Jobs().size())) +
            " jobs in all.</p>\r\n";
    return Html(Page("Demo job boards", body));
}

TDemoResponse TDemoSites::Home(TBoard board) const {
    const TBoardCodes& codes = Codes(board);
    std::string body = "<h1>" + MarkupEscape(codes.Title) + "</h1>\r\n";
    body += "<p>" + IntToStr(static_cast<int64_t>(catalog_.OfBoard(board).size())) +
            " jobs online.</p>\r\n";
    // A search form as a visitor would use it; the program sends the same fields.
    const TBoardInfo& info = Info(board);
    const std::string action = info.results, method = info.method, kw = info.keywordField,
                      region = info.regionField, category = info.categoryField;
    body += "<form action=\"" + action + "\" method=" + method + ">\r\n";
    body += "Keywords: <input type=text name=" + kw + ">\r\n<select name=" + region + ">\r\n";
    for (const auto& [code, name] : codes.Regions)
        body += "<option value=\"" + MarkupEscape(code) + "\">" + MarkupEscape(name) + "\r\n";
    body += "</select>\r\n<select name=" + category + ">\r\n";
    for (const auto& [code, name] : codes.Categories)
        body += "<option value=\"" + MarkupEscape(code) + "\">" + MarkupEscape(name) + "\r\n";
    body += "</select>\r\n<input type=submit value=\"Search\">\r\n</form>\r\n";
    return Html(Page(MarkupEscape(codes.Title), body));
}

TDemoResponse TDemoSites::Logo() const {
    TDemoResponse r;
    r.contentType = "image/gif";
    r.body = DrawBanner(88, 31, 0x003366, 0xFFCC00, "JOBS", false);
    return r;
}

TDemoResponse TDemoSites::Apply(TBoard board, const TDemoRequest& r) const {
    if (r.method != "POST")
        return ErrorPage(405, "Method Not Allowed", "Applications are sent with the form.");
    const auto id = ParseInt(r.Param("id"));
    const TDemoJob* j = id ? catalog_.ById(*id) : nullptr;
    if (!j || j->Board != board) return ErrorPage(404, "Not Found", "No such job.");
    return Html(Page("Thank you", "<h1>Thank you</h1>\r\n<p>Your application for " +
                                      MarkupEscape(j->Title) + " at " + MarkupEscape(j->Company) +
                                      " has been sent.</p>\r\n"));
}

TDemoResponse TDemoSites::Detail(TBoard board, const TDemoJob* j) const {
    if (!j) return ErrorPage(404, "Not Found", "This job is no longer listed.");
    const std::string prefix = Info(board).prefix;
    const bool french = board == TBoard::Emploi;
    const std::string title = french ? HtmlEscapeAccents(j->TitleFr) : MarkupEscape(j->Title);
    std::string b;
    // Relative addresses on purpose: grabbing rewrites SRC= and ACTION= for offline reading.
    // Some boards quote them, some do not.
    if (board == TBoard::MetroJobs || board == TBoard::SlowBoard)
        b += "<img SRC=" + prefix + "logo.gif alt=\"" + MarkupEscape(Info(board).title) + "\">\r\n";
    else
        b += "<img src=\"" + prefix + "logo.gif\" alt=\"" + MarkupEscape(Info(board).title) +
             "\">\r\n";
    b += "<h1>" + title + "</h1>\r\n";
    if (french) b += "<p><i>" + MarkupEscape(j->Title) + "</i></p>\r\n";
    b += "<p><b>" + HtmlEscapeAccents(j->Company) + "</b> - " + MarkupEscape(j->City) + ", " +
         j->State + "</p>\r\n";
    b += "<p>Category: " + MarkupEscape(j->Category) + ". Posted " + j->Posted + ". Salary " +
         MarkupEscape(j->Salary) + ".</p>\r\n";
    b += "<p>" + HtmlEscapeAccents(j->Company) + " is looking for a " + MarkupEscape(j->Title) +
         " for its " + MarkupEscape(j->City) + " office. ";
    for (const std::string& d : j->Duties)
        b += MarkupEscape(d) + " ";
    b += "</p>\r\n<h3>Requirements</h3>\r\n<ul>\r\n";
    for (const std::string& s : j->Skills)
        b += "<li>" + MarkupEscape(s) + "\r\n";
    b += "</ul>\r\n";
    if (board == TBoard::MetroJobs)
        b += "<form ACTION=" + prefix + "apply method=post>\r\n";
    else
        b += "<form action=\"" + prefix + "apply\" method=post>\r\n";
    b += "<input type=hidden name=id value=" + IntToStr(j->Id) +
         ">\r\n<input type=submit value=\"Apply now\">\r\n</form>\r\n";
    b += "<p><a href=\"" + prefix + "\">" + MarkupEscape(Info(board).title) + " home</a></p>\r\n";
    return Html(Page(title + " - " + MarkupEscape(Info(board).title), b));
}

// GET with "?" and "&"; ten a page; pages followed by a link.
TDemoResponse TDemoSites::CareerHub(const TDemoRequest& r) const {
    const TStrings kw = KeywordWords(r.Param("kw"));
    const TSearch s = ReadSearch(TBoard::CareerHub, r.Param("st"), r.Param("cat"), kw);
    const int perPage = Codes(TBoard::CareerHub).JobsPerPage;
    const int page = std::max(1, PageNumber(r.Param("page"), 1));
    const auto jobs = s.known ? catalog_.Find(TBoard::CareerHub, kw, s.region, s.category)
                              : std::vector<const TDemoJob*>{};
    const size_t first = static_cast<size_t>((page - 1) * perPage);
    const size_t last = std::min(jobs.size(), first + static_cast<size_t>(perPage));
    std::string b = "<h2>CareerHub Online</h2>\r\n";
    if (first >= jobs.size()) {
        b += "<p>No jobs matched your search.</p>\r\n";
        return Html(Page("CareerHub Online - Search Results", b));
    }
    b += "<p>Jobs " + IntToStr(static_cast<int64_t>(first + 1)) + " to " +
         IntToStr(static_cast<int64_t>(last)) + " of " +
         IntToStr(static_cast<int64_t>(jobs.size())) + " for <b>" + MarkupEscape(Join(kw, " ")) +
         "</b></p>\r\n";
    b += "<table border=0 cellpadding=2>\r\n<tr><th>Title</th><th>Company</th><th>Location</th><th>"
         "Posted</th></tr>\r\n";
    for (size_t i = first; i < last; ++i) {
        const TDemoJob& j = *jobs[i];
        b += "<tr class=job><td><a href=job?id=" + IntToStr(j.Id) + ">" + MarkupEscape(j.Title) +
             "</a></td><td>" + MarkupEscape(j.Company) + "</td><td>" + MarkupEscape(j.City) + ", " +
             j.State + "</td><td>" + j.Posted + "</td></tr>\r\n";
    }
    b += "</table>\r\n";
    if (last < jobs.size())
        b += "<p><a href=search?" +
             JoinQuery({{"kw", Join(kw, " ")},
                        {"st", r.Param("st")},
                        {"cat", r.Param("cat")},
                        {"page", IntToStr(page + 1)}}) +
             ">Next 10 Jobs &gt;&gt;</a></p>\r\n";
    return Html(Page("CareerHub Online - Search Results", b));
}

// A POST form; the next page is another POST form with hidden fields; titles in capitals.
TDemoResponse TDemoSites::JobFair(const TDemoRequest& r) const {
    if (r.method != "POST")
        return ErrorPage(405, "Method Not Allowed",
                         "Please search with the form on our home page.");
    const std::string words = r.Param("keywords");
    const TStrings kw = KeywordWords(words);
    const TSearch s = ReadSearch(TBoard::JobFair, r.Param("area"), r.Param("field"), kw);
    const int perPage = Codes(TBoard::JobFair).JobsPerPage;
    const int offset = PageNumber(r.Param("offset"), 0);
    const auto jobs = s.known ? catalog_.Find(TBoard::JobFair, kw, s.region, s.category)
                              : std::vector<const TDemoJob*>{};
    std::string b = "<h1>JOBFAIR WEEKLY</h1>\r\n";
    const size_t first = static_cast<size_t>(offset);
    const size_t last = std::min(jobs.size(), first + static_cast<size_t>(perPage));
    if (first >= jobs.size()) {
        b += "<p>SORRY, NO POSTINGS MATCH.</p>\r\n";
        return Html(Page("JobFair Weekly", b));
    }
    for (size_t i = first; i < last; ++i) {
        const TDemoJob& j = *jobs[i];
        b += "<div class=\"posting\">\r\n<span class=\"jt\">" + MarkupEscape(Capitals(j.Title)) +
             "</span> - <span class=\"co\">" + MarkupEscape(j.Company) +
             "</span><br>\r\n<span class=\"loc\">" + MarkupEscape(j.City) + ", " + j.State +
             "</span> &middot; posted " + j.Posted + "<br>\r\n<a href=\"/jobfair/posting/" +
             IntToStr(j.Id) + ".html\">Full description</a>\r\n</div>\r\n";
    }
    if (last < jobs.size()) {
        b += "<form name=more action=\"" + Base() + "/jobfair/results.cgi\" method=\"post\">\r\n";
        b += "<input type=\"hidden\" name=\"keywords\" value=\"" + MarkupEscape(Join(kw, " ")) +
             "\">\r\n";
        b += "<input type=\"hidden\" name=\"area\" value=\"" + MarkupEscape(r.Param("area")) +
             "\">\r\n";
        b += "<input type=\"hidden\" name=\"field\" value=\"" + MarkupEscape(r.Param("field")) +
             "\">\r\n";
        b += "<input type=\"hidden\" name=\"offset\" value=\"" +
             IntToStr(static_cast<int64_t>(last)) + "\">\r\n";
        b += "<input type=\"submit\" value=\"More Jobs\">\r\n</form>\r\n";
    }
    return Html(Page("JobFair Weekly", b));
}

// Page 1 sets a session cookie; the later pages refuse a visitor without it.
TDemoResponse TDemoSites::MetroJobs(const TDemoRequest& r, bool more) const {
    const TStrings kw = AllValues(r, "q");
    const std::string loc = r.Param("loc"), sect = r.Param("sect");
    const std::string token = SessionToken(loc, sect, kw);
    if (more && r.CookieValue("MJSESSION") != token)
        return ErrorPage(403, "Forbidden",
                         "Your session has expired. Please start a new search from our home page.");
    const TSearch s = ReadSearch(TBoard::MetroJobs, loc, sect, kw);
    const int perPage = Codes(TBoard::MetroJobs).JobsPerPage;
    const int page = more ? std::max(2, PageNumber(r.Param("page"), 2)) : 1;
    const auto jobs = s.known ? catalog_.Find(TBoard::MetroJobs, kw, s.region, s.category)
                              : std::vector<const TDemoJob*>{};
    const size_t first = static_cast<size_t>((page - 1) * perPage);
    const size_t last = std::min(jobs.size(), first + static_cast<size_t>(perPage));
    // This board speaks UTF-8 and says so in a meta tag; it writes typographic references,
    // breaks long titles over two lines and escapes "&" in its links.
    std::string b = "<h1>Metro Classifieds &#8211; Help Wanted</h1>\r\n";
    if (first >= jobs.size()) {
        b += "<p>No ads today for this search.</p>\r\n";
    } else {
        b += "<ul>\r\n";
        for (size_t i = first; i < last; ++i) {
            const TDemoJob& j = *jobs[i];
            std::string title = ReplaceAll(Utf8(MarkupEscape(j.Title)), "'", "&rsquo;");
            if (const size_t blank = title.find(' '); blank != std::string::npos)
                title.replace(blank, 1, "\r\n");
            b += "<li class=ad><a href=ad?ref=" + IntToStr(j.Id) + "&amp;from=list><b>" + title +
                 "</b></a><br><i>" + ReplaceAll(Utf8(MarkupEscape(j.Company)), "'", "&rsquo;") +
                 "</i>&nbsp;&middot; <font size=-1>" + Utf8(MarkupEscape(j.City)) + ", " + j.State +
                 "</font></li>\r\n";
        }
        b += "</ul>\r\n";
        if (last < jobs.size()) {
            TPairs q = {{"page", IntToStr(page + 1)}, {"loc", loc}, {"sect", sect}};
            for (const std::string& k : kw)
                q.emplace_back("q", k);
            b += "<p><a href=more?" + ReplaceAll(JoinQuery(q), "&", "&amp;") +
                 ">More ads &gt;</a></p>\r\n";
        }
    }
    TDemoResponse resp = Html(Page("Metro Classifieds", b, "<meta charset=\"utf-8\">"));
    resp.headers.push_back("Set-Cookie: MJSESSION=" + token + "; path=/metrojobs/");
    return resp;
}

// French keywords joined by commas; one page; only some regions.
TDemoResponse TDemoSites::Emploi(const TDemoRequest& r) const {
    // An old board: its pages are Windows-1252 without saying so. Keywords sent in UTF-8
    // are understood too.
    const TStrings kw = KeywordWords(FromUtf8(r.Param("motscles"), TCharset::Windows1252));
    const TSearch s = ReadSearch(TBoard::Emploi, r.Param("region"), r.Param("secteur"), kw);
    std::string b = "<h1>Carrefour Emploi</h1>\r\n";
    if (!s.known) {
        b += "<p>R&eacute;gion ou secteur inconnu.</p>\r\n";
        return Html(Page("Carrefour Emploi", b));
    }
    auto jobs = catalog_.Find(TBoard::Emploi, kw, s.region, s.category);
    if (jobs.size() > 25) jobs.resize(25);
    b += "<p>" + IntToStr(static_cast<int64_t>(jobs.size())) +
         " offre(s) d\x92"
         "emploi.</p>\r\n";
    b += "<table>\r\n";
    for (const TDemoJob* j : jobs)
        b += "<tr class=offre><td class=poste><a href=\"offre?no=" + IntToStr(j->Id) + "\">" +
             MarkupEscape(j->TitleFr) + "</a></td><td class=lieu>" + MarkupEscape(j->City) + " " +
             j->State + "</td><td class=employeur>" + MarkupEscape(j->Company) + "</td></tr>\r\n";
    b += "</table>\r\n";
    return Html(Page("Carrefour Emploi - Offres", b));
}

// Keywords as numbered fields; the results are a JSON feed whose next page is a quoted
// relative link.
TDemoResponse TDemoSites::TechPost(const TDemoRequest& r) const {
    TStrings kw;
    for (const char* name : {"skill1", "skill2", "skill3"})
        for (const std::string& w : KeywordWords(r.Param(name)))
            kw.push_back(w);
    const TSearch s = ReadSearch(TBoard::TechPost, r.Param("area"), r.Param("dept"), kw);
    const int perPage = Codes(TBoard::TechPost).JobsPerPage;
    const int start = PageNumber(r.Param("start"), 0);
    const auto jobs = s.known ? catalog_.Find(TBoard::TechPost, kw, s.region, s.category)
                              : std::vector<const TDemoJob*>{};
    const size_t first = static_cast<size_t>(start);
    const size_t last = std::min(jobs.size(), first + static_cast<size_t>(perPage));
    std::string b = "{\"board\": \"TechPost Careers\", \"total\": " +
                    IntToStr(static_cast<int64_t>(jobs.size())) + ", \"jobs\": [";
    for (size_t i = first; i < last; ++i) {
        const TDemoJob& j = *jobs[i];
        b += i > first ? ",\n" : "\n";
        b += "{\"title\": " + JsonQuoted(j.Title) + ", \"company\": " + JsonQuoted(j.Company) +
             ", \"location\": " + JsonQuoted(j.City + ", " + j.State) +
             ", \"url\": " + JsonQuoted("jobs/" + IntToStr(j.Id)) + "}";
    }
    b += "]";
    if (last < jobs.size()) {
        TPairs q = {{"start", IntToStr(static_cast<int64_t>(last))},
                    {"area", r.Param("area")},
                    {"dept", r.Param("dept")}};
        for (size_t i = 0; i < kw.size() && i < 3; ++i)
            q.emplace_back("skill" + IntToStr(static_cast<int64_t>(i + 1)), kw[i]);
        b += ", \"next\": " + ReplaceAll(JsonQuoted("results?" + JoinQuery(q)), "&", "\\u0026");
    }
    b += "}\n";
    TDemoResponse resp;
    resp.body = std::move(b);
    resp.contentType = "application/json";
    return resp;
}

// Answers, but only after a long pause.
TDemoResponse TDemoSites::SlowBoard(const TDemoRequest& r) const {
    const TStrings kw = KeywordWords(r.Param("q"));
    const TSearch s = ReadSearch(TBoard::SlowBoard, r.Param("r"), r.Param("c"), kw);
    auto jobs = s.known ? catalog_.Find(TBoard::SlowBoard, kw, s.region, s.category)
                        : std::vector<const TDemoJob*>{};
    if (jobs.size() > 30) jobs.resize(30);
    std::string b = "<h1>Lazy River Jobs</h1>\r\n";
    for (const TDemoJob* j : jobs)
        b += "<p class=job><a href=view?id=" + IntToStr(j->Id) + ">" + MarkupEscape(j->Title) +
             "</a> / " + MarkupEscape(j->Company) + " / " + MarkupEscape(j->City) + ", " +
             j->State + "</p>\r\n";
    TDemoResponse resp = Html(Page("Lazy River Jobs", b));
    resp.stallMs = config_.stallMs;
    return resp;
}

}  // namespace tessaly::demo
