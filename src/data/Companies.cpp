#include "data/Companies.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "data/QueryBuilder.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly {

namespace {

constexpr std::string_view kBoardMark = "%board%";
constexpr std::string_view kBoardNameMark = "%boardname%";

bool IsGlobalKey(std::string_view key) {
    return key == "Version" || key == "MRegions" || key == "MCategories" || key == "MRegionNames";
}

// The key and value pairs of each site, keyed "Name|0|sub" (renumbered as site 0).
std::map<int, TStrings> SiteGroups(const TStrings& lines) {
    std::map<int, TStrings> groups;
    for (size_t i = 0; i < lines.size(); i += 2) {
        const std::string& keyLine = lines[i];
        const size_t bar = keyLine.find('|');
        const std::string key = keyLine.substr(0, bar);
        if (IsGlobalKey(key) || key.empty()) continue;
        int site = 0;
        std::string sub;
        if (bar != std::string::npos) {
            const std::string rest = keyLine.substr(bar + 1);
            const size_t bar2 = rest.find('|');
            // A site number the loader would refuse is left to it, with its message.
            site = ParseIntOr(rest.substr(0, bar2), -1);
            if (bar2 != std::string::npos) sub = rest.substr(bar2);
        }
        TStrings& g = groups[site];
        g.push_back(site < 0 ? keyLine : key + "|0" + sub);
        g.push_back(i + 1 < lines.size() ? lines[i + 1] : std::string());
    }
    return groups;
}

std::string ValueOf(const TStrings& pairs, std::string_view key) {
    std::string value;
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        if (pairs[i].substr(0, pairs[i].find('|')) == key) value = pairs[i + 1];
    return value;
}

TStrings DecodedFile(const std::string& path) {
    return DecodeSourcesText(ReadSourcesText(path));
}

// "%board%" split into what stands before and after it.
bool MatchForm(std::string_view address, std::string_view form, std::string& token) {
    const size_t mark = form.find(kBoardMark);
    if (mark == std::string_view::npos) return false;
    const std::string lower = LowerCase(address);
    const std::string prefix = LowerCase(form.substr(0, mark));
    const std::string suffix = LowerCase(form.substr(mark + kBoardMark.size()));
    if (lower.compare(0, prefix.size(), prefix) != 0) return false;
    size_t end;
    if (suffix.empty()) {
        end = address.find('/', prefix.size());
        if (end == std::string_view::npos) end = address.size();
    } else {
        end = lower.find(suffix, prefix.size());
        if (end == std::string::npos) return false;
        const size_t after = end + suffix.size();
        if (after < address.size() && address[after] != '/') return false;
    }
    token = std::string(address.substr(prefix.size(), end - prefix.size()));
    return !token.empty();
}

std::string WithoutScheme(std::string_view form) {
    const size_t scheme = form.find("://");
    return std::string(scheme == std::string_view::npos ? form : form.substr(scheme + 3));
}

}  // namespace

bool IsBoardToken(std::string_view token) {
    if (token.empty() || token.size() > 200) return false;
    bool other = false;
    for (const char c : token) {
        const bool ok =
            std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        if (!ok) return false;
        other = other || c != '.';
    }
    return other;
}

std::vector<TBoardFamily> FamiliesOf(const TStrings& plainLines, const std::string& origin,
                                     TStrings* others) {
    std::vector<TBoardFamily> families;
    int next = 0;
    for (auto& [site, pairs] : SiteGroups(plainLines)) {
        if (ValueOf(pairs, "FirstPageURL").find(kBoardMark) != std::string::npos) {
            TBoardFamily f;
            f.Name = ValueOf(pairs, "Title");
            for (size_t i = 0; i + 1 < pairs.size(); i += 2)
                if (pairs[i].substr(0, pairs[i].find('|')) == "BoardAddress")
                    f.Addresses.push_back(pairs[i + 1]);
            f.Lines = pairs;
            f.Origin = origin;
            families.push_back(std::move(f));
            continue;
        }
        if (others == nullptr) continue;
        for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
            std::string key = pairs[i];
            // "Name|0" and "Name|0|sub" take the site's new number.
            if (site >= 0) key.replace(key.find('|'), 2, "|" + IntToStr(next));
            others->push_back(key);
            others->push_back(pairs[i + 1]);
        }
        ++next;
    }
    return families;
}

const TBoardFamily* FindFamily(const std::vector<TBoardFamily>& families, std::string_view name) {
    for (const auto& f : families)
        if (SameText(f.Name, name)) return &f;
    return nullptr;
}

std::vector<TBoardFamily> LoadFamilies(const std::string& shippedDir, const std::string& home,
                                       TStrings& errors) {
    std::vector<TBoardFamily> families;
    for (const std::string& path :
         {JoinPath(shippedDir, kFamiliesFile), JoinPath(home, kOwnSourcesFile)}) {
        if (!FileExists(path)) continue;
        try {
            for (auto& f : FamiliesOf(DecodedFile(path), path))
                families.push_back(std::move(f));
        } catch (const std::exception& e) {
            errors.push_back(e.what());
        }
    }
    return families;
}

