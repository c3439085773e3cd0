#include "data/VelaSources.h"

#include "data/Packer.h"

#include <sys/stat.h>

#include <cctype>

#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly {

namespace {

// The line-break mark of multi-line values: "|", the section sign, "|". The sign is the
// Latin-1 byte; a readable file saved by a UTF-8 editor holds its two UTF-8 bytes, which
// mean the same.
constexpr std::string_view kLineBreakMark = "|\xA7|";
constexpr std::string_view kLineBreakMarkUtf8 = "|\xC2\xA7|";

TStrings MultiLineValue(std::string_view value) {
    return SplitLines(
        ReplaceAll(ReplaceAll(value, kLineBreakMarkUtf8, "\r\n"), kLineBreakMark, "\r\n"));
}

// A key line as people write them: a name of letters, digits and dots, then "|" and
// numbers (or anything, which the loader then reports).
bool LooksLikeKeyLine(std::string_view line) {
    const std::string_view name = line.substr(0, line.find('|'));
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_') return false;
    return true;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Statements each ended by ";" and followed by "||"; text after the last ";||" is dropped.
void AppendStatements(TStrings& script, std::string_view value) {
    for (size_t at; (at = value.find(";||")) != std::string_view::npos;) {
        script.emplace_back(value.substr(0, at + 1));
        value.remove_prefix(at + 3);
    }
}

int IntOr(std::string_view value, int fallback) {
    const auto n = ParseInt(value);
    return n ? *n : fallback;
}

std::string Where(const std::string& name, int lineNo) {
    return name + ", line " + IntToStr(lineNo) + ": ";
}

}  // namespace

TVelaSource::TVelaSource(int index, const TStrings* regions, const TStrings* categories)
    : Index(index), MRegions(regions), MCategories(categories) {}

// ---------------------------------------------------------------- the scrambler

void ScrambleLine(std::string& line, std::string_view key) {
    if (line.empty() || key.empty()) return;
    const size_t len = key.size();
    auto m = static_cast<uint8_t>((len - 1) & 0xFF);
    size_t j = len - 1;
    for (char& c : line) {
        if ((m & 8) == 0) m ^= 1;
        m = static_cast<uint8_t>(~m);
        m = static_cast<uint8_t>((m >> 1) | ((m & 1) << 7));
        c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(key[j]) ^ m);
        j = j == 0 ? len - 1 : j - 1;
    }
}

std::string ScrambleSourcesLine(std::string_view line) {
    std::string s(line);
    ScrambleLine(s, kSourcesKeyB);
    ScrambleLine(s, kSourcesKeyA);
    return s;
}

std::string ReadSourcesText(const std::string& fileName) {
    // A packed file yields its first member, read in memory; anything else is plain text.
    if (auto bytes = ReadPackedOrPlain(fileName)) return std::move(*bytes);
    return ReadFileBytes(fileName);  // raises the error that names the file
}

bool IsPlainSourcesText(std::string_view text) {
    // Count the key lines that read as key lines as they stand and once unscrambled; a
    // scrambled line is noise that hardly ever looks like a key name.
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) return true;
    const TStrings lines = SplitLines(text.substr(0, size_t{64} * 1024));
    int plain = 0, scrambled = 0;
    for (size_t i = 0; i < lines.size() && i < 200; i += 2) {
        plain += LooksLikeKeyLine(lines[i]);
        scrambled += LooksLikeKeyLine(ScrambleSourcesLine(lines[i]));
    }
    return plain > scrambled;
}

TStrings DecodeSourcesText(std::string_view text) {
    if (IsPlainSourcesText(text)) {
        if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
        return SplitLines(text);
    }
    TStrings lines = SplitLines(text);
    for (auto& l : lines)
        l = ScrambleSourcesLine(l);
    return lines;
}

TResult<std::string> EncodeSourcesLines(const TStrings& plainLines) {
    std::string out;
    for (size_t i = 0; i < plainLines.size(); ++i) {
        const std::string s = ScrambleSourcesLine(plainLines[i]);
        if (s.find_first_of("\r\n") != std::string::npos)
            return Error("line " + IntToStr(static_cast<int64_t>(i + 1)) +
                         ": scrambled, this line would hold a CR or LF byte, which reads as a "
                         "line end; change the line slightly (a trailing blank, another "
                         "spelling)");
        out += s;
        out += "\r\n";
    }
    return out;
}

