#include <gtest/gtest.h>

#include "cli/Command.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "support/TestTls.h"

namespace tessaly::cli {
namespace {

using test::RunArgs;
using test::TTestHttpServer;
using TRequest = TTestHttpServer::TRequest;

class FetchCommandTest : public test::TLoopTest {};

TEST_F(FetchCommandTest, WritesTheDocumentAndWithIncludeTheHeaderFirst) {
    TTestHttpServer server([](const TRequest&) {
        return TTestHttpServer::Normal(std::string("caf\xe9\0!", 6), "Set-Cookie: a=1\r\n");
    });
    auto c = RunArgs({"fetch", server.Url("/page?x=1")});
    EXPECT_EQ(c.status, kExitOk) << c.err.str();
    EXPECT_EQ(c.out.str(), std::string("caf\xe9\0!", 6));
    EXPECT_EQ(c.err.str(), "");
    EXPECT_EQ(server.Requests().at(0).requestLine, "GET /page?x=1 HTTP/1.0");

    auto i = RunArgs({"fetch", server.Url(), "--include"});
    EXPECT_EQ(i.status, kExitOk);
    EXPECT_EQ(i.out.str(), "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: a=1\r\n\r\n" +
                               std::string("caf\xe9\0!", 6));
}

TEST_F(FetchCommandTest, SendsTheUserAgentOfASearchWithoutCreatingAHome) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Normal("x"); });
    WriteTextLines(Sandbox().File("id.box"), {"[ID]", "Product=TJX", "Version=2.5"});
    auto c = RunArgs({"--home", Sandbox().Path(), "fetch", server.Url()});
    EXPECT_EQ(c.status, kExitOk) << c.err.str();
    EXPECT_EQ(server.Requests().at(0).Header("User-Agent"), "TJX/2.5 [en]");

    // A home that does not exist yet is not made: the shipped identification is used.
    const std::string missing = Sandbox().File("not-yet");
    auto m = RunArgs({"--home", missing, "fetch", server.Url()});
    EXPECT_EQ(m.status, kExitOk) << m.err.str();
    EXPECT_EQ(server.Requests().at(1).Header("User-Agent"), "TJ98/1.15 [en]");
    EXPECT_FALSE(DirectoryExists(missing));
}

TEST_F(FetchCommandTest, PostCookieAndEvents) {
    TTestHttpServer server([](const TRequest& r) { return TTestHttpServer::Echo(r); });
    auto c = RunArgs(
        {"fetch", server.Url("/cgi"), "--post", "a=1&b=2", "--cookie", "sid=9", "--events"});
    EXPECT_EQ(c.status, kExitOk) << c.err.str();
    const TRequest r = server.Requests().at(0);
    EXPECT_EQ(r.requestLine, "POST /cgi HTTP/1.0");
    EXPECT_EQ(r.body, "a=1&b=2");
    EXPECT_EQ(r.Header("Cookie"), "sid=9");
    const std::string size = std::to_string(c.out.str().size());
    EXPECT_EQ(c.err.str(), "meStarted\nmeDocBegin " + server.Url("/cgi") + "\nmeDocData " + size +
                               "\nmeDocEnd\nmeDone " + server.Url("/cgi") + "\n");
}

TEST_F(FetchCommandTest, ThroughAProxyWithCredentials) {
    TTestHttpServer proxy([](const TRequest& r) { return TTestHttpServer::Echo(r); });
    auto c = RunArgs({"fetch", "http://jobs.example.invalid/find", "--proxy",
                      "127.0.0.1:" + std::to_string(proxy.Port()), "--proxy-user", "user:pass"});
    EXPECT_EQ(c.status, kExitOk) << c.err.str();
    const TRequest r = proxy.Requests().at(0);
    EXPECT_EQ(r.requestLine, "GET http://jobs.example.invalid/find HTTP/1.0");
    EXPECT_EQ(r.Header("Proxy-Authorization"), "Basic dXNlcjpwYXNz");
}

TEST_F(FetchCommandTest, FailureGivesStatusAndReasonAndExitOne) {
    TTestHttpServer server(
        [](const TRequest&) { return TTestHttpServer::Status(404, "Not Found", "no such page"); });
    auto c = RunArgs({"fetch", server.Url("/gone")});
    EXPECT_EQ(c.status, kExitFailed);
    EXPECT_EQ(c.out.str(), "");
    EXPECT_EQ(c.err.str(), "tessaly fetch: 404 Not Found\n");

    TTestHttpServer stall([](const TRequest&) { return TTestHttpServer::StallAfterHeader(20000); });
    auto t = RunArgs({"fetch", stall.Url(), "--timeout", "1"});
    EXPECT_EQ(t.status, kExitFailed);
    EXPECT_EQ(t.err.str(),
              "tessaly fetch: no progress for 1 seconds\n"
              "tessaly fetch: 404 Connection aborted on request\n");
}

TEST_F(FetchCommandTest, BadUsage) {
    EXPECT_EQ(RunArgs({"fetch"}).status, kExitUsage);
    EXPECT_EQ(RunArgs({"fetch", "http://a/", "http://b/"}).status, kExitUsage);
    auto t = RunArgs({"fetch", "http://a/", "--timeout", "soon"});
    EXPECT_EQ(t.status, kExitUsage);
    EXPECT_NE(t.err.str().find("--timeout wants whole seconds"), std::string::npos);
    EXPECT_EQ(RunArgs({"fetch", "http://a/", "--timeout", "-1"}).status, kExitUsage);
    EXPECT_EQ(RunArgs({"fetch", "http://a/", "--proxy-user", "nocolon"}).status, kExitUsage);
    EXPECT_EQ(RunArgs({"fetch", "http://a/", "--verbose"}).status, kExitUsage);
}

TEST_F(FetchCommandTest, HttpsTrustsTheCaFileFromEitherOption) {
    using test::TestCertificates;
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Normal("secure"); },
                           TestCertificates().localhost);
    const std::string ca = TestCertificates().caFile;
    auto own = RunArgs({"fetch", server.Url("/p"), "--cafile", ca});
    EXPECT_EQ(own.status, kExitOk) << own.err.str();
    EXPECT_EQ(own.out.str(), "secure");
    auto global = RunArgs({"--cafile", ca, "fetch", server.Url("/p")});
    EXPECT_EQ(global.status, kExitOk) << global.err.str();
    EXPECT_EQ(global.out.str(), "secure");

    // The option does not outlive its run: without it the test CA is not trusted.
    auto none = RunArgs({"fetch", server.Url("/p")});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.str().find("404 certificate verify failed"), std::string::npos)
        << none.err.str();
}

TEST_F(FetchCommandTest, AMissingCaFileIsAUsageError) {
    test::TTempDir dir;
    const std::string missing = dir.File("none.pem");
    auto own = RunArgs({"fetch", "https://a.invalid/", "--cafile", missing});
    EXPECT_EQ(own.status, kExitUsage);
    EXPECT_NE(own.err.str().find("no readable CA file '" + missing + "'"), std::string::npos);
    auto global = RunArgs({"--cafile=" + missing, "fetch", "https://a.invalid/"});
    EXPECT_EQ(global.status, kExitUsage);
    EXPECT_NE(global.err.str().find("no readable CA file"), std::string::npos);
    EXPECT_EQ(RunArgs({"--cafile"}).status, kExitUsage);
    EXPECT_EQ(RunArgs({"--cafile", dir.Path(), "fetch", "https://a.invalid/"}).status, kExitUsage);
}

}  // namespace
}  // namespace tessaly::cli
