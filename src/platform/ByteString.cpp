#include "platform/ByteString.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tessaly {

std::string Copy(std::string_view s, int64_t start, int64_t count) {
    const auto len = static_cast<int64_t>(s.size());
    if (start < 1) start = 1;
    if (start > len || count <= 0) return {};
    const int64_t avail = len - start + 1;
    return std::string(
        s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(std::min(count, avail))));
}

void Delete(std::string& s, int64_t start, int64_t count) {
    const auto len = static_cast<int64_t>(s.size());
    if (start < 1 || start > len || count <= 0) return;
    const int64_t avail = len - start + 1;
    s.erase(static_cast<size_t>(start - 1), static_cast<size_t>(std::min(count, avail)));
}

void Insert(std::string_view what, std::string& s, int64_t pos) {
    const auto len = static_cast<int64_t>(s.size());
    if (pos < 1) pos = 1;
    if (pos > len + 1) pos = len + 1;
    s.insert(static_cast<size_t>(pos - 1), what);
}

int64_t Pos(std::string_view needle, std::string_view haystack, int64_t from) {
    if (needle.empty()) return 0;
    if (from < 1) from = 1;
    if (from > static_cast<int64_t>(haystack.size())) return 0;
    const size_t at = haystack.find(needle, static_cast<size_t>(from - 1));
    return at == std::string_view::npos ? 0 : static_cast<int64_t>(at) + 1;
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    UpperCaseInPlace(r);
    return r;
}

void UpperCaseInPlace(std::string& s) {
    for (char& c : s)
        c = UpperChar(c);
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i])) return false;
    return true;
}

std::string Reverse(std::string_view s) {
    return std::string(s.rbegin(), s.rend());
}

namespace {
bool IsBlankish(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
}  // namespace

std::string Trim(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

std::string TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlankish(s[i]))
        ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && IsBlankish(s[n - 1]))
        --n;
    return std::string(s.substr(0, n));
}

std::optional<int32_t> ParseInt(std::string_view s) {
    if (s.empty()) return std::nullopt;
    bool negative = false;
    size_t i = 0;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i == s.size()) return std::nullopt;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(v);
}

int32_t ParseIntOr(std::string_view s, int32_t fallback) {
    return ParseInt(s).value_or(fallback);
}

std::string IntToStr(int64_t v) {
    return std::to_string(v);
}

TStrings Split(std::string_view s, std::string_view sep) {
    TStrings parts;
    if (sep.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    size_t start = 0;
    for (;;) {
        const size_t at = s.find(sep, start);
        if (at == std::string_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, at - start));
        start = at + sep.size();
    }
}

std::string Join(const TStrings& parts, std::string_view sep) {
    std::string r;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) r += sep;
        r += parts[i];
    }
    return r;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string r;
    r.reserve(s.size());
    size_t start = 0;
    for (;;) {
        const size_t at = s.find(from, start);
        if (at == std::string_view::npos) break;
        r.append(s.substr(start, at - start));
        r.append(to);
        start = at + from.size();
    }
    r.append(s.substr(start));
    return r;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string MarkupEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace tessaly