// ---------------------------------------------------------------- the list

TVelaSource& TVelaSourcesList::AddSource() {
    sources_.push_back(std::make_unique<TVelaSource>(Count(), &MRegions, &MCategories));
    return *sources_.back();
}

void TVelaSourcesList::ClearSources() {
    sources_.clear();
}

void TVelaSourcesList::LoadFromFile(const std::string& fileName) {
    ClearSources();
    MRegions.clear();
    MCategories.clear();
    MRegionNames.clear();
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0) return;  // no definitions: no sites
    LoadFromText(ReadSourcesText(fileName), fileName);
}

void TVelaSourcesList::LoadFromText(std::string_view text, const std::string& name) {
    // The readable form is taken as it is, so a definition can be tried without encoding.
    const TStrings lines = DecodeSourcesText(text);
    try {
        for (size_t i = 0; i < lines.size(); i += 2) {
            const std::string& key = lines[i];
            const std::string value = i + 1 < lines.size() ? lines[i + 1] : std::string();
            ApplyPair(key, value, name, static_cast<int>(i + 1));
        }
    } catch (...) {
        for (auto& s : sources_)
            s->EnabledChoice = s->Enabled;
        throw;
    }
    for (auto& s : sources_)
        s->EnabledChoice = s->Enabled;
}

void TVelaSourcesList::AppendSites(const TStrings& lines, const std::string& name) {
    const int offset = Count();
    try {
        for (size_t i = 0; i < lines.size(); i += 2) {
            const std::string& keyLine = lines[i];
            const size_t bar = keyLine.find('|');
            const std::string key = keyLine.substr(0, bar);
            if (key == "Version" || key == "MRegions" || key == "MCategories" ||
                key == "MRegionNames")
                continue;
            int site = 0;
            std::string sub;
            if (bar != std::string::npos) {
                const std::string rest = keyLine.substr(bar + 1);
                const size_t bar2 = rest.find('|');
                const auto n = ParseInt(rest.substr(0, bar2));
                if (!n || *n < 0 || *n + offset >= kMaxSourceSites)
                    throw EConvertError(Where(name, static_cast<int>(i + 1)) + "'" +
                                        rest.substr(0, bar2) + "' is not a valid site number");
                site = *n;
                if (bar2 != std::string::npos) sub = rest.substr(bar2);
            }
            const std::string value = i + 1 < lines.size() ? lines[i + 1] : std::string();
            ApplyPair(key + "|" + IntToStr(site + offset) + sub, value, name,
                      static_cast<int>(i + 1));
        }
    } catch (...) {
        for (int i = offset; i < Count(); ++i)
            (*this)[i].EnabledChoice = (*this)[i].Enabled;
        throw;
    }
    for (int i = offset; i < Count(); ++i)
        (*this)[i].EnabledChoice = (*this)[i].Enabled;
}

