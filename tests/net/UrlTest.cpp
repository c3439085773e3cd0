// The shared HTTP text rules: where a redirection leads (for the client, and so for the
// machine's report), and which cookie a response sets.
#include <gtest/gtest.h>

#include <utility>

#include "net/HttpTypes.h"
#include "net/Url.h"

namespace tessaly {
namespace {

TEST(Url, ClientFollowsPathsSchemesAndBareNames) {
    TUrlParts t = SplitUrl("http://jobs.example:8080/find?q=1");
    EXPECT_FALSE(FollowLocation(t, "/next?page=2"));
    EXPECT_EQ(Origin(t) + t.path, "http://jobs.example:8080/next?page=2");
    EXPECT_FALSE(FollowLocation(t, "https://other.example/x"));
    EXPECT_EQ(Origin(t) + t.path, "https://other.example/x");
    // A bare name is taken under the root and must go out in absolute form.
    EXPECT_TRUE(FollowLocation(t, "list.asp"));
    EXPECT_EQ(Origin(t) + t.path, "https://other.example/list.asp");
    TUrlParts v6 = SplitUrl("http://[::1]:81/");
    EXPECT_EQ(Origin(v6), "http://[::1]:81");
}

TEST(Url, TheUrlReportedIsTheOneTheLocationLeadsTo) {
    // The machine reports the URL the client fetched, so one rule serves both.
    const struct {
        const char *requested, *location, *next;
    } cases[] = {
        {"http://a.example:81/start", "/jobs/new", "http://a.example:81/jobs/new"},
        {"https://a.example/start", "/jobs/new", "https://a.example/jobs/new"},
        // A "." in a path is no host name.
        {"http://a.example/start", "/jobs/list.asp", "http://a.example/jobs/list.asp"},
        {"http://a.example/", "http://b.example/x", "http://b.example/x"},
        {"http://a.example/", "https://b.example/x", "https://b.example/x"},
        {"http://a.example/", "b.example/x ", "http://a.example/b.example/x"},
    };
    for (const auto& c : cases) {
        TUrlParts t = SplitUrl(c.requested);
        FollowLocation(t, c.location);
        EXPECT_EQ(Origin(t) + t.path, c.next) << c.requested << " " << c.location;
    }
}

TEST(Url, OnlyTheFirstSetCookieCountsWithItsAttributes) {
    const std::string header =
        HeaderText({"HTTP/1.0 200 OK", "Set-Cookie: a=1; path=/x", "Set-Cookie: b=2"});
    EXPECT_EQ(header, "HTTP/1.0 200 OK\r\nSet-Cookie: a=1; path=/x\r\nSet-Cookie: b=2\r\n");
    EXPECT_EQ(FirstSetCookie(header), "a=1; path=/x");
    EXPECT_EQ(FirstSetCookie("HTTP/1.0 200 OK\r\n"), "");
    // The name is matched exactly as written, and the last line needs no line end.
    EXPECT_EQ(FirstSetCookie("set-cookie: no\r\nSet-Cookie: yes"), "yes");
    // What goes back is the pair alone.
    for (auto [set, pair] : {std::pair{"session=SECRET123; Path=/; HttpOnly", "session=SECRET123"},
                             std::pair{" a=1 ", "a=1"}, std::pair{"", ""},
                             std::pair{"a=1\rX-Injected: yes; Path=/", ""}})
        EXPECT_EQ(CookiePair(set), pair) << set;
}

TEST(Url, HostHeaderNamesAPortOnlyWhenItIsNotTheDefault) {
    for (auto [url, host] : {std::pair{"http://a.example/", "a.example"},
                             std::pair{"http://a.example:80/", "a.example"},
                             std::pair{"http://a.example:8080/", "a.example:8080"},
                             std::pair{"https://a.example:443/", "a.example"},
                             std::pair{"HTTPS://a.example:80/", "a.example:80"},
                             std::pair{"http://[::1]:81/", "[::1]:81"}})
        EXPECT_EQ(HostHeaderValue(SplitUrl(url)), host) << url;
}

TEST(Url, ControlCharactersAndBlanksOfAnAddressArePercentEncoded) {
    const std::string raw("/x\r\nX-Injected: yes\t\x7f\0%41\xe9", 26);
    EXPECT_TRUE(HasUnsafeAddressBytes(raw));
    const std::string encoded = EncodeUnsafeAddressBytes(raw);
    EXPECT_EQ(encoded, "/x%0D%0AX-Injected:%20yes%09%7F%00%41\xe9");
    EXPECT_FALSE(HasUnsafeAddressBytes(encoded));
    // A location is such an address too, trimmed as a header value is.
    TUrlParts t = SplitUrl("http://h/");
    FollowLocation(t, "/a b\rc ");
    EXPECT_EQ(t.path, "/a%20b%0Dc");
}

TEST(Url, OutcomesMapToTheDocumentedStatusesAndTexts) {
    EXPECT_EQ(OutcomeStatus(THttpOutcome::Answered, 200), 200);
    EXPECT_EQ(OutcomeStatus(THttpOutcome::Refused, 407), 407);
    EXPECT_EQ(OutcomeStatus(THttpOutcome::Cancelled, 0), 0);
    for (THttpOutcome o : {THttpOutcome::Unresolved, THttpOutcome::Aborted, THttpOutcome::TooLarge,
                           THttpOutcome::BadAnswer, THttpOutcome::TooManyRedirections})
        EXPECT_EQ(OutcomeStatus(o, 200), 404);
    EXPECT_EQ(OutcomeReason(THttpOutcome::Aborted, ""), "Connection aborted on request");
    EXPECT_EQ(OutcomeReason(THttpOutcome::Unresolved, ""), "can't resolve hostname to IP address");
    EXPECT_EQ(OutcomeReason(THttpOutcome::Refused, "Not Found"), "Not Found");
    EXPECT_EQ(OutcomeReason(THttpOutcome::Failed, "boom"), "Request failed: boom");
    EXPECT_EQ(UserAgent("TJ98", "1.15"), "TJ98/1.15 [en]");
}

}  // namespace
}  // namespace tessaly
