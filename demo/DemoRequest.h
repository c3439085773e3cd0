// What the demo server reads from a client: one HTTP/1.0 request head and body, and the
// small decoding helpers the boards need (query strings, form bodies, cookies).
//
// Everything here treats its input as hostile: sizes are bounded by the caller, and a
// head that cannot be read gives an error text rather than a guess.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Result.h"

namespace tessaly::demo {

using TPairs = std::vector<std::pair<std::string, std::string>>;

struct TDemoRequest {
    std::string method;   // as sent, e.g. "GET"
    std::string target;   // the request target as sent
    std::string path;     // target without the query, %-decoded; always begins with "/"
    std::string query;    // text after the first "?", not decoded
    std::string version;  // "HTTP/1.0", "HTTP/1.1", or empty for a bare request line
    TPairs headers;       // name and value, value trimmed
    std::string body;

    // Value of the first header of that name (compared without regard to case).
    std::string Header(std::string_view name) const;
    // Query pairs, then form-body pairs for a form POST.
    TPairs Params() const;
    // A parameter's value, empty when it is missing.
    std::string Param(std::string_view name) const;
    // A cookie's value from the "Cookie" headers; empty when missing.
    std::string CookieValue(std::string_view name) const;
};

// Parses the head (request line and header lines, without the blank line). An absolute
// target ("http://host:port/path") is reduced to its path.
TResult<TDemoRequest> ParseRequestHead(std::string_view head);

// "%41" and "+" decoding; a broken escape is kept as it stands.
std::string UrlDecode(std::string_view text);
// "a=1&b=2" into pairs, both sides decoded. Empty pieces are skipped; a piece without
// "=" is a name with an empty value. A name written "amp;x" (a link whose "&" was
// written as an entity) counts as "x".
TPairs ParseFormText(std::string_view text);
// "%XX" for everything but letters, digits and "-_.~"; a blank becomes "+".
std::string UrlEncode(std::string_view text);

}  // namespace tessaly::demo