std::vector<TWatchedCompany> ParseWatchList(const TStrings& lines, const std::string& name,
                                            TStrings& errors) {
    std::vector<TWatchedCompany> companies;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (line.empty() || line[0] == '#') continue;
        const std::string where = name + ", line " + IntToStr(static_cast<int64_t>(i + 1)) + ": ";
        const size_t colon = line.find(':');
        const size_t blank = line.find_first_of(" \t");
        if (colon == std::string::npos || (blank != std::string::npos && blank < colon)) {
            errors.push_back(where + "expected FAMILY:TOKEN and a name, not \"" + line + "\"");
            continue;
        }
        TWatchedCompany c;
        c.Family = line.substr(0, colon);
        c.Token = line.substr(colon + 1,
                              blank == std::string::npos ? std::string::npos : blank - colon - 1);
        c.Name = blank == std::string::npos ? c.Token : Trim(line.substr(blank));
        c.Line = static_cast<int>(i + 1);
        if (!IsBoardToken(c.Token)) {
            errors.push_back(where + "\"" + c.Token +
                             "\" is no board token (letters, digits, '.', '_' and '-' only)");
            continue;
        }
        companies.push_back(std::move(c));
    }
    return companies;
}

std::string WatchListLine(const TWatchedCompany& company) {
    std::string line = company.Family + ":" + company.Token;
    if (company.Name != company.Token) line += " " + company.Name;
    return line;
}

std::string AcceptedBoardForms(const std::vector<TBoardFamily>& families) {
    std::string forms;
    TStrings names;
    for (const auto& f : families) {
        names.push_back(f.Name);
        for (const auto& a : f.Addresses)
            forms += "  " + ReplaceAll(WithoutScheme(a), kBoardMark, "TOKEN") + "\n";
    }
    return forms + "  FAMILY:TOKEN, FAMILY one of " + Join(names, ", ") +
           "\nwith TOKEN made of letters, digits, '.', '_' and '-'.";
}

TResult<TBoardRef> ParseBoardAddress(std::string_view input,
                                     const std::vector<TBoardFamily>& families) {
    std::string text = Trim(input);
    const size_t scheme = text.find("://");
    const size_t colon = text.find(':');
    if (scheme == std::string::npos && colon != std::string::npos) {
        const TBoardFamily* f = FindFamily(families, text.substr(0, colon));
        const std::string token = text.substr(colon + 1);
        if (f != nullptr && IsBoardToken(token)) return TBoardRef{f->Name, token};
    } else {
        if (scheme != std::string::npos) text = text.substr(scheme + 3);
        text = text.substr(0, text.find_first_of("?#"));
        while (!text.empty() && text.back() == '/')
            text.pop_back();
        if (StartsWith(LowerCase(text), "www.")) text = text.substr(4);
        for (const auto& f : families)
            for (const auto& form : f.Addresses) {
                std::string token;
                if (MatchForm(text, WithoutScheme(form), token) && IsBoardToken(token))
                    return TBoardRef{f.Name, token};
            }
    }
    return Error("\"" + std::string(input) + "\" is no board address this program knows; use\n" +
                 AcceptedBoardForms(families));
}

TVelaSource& AddCompanySite(TVelaSourcesList& list, const TBoardFamily& family,
                            const TWatchedCompany& company) {
    // A quote in a name would end a script's string: scripts get it doubled.
    const std::string quoted = ReplaceAll(company.Name, "\"", "\"\"");
    TStrings lines;
    for (size_t i = 0; i + 1 < family.Lines.size(); i += 2) {
        const std::string& key = family.Lines[i];
        const bool script = key.substr(0, key.find('|')).ends_with("Script");
        std::string value = ReplaceAll(family.Lines[i + 1], kBoardMark, company.Token);
        value = ReplaceAll(value, kBoardNameMark, script ? quoted : company.Name);
        lines.push_back(key);
        lines.push_back(std::move(value));
    }
    lines.push_back("Title");
    lines.push_back(company.Name);
    list.AppendSites(lines, family.Origin);
    TVelaSource& site = list[list.Count() - 1];
    site.Board = company.Token;
    return site;
}

std::vector<TWatchedCompany> ReadWatchList(const std::string& home, TStrings& errors) {
    const std::string path = JoinPath(home, kWatchListFile);
    if (!FileExists(path)) return {};
    return ParseWatchList(ReadTextLines(path), kWatchListFile, errors);
}

bool NamesCompany(const TWatchedCompany& company, std::string_view name) {
    return SameText(company.Name, Trim(name)) || SameText(company.Token, Trim(name));
}

