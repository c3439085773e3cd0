#include "data/QueryBuilder.h"

#include "platform/LinkAddress.h"

#include <utility>

namespace tessaly {
namespace query {

std::string SiteCode(const TStrings& master, const TStrings& codes, std::string_view name) {
    for (size_t i = master.size(); i-- > 0;) {
        if (master[i] != name) continue;
        if (codes.empty()) return "ignore";
        // A code list that stops short has no code for the later master entries.
        return i < codes.size() ? codes[i] : std::string();
    }
    return {};
}

std::string SiteKeywords(std::string_view language, const TQuerySearch& search) {
    const std::string* translated = nullptr;
    if (language == "en")
        translated = &search.KeywordsEN;
    else if (language == "fr")
        translated = &search.KeywordsFR;
    else if (language == "de")
        translated = &search.KeywordsDE;
    else if (language == "sp")
        translated = &search.KeywordsSP;
    if (translated == nullptr || translated->empty()) return search.Keywords;
    return *translated;
}

namespace {

// Collapses every run of `c` to one, in one pass.
void CollapseRuns(std::string& s, char c) {
    size_t out = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == c && out > 0 && s[out - 1] == c) continue;
        s[out++] = s[i];
    }
    s.resize(out);
}

}  // namespace

std::string TidyValue(std::string value) {
    CollapseRuns(value, ' ');
    CollapseRuns(value, ',');
    if (!value.empty() && value.back() == ',') value.pop_back();
    size_t lead = 0;
    while (lead < value.size() && value[lead] == ',')
        ++lead;
    value.erase(0, lead);
    return value;
}

TStrings SplitItems(std::string_view value) {
    TStrings items;
    size_t start = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == ' ' || c == ',' || c == '\xA7') {
            items.emplace_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    items.emplace_back(value.substr(start));
    return items;
}

std::string PlaceholderValue(std::string_view placeholder, const TPlaceholderInputs& in) {
    std::string value;
    auto add = [&](std::string_view piece) {
        if (piece == "region")
            value.append(in.RegionCode).push_back(',');
        else if (piece == "category")
            value.append(in.CategoryCode).push_back(',');
        else if (piece == "keyword")
            value.append(in.Keywords).push_back(',');
        else if (piece == "userid")
            value.append(in.UserID).push_back(',');
        else if (piece == "city" || piece == "title" || piece == "company")
            value.push_back(',');
    };
    size_t start = 1;
    for (size_t i = 1; i < placeholder.size(); ++i) {
        const char c = placeholder[i];
        if (c == '/' || c == ':' || c == '>' || c == '|') {
            add(placeholder.substr(start, i - start));
            start = i + 1;
        }
    }
    // A placeholder left open at the end of its line still ends its last name there.
    if (start < placeholder.size()) add(placeholder.substr(start));
    return TidyValue(std::move(value));
}

std::string ExpandLine(std::string_view prefix, std::string_view placeholder,
                       std::string_view suffix, const TStrings& items) {
    // The options run from after the ":" or "/" to the closing ">", when there is one.
    std::string_view body = placeholder;
    if (!body.empty() && body.back() == '>') body.remove_suffix(1);
    const size_t colon = body.find(':');
    const size_t slash = body.find('/');
    std::string out;
    if (colon != std::string_view::npos) {
        const std::string_view sep = body.substr(colon + 1);
        out.append(prefix);
        for (size_t i = 0; i < items.size(); ++i) {
            if (i > 0) out.append(sep);
            out.append(items[i]);
        }
        out.append(suffix);
    }
    if (slash != std::string_view::npos) {
        const int32_t n = ParseIntOr(body.substr(slash + 1), 1);
        out.append(prefix);
        // Item numbers count from 1; there is no item 0 or below.
        if (n >= 1 && static_cast<size_t>(n) <= items.size())
            out.append(items[static_cast<size_t>(n) - 1]);
        out.append(suffix);
    }
    if (colon == std::string_view::npos && slash == std::string_view::npos) {
        for (const auto& item : items)
            out.append(prefix).append(item).append(suffix);
    }
    return out;
}

}  // namespace query

