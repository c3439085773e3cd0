// The job clean-up as the program did it before job texts became UTF-8 (Windows Latin-1
// bytes, the first entity table only), kept so the benchmark can set the two side by side.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/VelaJobs.h"
#include "platform/ByteString.h"
#include "platform/MainLoop.h"

namespace tessaly::bench_old {

// clang-format off
struct TEntity {
    std::string_view name;
    unsigned char code;
};

// Looked up by prefix, and the last hit wins, so the order is part of the behaviour.
constexpr TEntity kEntities[] = {
    {"quot", 34},    {"amp", 38},     {"lt", 60},      {"gt", 62},      {"nbsp", 160},
    {"cent", 162},   {"curren", 164}, {"brvbar", 166}, {"uml", 168},    {"ordf", 170},
    {"not", 172},    {"reg", 174},    {"deg", 176},    {"sup2", 178},   {"acute", 180},
    {"para", 182},   {"cedil", 184},  {"ordm", 186},   {"frac14", 188}, {"frac34", 190},
    {"Agrave", 192}, {"Acirc", 194},  {"Auml", 196},   {"Aelig", 198},  {"Egrave", 200},
    {"Ecirc", 202},  {"Igrave", 204}, {"Icirc", 206},  {"ETH", 208},    {"Ograve", 210},
    {"Ocirc", 212},  {"Ouml", 214},   {"Oslash", 216}, {"Uacute", 218}, {"Uuml", 220},
    {"THORN", 222},  {"agrave", 224}, {"acirc", 226},  {"auml", 228},   {"aelig", 230},
    {"egrave", 232}, {"ecirc", 234},  {"igrave", 236}, {"icirc", 238},  {"eth", 240},
    {"ograve", 242}, {"ocirc", 244},  {"ouml", 246},   {"oslash", 248}, {"uacute", 250},
    {"uuml", 252},   {"thorn", 254},  {"Iexcl", 161},  {"pound", 163},  {"yen", 165},
    {"sect", 167},   {"copy", 169},   {"laquo", 171},  {"shy", 173},    {"macr", 175},
    {"plusmn", 177}, {"sup3", 179},   {"micro", 181},  {"middot", 183}, {"sup1", 185},
    {"raquo", 187},  {"frac12", 189}, {"Iquest", 191}, {"Aacute", 193}, {"Atilde", 195},
    {"Aring", 197},  {"Ccedil", 199}, {"Eacute", 201}, {"Euml", 203},   {"Iacute", 205},
    {"Iuml", 207},   {"Ntilde", 209}, {"Oacute", 211}, {"Otilde", 213}, {"times", 215},
    {"Ugrave", 217}, {"Ucirc", 219},  {"Yacute", 221}, {"Szlig", 223},  {"aacute", 225},
    {"atilde", 227}, {"aring", 229},  {"ccedil", 231}, {"eacute", 233}, {"euml", 235},
    {"iacute", 237}, {"iuml", 239},   {"ntilde", 241}, {"oacute", 243}, {"otilde", 245},
    {"divide", 247}, {"ugrave", 249}, {"ucirc", 251},  {"yacute", 253}, {"yuml", 255},
};

// Code points above 255 that pages write as numbers and that have a Windows Latin-1 byte.
inline int WindowsLatin1Byte(int64_t code) {
    switch (code) {
        case 8364:
            return 128;
        case 8218:
            return 130;
        case 8222:
            return 132;
        case 8230:
            return 133;
        case 8216:
            return 145;
        case 8217:
            return 146;
        case 8220:
            return 147;
        case 8221:
            return 148;
        case 8226:
            return 149;
        case 8211:
            return 150;
        case 8212:
            return 151;
        case 8482:
            return 153;
        default:
            return -1;
    }
}

// The character a numeric reference stands for: "38", and also the usual "#38" and
// "#x26" forms. Returns false when the reference is not a number or names no byte.
inline bool NumericReference(std::string_view ref, std::string& out) {
    int64_t code = -1;
    if (auto n = ParseInt(ref)) {
        code = *n;
    } else if (ref.size() >= 2 && ref[0] == '#') {
        std::string_view digits = ref.substr(1);
        int base = 10;
        if (digits[0] == 'x' || digits[0] == 'X') {
            digits = digits.substr(1);
            base = 16;
        }
        if (digits.empty() || digits.size() > 7) return false;
        code = 0;
        for (const char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            code = code * base + d;
        }
    } else {
        return false;
    }
    if (code == 0) return true;  // a NUL byte has no place in a job text
    if (code > 0 && code <= 255) {
        out += static_cast<char>(code);
        return true;
    }
    if (const int b = WindowsLatin1Byte(code); b >= 0) {
        out += static_cast<char>(b);
        return true;
    }
    return false;
}

// Words each ending with its separator; the last word ends at the end of the text.
inline std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (tessaly::IsJobWordSeparator(text[i])) {
            words.emplace_back(text.substr(start, i - start + 1));
            start = i + 1;
        }
    }
    if (start < text.size()) words.emplace_back(text.substr(start));
    return words;
}

