#include "platform/Charset.h"

#include <algorithm>
#include <cstdint>

#include "platform/Utf8.h"

namespace tessaly {
namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The first position at or after `from` where `word` (lower case) stands in any letter
// case; npos when it does not.
size_t FindNoCase(std::string_view text, std::string_view word, size_t from = 0) {
    if (word.size() > text.size()) return std::string_view::npos;
    // A word that starts with no letter ("<meta") is looked for by that byte alone first:
    // the head of a long page is scanned at once.
    const bool byFirst = !word.empty() && (word[0] < 'a' || word[0] > 'z');
    for (size_t i = from; i + word.size() <= text.size(); ++i) {
        if (byFirst) {
            i = text.find(word[0], i);
            if (i == std::string_view::npos || i + word.size() > text.size()) break;
        }
        size_t k = 0;
        while (k < word.size() && LowerAscii(text[i + k]) == word[k])
            ++k;
        if (k == word.size()) return i;
    }
    return std::string_view::npos;
}

// The value after "charset" (or `key`) at `at`: blanks, "=", blanks, then a value ended by
// its quote or by a blank, ";", ">", "?", "/" or a quote. Empty when no "=" follows.
std::string ValueAfter(std::string_view text, size_t at) {
    size_t i = at;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i >= text.size() || text[i] != '=') return {};
    ++i;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    char quote = 0;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) quote = text[i++];
    const size_t start = i;
    while (i < text.size()) {
        const char c = text[i];
        if (quote ? c == quote
                  : (IsBlank(c) || c == ';' || c == '>' || c == '"' || c == '\'' || c == '?'))
            break;
        ++i;
    }
    return std::string(text.substr(start, i - start));
}

// ISO-8859-15 differs from Latin-1 in eight places.
struct TLatin9 {
    unsigned char byte;
    char16_t code;
};
constexpr TLatin9 kLatin9[] = {{0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161}, {0xB4, 0x017D},
                               {0xB8, 0x017E}, {0xBC, 0x0152}, {0xBD, 0x0153}, {0xBE, 0x0178}};

char32_t Latin9ToUnicode(unsigned char b) {
    for (const auto& e : kLatin9)
        if (e.byte == b) return e.code;
    return b;
}

int UnicodeToLatin9(char32_t cp) {
    for (const auto& e : kLatin9) {
        if (e.code == cp) return e.byte;
        if (e.byte == cp) return -1;  // the Latin-1 character this byte no longer holds
    }
    return cp <= 0xFF ? static_cast<int>(cp) : -1;
}

bool HasHighBytes(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return (c & 0x80) != 0; });
}

// How far into a page its <meta> declarations are looked for.
constexpr size_t kDeclarationScan = size_t{128} * 1024;

}  // namespace

TCharset CharsetByName(std::string_view name) {
    while (!name.empty() && (IsBlank(name.front()) || name.front() == '"' || name.front() == '\''))
        name.remove_prefix(1);
    while (!name.empty() && (IsBlank(name.back()) || name.back() == '"' || name.back() == '\''))
        name.remove_suffix(1);
    std::string n;
    for (const char c : name)
        n += LowerAscii(c);
    static constexpr std::string_view kUtf8[] = {"utf-8", "utf8", "unicode-1-1-utf-8",
                                                 "x-unicode20utf8"};
    static constexpr std::string_view kWindows1252[] = {
        "windows-1252", "cp1252",      "x-cp1252", "iso-8859-1",      "iso8859-1",
        "iso_8859-1",   "iso88591",    "latin1",   "latin-1",         "l1",
        "cp819",        "ibm819",      "us-ascii", "ascii",           "ansi_x3.4-1968",
        "iso-ir-100",   "csisolatin1", "us",       "iso_8859-1:1987", "csascii"};
    static constexpr std::string_view kLatin9Names[] = {"iso-8859-15", "iso8859-15", "iso_8859-15",
                                                        "iso885915",   "latin-9",    "latin9",
                                                        "l9",          "csisolatin9"};
    auto in = [&n](const auto& list) {
        return std::find(std::begin(list), std::end(list), n) != std::end(list);
    };
    if (in(kUtf8)) return TCharset::Utf8;
    if (in(kWindows1252)) return TCharset::Windows1252;
    if (in(kLatin9Names)) return TCharset::Latin9;
    return TCharset::Unknown;
}

std::string_view CharsetName(TCharset charset) {
    switch (charset) {
        case TCharset::Utf8:
            return "UTF-8";
        case TCharset::Windows1252:
            return "windows-1252";
        case TCharset::Latin9:
            return "ISO-8859-15";
        default:
            return "";
    }
}

