#include "platform/UnicodeCase.h"

#include "platform/Utf8.h"

namespace tessaly {
namespace {

// Blocks where an upper-case letter and its lower case sit side by side: the upper case
// at even positions (or odd ones, `upperOdd`) from `first` to `last`.
struct TPairs {
    char32_t first, last;
    bool upperOdd;
};

constexpr TPairs kPairs[] = {
    {0x0100, 0x012F, false}, {0x0132, 0x0137, false}, {0x0139, 0x0148, true},
    {0x014A, 0x0177, false}, {0x0179, 0x017E, true},  {0x0182, 0x0185, false},
    {0x01A0, 0x01A5, false}, {0x01CD, 0x01DC, true},  {0x01DE, 0x01EF, false},
    {0x01F8, 0x021F, false}, {0x0222, 0x0233, false}, {0x03D8, 0x03EF, false},
    {0x0460, 0x0481, false}, {0x048A, 0x04BF, false}, {0x04C1, 0x04CE, true},
    {0x04D0, 0x052F, false}, {0x1E00, 0x1E95, false}, {0x1EA0, 0x1EFF, false},
};

// Blocks where the lower case is the upper case plus a fixed distance.
struct TShift {
    char32_t first, last;  // upper-case range
    char32_t distance;
};

constexpr TShift kShifts[] = {
    {0x0041, 0x005A, 0x20},  // Basic Latin
    {0x00C0, 0x00D6, 0x20},  // Latin-1, before the multiplication sign
    {0x00D8, 0x00DE, 0x20},  // and after it
    {0x0391, 0x03A1, 0x20},  // Greek, before the reserved place of final sigma
    {0x03A3, 0x03AB, 0x20}, {0x0388, 0x038A, 0x25},  // Greek with tonos
    {0x038E, 0x038F, 0x3F}, {0x0410, 0x042F, 0x20},  // Cyrillic
    {0x0400, 0x040F, 0x50}, {0x0531, 0x0556, 0x30},  // Armenian
};

// Single pairs outside the patterns above (upper, lower).
constexpr char32_t kSingles[][2] = {
    {0x0130, 0x0069},  // capital I with dot above: its lower case is a plain i
    {0x0178, 0x00FF},  // Y with diaeresis
    {0x0181, 0x0253}, {0x0186, 0x0254}, {0x0187, 0x0188}, {0x018B, 0x018C}, {0x0191, 0x0192},
    {0x0198, 0x0199}, {0x01A7, 0x01A8}, {0x01AF, 0x01B0}, {0x01B3, 0x01B4}, {0x01B5, 0x01B6},
    {0x01C4, 0x01C6}, {0x01C7, 0x01C9}, {0x01CA, 0x01CC}, {0x01F1, 0x01F3}, {0x01F4, 0x01F5},
    {0x0386, 0x03AC}, {0x038C, 0x03CC}, {0x04C0, 0x04CF}, {0x1E9E, 0x00DF},
};

}  // namespace

char32_t UnicodeLower(char32_t cp) {
    if (cp < 0x80) return cp >= 'A' && cp <= 'Z' ? cp + 0x20 : cp;
    for (const auto& s : kShifts)
        if (cp >= s.first && cp <= s.last) return cp + s.distance;
    for (const auto& p : kPairs)
        if (cp >= p.first && cp <= p.last) return ((cp & 1) != 0) == p.upperOdd ? cp + 1 : cp;
    for (const auto& s : kSingles)
        if (s[0] == cp) return s[1];
    return cp;
}

char32_t UnicodeUpper(char32_t cp) {
    if (cp < 0x80) return cp >= 'a' && cp <= 'z' ? cp - 0x20 : cp;
    if (cp == 0x03C2) return 0x03A3;  // final sigma
    if (cp == 0x0131) return 'I';     // dotless i
    if (cp == 0x017F) return 'S';     // long s
    if (cp == 0x00B5) return 0x039C;  // micro sign
    for (const auto& s : kShifts)
        if (cp >= s.first + s.distance && cp <= s.last + s.distance) return cp - s.distance;
    for (const auto& p : kPairs)
        if (cp >= p.first && cp <= p.last) return ((cp & 1) != 0) != p.upperOdd ? cp - 1 : cp;
    for (const auto& s : kSingles)
        if (s[1] == cp && s[1] != 0x0069 && s[1] != 0x00DF) return s[0];
    return cp;
}

bool HasLowerCaseLetter(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (c >= 'a' && c <= 'z') return true;
            ++i;
            continue;
        }
        const char32_t cp = NextUtf8(utf8, i);
        if (UnicodeUpper(cp) != cp) return true;
    }
    return false;
}

std::string LowerUtf8(std::string_view utf8, bool firstUpper) {
    std::string out;
    out.reserve(utf8.size());
    bool first = firstUpper;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            ++i;
            char l = static_cast<char>(c);
            if (first)
                l = l >= 'a' && l <= 'z' ? static_cast<char>(l - 0x20) : l;
            else if (l >= 'A' && l <= 'Z')
                l = static_cast<char>(l + 0x20);
            out += l;
        } else {
            const char32_t cp = NextUtf8(utf8, i);
            char32_t mapped = first ? UnicodeUpper(cp) : UnicodeLower(cp);
            // Greek writes sigma at the end of a word as final sigma.
            if (cp == 0x03A3 && !first) {
                size_t j = i;
                const char32_t next = j < utf8.size() ? NextUtf8(utf8, j) : 0;
                if (UnicodeLower(next) == next && UnicodeUpper(next) == next) mapped = 0x03C2;
            }
            AppendUtf8(out, mapped);
        }
        first = false;
    }
    return out;
}

}  // namespace tessaly
