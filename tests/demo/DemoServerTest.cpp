// The demo server against clients that misbehave: bounded reads, sober answers, several
// connections at once, and a stop that does not wait for stalls.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "demo/DemoServer.h"
#include "platform/ByteString.h"
#include "tests/demo/DemoFixture.h"

namespace tessaly {
namespace {

using demo::TDemoRequest;
using demo::TDemoResponse;
using demo::TDemoServer;

using test::TRawClient;

TDemoResponse Echo(const TDemoRequest& r) {
    TDemoResponse a;
    a.contentType = "text/plain";
    a.body = r.method + " " + r.path + " ?" + r.query + " [" + r.body +
             "] cookie=" + r.CookieValue("id");
    if (r.path == "/stall") a.stallMs = 600000;
    if (r.path == "/throw") throw std::runtime_error("board fault");
    return a;
}

class DemoServer : public ::testing::Test {
  protected:
    DemoServer() : server_(Echo) { EXPECT_TRUE(server_.Start().ok()); }
    int Port() const { return server_.Port(); }
    std::string Ask(const std::string& bytes) {
        TRawClient c(Port());
        EXPECT_TRUE(c.Connected());
        c.Send(bytes);
        return c.ReadAll();
    }
    TDemoServer server_;
};

TEST_F(DemoServer, AnswersOneRequestAndCloses) {
    const std::string a = Ask("GET /a%20b?x=1 HTTP/1.0\r\nHost: h\r\nCookie: id=7; path=/\r\n\r\n");
    EXPECT_TRUE(StartsWith(a, "HTTP/1.0 200 OK\r\n")) << a;
    EXPECT_NE(Pos("Content-Length: ", a), 0);
    EXPECT_TRUE(EndsWith(a, "GET /a b ?x=1 [] cookie=7")) << a;
}

TEST_F(DemoServer, ReadsTheAnnouncedBodyOfAPost) {
    const std::string a =
        Ask("POST /f HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 7\r\n\r\nq=a+b&z");
    EXPECT_TRUE(EndsWith(a, "[q=a+b&z] cookie=")) << a;
}

TEST_F(DemoServer, AcceptsBareLineFeeds) {
    EXPECT_TRUE(StartsWith(Ask("GET /lf HTTP/1.0\nHost: h\n\n"), "HTTP/1.0 200"));
}

TEST_F(DemoServer, TurnsAwayWhatItCannotRead) {
    EXPECT_TRUE(StartsWith(Ask("\r\n\r\n"), "HTTP/1.0 400"));
    EXPECT_TRUE(StartsWith(Ask("GET\r\n\r\n"), "HTTP/1.0 400"));
    EXPECT_TRUE(StartsWith(Ask("GET relative HTTP/1.0\r\n\r\n"), "HTTP/1.0 400"));
    EXPECT_TRUE(StartsWith(Ask("GET / HTTP/1.0\r\nno colon here\r\n\r\n"), "HTTP/1.0 400"));
    EXPECT_TRUE(StartsWith(Ask("GET /%00 HTTP/1.0\r\n\r\n"), "HTTP/1.0 400"));
    EXPECT_TRUE(StartsWith(Ask("POST / HTTP/1.0\r\nContent-Length: -5\r\n\r\n"), "HTTP/1.0 400"));
    EXPECT_TRUE(
        StartsWith(Ask("POST / HTTP/1.0\r\nContent-Length: 99999999\r\n\r\n"), "HTTP/1.0 413"));
    EXPECT_TRUE(StartsWith(Ask("DELETE / HTTP/1.0\r\n\r\n"), "HTTP/1.0 501"));
    EXPECT_TRUE(StartsWith(Ask("GET /throw HTTP/1.0\r\n\r\n"), "HTTP/1.0 500"));
    EXPECT_TRUE(StartsWith(Ask("GET /" + std::string(40000, 'a')), "HTTP/1.0 431"));
    // Binary rubbish of every byte value.
    std::string rubbish;
    for (int i = 0; i < 256; ++i)
        rubbish += static_cast<char>(i);
    EXPECT_TRUE(StartsWith(Ask(rubbish + "\r\n\r\n"), "HTTP/1.0 400"));
}

TEST_F(DemoServer, HeadSendsNoBody) {
    const std::string a = Ask("HEAD / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(StartsWith(a, "HTTP/1.0 200"));
    EXPECT_TRUE(EndsWith(a, "\r\n\r\n")) << a;
}

TEST_F(DemoServer, ABodyCutShortIsRefused) {
    TRawClient c(Port());
    c.Send("POST / HTTP/1.0\r\nContent-Length: 10\r\n\r\nabc");
    c.CloseWrite();
    EXPECT_TRUE(StartsWith(c.ReadAll(), "HTTP/1.0 400"));
}

TEST_F(DemoServer, ClientsThatGoAwayEarlyLeaveTheServerWorking) {
    for (int i = 0; i < 20; ++i) {
        TRawClient quiet(Port());
        TRawClient half(Port());
        half.Send("GET / HT");
        TRawClient stalled(Port());
        stalled.Send("GET /stall HTTP/1.0\r\n\r\n");
    }
    EXPECT_TRUE(StartsWith(Ask("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200"));
}

TEST_F(DemoServer, AStallingAnswerDoesNotHoldUpOthers) {
    TRawClient stalled(Port());
    stalled.Send("GET /stall HTTP/1.0\r\n\r\n");
    // Served while the first connection is still in its ten-minute stall.
    const test::TPageFetch other =
        test::FetchPage("http://127.0.0.1:" + IntToStr(Port()) + "/other");
    EXPECT_EQ(other.status, 200);
    EXPECT_NE(Pos("/other", other.body), 0);
    const std::string head = stalled.ReadAvailable();
    EXPECT_EQ(Pos("GET /stall", head), 0) << "the stalled body came early";
}

TEST_F(DemoServer, StopEndsStallsAndIdleConnections) {
    TRawClient stalled(Port());
    stalled.Send("GET /stall HTTP/1.0\r\n\r\n");
    TRawClient idle(Port());
    // Make sure both connections were taken before stopping.
    EXPECT_TRUE(StartsWith(Ask("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200"));
    server_.Stop();  // must return although one answer stalls for ten minutes
    const std::string got = stalled.ReadAll();
    EXPECT_EQ(Pos("GET /stall", got), 0);
    EXPECT_FALSE(TRawClient(Port()).Connected());
}

TEST_F(DemoServer, ManyClientsAtOnce) {
    std::atomic<int> ok{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 8; ++t)
        clients.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                const test::TPageFetch f = test::FetchPage("http://127.0.0.1:" + IntToStr(Port()) +
                                                           "/p" + IntToStr(t * 100 + i));
                if (f.status == 200 && Pos("/p" + IntToStr(t * 100 + i), f.body) > 0) ++ok;
            }
        });
    for (auto& c : clients)
        c.join();
    EXPECT_EQ(ok.load(), 80);
    EXPECT_GE(server_.Served(), 80);
}

TEST(DemoServerLimit, ConnectionsBeyondTheLimitAreTurnedAway) {
    TDemoServer::TOptions options;
    options.maxConnections = 2;
    TDemoServer server(Echo, options);
    ASSERT_TRUE(server.Start().ok());
    TRawClient a(server.Port()), b(server.Port());
    a.Send("GET /stall HTTP/1.0\r\n\r\n");
    b.Send("GET /stall HTTP/1.0\r\n\r\n");
    // The head comes before the stall: both are being served once it is here.
    for (TRawClient* c : {&a, &b}) {
        std::string head;
        for (int i = 0; i < 200 && Pos("\r\n\r\n", head) == 0; ++i) {
            head += c->ReadAvailable();
            usleep(20000);
        }
        ASSERT_TRUE(StartsWith(head, "HTTP/1.0 200")) << head;
    }
    TRawClient c(server.Port());
    EXPECT_TRUE(StartsWith(c.ReadAll(), "HTTP/1.0 503"));
}

TEST(DemoServerPort, APortInUseIsReportedAndAFreeOneTaken) {
    TDemoServer first(Echo);
    ASSERT_TRUE(first.Start().ok());
    TDemoServer::TOptions options;
    options.port = first.Port();
    TDemoServer second(Echo, options);
    auto started = second.Start();
    ASSERT_FALSE(started.ok());
    EXPECT_NE(Pos(IntToStr(first.Port()), started.error()), 0) << started.error();
    options.port = 70000;
    TDemoServer third(Echo, options);
    EXPECT_FALSE(third.Start().ok());
}

}  // namespace
}  // namespace tessaly