bool BuildFirstRequest(TVelaSource& site, const TQuerySearch& search, TQueryRequest& request) {
    site.QueryID = request.ID;
    site.PagesRead = 0;
    request.URL = site.FirstPageURL;
    request.IsPost = site.FirstPageMethod == TSubmitMethod::smPOST;
    std::string params;

    static const TStrings kNoMaster;
    const TStrings& mRegions = site.MRegions ? *site.MRegions : kNoMaster;
    const TStrings& mCategories = site.MCategories ? *site.MCategories : kNoMaster;
    query::TPlaceholderInputs in;
    // Searches and codes are UTF-8; a site that declares another charset gets them in
    // its own.
    const TCharset charset = CharsetByName(site.Charset);
    in.RegionCode = FromUtf8(query::SiteCode(mRegions, site.Regions, search.Region), charset);
    in.CategoryCode =
        FromUtf8(query::SiteCode(mCategories, site.Categories, search.Category), charset);
    in.Keywords = FromUtf8(query::SiteKeywords(site.KeywordLanguage, search), charset);
    in.UserID = FromUtf8(site.UserID, charset);

    for (const auto& line : site.FirstPageParameters) {
        const size_t lt = line.find('<');
        if (lt == std::string::npos) {
            params.append(line);
            continue;
        }
        // The placeholder closes at the first ">" after its "<"; one left open runs to
        // the end of the line.
        const size_t gt = line.find('>', lt + 1);
        const size_t end = gt == std::string::npos ? line.size() : gt + 1;
        const std::string_view l = line;
        const std::string_view prefix = l.substr(0, lt);
        const std::string_view placeholder = l.substr(lt, end - lt);
        const std::string_view suffix = l.substr(end);
        // A site without a code for the search cannot serve it; the line is still
        // expanded so the parameters show what would have been sent.
        if (in.RegionCode.empty() || in.CategoryCode.empty()) request.URL.clear();
        const std::string value = query::PlaceholderValue(placeholder, in);
        params.append(query::ExpandLine(prefix, placeholder, suffix, query::SplitItems(value)));
    }
    request.Parameters = std::move(params);
    return !request.URL.empty();
}

namespace {

// Takes the value of one attribute (the text after WORD=, up to a blank or ">").
TStrings AttributeScript(std::string_view word) {
    return {"Go(After, \"" + std::string(word) + "=\", IgnoreCase);", "Cut(All, Backward);",
            "Go(Before, \" \", \">\");", "Get(All, Backward);"};
}

std::string WithoutQuotes(std::string s) {
    std::erase(s, '"');
    return s;
}

bool ContainsUpper(std::string_view text, std::string_view word) {
    return UpperCase(text).find(word) != std::string::npos;
}

std::string_view WithoutFragment(std::string_view address) {
    return address.substr(0, address.find('#'));
}

}  // namespace

bool BuildNextRequest(TVelaSource& site, std::string_view page, TQueryRequest& request,
                      std::string_view header, std::string_view pageAddress) {
    site.QueryID = request.ID;
    TParserScript& parser = site.Parser;
    // The link is read like a job's: in UTF-8, its references ("&amp;") decoded. It goes
    // back to the site in the page's charset, as a browser sends it.
    auto link = [&](const std::string& raw) {
        const TPageFields fields = PageFieldsOf(site, header, page);
        return FromUtf8(DecodeEntities(fields.Field(raw), false), fields.Charset);
    };
    if (!site.NextPageLinkIsAForm) {
        // A board paged by offset: "<offset>" in the link counts the jobs asked for so far.
        ++site.PagesRead;
        request.URL = ReplaceAll(link(parser.Run(site.NextPageLinkScript, page)), "<offset>",
                                 IntToStr(static_cast<int64_t>(site.PagesRead) * site.JobsPerPage));
        request.IsPost = false;
        request.Parameters.clear();
        if (request.URL.empty() || request.URL == "?") return false;
        request.URL = ResolveLink(pageAddress, request.URL);
        // "#" or the page's own address would fetch the same page again and again.
        return pageAddress.empty() || WithoutFragment(request.URL) != WithoutFragment(pageAddress);
    }

    static const TStrings kActionScript = AttributeScript("ACTION");
    static const TStrings kMethodScript = AttributeScript("METHOD");
    static const TStrings kTypeScript = AttributeScript("TYPE");
    static const TStrings kNameScript = AttributeScript("NAME");
    static const TStrings kValueScript = AttributeScript("VALUE");
    static const TStrings kInputsScript = {"Go(Before, \"<INPUT\", IgnoreCase);",
                                           "Cut(All, Backward);", "Go(After, \">\");",
                                           "Get(All, Backward);", "Cut(All, Backward);"};

    const std::string form = parser.Run(site.NextPageLinkScript, page);
    // The form's values go back to the site as the page wrote them; only its address is
    // read as a link.
    request.URL = WithoutQuotes(link(parser.Run(kActionScript, form)));
    // A form without an action gives no next page; only a written action is completed.
    if (!request.URL.empty()) request.URL = ResolveLink(pageAddress, request.URL);
    if (ContainsUpper(parser.Run(kMethodScript, form), "POST"))
        request.IsPost = true;
    else
        request.URL.push_back('?');

    std::string params;
    const TStrings tags = parser.RunRepeated(kInputsScript, form);
    for (const auto& tag : tags) {
        if (ContainsUpper(parser.Run(kTypeScript, tag), "SUBMIT")) continue;
        // Blanks inside quoted values would end the attribute early; they travel as "+".
        std::string copy = tag;
        bool quoted = false;
        for (char& c : copy) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ' ' && quoted)
                c = '+';
        }
        const std::string name = parser.Run(kNameScript, copy);
        const std::string value = parser.Run(kValueScript, copy);
        const std::string pair = WithoutQuotes(name.empty() ? value : name + "=" + value);
        if (!params.empty()) params.push_back('&');
        params.append(pair);
    }
    request.Parameters = std::move(params);
    return !request.URL.empty() && request.URL != "?";
}

}  // namespace tessaly
