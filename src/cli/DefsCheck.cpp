// `tessaly defs check`: says what the program will quietly skip, ignore or misread in a
// definitions file, and with a saved page what each script of a site gets out of it.
// The loader and the interpreter must never stop a search over a slip in one site, so
// they say nothing; this command is where the slips are said.
#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <ostream>

#include "cli/Command.h"
#include "cli/SourcesArg.h"
#include "cli/Workspace.h"
#include "data/BoardJobs.h"
#include "data/Companies.h"
#include "data/QueryBuilder.h"
#include "data/VelaSources.h"
#include "parsing/ScriptCheck.h"
#include "platform/Charset.h"
#include "platform/Home.h"
#include "platform/LinkAddress.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly::cli {

namespace {

const std::vector<std::string> kGlobalKeys = {"Version", "MRegions", "MCategories", "MRegionNames"};

const std::vector<std::string> kScriptKeys = {
    "NextPageLinkScript", "JobBlockScript", "JobTitleScript",   "JobCompanyScript",
    "JobLocationScript",  "JobURLScript",   "PageFormatScript", "NotFoundScript"};

const std::vector<std::string> kFlagKeys = {"Enabled", "MultiplePages", "NextPageLinkIsAForm",
                                            "KeepCapitals", "SelectByKeywords"};

const std::map<std::string, int> kRelevancyKeys = {
    {"CategoryRelevancy", 0},          {"RegionMatchRelevancy", 1},
    {"RegionNoMatchRelevancy", -1},    {"KeywordsFullMatchRelevancy", 2},
    {"KeywordsPartMatchRelevancy", 1}, {"KeywordsNoMatchRelevancy", 0}};

// Keys a site may give once; a second one replaces the first, which is rarely meant.
const std::vector<std::string> kSingleKeys = {"Title",           "HomeURL",
                                              "Enabled",         "FirstPageURL",
                                              "FirstPageMethod", "FirstPageParameters",
                                              "KeywordLanguage", "JobsPerPage",
                                              "MultiplePages",   "NextPageLinkIsAForm",
                                              "Charset",         "TextFormat",
                                              "KeepCapitals",    "JsonJobArray",
                                              "CompanyName"};

const std::vector<std::string> kPlaceholderNames = {"region", "category", "keyword", "userid",
                                                    "city",   "title",    "company"};

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

std::vector<std::string> KnownKeys() {
    std::vector<std::string> k = kGlobalKeys;
    for (const char* s : {"Title",
                          "HomeURL",
                          "Enabled",
                          "Regions",
                          "Categories",
                          "FirstPageURL",
                          "FirstPageMethod",
                          "FirstPageParameters",
                          "KeywordLanguage",
                          "JobsPerPage",
                          "MultiplePages",
                          "NextPageLinkIsAForm",
                          "Syntaxes.BaseURL",
                          "Syntaxes.Method",
                          "Syntaxes.Parameters",
                          "ParserScripts",
                          "Charset",
                          "TextFormat",
                          "KeepCapitals",
                          "JsonJobArray",
                          "CompanyName",
                          "BoardAddress",
                          "SelectByKeywords"})
        k.emplace_back(s);
    k.insert(k.end(), kScriptKeys.begin(), kScriptKeys.end());
    for (const auto& [name, fallback] : kRelevancyKeys)
        k.push_back(name);
    return k;
}

// The lines of a multi-line value, with either form of the line-break mark.
TStrings ValueLines(const std::string& value) {
    return SplitLines(ReplaceAll(ReplaceAll(value, "|\xC2\xA7|", "\r\n"), "|\xA7|", "\r\n"));
}

// At most `max` characters of a text, never cutting one of its UTF-8 characters in two.
std::string Short(std::string_view s, size_t max = 60) {
    size_t end = 0;
    for (size_t n = 0; n < max && end < s.size(); ++n)
        NextUtf8(s, end);
    std::string r(s.substr(0, end));
    for (char& c : r)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return end < s.size() ? r + "..." : r;
}

struct TScriptLine {
    int fileLine;
    std::string text;
};

struct TSite {
    std::string title;
    std::map<std::string, int> firstLine;  // single keys: where each was first given
    std::map<std::string, std::vector<TScriptLine>> scripts;
    int regions = 0, categories = 0;
    bool enabled = false, multiplePages = false;
    bool jsonArray = false;  // JsonJobArray cuts the blocks
    bool family = false;     // FirstPageURL holds %board%
    int addresses = 0;       // BoardAddress lines
};

struct TChecker {
    // Findings by site (-1: the file and its global keys), each with its file line.
    std::map<int, std::vector<std::pair<int, std::string>>> findings;
    std::vector<TSite> sites;
    int mRegions = 0, mCategories = 0, mRegionNames = 0;
    int problems = 0;

