// Completing a link found in a page, as a browser does: a relative reference
// ("/job?id=3", "?page=2", "../more") is resolved against the address of the page it was
// found in. Both the job links and the next-page links of a result page go through here,
// and so do the workbench commands that read a saved page.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// `link` resolved against `base` by the rules of RFC 3986 (section 5.2, dot segments
// removed). A link that already names a scheme ("https:", "mailto:") is returned as it
// is, and so is an empty link (no link stays no link). A base that is not an absolute
// address with a host ("http://" alone, a bare path) resolves nothing: the link is
// returned unchanged. Blanks and line ends around a relative link and tabs and line ends
// inside it are dropped first, as a browser reads an attribute.
std::string ResolveLink(std::string_view base, std::string_view link);

// Whether links can be resolved against `address`: it names a scheme and a host.
bool IsBaseAddress(std::string_view address);

}  // namespace tessaly
