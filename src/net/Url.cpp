#include "net/Url.h"

#include <algorithm>

namespace tessaly {

TUrlParts SplitUrl(const std::string& url) {
    TUrlParts parts;
    std::string rest = url;
    if (size_t sep = rest.find("://"); sep != std::string::npos) {
        parts.scheme = rest.substr(0, sep);
        rest = rest.substr(sep + 3);
    }
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    parts.path = slash == std::string::npos ? "" : rest.substr(slash);
    if (size_t at = authority.rfind('@'); at != std::string::npos) {
        std::string credentials = authority.substr(0, at);
        authority = authority.substr(at + 1);
        parts.hasCredentials = true;
        size_t colon = credentials.find(':');
        parts.user = credentials.substr(0, colon);
        if (colon != std::string::npos) parts.password = credentials.substr(colon + 1);
    }
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        parts.host =
            authority.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < authority.size() &&
            authority[close + 1] == ':')
            parts.port = authority.substr(close + 2);
    } else {
        size_t colon = authority.find(':');
        parts.host = authority.substr(0, colon);
        if (colon != std::string::npos) parts.port = authority.substr(colon + 1);
    }
    return parts;
}

bool IsSecureScheme(const std::string& scheme) {
    return SameText(scheme, "https");
}

std::string HostForUrl(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string Origin(const TUrlParts& url) {
    std::string origin = url.scheme + "://" + HostForUrl(url.host);
    if (!url.port.empty()) origin += ":" + url.port;
    return origin;
}

std::string HostHeaderValue(const TUrlParts& url) {
    const char* defaultPort = IsSecureScheme(url.scheme) ? "443" : "80";
    std::string value = HostForUrl(url.host);
    if (!url.port.empty() && url.port != defaultPort) value += ":" + url.port;
    return value;
}

namespace {

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

bool UnsafeAddressByte(char c) {
    return c == ' ' || IsControl(c);
}

}  // namespace

bool HasUnsafeAddressBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), UnsafeAddressByte);
}

std::string EncodeUnsafeAddressBytes(std::string_view address) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(address.size());
    for (char c : address) {
        if (!UnsafeAddressByte(c)) {
            out += c;
            continue;
        }
        const auto b = static_cast<unsigned char>(c);
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

bool FollowLocation(TUrlParts& target, const std::string& location) {
    // A server's location is an address like any other: nothing in it reaches the request
    // line raw.
    const std::string value = EncodeUnsafeAddressBytes(Trim(location));
    if (!value.empty() && value[0] == '/') {
        target.path = value;
        return false;
    }
    if (value.find("://") != std::string::npos) {
        TUrlParts next = SplitUrl(value);
        target.scheme = next.scheme;
        target.host = next.host;
        target.port = next.port;
        target.path = next.path;
        return false;
    }
    target.path = "/" + value;
    return true;
}

std::string HeaderText(const TStrings& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string FirstSetCookie(const std::string& header) {
    const int64_t at = Pos("Set-Cookie:", header);
    if (at == 0) return "";
    const int64_t from = at + 12;
    const int64_t end = Pos("\r\n", header, from);
    return Copy(header, from, (end > 0 ? end : static_cast<int64_t>(header.size()) + 1) - from);
}

std::string CookiePair(const std::string& setCookie) {
    std::string pair = Trim(setCookie.substr(0, setCookie.find(';')));
    return std::any_of(pair.begin(), pair.end(), IsControl) ? std::string() : pair;
}

}  // namespace tessaly