std::string ContentTypeCharset(std::string_view contentType) {
    for (size_t at = FindNoCase(contentType, "charset"); at != std::string_view::npos;
         at = FindNoCase(contentType, "charset", at + 1)) {
        std::string v = ValueAfter(contentType, at + 7);
        if (!v.empty()) return v;
    }
    return {};
}

std::string HeaderCharset(std::string_view header) {
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find('\n', start);
        if (end == std::string_view::npos) end = header.size();
        std::string_view line = header.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (FindNoCase(line, "content-type") == 0) {
            const size_t colon = line.find(':');
            if (colon != std::string_view::npos) return ContentTypeCharset(line.substr(colon + 1));
        }
        start = end + 1;
    }
    return {};
}

std::string DeclaredPageCharset(std::string_view page) {
    if (page.starts_with("\xEF\xBB\xBF")) return "UTF-8";
    // Byte-order marks of UTF-16: not a charset these byte scripts can read, so the bytes
    // themselves decide.
    if (page.starts_with("\xFF\xFE") || page.starts_with("\xFE\xFF")) return "UTF-16";
    std::string_view head = page.substr(0, std::min(page.size(), kDeclarationScan));
    size_t lead = 0;
    while (lead < head.size() && IsBlank(head[lead]))
        ++lead;
    if (FindNoCase(head.substr(lead, 5), "<?xml") == 0) {
        const size_t end = head.find("?>", lead);
        const std::string_view decl =
            head.substr(lead, end == std::string_view::npos ? std::string_view::npos : end - lead);
        const size_t at = FindNoCase(decl, "encoding");
        if (at != std::string_view::npos) {
            std::string v = ValueAfter(decl, at + 8);
            if (!v.empty()) return v;
        }
    }
    for (size_t at = FindNoCase(head, "<meta"); at != std::string_view::npos;
         at = FindNoCase(head, "<meta", at + 5)) {
        const size_t end = head.find('>', at);
        const std::string_view tag =
            head.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        for (size_t c = FindNoCase(tag, "charset"); c != std::string_view::npos;
             c = FindNoCase(tag, "charset", c + 7)) {
            std::string v = ValueAfter(tag, c + 7);
            if (!v.empty()) return v;
        }
    }
    return {};
}

std::optional<TCharset> NamedPageCharset(std::string_view siteCharset, std::string_view header,
                                         std::string_view page) {
    auto decide = [](std::string_view name) -> std::optional<TCharset> {
        const TCharset c = CharsetByName(name);
        if (c == TCharset::Unknown) return std::nullopt;
        return c;
    };
    if (siteCharset.find_first_not_of(" \t\"'") != std::string_view::npos)
        return decide(siteCharset);
    if (const std::string h = HeaderCharset(header); !h.empty()) return decide(h);
    if (const std::string d = DeclaredPageCharset(page); !d.empty()) return decide(d);
    return std::nullopt;
}

TCharset ResolvePageCharset(std::string_view siteCharset, std::string_view header,
                            std::string_view page) {
    if (const auto named = NamedPageCharset(siteCharset, header, page)) return *named;
    return IsValidUtf8(page) ? TCharset::Utf8 : TCharset::Windows1252;
}

std::string ToUtf8(std::string_view bytes, TCharset charset) {
    if (!HasHighBytes(bytes)) return std::string(bytes);
    switch (charset) {
        case TCharset::Utf8:
            return Utf8FromMixed(bytes);
        case TCharset::Windows1252:
            return Utf8FromCp1252(bytes);
        case TCharset::Latin9: {
            std::string out;
            out.reserve(bytes.size() + bytes.size() / 4);
            for (const unsigned char c : bytes)
                AppendUtf8(out, Latin9ToUnicode(c));
            return out;
        }
        default:
            return Utf8FromStored(bytes);
    }
}

std::string FromUtf8(std::string_view text, TCharset charset) {
    if (charset != TCharset::Windows1252 && charset != TCharset::Latin9) return std::string(text);
    if (!HasHighBytes(text) || !IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t cp = NextUtf8(text, i);
        const int b = charset == TCharset::Latin9 ? UnicodeToLatin9(cp) : UnicodeToCp1252(cp);
        if (b >= 0) {
            out += static_cast<char>(b);
        } else {
            out += "%26%23";
            out += std::to_string(static_cast<uint32_t>(cp));
            out += "%3B";
        }
    }
    return out;
}

}  // namespace tessaly
