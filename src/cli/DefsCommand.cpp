// `tessaly defs`: the workbench for people who write job-site definitions. Decode a
// definitions file to its plain line pairs, encode plain pairs into one, and show what
// the program reads from it.
#include <ostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "data/VelaSources.h"
#include "platform/TextFile.h"

namespace tessaly::cli {

namespace {

int Decode(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "defs decode", parsed.error());
    if (args.Positional().size() != 1)
        return UsageError(io, "defs decode", "expected one definitions file");
    const std::string& path = args.Positional()[0];
    std::string text;
    try {
        text = ReadSourcesText(path);
    } catch (const EFileError& e) {
        io.err << "tessaly defs decode: " << e.what() << "\n";
        return kExitUsage;
    }
    for (const auto& line : DecodeSourcesText(text))
        io.out << line << "\n";
    return kExitOk;
}

int Encode(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "defs encode", parsed.error());
    if (args.Positional().size() != 2)
        return UsageError(io, "defs encode", "expected a plain file and an output file");
    const std::string& plain = args.Positional()[0];
    const std::string& out = args.Positional()[1];
    TStrings lines;
    try {
        lines = ReadTextLines(plain);
    } catch (const EFileError& e) {
        io.err << "tessaly defs encode: " << e.what() << "\n";
        return kExitUsage;
    }
    auto encoded = EncodeSourcesLines(lines);
    if (!encoded) {
        io.err << "tessaly defs encode: " << plain << ", " << encoded.error() << "\n";
        return kExitFailed;
    }
    if (lines.size() % 2 != 0)
        io.err << "tessaly defs encode: warning: " << plain
               << " ends with a key line without its value; it reads as empty\n";
    try {
        WriteFileAtomic(out, encoded.value());
    } catch (const EFileError& e) {
        io.err << "tessaly defs encode: " << e.what() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

const char* MethodName(TSubmitMethod m) {
    return m == TSubmitMethod::smPOST ? "POST" : "GET";
}

void ShowJson(const TVelaSourcesList& list, std::ostream& os) {
    TJsonWriter w;
    w.BeginObject();
    w.Key("Version").String(list.Version);
    w.Key("MRegions").Strings(list.MRegions);
    w.Key("MCategories").Strings(list.MCategories);
    w.Key("Sites").BeginArray();
    for (int i = 0; i < list.Count(); ++i) {
        const TVelaSource& s = list[i];
        w.BeginObject();
        w.Key("Index").Int(s.Index);
        w.Key("Title").String(s.Title);
        w.Key("HomeURL").String(s.HomeURL);
        w.Key("Enabled").Bool(s.Enabled);
        w.Key("EnabledChoice").Bool(s.EnabledChoice);
        w.Key("Regions").Strings(s.Regions);
        w.Key("Categories").Strings(s.Categories);
        w.Key("UserID").String(s.UserID);
        w.Key("FirstPageURL").String(s.FirstPageURL);
        w.Key("FirstPageMethod").String(MethodName(s.FirstPageMethod));
        w.Key("FirstPageParameters").Strings(s.FirstPageParameters);
        w.Key("KeywordLanguage").String(s.KeywordLanguage);
        w.Key("JobsPerPage").Int(s.JobsPerPage);
        w.Key("MultiplePages").Bool(s.MultiplePages);
        w.Key("NextPageLinkScript").Strings(s.NextPageLinkScript);
        w.Key("NextPageLinkIsAForm").Bool(s.NextPageLinkIsAForm);
        w.Key("JobBlockScript").Strings(s.JobBlockScript);
        w.Key("JobTitleScript").Strings(s.JobTitleScript);
        w.Key("JobCompanyScript").Strings(s.JobCompanyScript);
        w.Key("JobLocationScript").Strings(s.JobLocationScript);
        w.Key("JobURLScript").Strings(s.JobURLScript);
        w.Key("PageFormatScript").Strings(s.PageFormatScript);
        w.Key("CategoryRelevancy").Int(s.CategoryRelevancy);
        w.Key("RegionMatchRelevancy").Int(s.RegionMatchRelevancy);
        w.Key("RegionNoMatchRelevancy").Int(s.RegionNoMatchRelevancy);
        w.Key("KeywordsFullMatchRelevancy").Int(s.KeywordsFullMatchRelevancy);
        w.Key("KeywordsPartMatchRelevancy").Int(s.KeywordsPartMatchRelevancy);
        w.Key("KeywordsNoMatchRelevancy").Int(s.KeywordsNoMatchRelevancy);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    os << w.Text() << "\n";
}

void ShowLines(std::ostream& os, const char* name, const TStrings& lines) {
    os << "  " << name << ":";
    if (lines.empty()) os << " (none)";
    os << "\n";
    for (const auto& l : lines)
        os << "    " << l << "\n";
}

void ShowText(const TVelaSourcesList& list, std::ostream& os) {
    auto yesNo = [](bool b) { return b ? "True" : "False"; };
    os << "Version: " << list.Version << "\n";
    os << "MRegions: " << Join(list.MRegions, ", ") << "\n";
    os << "MCategories: " << Join(list.MCategories, ", ") << "\n";
    for (int i = 0; i < list.Count(); ++i) {
        const TVelaSource& s = list[i];
        os << "\nSite " << s.Index << ": " << s.Title << "\n";
        os << "  HomeURL: " << s.HomeURL << "\n";
        os << "  Enabled: " << yesNo(s.Enabled) << "\n";
        os << "  Regions: " << Join(s.Regions, ", ") << "\n";
        os << "  Categories: " << Join(s.Categories, ", ") << "\n";
        os << "  FirstPageURL: " << s.FirstPageURL << "\n";
        os << "  FirstPageMethod: " << MethodName(s.FirstPageMethod) << "\n";
        ShowLines(os, "FirstPageParameters", s.FirstPageParameters);
        os << "  KeywordLanguage: " << s.KeywordLanguage << "\n";
        os << "  JobsPerPage: " << s.JobsPerPage << "\n";
        os << "  MultiplePages: " << yesNo(s.MultiplePages) << "\n";
        os << "  NextPageLinkIsAForm: " << yesNo(s.NextPageLinkIsAForm) << "\n";
        ShowLines(os, "NextPageLinkScript", s.NextPageLinkScript);
        ShowLines(os, "JobBlockScript", s.JobBlockScript);
        ShowLines(os, "JobTitleScript", s.JobTitleScript);
        ShowLines(os, "JobCompanyScript", s.JobCompanyScript);
        ShowLines(os, "JobLocationScript", s.JobLocationScript);
        ShowLines(os, "JobURLScript", s.JobURLScript);
        ShowLines(os, "PageFormatScript", s.PageFormatScript);
        os << "  CategoryRelevancy: " << s.CategoryRelevancy << "\n";
        os << "  RegionMatchRelevancy: " << s.RegionMatchRelevancy << "\n";
        os << "  RegionNoMatchRelevancy: " << s.RegionNoMatchRelevancy << "\n";
        os << "  KeywordsFullMatchRelevancy: " << s.KeywordsFullMatchRelevancy << "\n";
        os << "  KeywordsPartMatchRelevancy: " << s.KeywordsPartMatchRelevancy << "\n";
        os << "  KeywordsNoMatchRelevancy: " << s.KeywordsNoMatchRelevancy << "\n";
    }
}

int Show(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"json"}, {}); !parsed)
        return UsageError(io, "defs show", parsed.error());
    if (args.Positional().size() != 1)
        return UsageError(io, "defs show", "expected one definitions file");
    const std::string& path = args.Positional()[0];
    TVelaSourcesList list;
    int status = kExitOk;
    try {
        list.LoadFromFile(path);
    } catch (const EConvertError& e) {
        // What was read before the bad line is still shown.
        io.err << "tessaly defs show: " << e.what() << "\n";
        status = kExitFailed;
    } catch (const EFileError& e) {
        io.err << "tessaly defs show: " << e.what() << "\n";
        return kExitUsage;
    }
    if (args.Has("json"))
        ShowJson(list, io.out);
    else
        ShowText(list, io.out);
    return status;
}

