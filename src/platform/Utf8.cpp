#include "platform/Utf8.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "platform/ByteScan.h"

namespace tessaly {

namespace {

// Windows-1252 for 0x80-0x9F; 0 marks the five undefined bytes, kept as C1 controls.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The end of the run of ASCII bytes from `i` on, sixteen bytes at a time where it can.
size_t AsciiRunEnd(std::string_view s, size_t i) {
    for (; i + 16 <= s.size(); i += 16)
        if (const uint32_t high = HighBytes16(s.data() + i); high != 0)
            return i + static_cast<size_t>(std::countr_zero(high));
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i;
}

bool HasHighBytes(std::string_view s) {
    return AsciiRunEnd(s, 0) < s.size();
}

// The length of the well-formed sequence at `i` (its first byte at least 0x80) and its
// code point; 0 when the bytes there are no UTF-8.
int SequenceAt(std::string_view s, size_t i, char32_t& out) {
    const auto c = static_cast<unsigned char>(s[i]);
    int len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + static_cast<size_t>(len) > s.size()) return 0;
    for (int k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    out = cp;
    return len;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            i = AsciiRunEnd(s, i);
            continue;
        }
        // Two-byte sequences (accented Latin letters) are the most common ones by far.
        if (c >= 0xC2 && c <= 0xDF && i + 1 < n &&
            (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
            i += 2;
            continue;
        }
        char32_t cp;
        const int len = SequenceAt(s, i, cp);
        if (len == 0) return false;
        i += static_cast<size_t>(len);
    }
    return true;
}

char32_t NextUtf8(std::string_view s, size_t& i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    char32_t cp;
    const int len = SequenceAt(s, i, cp);
    if (len == 0) {
        ++i;
        return Cp1252ToUnicode(c);
    }
    i += static_cast<size_t>(len);
    return cp;
}

std::string Utf8FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (unsigned char c : bytes)
        AppendUtf8(out, Cp1252ToUnicode(c));
    return out;
}

std::string Utf8FromMixed(std::string_view bytes) {
    if (!HasHighBytes(bytes) || IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (size_t i = 0; i < bytes.size();)
        AppendUtf8(out, NextUtf8(bytes, i));
    return out;
}

char32_t Cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F && kCp1252High[byte - 0x80] != 0)
        return kCp1252High[byte - 0x80];
    return byte;
}

int UnicodeToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int k = 0; k < 32; ++k) {
        // The undefined bytes map back from their C1 control characters.
        const char32_t mapped = kCp1252High[k] ? kCp1252High[k] : char32_t(0x80 + k);
        if (mapped == cp) return 0x80 + k;
    }
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

namespace {

// The four hex digits at `i`, or -1.
int32_t Hex4(std::string_view s, size_t i) {
    if (i + 4 > s.size()) return -1;
    int32_t v = 0;
    for (size_t k = i; k < i + 4; ++k) {
        const char c = s[k];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return -1;
        v = v * 16 + d;
    }
    return v;
}

}  // namespace

std::string CompactJson(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        // Outside strings, runs without blanks are copied whole.
        const size_t run = i;
        while (i < text.size() && text[i] != '"' && text[i] != ' ' && text[i] != '\n' &&
               text[i] != '\t' && text[i] != '\r')
            ++i;
        out.append(text, run, i - run);
        if (i >= text.size()) break;
        if (text[i] != '"') {
            ++i;
            continue;
        }
        // A string is copied up to its closing quote, escapes and all.
        const size_t end = std::min(JsonStringEnd(text, i), text.size());
        out.append(text, i, end - i);
        i = end;
    }
    return out;
}

size_t JsonStringEnd(std::string_view json, size_t quote) {
    // A quote is escaped when an odd run of backslashes, counted no further back than the
    // opening quote, precedes it. Long strings are scanned for quotes 16 bytes at a time.
    auto closes = [&](size_t at) {
        size_t slashes = 0;
        while (at - slashes > quote + 1 && json[at - 1 - slashes] == '\\')
            ++slashes;
        return slashes % 2 == 0;
    };
    size_t at = quote + 1;
    for (; at + 16 <= json.size(); at += 16) {
        for (uint32_t quotes = EqualBytes16(json.data() + at, '"'); quotes != 0;
             quotes &= quotes - 1) {
            const size_t q = at + static_cast<size_t>(std::countr_zero(quotes));
            // Most quotes have no backslash before them, and most escaped ones just one;
            // neither read goes before the opening quote, which is no backslash.
            if (json[q - 1] != '\\') return q + 1;
            if (json[q - 2] != '\\') continue;
            if (closes(q)) return q + 1;
        }
    }
    for (; at < json.size(); ++at)
        if (json[at] == '"' && closes(at)) return at + 1;
    return std::string_view::npos;
}

std::string JsonUnescape(std::string_view text) {
    if (text.find('\\') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            ++i;
            continue;
        }
        const char e = text[i + 1];
        const char* simple = nullptr;
        switch (e) {
            case '"':
                simple = "\"";
                break;
            case '\\':
                simple = "\\";
                break;
            case '/':
                simple = "/";
                break;
            case 'b':
                simple = "\b";
                break;
            case 'f':
                simple = "\f";
                break;
            case 'n':
                simple = "\n";
                break;
            case 'r':
                simple = "\r";
                break;
            case 't':
                simple = "\t";
                break;
            default:
                break;
        }
        if (simple) {
            out += simple;
            i += 2;
            continue;
        }
        const int32_t u = e == 'u' ? Hex4(text, i + 2) : -1;
        if (u < 0) {
            out += c;  // not an escape this reader knows: kept as written
            ++i;
            continue;
        }
        i += 6;
        char32_t cp = static_cast<char32_t>(u);
        if (u >= 0xD800 && u <= 0xDBFF) {
            const int32_t low = i + 1 < text.size() && text[i] == '\\' && text[i + 1] == 'u'
                                    ? Hex4(text, i + 2)
                                    : -1;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                     (static_cast<char32_t>(low) - 0xDC00);
                i += 6;
            } else {
                cp = 0xFFFD;
            }
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp == 0) continue;  // a NUL has no place in a text
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Utf8FromStored(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Utf8FromCp1252(bytes);
}

}  // namespace tessaly