    void Add(int site, int line, std::string message) {
        findings[site].emplace_back(line, std::move(message));
        ++problems;
    }

    TSite& Site(int index) {
        while (static_cast<int>(sites.size()) <= index)
            sites.emplace_back();
        return sites[static_cast<size_t>(index)];
    }

    void CheckLines(const TStrings& lines);
    void CheckPair(const std::string& keyLine, const std::string& value, int line, bool last,
                   int valueLine);
    void CheckValue(int site, int line, const std::string& key, const std::string& value);
    void CheckTemplate(int site, int line, const std::string& templ);
    void CheckSites();
};

// A line that reads as a key line: a name the program knows (or Comment), then numbers.
bool IsKeyLine(const std::string& line) {
    static const std::vector<std::string> known = KnownKeys();
    const TStrings parts = Split(line, "|");
    if (parts.empty() || parts.size() > 3 || (!Contains(known, parts[0]) && parts[0] != "Comment"))
        return false;
    return std::all_of(parts.begin() + 1, parts.end(),
                       [](const std::string& n) { return ParseInt(n).has_value(); });
}

void TChecker::CheckLines(const TStrings& lines) {
    // The program reads the file two lines at a time, so one blank line too many turns
    // every later value into a key and every key into a value. Each is said once, by its
    // line, and the pairs after it are checked as they were meant.
    const auto blank = [&lines](size_t i) { return Trim(lines[i]).empty(); };
    const std::string shifted =
        "blank line: the program reads every pair after it shifted by one line (keys as "
        "values, values as keys); remove it";
    size_t end = lines.size();
    while (end > 0 && blank(end - 1))  // blank lines at the end shift nothing
        --end;
    for (size_t i = 0; i < end;) {
        const int line = static_cast<int>(i + 1);
        if (blank(i)) {  // where a key belongs
            Add(-1, line, shifted);
            ++i;
        } else if (i + 3 < end && blank(i + 1) && !IsKeyLine(lines[i + 2]) &&
                   IsKeyLine(lines[i + 3])) {
            // Between a key and its value: the value follows the blank, a key after it.
            Add(-1, line + 1, shifted);
            CheckPair(lines[i], lines[i + 2], line, false, line + 2);
            i += 3;
        } else {
            const bool last = i + 1 >= lines.size();
            CheckPair(lines[i], last ? std::string() : lines[i + 1], line, last, line + 1);
            i += 2;
        }
    }
}

void TChecker::CheckPair(const std::string& keyLine, const std::string& value, int line,
                         bool lastWithoutValue, int valueLine) {
    const size_t bar1 = keyLine.find('|');
    const std::string key = keyLine.substr(0, bar1);
    int site = 0, sub = 0;
    bool siteGiven = false;
    if (bar1 != std::string::npos) {
        std::string rest = keyLine.substr(bar1 + 1);
        const size_t bar2 = rest.find('|');
        const std::string siteText = rest.substr(0, bar2);
        const auto n = ParseInt(siteText);
        if (!n || *n < 0) {
            Add(-1, line,
                "'" + siteText + "' in \"" + keyLine +
                    "\" is not a site number: the program stops reading the file here");
            return;
        }
        if (*n >= kMaxSourceSites) {
            Add(-1, line,
                "site number " + siteText + " in \"" + keyLine + "\" is beyond the limit of " +
                    IntToStr(kMaxSourceSites) + " sites (0 to " + IntToStr(kMaxSourceSites - 1) +
                    "): the program refuses the file");
            return;
        }
        site = *n;
        siteGiven = true;
        if (bar2 != std::string::npos) {
            const std::string subText = rest.substr(bar2 + 1);
            const auto k = ParseInt(subText);
            if (!k) {
                // The site is never created, so the finding belongs to the file.
                Add(-1, line,
                    "'" + subText + "' in \"" + keyLine +
                        "\" is not a sub-index: the program stops reading the file here");
                return;
            }
            sub = *k;
        }
    }
    Site(site);
    if (lastWithoutValue) Add(site, line, "key \"" + key + "\" at the end has no value line");
    if (key.empty()) {
        Add(site, line,
            "empty key line: a blank line shifts every pair after it (keys and values trade "
            "places)");
        return;
    }
    if (Contains(kGlobalKeys, key)) {
        if (siteGiven && site > 0)
            Add(-1, line,
                key + " is a global key; its site number " + IntToStr(site) +
                    " only creates empty sites up to it");
        if (key == "MRegions") ++mRegions;
        if (key == "MCategories") ++mCategories;
        if (key == "MRegionNames") ++mRegionNames;
        return;
    }
    // Notes for the reader of the file: ignored by the program, and meant to be.
    if (key == "Comment") return;
    static const std::vector<std::string> known = KnownKeys();
    if (!Contains(known, key)) {
        std::string message = "unknown key \"" + key + "\": ignored";
        if (const std::string near = NearestWord(key, known); !near.empty())
            message += " (did you mean \"" + near + "\"?" +
                       (UpperCase(near) == UpperCase(key) ? " keys are case-sensitive)" : ")");
        Add(site, line, message);
        return;
    }
    if (key.rfind("Syntaxes.", 0) == 0 && sub != 0) {
        Add(site, line, key + " with sub-index " + IntToStr(sub) + " is ignored (only 0 is read)");
        return;
    }
    TSite& s = Site(site);
    if (Contains(kSingleKeys, key) || Contains(kScriptKeys, key)) {
        if (auto it = s.firstLine.find(key); it != s.firstLine.end())
            Add(site, line,
                key + " given again (first at line " + IntToStr(it->second) +
                    "); this value replaces the earlier one");
        else
            s.firstLine[key] = line;
    }
    CheckValue(site, valueLine, key == "ParserScripts" ? key + "|" + IntToStr(sub) : key, value);
}

void TChecker::CheckValue(int site, int line, const std::string& key, const std::string& value) {
    TSite& s = Site(site);
    auto ParserScriptsTarget = [&]() -> std::string {
        const int sub = ParseIntOr(key.substr(key.find('|') + 1), -1);
        static const char* targets[] = {"JobBlockScript", "JobTitleScript", "JobCompanyScript",
                                        "JobLocationScript", "JobURLScript"};
        return sub >= 0 && sub < 5 ? targets[sub] : "";
    };
    if (key == "Title") {
        s.title = value;
        if (value.empty()) Add(site, line, "empty Title");
    } else if (Contains(kFlagKeys, key)) {
        if (value != "True" && value != "False")
            Add(site, line, key + " \"" + value + "\" reads as False (only exactly True sets it)");
        if (key == "Enabled") s.enabled = s.enabled || value == "True";
        if (key == "MultiplePages") s.multiplePages = s.multiplePages || value == "True";
    } else if (key == "FirstPageMethod" || key == "Syntaxes.Method") {
        if (value != "smPOST" && value != "smGET")
            Add(site, line, key + " \"" + value + "\" reads as GET (write smPOST or smGET)");
    } else if (key == "JobsPerPage") {
        const auto n = ParseInt(value);
        if (!n)
            Add(site, line,
                "JobsPerPage \"" + value +
                    "\" is not an integer: the program stops reading the file here");
        else if (*n < 0)
            Add(site, line, "JobsPerPage " + value + " is negative");
    } else if (auto r = kRelevancyKeys.find(key); r != kRelevancyKeys.end()) {
        if (!ParseInt(value))
            Add(site, line,
                key + " \"" + value + "\" is not an integer: reads as " + IntToStr(r->second));
    } else if (key == "KeywordLanguage") {
        if (!Contains({"en", "fr", "de", "sp"}, value))
            Add(site, line,
                "KeywordLanguage \"" + value +
                    "\" is not en, fr, de or sp: the keywords are sent as typed");
    } else if (key == "Charset") {
        if (CharsetByName(Trim(value)) == TCharset::Unknown)
            Add(site, line,
                "Charset \"" + value +
                    "\" is not a charset the program knows (UTF-8, windows-1252, ISO-8859-1, "
                    "ISO-8859-15, US-ASCII)");
    } else if (key == "TextFormat") {
        if (UpperCase(value) != "HTML" && UpperCase(value) != "JSON")
            Add(site, line, "TextFormat \"" + value + "\" is neither HTML nor JSON");
    } else if (key == "JsonJobArray") {
        s.jsonArray = !value.empty();
        if (value.empty())
            Add(site, line, "empty JsonJobArray: the blocks are cut by JobBlockScript");
    } else if (key == "FirstPageURL" || key == "Syntaxes.BaseURL") {
        s.family = s.family || value.find("%board%") != std::string::npos;
    } else if (key == "BoardAddress") {
        ++s.addresses;
        if (value.find("%board%") == std::string::npos)
            Add(site, line, "BoardAddress \"" + Short(value) + "\" has no %board% for the token");
    } else if (key == "Regions") {
        ++s.regions;
    } else if (key == "Categories") {
        ++s.categories;
    } else if (key == "FirstPageParameters") {
        for (const auto& l : ValueLines(value))
            CheckTemplate(site, line, l);
    } else if (key == "Syntaxes.Parameters") {
        CheckTemplate(site, line, value);
    } else if (Contains(kScriptKeys, key)) {
        auto& script = s.scripts[key];
        script.clear();
        for (auto& l : ValueLines(value))
            script.push_back({line, std::move(l)});
    } else if (key.rfind("ParserScripts|", 0) == 0) {
        const std::string target = ParserScriptsTarget();
        if (target.empty()) {
            Add(site, line - 1,
                "ParserScripts with sub-index " + key.substr(14) +
                    " is ignored (0 to 4: block, title, company, location, link)");
            return;
        }
        std::string_view rest = value;
        for (size_t at; (at = rest.find(";||")) != std::string_view::npos;) {
            s.scripts[target].push_back({line, std::string(rest.substr(0, at + 1))});
            rest.remove_prefix(at + 3);
        }
        if (rest.find_first_not_of(' ') != std::string_view::npos)
            Add(site, line,
                "ParserScripts: \"" + Short(rest) +
                    "\" after the last \";||\" is dropped (end every statement with \";||\")");
    }
}

void TChecker::CheckTemplate(int site, int line, const std::string& templ) {
    const size_t open = templ.find('<');
    if (open == std::string::npos) return;
    const size_t close = templ.find('>', open);
    if (close == std::string::npos) {
        Add(site, line, "parameter line \"" + Short(templ) + "\": '<' without '>'");
        return;
    }
    if (templ.find('<', close) != std::string::npos)
        Add(site, line,
            "parameter line \"" + Short(templ) +
                "\" holds more than one placeholder; only the first is filled in");
    const std::string inner = templ.substr(open + 1, close - open - 1);
    const std::string names = inner.substr(0, inner.find_first_of(":/"));
    for (const auto& n : Split(names, "|"))
        if (!Contains(kPlaceholderNames, n))
            Add(site, line,
                "placeholder name \"" + n +
                    "\" gives nothing (names: region, category, keyword, userid, city, title, "
                    "company, in lower case)");
}

void TChecker::CheckSites() {
    if (mRegionNames > 0 && mRegionNames != mRegions)
        Add(-1, 0,
            IntToStr(mRegionNames) + " MRegionNames lines for " + IntToStr(mRegions) +
                " MRegions: a region without its line is told by its own name only");
    for (size_t i = 0; i < sites.size(); ++i) {
        const int site = static_cast<int>(i);
        TSite& s = sites[i];
        if (!s.firstLine.count("Title")) Add(site, 0, "no Title: the site shows as \"New Source\"");
        for (const auto& key : kScriptKeys) {
            const auto& script = s.scripts[key];
            for (size_t k = 0; k < script.size(); ++k) {
                auto found = CheckScriptLine(script[k].text);
                if (key == "JobBlockScript")
                    for (auto& p : CheckRepeatedScriptLine(script[k].text))
                        found.push_back(std::move(p));
                if (found.empty()) continue;
                std::string message =
                    key + " line " + IntToStr(static_cast<int64_t>(k + 1)) + ": " + script[k].text;
                for (const auto& p : found)
                    message += "\n      " + p;
                findings[site].emplace_back(script[k].fileLine, message);
                problems += static_cast<int>(found.size());
            }
        }
        if (s.enabled && !s.jsonArray && s.scripts["JobBlockScript"].empty())
            Add(site, 0, "enabled, but no JobBlockScript: the site finds no job");
        if (s.enabled && s.scripts["JobTitleScript"].empty())
            Add(site, 0,
                "enabled, but no JobTitleScript: every job is dropped (a job needs a title)");
        if (s.multiplePages && s.scripts["NextPageLinkScript"].empty())
            Add(site, 0, "MultiplePages is True, but there is no NextPageLinkScript");
        if (s.addresses > 0 && !s.family)
            Add(site, 0, "BoardAddress given, but FirstPageURL has no %board%: not a family");
        if (s.family && s.addresses == 0)
            Add(site, 0,
                "a family (FirstPageURL holds %board%) without BoardAddress: companies are "
                "added only as FAMILY:TOKEN");
        // A file without master lists (the user's own) takes those of sources.def.
        if (s.regions > 0 && mRegions > 0 && s.regions != mRegions)
            Add(site, 0,
                IntToStr(s.regions) + " Regions codes for " + IntToStr(mRegions) + " MRegions: " +
                    (s.regions < mRegions ? "a search in a later region skips the site"
                                          : "the extra codes are never used"));
        if (s.categories > 0 && mCategories > 0 && s.categories != mCategories)
            Add(site, 0,
                IntToStr(s.categories) + " Categories codes for " + IntToStr(mCategories) +
                    " MCategories: " +
                    (s.categories < mCategories ? "a search in a later category skips the site"
                                                : "the extra codes are never used"));
    }
}

// How a saved page is read: the address it came from (its relative links are completed
// against it) and whether every block's value is listed.
struct TPageOptions {
    std::string address;
    bool all = false;
};

// What one field script gave in one block.
struct TFieldResult {
    enum TKind { kFound, kEmpty, kAbsent, kFailed } kind = kEmpty;
    int failedLine = -1;
    std::string value;  // as the job reads it, cleaned
};

// What each script of `site` gets out of a saved page; returns the number of problems.
int CheckPage(TVelaSource& site, const std::string& savedPage, const std::string& pageName,
              const TPageOptions& options, std::ostream& out) {
    const std::string page = site.ScriptPage(savedPage);
    int problems = 0;
    TParserScript& parser = site.Parser;
    out << "\npage " << pageName << ", site " << site.Index << " \"" << site.Title << "\":\n";
    auto statement = [](const TStrings& script, int line) {
        return "line " + IntToStr(line + 1) + ": " + script[static_cast<size_t>(line)];
    };

    if (!site.PageFormatScript.empty()) {
        out << "  PageFormatScript: ";
        if (site.PageInExpectedFormat(page)) {
            out << "in the expected format\n";
        } else {
            // A search shows such an answer as "No jobs in the expected format".
            out << "not in the expected format";
            if (parser.FailedLine() >= 0)
                out << ": failed at " << statement(site.PageFormatScript, parser.FailedLine());
            out << "\n";
            ++problems;
        }
    }

    if (!site.NotFoundScript.empty() && !parser.Run(site.NotFoundScript, page).empty())
        out << "  NotFoundScript: the answer says the board does not exist\n";

    const bool byArray = !site.JsonJobArray.empty();
    const TStrings blocks = byArray ? JsonArrayElements(page, site.JsonJobArray)
                                    : parser.RunRepeated(site.JobBlockScript, page);
    if (byArray) {
        out << "  JsonJobArray \"" << site.JsonJobArray << "\": found " << blocks.size()
            << (blocks.size() == 1 ? " block\n" : " blocks\n");
    } else if (out << "  JobBlockScript: "; site.JobBlockScript.empty()) {
        out << "no script\n";
        ++problems;
    } else if (blocks.empty()) {
        const std::string first = parser.Run(site.JobBlockScript, page);
        if (parser.FailedLine() >= 0)
            out << "no block: failed at " << statement(site.JobBlockScript, parser.FailedLine())
                << "\n";
        else if (first.empty())
            out << "no block: the output is empty\n";
        else
            out << "no block: the run did not shorten the page (a block script ends with "
                   "Cut(All, Backward);)\n";
        ++problems;
    } else {
        out << "found " << blocks.size() << (blocks.size() == 1 ? " block\n" : " blocks\n");
    }

    const std::pair<const char*, const TStrings*> fields[] = {
        {"JobTitleScript", &site.JobTitleScript},
        {"JobCompanyScript", &site.JobCompanyScript},
        {"JobLocationScript", &site.JobLocationScript},
        {"JobURLScript", &site.JobURLScript}};
    // Every block's fields, cleaned as the search cleans a job, so the values read as the
    // listing will show them (a link completed and its %title% filled in).
    const TPageFields pageFields = PageFieldsOf(site, {}, page);
    std::vector<std::array<TFieldResult, 4>> results(blocks.size());
    for (size_t b = 0; b < blocks.size(); ++b) {
        std::array<std::string, 4> raw;
        for (size_t f = 0; f < 4; ++f) {
            const TStrings& script = *fields[f].second;
            raw[f] = pageFields.Field(parser.Run(script, blocks[b]));
            TFieldResult& r = results[b][f];
            if (parser.FailedLine() < 0) continue;
            // Failing at the first statement: the block has no such field, as some
            // postings give no location. That is no fault of the script.
            const auto first = std::find_if(script.begin(), script.end(),
                                            [](const auto& l) { return !Trim(l).empty(); });
            r.kind = parser.FailedLine() == first - script.begin() ? TFieldResult::kAbsent
                                                                   : TFieldResult::kFailed;
            r.failedLine = parser.FailedLine();
        }
        std::array<std::string, 4> cleaned;
        for (size_t f = 0; f < 3; ++f)
            cleaned[f] = CleanJobText(raw[f], site.KeepCapitals);
        TVelaJob job;
        job.Title = cleaned[0];
        job.Company = cleaned[1].empty() ? "n/a" : cleaned[1];
        job.Location = cleaned[2].empty() ? "n/a" : cleaned[2];
        cleaned[3] = CleanJobURL(ResolveLink(options.address, raw[3]), job);
        for (size_t f = 0; f < 4; ++f) {
            TFieldResult& r = results[b][f];
            r.value = cleaned[f];
            if (r.kind == TFieldResult::kEmpty && !r.value.empty()) r.kind = TFieldResult::kFound;
        }
    }
    for (size_t f = 0; f < 4 && !blocks.empty(); ++f) {
        const auto& [name, script] = fields[f];
        out << "  " << name << ": ";
        if (script->empty()) {
            out << "no script, empty\n";
            continue;
        }
        int found = 0, empty = 0, absent = 0;
        std::map<int, int> failed;  // line -> blocks
        std::string first;
        for (const auto& block : results) {
            const TFieldResult& r = block[f];
            if (r.kind == TFieldResult::kFound && found++ == 0) first = r.value;
            empty += r.kind == TFieldResult::kEmpty;
            absent += r.kind == TFieldResult::kAbsent;
            if (r.kind == TFieldResult::kFailed) ++failed[r.failedLine];
        }
        const std::string of = " of " + IntToStr(static_cast<int64_t>(blocks.size())) + " blocks";
        std::vector<std::string> parts;
        if (found)
            parts.push_back("found in " + IntToStr(found) + of + " (first: \"" + Short(first) +
                            "\")");
        if (empty) parts.push_back("empty in " + IntToStr(empty) + of);
        if (absent)
            parts.push_back("absent in " + IntToStr(absent) + of +
                            " (its first statement finds nothing there)");
        for (const auto& [line, count] : failed) {
            parts.push_back("failed in " + IntToStr(count) + of + " at " +
                            statement(*script, line));
            ++problems;
        }
        out << Join(parts, "; ") << "\n";
        if (!options.all) continue;
        for (size_t b = 0; b < results.size(); ++b) {
            const TFieldResult& r = results[b][f];
            out << "    block " << b + 1 << ": ";
            if (r.kind == TFieldResult::kFound)
                out << "\"" << Short(r.value) << "\"\n";
            else if (r.kind == TFieldResult::kEmpty)
                out << "(empty)\n";
            else if (r.kind == TFieldResult::kAbsent)
                out << "(absent)\n";
            else
                out << "(failed at line " << r.failedLine + 1 << ")\n";
        }
    }

    out << "  NextPageLinkScript: ";
    if (site.NextPageLinkScript.empty()) {
        out << "no script\n";
    } else {
        const std::string next = parser.Run(site.NextPageLinkScript, page);
        if (parser.FailedLine() >= 0) {
            out << "failed at " << statement(site.NextPageLinkScript, parser.FailedLine())
                << " (no next page)\n";
        } else if (next.empty()) {
            out << "empty (no next page)\n";
        } else if (site.NextPageLinkIsAForm) {
            out << "found \"" << Short(next) << "\" (a form)\n";
        } else {
            // The address the search would ask for: references decoded, completed.
            TQueryRequest request;
            const bool more = BuildNextRequest(site, page, request, {}, options.address);
            out << "found \"" << Short(request.URL) << "\""
                << (more ? "" : ", this page itself (no next page)") << "\n";
        }
    }

    site.HarvestJobs(page, {}, options.address);
    const int jobs = site.Jobs.Count();
    out << "  jobs: " << jobs << " (a block whose title is empty or a running number gives none)\n";
    if (!blocks.empty() && jobs == 0) ++problems;
    if (site.MultiplePages && jobs < site.JobsPerPage)
        out << "  note: fewer jobs than JobsPerPage (" << site.JobsPerPage
            << "): a search does not go on to the next page after this one\n";
    return problems;
}

int Check(const std::vector<std::string>& originalArgv, TCliIO& io) {
    // The report quotes the file and the page: their control bytes are shown escaped.
    const TDisplayStream shownOut(io.out), shownErr(io.err);
    // --page takes two words, SITE and PAGE, wherever it stands.
    std::vector<std::string> argv = originalArgv;
    std::string pageSite, pagePath;
    for (size_t i = 0; i < argv.size(); ++i) {
        if (argv[i] != "--page") continue;
        if (i + 2 >= argv.size() || !pagePath.empty())
            return UsageError(io, "defs check", "--page needs SITE and PAGE");
        pageSite = argv[i + 1];
        pagePath = argv[i + 2];
        argv.erase(argv.begin() + static_cast<long>(i), argv.begin() + static_cast<long>(i + 3));
        --i;
    }
    TArgs args;
    if (auto parsed = args.Parse(argv, {"all"}, {"url"}); !parsed)
        return UsageError(io, "defs check", parsed.error());
    const auto& files = args.Positional();
    if (files.size() > 1) return UsageError(io, "defs check", "expected one definitions file");
    if (pagePath.empty() && (args.Has("all") || args.Has("url")))
        return UsageError(io, "defs check", "--all and --url go with --page");
    // Without a file: the user's own definitions in the home.
    const std::string path =
        files.empty() ? JoinPath(ResolveHomeDirectory(HomeOption()), kOwnSourcesFile) : files[0];
    std::string text, page;
    try {
        text = ReadSourcesText(path);
        if (!pagePath.empty()) page = ReadFileBytes(pagePath);
    } catch (const EFileError& e) {
        io.err << "tessaly defs check: " << e.what() << "\n";
        return kExitUsage;
    }

    TChecker c;
    c.CheckLines(DecodeSourcesText(text));
    c.CheckSites();

    io.out << path << ": " << (IsPlainSourcesText(text) ? "plain" : "scrambled") << ", "
           << c.sites.size() << (c.sites.size() == 1 ? " site" : " sites") << ", " << c.mRegions
           << " MRegions, " << c.mCategories << " MCategories\n";
    for (auto& [site, list] : c.findings) {
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
            // Findings about the site as a whole (line 0) come last.
            return (a.first == 0 ? INT32_MAX : a.first) < (b.first == 0 ? INT32_MAX : b.first);
        });
        if (site < 0)
            io.out << "file:\n";
        else if (const std::string& title = c.sites[static_cast<size_t>(site)].title; title.empty())
            io.out << "site " << site << " (no Title):\n";
        else
            io.out << "site " << site << " \"" << title << "\":\n";
        for (const auto& [line, message] : list)
            io.out << "  " << (line > 0 ? "line " + IntToStr(line) + ": " : std::string())
                   << message << "\n";
    }

    int problems = c.problems;
    if (!pagePath.empty()) {
        TVelaSourcesList list;
        try {
            list.LoadFromText(text, path);
        } catch (const EConvertError&) {
            // Said above; the sites read before the bad line are still there.
        }
        std::string error;
        TVelaSource* site = FindSite(list, pageSite, error);
        if (!site) {
            io.err << "tessaly defs check: " << path << ": " << error << "\n";
            return kExitUsage;
        }
        TPageOptions options;
        options.address = SavedPageAddress(args, site, error);
        if (!error.empty()) return UsageError(io, "defs check", error);
        options.all = args.Has("all");
        problems += CheckPage(*site, page, pagePath, options, io.out);
    }
    io.out << "\n"
           << (problems == 0 ? std::string("no problems found")
                             : IntToStr(problems) + (problems == 1 ? " problem" : " problems"))
           << "\n";
    return problems == 0 ? kExitOk : kExitFailed;
}