const TRegisterCommand kDecode{{
    "defs decode",
    "write the unscrambled line pairs of a definitions file",
    "Usage: tessaly defs decode SOURCES.DEF\n\n"
    "Writes every line of the definitions file unscrambled, one per line: key lines\n"
    "(Name, Name|site or Name|site|sub-index) and their values, ready for 'defs encode'.\n",
    Decode,
}};

const TRegisterCommand kEncode{{
    "defs encode",
    "scramble plain line pairs into a definitions file",
    "Usage: tessaly defs encode PLAIN OUT\n\n"
    "Scrambles every line of PLAIN (key line, value line, ...) and writes OUT with CR LF\n"
    "line ends. A line whose scrambled bytes would hold a CR or LF cannot be read back;\n"
    "such a line is refused by number and nothing is written.\n",
    Encode,
}};

const TRegisterCommand kShow{{
    "defs show",
    "show the sites, master lists and scripts of a definitions file",
    "Usage: tessaly defs show SOURCES.DEF [--json]\n\n"
    "Loads the definitions as the program does and shows the version, the master lists\n"
    "and every site with every field. --json writes one object with \"Version\",\n"
    "\"MRegions\", \"MCategories\" and \"Sites\"; scripts and parameter templates are arrays\n"
    "of lines. A file that stops with an error shows the sites read before it (status 1).\n"
    "Values are shown as the file's bytes; --json writes each byte as one code point\n"
    "0-255.\n",
    Show,
}};

}  // namespace

}  // namespace tessaly::cli
