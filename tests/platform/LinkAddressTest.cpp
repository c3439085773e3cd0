// Links of a page completed against the page's address, as a browser does.
#include "platform/LinkAddress.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

// The reference examples of RFC 3986 (section 5.4), normal and abnormal, except the empty
// reference: an empty link stays empty.
TEST(LinkAddress, ResolvesTheStandardExamples) {
    const std::string base = "http://a/b/c/d;p?q";
    const std::pair<const char*, const char*> cases[] = {
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    for (const auto& [link, want] : cases)
        EXPECT_EQ(ResolveLink(base, link), want) << link;
}

TEST(LinkAddress, ReadsLinksAsPagesWriteThem) {
    struct TCase {
        const char* base;
        const char* link;
        const char* want;
    };
    const TCase cases[] = {
        // A board's result page and its relative job link.
        {"https://www.board.example/jobs?keywords=nurse", "/job/83166819?type=standard",
         "https://www.board.example/job/83166819?type=standard"},
        {"http://board.example:8080", "job?id=3", "http://board.example:8080/job?id=3"},
        {"http://board.example/search?q=a&page=1", "?q=a&page=2",
         "http://board.example/search?q=a&page=2"},
        // Line ends and blanks around a link, as an attribute spread over lines has them.
        {"http://board.example/list", "\r\n  /job/7\t", "http://board.example/job/7"},
        // Absolute links stay exactly as written, blanks included.
        {"http://board.example/", " https://other.example/x ", " https://other.example/x "},
        {"http://board.example/", "mailto:jobs@board.example", "mailto:jobs@board.example"},
        // No link, or no address to resolve against: nothing changes.
        {"http://board.example/", "", ""},
        {"http://", "/job/1", "/job/1"},
        {"", "/job/1", "/job/1"},
        {"board.example/list", "/job/1", "/job/1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveLink(c.base, c.link), c.want) << c.base << " + " << c.link;
}

}  // namespace
}  // namespace tessaly