inline std::string DecodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (true) {
        const size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) break;
        out.append(text, i, amp - i);
        // The reference must close with ";" before the next blank (or the end, which
        // stands for the blank the decoder appends).
        const size_t semi = text.find(';', amp);
        const size_t space = text.find(' ', amp);
        if (semi == std::string_view::npos || (space != std::string_view::npos && space < semi)) {
            out += '&';
            i = amp + 1;
            continue;
        }
        const std::string_view ref = text.substr(amp + 1, semi - amp - 1);
        if (!NumericReference(ref, out)) {
            const TEntity* hit = nullptr;
            if (!ref.empty())  // an empty name would match every entry
                for (const auto& e : kEntities)
                    if (e.name.starts_with(ref)) hit = &e;
            if (hit)
                out += static_cast<char>(hit->code);
            else
                out.append(ref);
        }
        i = semi + 1;
    }
    out.append(text, i);
    return out;
}

inline std::string StripTags(std::string_view text) {
    // Everything before the first "<" holds no ">" either once a tag is cut, so the text
    // can be cut in one pass.
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (true) {
        const size_t lt = text.find('<', i);
        const size_t gt = text.find('>', i);
        if (lt == std::string_view::npos || gt == std::string_view::npos || lt > gt) break;
        out.append(text, i, lt - i);
        i = gt + 1;
    }
    out.append(text, i);
    return out;
}

inline std::string TrimJobText(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (const char c : text)
        if (c != '\t' && c != '\r' && c != '\n') s += c;
    size_t b = 0;
    while (b < s.size() && std::string_view(" !\"*-/\\").find(s[b]) != std::string_view::npos)
        ++b;
    size_t e = s.size();
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '"'))
        --e;
    std::string out;
    out.reserve(e - b);
    for (size_t k = b; k < e; ++k)
        if (!(s[k] == ' ' && !out.empty() && out.back() == ' ')) out += s[k];
    return out;
}

inline std::string CapitaliseAllCapitals(std::string_view text) {
    for (const char c : text)
        if (c >= 'a' && c <= 'z') return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (auto& w : SplitWords(text)) {
        w = LowerCase(w);
        w[0] = UpperChar(w[0]);
        out += w;
    }
    return out;
}

inline std::string CleanJobText(std::string_view text) {
    return CapitaliseAllCapitals(TrimJobText(StripTags(DecodeEntities(text))));
}

inline std::string CleanJobURL(std::string_view url, const TVelaJob& cleaned) {
    std::string s = ReplaceAll(url, "%title%", cleaned.Title);
    s = ReplaceAll(s, "%company%", cleaned.Company);
    s = ReplaceAll(s, "%location%", cleaned.Location);
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        if (c == '\t' || c == '\r' || c == '\n') continue;
        out += c == ' ' ? '+' : c;
    }
    return out;
}

// clang-format on

// The old CleanUpJobs loop.
inline void CleanUpJobs(TVelaJobsList& l) {
    for (int i = 0; i < l.Count(); ++i) {
        TVelaJob& j = l[i];
        j.Title = bench_old::CleanJobText(j.Title);
        j.Company = bench_old::CleanJobText(j.Company);
        j.Location = bench_old::CleanJobText(j.Location);
        if (j.Company.empty()) j.Company = "n/a";
        if (j.Location.empty()) j.Location = "n/a";
        j.URL = bench_old::CleanJobURL(j.URL, j);
        j.Status = kStatusWhite;
        j.High = false;
        ProcessMessages();
    }
}

}  // namespace tessaly::bench_old