void TVelaSourcesList::ApplyPair(const std::string& keyLine, const std::string& value,
                                 const std::string& name, int lineNo) {
    // Name, site and sub-index.
    std::string_view rest = keyLine;
    const size_t bar1 = rest.find('|');
    const std::string_view key = rest.substr(0, bar1);
    int site = 0;
    int sub = 0;
    if (bar1 != std::string_view::npos) {
        rest.remove_prefix(bar1 + 1);
        const size_t bar2 = rest.find('|');
        const std::string_view siteText = rest.substr(0, bar2);
        const auto n = ParseInt(siteText);
        if (!n)
            throw EConvertError(Where(name, lineNo) + "'" + std::string(siteText) +
                                "' is not a valid site number");
        if (*n < 0 || *n >= kMaxSourceSites)
            throw EConvertError(Where(name, lineNo) + "site number " + IntToStr(*n) +
                                " is out of range (0 to " + IntToStr(kMaxSourceSites - 1) + ")");
        site = *n;
        if (bar2 != std::string_view::npos) {
            const std::string_view subText = rest.substr(bar2 + 1);
            const auto k = ParseInt(subText);
            if (!k)
                throw EConvertError(Where(name, lineNo) + "'" + std::string(subText) +
                                    "' is not a valid sub-index");
            sub = *k;
        }
    }
    while (Count() <= site)
        AddSource();
    TVelaSource& s = (*this)[site];

    if (key == "Version") Version = value;
    // Master names are compared with those of saved searches, which are UTF-8; older
    // definitions wrote them in the Windows code page.
    else if (key == "MRegions")
        MRegions.push_back(Utf8FromStored(value));
    else if (key == "MCategories")
        MCategories.push_back(Utf8FromStored(value));
    else if (key == "MRegionNames")
        MRegionNames.push_back(Utf8FromStored(value));
    else if (key == "Title")
        s.Title = value;
    else if (key == "HomeURL")
        s.HomeURL = value;
    else if (key == "FirstPageURL")
        s.FirstPageURL = value;
    else if (key == "KeywordLanguage")
        s.KeywordLanguage = value;
    else if (key == "Charset")
        s.Charset = value;
    else if (key == "TextFormat")
        s.TextFormat = value;
    else if (key == "Enabled")
        s.Enabled = s.Enabled || value == "True";
    else if (key == "MultiplePages")
        s.MultiplePages = s.MultiplePages || value == "True";
    else if (key == "NextPageLinkIsAForm")
        s.NextPageLinkIsAForm = s.NextPageLinkIsAForm || value == "True";
    else if (key == "KeepCapitals")
        s.KeepCapitals = s.KeepCapitals || value == "True";
    else if (key == "Regions")
        s.Regions.push_back(value);
    else if (key == "Categories")
        s.Categories.push_back(value);
    else if (key == "FirstPageMethod") {
        if (value == "smPOST") s.FirstPageMethod = TSubmitMethod::smPOST;
    } else if (key == "FirstPageParameters")
        s.FirstPageParameters = MultiLineValue(value);
    else if (key == "NextPageLinkScript")
        s.NextPageLinkScript = MultiLineValue(value);
    else if (key == "JobBlockScript")
        s.JobBlockScript = MultiLineValue(value);
    else if (key == "JobTitleScript")
        s.JobTitleScript = MultiLineValue(value);
    else if (key == "JobCompanyScript")
        s.JobCompanyScript = MultiLineValue(value);
    else if (key == "JobLocationScript")
        s.JobLocationScript = MultiLineValue(value);
    else if (key == "JobURLScript")
        s.JobURLScript = MultiLineValue(value);
    else if (key == "PageFormatScript")
        s.PageFormatScript = MultiLineValue(value);
    else if (key == "NotFoundScript")
        s.NotFoundScript = MultiLineValue(value);
    else if (key == "JsonJobArray")
        s.JsonJobArray = value;
    else if (key == "CompanyName")
        s.CompanyName = value;
    else if (key == "SelectByKeywords")
        s.SelectByKeywords = s.SelectByKeywords || value == "True";
    else if (key == "BoardAddress")
        s.BoardAddress.push_back(value);
    else if (key == "JobsPerPage") {
        const auto n = ParseInt(value);
        if (!n)
            throw EConvertError(Where(name, lineNo + 1) + "JobsPerPage '" + value +
                                "' is not an integer");
        s.JobsPerPage = *n;
    } else if (key == "CategoryRelevancy")
        s.CategoryRelevancy = IntOr(value, 0);
    else if (key == "RegionMatchRelevancy")
        s.RegionMatchRelevancy = IntOr(value, 1);
    else if (key == "RegionNoMatchRelevancy")
        s.RegionNoMatchRelevancy = IntOr(value, -1);
    else if (key == "KeywordsFullMatchRelevancy")
        s.KeywordsFullMatchRelevancy = IntOr(value, 2);
    else if (key == "KeywordsPartMatchRelevancy")
        s.KeywordsPartMatchRelevancy = IntOr(value, 1);
    else if (key == "KeywordsNoMatchRelevancy")
        s.KeywordsNoMatchRelevancy = IntOr(value, 0);
    else if (key == "Syntaxes.BaseURL") {
        if (sub == 0) s.FirstPageURL = value;
    } else if (key == "Syntaxes.Method") {
        if (sub == 0 && value == "smPOST") s.FirstPageMethod = TSubmitMethod::smPOST;
    } else if (key == "Syntaxes.Parameters") {
        if (sub == 0) s.FirstPageParameters.push_back(value);
    } else if (key == "ParserScripts") {
        TStrings* scripts[] = {&s.JobBlockScript, &s.JobTitleScript, &s.JobCompanyScript,
                               &s.JobLocationScript, &s.JobURLScript};
        if (sub >= 0 && sub < 5) AppendStatements(*scripts[sub], value);
    }
    // Any other key is meant for another edition of the program: ignored.
}

}  // namespace tessaly
