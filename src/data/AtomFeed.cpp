#include "data/AtomFeed.h"

#include <locale.h>
#include <clocale>

#include <algorithm>
#include <vector>

#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly {

namespace {

// Text for XML content and attributes: UTF-8 throughout, the characters XML forbids
// (control characters, U+FFFE, U+FFFF) removed, markup characters escaped.
std::string XmlText(std::string_view raw) {
    const std::string text = Utf8FromStored(raw);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) continue;
        if (c == 0xEF && i + 2 < text.size() && text[i + 1] == '\xBF' &&
            (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            i += 2;
            continue;
        }
        out += static_cast<char>(c);
    }
    // A bare CR would be read as a line end.
    return ReplaceAll(MarkupEscape(out), "\r", "&#13;");
}

// Bytes other than unreserved ones and '/' percent-encoded: an IRI from any text.
std::string PercentEncoded(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::string_view("-._~/").find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Rfc3339(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return std::string(buf, n);
}

std::time_t ParseIn(const std::string& found, locale_t locale) {
    const locale_t previous = uselocale(locale);
    std::tm tm{};
    const char* end = strptime(found.c_str(), "%x @ %X", &tm);
    uselocale(previous);
    if (end == nullptr || *end != '\0') return -1;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

std::string SearchFeedPath(const std::string& home, const TVelaSearch& search) {
    std::string name = BaseName(search.TableFile);
    if (EndsWith(name, ".tbl")) name.resize(name.size() - 4);
    return JoinPath(JoinPath(home, "feeds"), name + ".atom");
}

std::time_t FoundTime(const std::string& found) {
    // Written in the locale of the process that found the job: this one's, or the C
    // locale of a process that never set one.
    std::time_t t = ParseIn(found, LC_GLOBAL_LOCALE);
    if (t != -1) return t;
    const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    if (c == nullptr) return -1;
    t = ParseIn(found, c);
    freelocale(c);
    return t;
}

std::string SearchFeedText(const TVelaSearch& search, const TVelaJobsList& jobs,
                           const std::string& feedPath, std::time_t now) {
    struct TEntry {
        const TVelaJob* job;
        std::time_t found;
    };
    std::vector<TEntry> entries;
    for (int i = 0; i < jobs.Count(); ++i) {
        if (jobs[i].Relevancy == kRelevancyDeleted) continue;
        const std::time_t t = FoundTime(jobs[i].Found);
        entries.push_back({&jobs[i], t == -1 ? now : t});
    }
    // Newest first; jobs found together keep the listing's order.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TEntry& a, const TEntry& b) { return a.found > b.found; });
    if (entries.size() > kFeedJobs) entries.resize(kFeedJobs);

    const std::string keywords = ReplaceAll(search.Keywords, "\r\n", " ");
    std::string x =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<feed xmlns=\"http://www.w3.org/2005/Atom\">\n";
    x += "  <title>" + XmlText("Tessaly Jobs 98: " + keywords) + "</title>\n";
    x += "  <subtitle>" + XmlText(search.Region + ", " + search.Category) + "</subtitle>\n";
    x += "  <id>file://" + XmlText(PercentEncoded(feedPath)) + "</id>\n";
    x += "  <link rel=\"self\" href=\"file://" + XmlText(PercentEncoded(feedPath)) + "\"/>\n";
    x += "  <updated>" + Rfc3339(entries.empty() ? now : entries.front().found) + "</updated>\n";
    x += "  <author><name>Tessaly Jobs 98</name></author>\n"
         "  <generator>Tessaly Jobs 98</generator>\n";
    for (const TEntry& e : entries) {
        const TVelaJob& j = *e.job;
        // A job without an address still needs an id of its own that stays the same.
        const bool linked = StartsWith(j.URL, "http://") || StartsWith(j.URL, "https://");
        const std::string id =
            linked ? j.URL
                   : "urn:tessaly-jobs:" +
                         PercentEncoded(j.Title + "|" + j.Company + "|" + j.Location);
        std::string summary = j.Company;
        if (!j.Company.empty() && !j.Location.empty()) summary += ", ";
        summary += j.Location;
        x += "  <entry>\n";
        x += "    <id>" + XmlText(id) + "</id>\n";
        x += "    <title>" + XmlText(j.Title) + "</title>\n";
        if (linked) x += "    <link href=\"" + XmlText(j.URL) + "\"/>\n";
        x += "    <updated>" + Rfc3339(e.found) + "</updated>\n";
        x += "    <summary>" + XmlText(summary) + "</summary>\n";
        x += "  </entry>\n";
    }
    x += "</feed>\n";
    return x;
}

void WriteSearchFeed(const std::string& home, const TVelaSearch& search,
                     const TVelaJobsList& jobs) {
    const std::string path = SearchFeedPath(home, search);
    if (!ForceDirectories(DirName(path)))
        throw EFileError("cannot create the folder " + DirName(path) + " for the search's feed");
    WriteFileAtomic(path, SearchFeedText(search, jobs, path, std::time(nullptr)));
}

}  // namespace tessaly