const TRegisterCommand kCheck{{
    "defs check",
    "list what the program will skip or misread in a definitions file",
    "Usage: tessaly defs check [SOURCES.DEF] [--page SITE PAGE [--url ADDRESS] [--all]]\n\n"
    "Without SOURCES.DEF, the home's own definitions (mysources.plain) are checked.\n"
    "Reads the definitions (scrambled or plain) and lists, per site and line, what the\n"
    "program would quietly skip, ignore or misread: unknown or misspelt keys (with the\n"
    "nearest known key), values it reads otherwise than meant (\"true\", \"POST\", a\n"
    "JobsPerPage that is not a number, an unknown Charset or TextFormat), script statements\n"
    "it skips (unknown name, no argument, unbalanced quotes, no \";\") and options that do\n"
    "not exist or belong to another statement, region and category code lists that do not\n"
    "match the master lists. Script lines count from 1 in each script; \"line N\" alone is\n"
    "the line of the file.\n\n"
    "--page SITE PAGE runs the scripts of SITE (a number from 0, or a Title) over the saved\n"
    "page PAGE and says what each gets: found (with the first value, cleaned as the job\n"
    "will read it), empty, absent (the first statement finds nothing: the block has no\n"
    "such field, which is no problem), or failed at which later statement. --all lists\n"
    "every block's value. Relative links are completed against ADDRESS, the address the\n"
    "page was saved from (without --url, the site's FirstPageURL).\n\n"
    "Exit status: 0 when nothing was found, 1 when there are problems, 2 for bad usage\n"
    "or a file that cannot be read. The guide: docs/definitions.md.\n",
    Check,
}};