TResult<TWatchedCompany> WatchCompany(const std::string& home, const std::string& shippedDir,
                                      std::string_view address, const std::string& name,
                                      const TVelaSourcesList& sites) {
    TStrings errors;
    const std::vector<TBoardFamily> families = LoadFamilies(shippedDir, home, errors);
    if (families.empty())
        return Error("no company board families found (" + std::string(kFamiliesFile) + " in " +
                     shippedDir + ")");
    auto ref = ParseBoardAddress(address, families);
    if (!ref) return Error(ref.error());
    TWatchedCompany c{ref.value().Family, ref.value().Token, Trim(name), 0};
    if (c.Name.empty()) c.Name = c.Token;
    for (const char ch : c.Name)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == '|' || ch == 0x7F)
            return Error("a company name holds no control character and no '|'");
    for (const auto& w : ReadWatchList(home, errors))
        if (SameText(w.Family, c.Family) && w.Token == c.Token)
            return Error(c.Family + " board " + c.Token + " is already watched, as \"" + w.Name +
                         "\"");
    for (int i = 0; i < sites.Count(); ++i)
        if (SameText(sites[i].Title, c.Name))
            return Error("a site named \"" + sites[i].Title +
                         "\" is already searched; choose another name with --name");
    const std::string path = JoinPath(home, kWatchListFile);
    std::string text;
    if (FileExists(path)) {
        text = ReadFileBytes(path);
        if (!text.empty() && text.back() != '\n') text += '\n';
    } else {
        text = "# Companies watched by every search: FAMILY:TOKEN and the name shown.\n";
    }
    WriteFileAtomic(path, text + WatchListLine(c) + "\n");
    return c;
}

TResult<std::vector<TWatchedCompany>> UnwatchCompany(const std::string& home,
                                                     std::string_view name) {
    const std::string path = JoinPath(home, kWatchListFile);
    TStrings errors;
    const TStrings lines = FileExists(path) ? ReadTextLines(path) : TStrings();
    std::vector<TWatchedCompany> removed;
    std::set<int> drop;
    for (const auto& c : ParseWatchList(lines, kWatchListFile, errors))
        if (NamesCompany(c, name)) {
            removed.push_back(c);
            drop.insert(c.Line);
        }
    if (removed.empty()) return Error("no watched company named \"" + std::string(name) + "\"");
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!drop.count(static_cast<int>(i + 1))) text += lines[i] + "\n";
    WriteFileAtomic(path, text);
    return removed;
}

TBoardAnswer ReadBoardAnswer(TVelaSource& site, const std::string& data, std::string_view header,
                             int mostJobs, bool& more) {
    const std::string page = site.ScriptPage(data);
    more = false;
    if (!site.NotFoundScript.empty() && !site.Parser.Run(site.NotFoundScript, page).empty())
        return TBoardAnswer::NotFound;
    if (!site.PageInExpectedFormat(page)) return TBoardAnswer::BadFormat;
    const int before = site.Jobs.Count();
    const THarvestCount count = site.HarvestJobs(page, header);
    if (!site.PageFormatScript.empty() && count.Kept == 0 && count.Untitled > 0)
        return TBoardAnswer::BadFormat;
    more = site.MultiplePages && site.Jobs.Count() - before >= std::max(site.JobsPerPage, 1) &&
           site.Jobs.Count() < mostJobs;
    return TBoardAnswer::Jobs;
}

TStrings AddOwnSites(TVelaSourcesList& list, const std::string& home,
                     const std::string& shippedDir) {
    TStrings errors;
    const std::string own = JoinPath(home, kOwnSourcesFile);
    if (FileExists(own)) {
        try {
            TStrings others;
            FamiliesOf(DecodedFile(own), own, &others);
            const int first = list.Count();
            list.AppendSites(others, own);
            for (int i = first; i < list.Count(); ++i)
                list[i].Origin = kOwnSourcesFile;
        } catch (const std::exception& e) {
            errors.push_back(e.what());
        }
    }
    const std::string watch = JoinPath(home, kWatchListFile);
    if (!FileExists(watch)) return errors;
    const std::vector<TBoardFamily> families = LoadFamilies(shippedDir, home, errors);
    std::vector<TWatchedCompany> companies;
    try {
        companies = ReadWatchList(home, errors);
    } catch (const std::exception& e) {
        errors.push_back(e.what());
    }
    for (const auto& c : companies) {
        const std::string where = std::string(kWatchListFile) + ", line " + IntToStr(c.Line) + ": ";
        const TBoardFamily* family = FindFamily(families, c.Family);
        if (family == nullptr) {
            errors.push_back(where + "no board family \"" + c.Family + "\"");
            continue;
        }
        bool taken = false;
        for (int i = 0; i < list.Count() && !taken; ++i)
            taken = SameText(list[i].Title, c.Name);
        if (taken) {
            errors.push_back(where + "a site named \"" + c.Name + "\" is already searched");
            continue;
        }
        try {
            TVelaSource& site = AddCompanySite(list, *family, c);
            site.Origin = std::string(kWatchListFile) + " (" + family->Name + ":" + c.Token + ")";
        } catch (const std::exception& e) {
            errors.push_back(where + e.what());
        }
    }
    return errors;
}

std::string BoardFirstAddress(const TVelaSourcesList& list, TVelaSource& site, int32_t queryId) {
    TQuerySearch search;
    if (!list.MRegions.empty()) search.Region = list.MRegions[0];
    if (!list.MCategories.empty()) search.Category = list.MCategories[0];
    TQueryRequest request;
    request.ID = queryId;
    BuildFirstRequest(site, search, request);
    return request.URL + request.Parameters;
}

}  // namespace tessaly
