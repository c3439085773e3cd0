// Character sets of pages and sites. Pages are read as bytes (site scripts cut them as
// bytes); what is cut is turned into UTF-8 by the page's charset, and what is sent to a
// site that does not speak UTF-8 is turned into its charset.
//
// A page's charset comes from, in order: the site's own setting, the charset of the HTTP
// Content-Type, a byte-order mark, a <meta charset>, <meta http-equiv="Content-Type"
// content="...charset=..."> or <?xml ... encoding=...?> declaration. The first of these
// that is present decides; when none is, or the one present names a charset this program
// does not know, the page is UTF-8 when its bytes are valid UTF-8, else Windows-1252.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

enum class TCharset {
    Unknown,      // no declaration, or one this program does not know
    Utf8,         // UTF-8
    Windows1252,  // Windows-1252, also for ISO-8859-1, Latin-1 and US-ASCII
    Latin9,       // ISO-8859-15
};

// The charset of a name as sites write it, in any letter case ("UTF-8", "utf8",
// "windows-1252", "iso-8859-1", "latin1", "us-ascii", "iso-8859-15", ...). Unknown for an
// empty or unsupported name.
TCharset CharsetByName(std::string_view name);

// The usual name of a charset ("UTF-8", "windows-1252", "ISO-8859-15"; "" for Unknown).
std::string_view CharsetName(TCharset charset);

// The charset parameter of a Content-Type value ("text/html; charset=utf-8"), unquoted;
// empty when there is none.
std::string ContentTypeCharset(std::string_view contentType);

// The charset of the Content-Type line of received header lines (status line first);
// empty when the header has none.
std::string HeaderCharset(std::string_view header);

// The charset a page declares itself: "UTF-8" for a UTF-8 byte-order mark, else the name
// in its first <meta> charset declaration or its <?xml encoding?>; empty when none.
std::string DeclaredPageCharset(std::string_view page);

// The page's charset by the order above. `siteCharset` is the site's setting (may be
// empty), `header` the received header lines (may be empty).
TCharset ResolvePageCharset(std::string_view siteCharset, std::string_view header,
                            std::string_view page);
// The same when a name decides it; none when the page's bytes do (UTF-8 when they are
// valid UTF-8, else Windows-1252), which a caller may then check as it reads the page.
std::optional<TCharset> NamedPageCharset(std::string_view siteCharset, std::string_view header,
                                         std::string_view page);

// The bytes of a page in `charset` as UTF-8. For UTF-8 a stray byte that is no UTF-8 is
// read as Windows-1252; for Unknown the bytes are UTF-8 when valid, else Windows-1252.
std::string ToUtf8(std::string_view bytes, TCharset charset);

// A UTF-8 text in a site's `charset`, for sending: a character the charset has no byte
// for travels as a numeric character reference, "%26%23" code "%3B", as browsers send
// it. Text that is not UTF-8 (bytes meant for the site already) and any text for a UTF-8
// or Unknown charset are returned unchanged.
std::string FromUtf8(std::string_view text, TCharset charset);

}  // namespace tessaly
