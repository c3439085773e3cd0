// Reading request heads, query strings, form bodies and cookies.
#include <gtest/gtest.h>

#include "demo/DemoRequest.h"

namespace tessaly::demo {
namespace {

TEST(DemoRequest, HeadLineAndHeaders) {
    auto r = ParseRequestHead(
        "POST /jobfair/results.cgi?x=1 HTTP/1.0\r\nHost: h\r\n"
        "Content-Type:  application/x-www-form-urlencoded \r\n");
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r->method, "POST");
    EXPECT_EQ(r->path, "/jobfair/results.cgi");
    EXPECT_EQ(r->query, "x=1");
    EXPECT_EQ(r->version, "HTTP/1.0");
    EXPECT_EQ(r->Header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r->Header("Missing"), "");
}

TEST(DemoRequest, AbsoluteTargetsAsAProxySendsThem) {
    auto r = ParseRequestHead("GET http://127.0.0.1:8080/emploi/recherche?motscles=a,b HTTP/1.0");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->path, "/emploi/recherche");
    EXPECT_EQ(r->Param("motscles"), "a,b");
    auto bare = ParseRequestHead("GET http://host HTTP/1.0");
    ASSERT_TRUE(bare.ok());
    EXPECT_EQ(bare->path, "/");
}

TEST(DemoRequest, BadHeadsAreErrors) {
    for (const char* head :
         {"", "GET", "GET / HTTP/1.0 extra", "GET / FTP/1.0", "G\x01T / HTTP/1.0", "GET * HTTP/1.0",
          "GET / HTTP/1.0\r\n: value", "GET /a%00b HTTP/1.0"})
        EXPECT_FALSE(ParseRequestHead(head).ok()) << head;
}

TEST(DemoRequest, LatinOneBytesInTheTargetAreKept) {
    auto r = ParseRequestHead("GET /emploi/recherche?motscles=ing\xe9nieur HTTP/1.0");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->Param("motscles"), "ing\xe9nieur");
}

TEST(DemoRequest, FormTextDecoding) {
    const TPairs p = ParseFormText("a=1&&b=x+y%21&amp;c=%zz&d&=e&f=%4");
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0], (std::pair<std::string, std::string>{"a", "1"}));
    EXPECT_EQ(p[1].second, "x y!");
    EXPECT_EQ(p[2], (std::pair<std::string, std::string>{"c", "%zz"}));
    EXPECT_EQ(p[3], (std::pair<std::string, std::string>{"d", ""}));
    EXPECT_EQ(p[4], (std::pair<std::string, std::string>{"f", "%4"}));
}

TEST(DemoRequest, EncodeDecodeRoundTrip) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
    EXPECT_EQ(UrlEncode("a b&c"), "a+b%26c");
}

TEST(DemoRequest, PostBodyCountsOnlyAsAForm) {
    auto r = ParseRequestHead("POST /x?a=1 HTTP/1.0\r\nContent-Type: text/plain");
    ASSERT_TRUE(r.ok());
    r->body = "b=2";
    EXPECT_EQ(r->Param("b"), "");
    EXPECT_EQ(r->Param("a"), "1");
    auto form = ParseRequestHead("POST /x HTTP/1.0");
    ASSERT_TRUE(form.ok());
    form->body = "b=2";
    EXPECT_EQ(form->Param("b"), "2");
    form->method = "GET";
    EXPECT_EQ(form->Param("b"), "");
}

TEST(DemoRequest, CookiesWithAttributesAsTheProgramSendsThemBack) {
    auto r = ParseRequestHead(
        "GET / HTTP/1.0\r\nCookie: MJSESSION=abc; path=/metrojobs/\r\nCookie: other=1");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->CookieValue("MJSESSION"), "abc");
    EXPECT_EQ(r->CookieValue("other"), "1");
    EXPECT_EQ(r->CookieValue("MJSESS"), "");
    EXPECT_EQ(r->CookieValue("path"), "/metrojobs/");
}

}  // namespace
}  // namespace tessaly::demo
