#include "platform/LinkAddress.h"

#include <optional>

namespace tessaly {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The parts of a reference; an absent part differs from an empty one ("?" has an empty
// query, "" none).
struct TReference {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

// The scheme of `s` when it begins with one: a letter, then letters, digits, "+", "-" or
// ".", then ":".
std::optional<std::string> SchemeOf(std::string_view s) {
    if (s.empty() || !IsAsciiLetter(s[0])) return std::nullopt;
    for (size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':') return std::string(s.substr(0, i));
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return std::nullopt;
    }
    return std::nullopt;
}

TReference Parse(std::string_view s) {
    TReference r;
    if ((r.scheme = SchemeOf(s))) s.remove_prefix(r.scheme->size() + 1);
    if (s.substr(0, 2) == "//") {
        s.remove_prefix(2);
        const size_t end = s.find_first_of("/?#");
        r.authority = std::string(s.substr(0, end));
        s.remove_prefix(end == std::string_view::npos ? s.size() : end);
    }
    if (const size_t hash = s.find('#'); hash != std::string_view::npos) {
        r.fragment = std::string(s.substr(hash + 1));
        s = s.substr(0, hash);
    }
    if (const size_t q = s.find('?'); q != std::string_view::npos) {
        r.query = std::string(s.substr(q + 1));
        s = s.substr(0, q);
    }
    r.path = std::string(s);
    return r;
}

// "." and ".." segments applied to the path.
std::string RemoveDotSegments(std::string_view in) {
    std::string out;
    auto dropLastSegment = [&out] {
        const size_t slash = out.rfind('/');
        out.resize(slash == std::string::npos ? 0 : slash);
    };
    while (!in.empty()) {
        if (in.substr(0, 3) == "../") {
            in.remove_prefix(3);
        } else if (in.substr(0, 2) == "./") {
            in.remove_prefix(2);
        } else if (in.substr(0, 3) == "/./") {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.substr(0, 4) == "/../") {
            in.remove_prefix(3);
            dropLastSegment();
        } else if (in == "/..") {
            in = "/";
            dropLastSegment();
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            const size_t next = in.find('/', 1);
            const size_t n = next == std::string_view::npos ? in.size() : next;
            out.append(in.substr(0, n));
            in.remove_prefix(n);
        }
    }
    return out;
}

std::string Compose(const TReference& r) {
    std::string s;
    if (r.scheme) s += *r.scheme + ":";
    if (r.authority) s += "//" + *r.authority;
    s += r.path;
    if (r.query) s += "?" + *r.query;
    if (r.fragment) s += "#" + *r.fragment;
    return s;
}

// A link as a browser reads it from an attribute.
std::string Tidied(std::string_view link) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
    };
    while (!link.empty() && blank(link.front()))
        link.remove_prefix(1);
    while (!link.empty() && blank(link.back()))
        link.remove_suffix(1);
    std::string out;
    for (const char c : link)
        if (c != '\t' && c != '\r' && c != '\n') out += c;
    return out;
}

}  // namespace

bool IsBaseAddress(std::string_view address) {
    const TReference b = Parse(Tidied(address));
    return b.scheme && b.authority && !b.authority->empty();
}

std::string ResolveLink(std::string_view base, std::string_view link) {
    const std::string ref = Tidied(link);
    if (ref.empty() || SchemeOf(ref) || !IsBaseAddress(base)) return std::string(link);
    const TReference b = Parse(Tidied(base));
    const TReference r = Parse(ref);
    TReference t;
    t.scheme = b.scheme;
    t.fragment = r.fragment;
    if (r.authority) {
        t.authority = r.authority;
        t.path = RemoveDotSegments(r.path);
        t.query = r.query;
        return Compose(t);
    }
    t.authority = b.authority;
    if (r.path.empty()) {
        t.path = b.path;
        t.query = r.query ? r.query : b.query;
    } else {
        if (r.path[0] == '/') {
            t.path = RemoveDotSegments(r.path);
        } else {
            // Merged with the base's directory; an address with a host but no path is "/".
            const size_t slash = b.path.rfind('/');
            const std::string dir = b.path.empty()               ? "/"
                                    : slash == std::string::npos ? ""
                                                                 : b.path.substr(0, slash + 1);
            t.path = RemoveDotSegments(dir + r.path);
        }
        t.query = r.query;
    }
    return Compose(t);
}

}  // namespace tessaly
