#include "demo/DemoRequest.h"

#include "platform/ByteString.h"

namespace tessaly::demo {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// No blanks and no control bytes. Bytes above 127 are allowed: the program puts Latin-1
// keywords into addresses as they are, without escaping them.
bool IsToken(std::string_view s) {
    if (s.empty()) return false;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 127) return false;
    }
    return true;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string UrlEncode(std::string_view text) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

TPairs ParseFormText(std::string_view text) {
    TPairs pairs;
    for (const std::string& piece : Split(text, "&")) {
        if (piece.empty()) continue;
        const size_t eq = piece.find('=');
        std::string name = UrlDecode(piece.substr(0, eq));
        std::string value = eq == std::string::npos ? "" : UrlDecode(piece.substr(eq + 1));
        if (StartsWith(name, "amp;")) name.erase(0, 4);
        if (name.empty()) continue;
        pairs.emplace_back(std::move(name), std::move(value));
    }
    return pairs;
}

std::string TDemoRequest::Header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (SameText(n, name)) return v;
    return "";
}

TPairs TDemoRequest::Params() const {
    TPairs pairs = ParseFormText(query);
    const std::string type = LowerCase(Header("Content-Type"));
    // The program posts forms with exactly this type; a body of another type is not a form.
    if (method == "POST" &&
        (type.empty() || StartsWith(type, "application/x-www-form-urlencoded"))) {
        TPairs form = ParseFormText(body);
        pairs.insert(pairs.end(), form.begin(), form.end());
    }
    return pairs;
}

std::string TDemoRequest::Param(std::string_view name) const {
    for (const auto& [n, v] : Params())
        if (n == name) return v;
    return "";
}

std::string TDemoRequest::CookieValue(std::string_view name) const {
    // The program sends back the whole Set-Cookie text, attributes included
    // ("id=1; path=/"), so every "name=value" piece is looked at.
    for (const auto& [n, v] : headers) {
        if (!SameText(n, "Cookie")) continue;
        for (const std::string& piece : Split(v, ";")) {
            const std::string p = Trim(piece);
            const size_t eq = p.find('=');
            if (eq != std::string::npos && p.compare(0, eq, name) == 0 && eq == name.size())
                return p.substr(eq + 1);
        }
    }
    return "";
}

TResult<TDemoRequest> ParseRequestHead(std::string_view head) {
    TStrings lines = Split(head, "\n");
    for (std::string& l : lines)
        if (!l.empty() && l.back() == '\r') l.pop_back();
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    if (lines.empty() || lines[0].empty()) return Error("empty request");

    TDemoRequest r;
    const TStrings parts = Split(lines[0], " ");
    if (parts.size() != 2 && parts.size() != 3) return Error("malformed request line");
    r.method = parts[0];
    r.target = parts[1];
    if (parts.size() == 3) r.version = parts[2];
    if (!IsToken(r.method)) return Error("malformed method");
    if (!IsToken(r.target)) return Error("malformed request target");
    if (!r.version.empty() && !StartsWith(r.version, "HTTP/")) return Error("malformed version");

    std::string target = r.target;
    if (StartsWith(LowerCase(target), "http://")) {
        const size_t slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    if (target.empty() || target[0] != '/') return Error("request target is not a path");
    const size_t q = target.find('?');
    r.path = UrlDecode(target.substr(0, q));
    if (q != std::string::npos) r.query = target.substr(q + 1);
    if (r.path.find('\0') != std::string::npos) return Error("request path holds a NUL byte");

    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const size_t colon = l.find(':');
        if (colon == std::string::npos || colon == 0) return Error("malformed header line");
        r.headers.emplace_back(l.substr(0, colon), Trim(l.substr(colon + 1)));
    }
    return r;
}

}  // namespace tessaly::demo