const TRegisterGroupHelp kGroup{
    "defs",
    "Usage: tessaly defs COMMAND ...\n\n"
    "The job-site definitions file (sources.def) is a run of line pairs: a key line\n"
    "(Name, Name|site or Name|site|sub-index) and its value line. The program stores it\n"
    "scrambled; every command also reads the readable plain form, as you write it.\n"
    "Global keys: Version, MRegions, MCategories (one line each). A site's keys: Title,\n"
    "HomeURL, Enabled, FirstPageURL, FirstPageMethod, FirstPageParameters, Regions,\n"
    "Categories, KeywordLanguage, JobsPerPage, MultiplePages, NextPageLinkIsAForm,\n"
    "NextPageLinkScript, JobBlockScript, JobTitleScript, JobCompanyScript,\n"
    "JobLocationScript, JobURLScript, PageFormatScript (some output only when a page is in\n"
    "the format the site is written for), Charset, TextFormat, KeepCapitals and six\n"
    "relevancy weights.\n"
    "Multi-line values break lines with the mark |\xC2\xA7| (section sign; the Latin-1 byte\n"
    "A7 or its UTF-8 form). Scripts: 'tessaly script --help'.\n\n"
    "Write the plain file, check it with 'defs check', try it with 'harvest' and 'query',\n"
    "scramble it with 'defs encode'. The full guide, with a worked example:\n"
    "docs/definitions.md.\n"};

}  // namespace

}  // namespace tessaly::cli
