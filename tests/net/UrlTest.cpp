// The shared HTTP text rules: where a redirection leads, for the client and for the
// machine's report, and which cookie a response sets.
#include <gtest/gtest.h>

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

TEST(Url, MachineReportsTheNewLocationByItsOwnRule) {
    auto at = [](const std::string& location, const std::string& requested) {
        return NewLocation("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n", requested);
    };
    // A path without any "." goes on the requested host, keeping its scheme.
    EXPECT_EQ(at("/jobs/new", "http://a.example:81/start"), "http://a.example:81/jobs/new");
    EXPECT_EQ(at("/jobs/new", "https://a.example/start"), "https://a.example/jobs/new");
    // With a "." it is taken for a host.
    EXPECT_EQ(at("/jobs/list.asp", "http://a.example/start"), "http://jobs/list.asp");
    EXPECT_EQ(at("http://b.example/x", "http://a.example/"), "http://b.example/x");
    EXPECT_EQ(at("https://b.example/x", "http://a.example/"), "https://b.example/x");
    EXPECT_EQ(at("b.example/x ", "http://a.example/"), "http://b.example/x");
    // The name is matched in any case; without its blank there is nothing to report.
    EXPECT_EQ(NewLocation("LOCATION: /up\r\n", "http://h/"), "http://h/up");
    EXPECT_EQ(NewLocation("Location:/up\r\n", "http://h/"), std::nullopt);
}

TEST(Url, OnlyTheFirstSetCookieCountsWithItsAttributes) {
    const std::string header =
        HeaderText({"HTTP/1.0 200 OK", "Set-Cookie: a=1; path=/x", "Set-Cookie: b=2"});
    EXPECT_EQ(header, "HTTP/1.0 200 OK\r\nSet-Cookie: a=1; path=/x\r\nSet-Cookie: b=2\r\n");
    EXPECT_EQ(FirstSetCookie(header), "a=1; path=/x");
    EXPECT_EQ(FirstSetCookie("HTTP/1.0 200 OK\r\n"), "");
    // The name is matched exactly as written, and the last line needs no line end.
    EXPECT_EQ(FirstSetCookie("set-cookie: no\r\nSet-Cookie: yes"), "yes");
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
