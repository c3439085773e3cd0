// "https" in the HTTP client: TLS against a loopback server with certificates made for the
// test, verification failures, redirections between the schemes, CONNECT tunnels through a
// real tinyproxy, and aborts while a handshake hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "net/HttpClient.h"
#include "support/ClientRun.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "support/TestTls.h"
#include "support/TinyProxy.h"

namespace tessaly {
namespace {

using test::TestCertificates;
using test::TTestHttpServer;
using TAnswer = TTestHttpServer::TAnswer;
using TRequest = TTestHttpServer::TRequest;

using TOutcome = test::TClientRun;

// Runs one request and records the document, the connection, redirections and the end.
TOutcome Request(THttpClient& client, bool post = false) {
    return test::RunClient(client, post, [](THttpClient& c, std::vector<std::string>& events) {
        c.OnStateChange = [&events](THttpClient::TState state) {
            if (state == THttpClient::TState::Connected) events.push_back("Connected");
        };
        c.OnLocationChange = [&events, &c] { events.push_back("Location " + c.CurrentUrl()); };
        c.OnDocEnd = [&events] { events.push_back("DocEnd"); };
    });
}

// Runs one GET of `url` with the test CA as the client's trusted authority.
TOutcome RequestTrusting(THttpClient& client, const std::string& url) {
    client.CAFile = TestCertificates().caFile;
    client.URL = url;
    return Request(client);
}

TTestHttpServer::TScript EchoScript() {
    return [](const TRequest& r) { return TTestHttpServer::Echo(r); };
}

std::string LocalhostUrl(const TTestHttpServer& server, const std::string& path) {
    return "https://localhost:" + std::to_string(server.Port()) + path;
}

// --- Requests over TLS ---

TEST(HttpsClientRequest, GetAndPostWithTheCaFile) {
    TTestHttpServer server(EchoScript(), TestCertificates().localhost);
    THttpClient client;
    TOutcome o = RequestTrusting(client, server.Url("/jobs/list.asp?kw=c%2B%2B"));
    ASSERT_EQ(o.errorCode, -1) << o.message;
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].requestLine, "GET /jobs/list.asp?kw=c%2B%2B HTTP/1.0");
    EXPECT_EQ(server.Requests()[0].Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(o.document, server.Requests()[0].head + "\r\n");
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(o.events, (std::vector<std::string>{"Connected", "DocEnd"}));

    // A body of several TLS records and send pieces arrives whole; by name this time, so
    // the name (not the address) is what the certificate is checked against.
    std::string body;
    for (int i = 0; i < 50000; ++i)
        body += static_cast<char>('a' + i * 7 % 26);
    std::istringstream stream(body);
    client.URL = LocalhostUrl(server, "/cgi-bin/apply");
    client.SendStream = &stream;
    o = Request(client, true);
    ASSERT_EQ(o.errorCode, -1) << o.message;
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].requestLine, "POST /cgi-bin/apply HTTP/1.0");
    EXPECT_EQ(server.Requests()[1].Header("Content-Length"), "50000");
    EXPECT_EQ(server.Requests()[1].body, body);
}

TEST(HttpsClientRequest, LargeDocumentAndErrorStatus) {
    std::string page;
    for (int i = 0; i < 300000; ++i)
        page += static_cast<char>('0' + i % 10);
    TTestHttpServer server(
        [&](const TRequest& r) {
            if (r.requestLine == "GET /gone HTTP/1.0")
                return TTestHttpServer::Status(410, "Gone For Good", "<html>x</html>");
            return TTestHttpServer::Normal(page);
        },
        TestCertificates().localhost);
    THttpClient client;
    client.CAFile = TestCertificates().caFile;
    client.URL = server.Url("/big");
    int64_t pieces = 0;
    client.OnDocData = [&](const char*, size_t) { ++pieces; };
    TOutcome o = Request(client);
    ASSERT_EQ(o.errorCode, -1) << o.message;
    EXPECT_EQ(o.document, page);
    EXPECT_GT(pieces, 1);

    client.OnDocData = nullptr;
    client.URL = server.Url("/gone");
    o = Request(client);
    EXPECT_EQ(o.errorCode, 410);
    EXPECT_EQ(o.message, "Gone For Good");
    EXPECT_EQ(o.document, "");
}

TEST(HttpsClientRequest, ClientsOnSeveralThreadsShareTheTrustStore) {
    // As the machine's workers do: one client per request, several at once.
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Normal("job list"); },
                           TestCertificates().localhost);
    const std::string caFile = TestCertificates().caFile;
    std::atomic<int> good{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 3; ++i) {
                THttpClient client;
                client.CAFile = caFile;
                client.URL = server.Url("/");
                std::string document;
                client.ReceiveStream = &document;
                if (client.Get() != THttpOutcome::Answered) continue;
                if (document == "job list") ++good;
            }
        });
    for (std::thread& w : workers)
        w.join();
    EXPECT_EQ(good, 12);
    EXPECT_EQ(server.Requests().size(), 12u);
}

TEST(HttpsClientRequest, ConcurrentHandshakesShareTheTrustStore) {
    // The workers of a search verify certificates at the same time against the one store
    // kept per CA file; the thread checker's build watches them here. A CA file of its own
    // gives this test a context that no earlier handshake has used.
    test::TTempDir dir;
    const std::string caFile = dir.File("ca.pem");
    std::ofstream(caFile) << std::ifstream(TestCertificates().caFile).rdbuf();
    TTestHttpServer server(EchoScript(), TestCertificates().localhost, true);
    std::atomic<bool> go{false};
    std::atomic<int> fetched{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 16; ++i)
        workers.emplace_back([&] {
            while (!go)
                std::this_thread::yield();
            THttpClient client;
            client.CAFile = caFile;
            client.URL = server.Url("/");
            if (Request(client).errorCode == -1) ++fetched;
        });
    go = true;
    for (std::thread& w : workers)
        w.join();
    EXPECT_EQ(fetched, 16);
}

// --- Verification ---

TEST(HttpsClientVerify, RefusedCertificatesEndLikeFailedConnections) {
    const auto& certificates = TestCertificates();
    struct TCase {
        TTestHttpServer::TTlsIdentity identity;
        bool caFile;
        bool byName;
        std::string message;
    };
    const TCase cases[] = {
        {certificates.wrongHost, true, true, "certificate verify failed: hostname mismatch"},
        {certificates.wrongHost, true, false, "certificate verify failed: IP address mismatch"},
        {certificates.selfSigned, false, true,
         "certificate verify failed: self-signed certificate"},
        {certificates.localhost, false, true,
         "certificate verify failed: unable to get local issuer certificate"},
    };
    for (const TCase& c : cases) {
        TTestHttpServer server(EchoScript(), c.identity);
        THttpClient client;
        if (c.caFile) client.CAFile = certificates.caFile;
        client.URL = c.byName ? LocalhostUrl(server, "/") : server.Url("/");
        TOutcome o = Request(client);
        EXPECT_EQ(o.errorCode, 404) << c.message;
        EXPECT_EQ(o.message, c.message);
        EXPECT_EQ(client.StatusCode(), 404);
        EXPECT_TRUE(o.events.empty()) << c.message;  // never connected, nothing sent
        EXPECT_TRUE(server.Requests().empty()) << c.message;
        EXPECT_EQ(client.State(), THttpClient::TState::Ready);
    }

    // The self-signed one is fine once it is the trusted file itself.
    TTestHttpServer self(EchoScript(), certificates.selfSigned);
    THttpClient client;
    client.CAFile = certificates.selfSigned.certificateFile;
    client.URL = self.Url("/ok");
    EXPECT_EQ(Request(client).errorCode, -1);
}

TEST(HttpsClientVerify, PeersThatAreNoTlsServers) {
    test::TSilentServer closing("", true);
    THttpClient client;
    client.URL = "https://127.0.0.1:" + std::to_string(closing.Port()) + "/";
    TOutcome o = Request(client);
    EXPECT_EQ(o.errorCode, 404);
    EXPECT_EQ(o.message, "TLS handshake failed: connection closed by the server");

    test::TSilentServer plain("HTTP/1.0 400 Bad Request\r\nContent-Type: text/html\r\n\r\n", true);
    client.URL = "https://127.0.0.1:" + std::to_string(plain.Port()) + "/";
    o = Request(client);
    EXPECT_EQ(o.errorCode, 404);
    EXPECT_EQ(o.message.rfind("TLS handshake failed: ", 0), 0u) << o.message;
    EXPECT_GT(o.message.size(), std::string("TLS handshake failed: ").size());
    EXPECT_EQ(o.message.find("connection closed"), std::string::npos) << o.message;
    EXPECT_TRUE(o.events.empty());
}

TEST(HttpsClientVerify, MissingOrBrokenCaFile) {
    TTestHttpServer server(EchoScript(), TestCertificates().localhost);
    test::TTempDir dir;
    THttpClient client;
    client.URL = server.Url("/");
    client.CAFile = dir.File("none.pem");
    TOutcome o = Request(client);
    EXPECT_EQ(o.errorCode, 404);
    EXPECT_EQ(o.message.rfind("can't read CA file " + dir.File("none.pem") + ": ", 0), 0u)
        << o.message;

    {
        std::ofstream out(dir.File("junk.pem"));
        out << "not a certificate\n";
    }
    client.CAFile = dir.File("junk.pem");
    o = Request(client);
    EXPECT_EQ(o.errorCode, 404);
    EXPECT_EQ(o.message.rfind("can't load CA file " + dir.File("junk.pem") + ": ", 0), 0u)
        << o.message;
    EXPECT_TRUE(server.Requests().empty());
}

// --- Redirections between the schemes ---

TEST(HttpsClientRedirect, HttpToHttpsAndBack) {
    TTestHttpServer plain([&](const TRequest& r) {
        if (r.requestLine == "GET /back HTTP/1.0") return TTestHttpServer::Echo(r);
        return TTestHttpServer::Status(500, "Unexpected", "");
    });
    TTestHttpServer secure(
        [&](const TRequest& r) {
            if (r.requestLine == "GET /secure HTTP/1.0") return TTestHttpServer::Redirect("/turn");
            if (r.requestLine == "GET /turn HTTP/1.0")
                return TTestHttpServer::Redirect(plain.Url("/back"));
            return TTestHttpServer::Status(500, "Unexpected", "");
        },
        TestCertificates().localhost);
    TTestHttpServer start([&](const TRequest&) {
        return TTestHttpServer::Redirect(LocalhostUrl(secure, "/secure"));
    });
    THttpClient client;
    TOutcome o = RequestTrusting(client, start.Url("/start"));
    ASSERT_EQ(o.errorCode, -1) << o.message;
    EXPECT_EQ(secure.Requests().size(), 2u);
    ASSERT_EQ(plain.Requests().size(), 1u);
    EXPECT_EQ(o.document.substr(0, 19), "GET /back HTTP/1.0\r");
    EXPECT_EQ(client.CurrentUrl(), plain.Url("/back"));
    EXPECT_EQ(o.events, (std::vector<std::string>{
                            "Connected", "Location " + LocalhostUrl(secure, "/secure"), "Connected",
                            "Location " + LocalhostUrl(secure, "/turn"), "Connected",
                            "Location " + plain.Url("/back"), "Connected", "DocEnd"}));
}

TEST(HttpsClientRedirect, RedirectToAnUntrustedHttpsSiteFails) {
    TTestHttpServer self(EchoScript(), TestCertificates().selfSigned);
    TTestHttpServer start([&](const TRequest&) { return TTestHttpServer::Redirect(self.Url()); });
    THttpClient client;
    TOutcome o = RequestTrusting(client, start.Url("/"));
    EXPECT_EQ(o.errorCode, 404);
    EXPECT_EQ(o.message, "certificate verify failed: self-signed certificate");
    EXPECT_TRUE(self.Requests().empty());
}

// --- Through a proxy ---

TEST(HttpsClientProxy, ConnectRequestForm) {
    // The scripted server stands in for a proxy that refuses; the target need not exist.
    TTestHttpServer proxy([](const TRequest&) {
        return TTestHttpServer::Status(407, "Proxy Authentication Required", "",
                                       "Proxy-Authenticate: Basic realm=\"x\"\r\n");
    });
    THttpClient client;
    client.URL = "https://jobs.example.invalid/find?q=1";
    client.Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    client.Agent = "Tessaly Jobs/98 [en]";
    client.ProxyUsername = "user";
    client.ProxyPassword = "pw";
    TOutcome o = Request(client);
    EXPECT_EQ(o.errorCode, 407);
    EXPECT_EQ(o.message, "Proxy Authentication Required");
    EXPECT_TRUE(o.events.empty());
    ASSERT_EQ(proxy.Requests().size(), 1u);
    const TRequest r = proxy.Requests()[0];
    EXPECT_EQ(r.requestLine, "CONNECT jobs.example.invalid:443 HTTP/1.0");
    EXPECT_EQ(r.headers, (std::vector<std::string>{
                             "Host: jobs.example.invalid:443", "User-Agent: Tessaly Jobs/98 [en]",
                             "Proxy-Authorization: Basic " + Base64Encode("user:pw")}));

    // A port in the URL is the tunnel's port; a reply that is no HTTP status is refused.
    TTestHttpServer odd([](const TRequest&) {
        TAnswer a;
        a.bytes = "SSH-2.0-hello\r\n\r\n";
        return a;
    });
    client.URL = "https://[::1]:8443/";
    client.Proxy = "127.0.0.1";
    client.ProxyPort = std::to_string(odd.Port());
    client.ProxyUsername.clear();
    o = Request(client);
    EXPECT_EQ(o.errorCode, 404);
    EXPECT_EQ(o.message, "proxy gave no valid answer to CONNECT: SSH-2.0-hello");
    ASSERT_EQ(odd.Requests().size(), 1u);
    EXPECT_EQ(odd.Requests()[0].requestLine, "CONNECT [::1]:8443 HTTP/1.0");
    EXPECT_FALSE(odd.Requests()[0].HasHeader("Proxy-Authorization"));
}

class HttpsClientTinyProxy : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::TTinyProxy::Available()) GTEST_SKIP() << "tinyproxy is not installed";
    }
    void Through(THttpClient& client, const test::TTinyProxy& proxy) {
        client.Proxy = "127.0.0.1";
        client.ProxyPort = std::to_string(proxy.Port());
        client.CAFile = TestCertificates().caFile;
    }
};

TEST_F(HttpsClientTinyProxy, TunnelWithoutAuthentication) {
    TTestHttpServer server(EchoScript(), TestCertificates().localhost);
    test::TTinyProxy proxy({server.Port()});
    THttpClient client;
    Through(client, proxy);
    client.URL = LocalhostUrl(server, "/inside?x=1");
    client.ProxyUsername = "nobody";  // a proxy that asks for nothing ignores it
    TOutcome o = Request(client);
    ASSERT_EQ(o.errorCode, -1) << o.message << "\n" << proxy.Log();
    ASSERT_EQ(server.Requests().size(), 1u);
    const TRequest r = server.Requests()[0];
    // Inside the tunnel the origin is addressed directly and sees no proxy credentials.
    EXPECT_EQ(r.requestLine, "GET /inside?x=1 HTTP/1.0");
    EXPECT_EQ(r.Header("Host"), "localhost:" + std::to_string(server.Port()));
    EXPECT_FALSE(r.HasHeader("Proxy-Authorization"));
    EXPECT_EQ(o.document, r.head + "\r\n");

    // A port the proxy does not allow for CONNECT is refused with the proxy's status.
    TTestHttpServer other(EchoScript(), TestCertificates().localhost);
    client.URL = LocalhostUrl(other, "/");
    o = Request(client);
    EXPECT_GE(o.errorCode, 400);
    EXPECT_EQ(client.StatusCode(), o.errorCode);
    EXPECT_TRUE(other.Requests().empty());
}

TEST_F(HttpsClientTinyProxy, TunnelWithBasicAuthentication) {
    TTestHttpServer server(EchoScript(), TestCertificates().localhost);
    TTestHttpServer plain(EchoScript());
    test::TTinyProxy proxy({server.Port()}, "scout", "s3cret");
    THttpClient client;
    Through(client, proxy);
    client.URL = server.Url("/private");
    TOutcome o = Request(client);
    EXPECT_EQ(o.errorCode, 407) << o.message;
    EXPECT_TRUE(server.Requests().empty());

    client.ProxyUsername = "scout";
    client.ProxyPassword = "wrong";
    // This proxy answers a wrong password with 401 rather than 407; either way it fails so.
    o = Request(client);
    EXPECT_TRUE(o.errorCode == 401 || o.errorCode == 407) << o.errorCode << " " << o.message;
    EXPECT_EQ(client.StatusCode(), o.errorCode);
    EXPECT_TRUE(server.Requests().empty());

    client.ProxyPassword = "s3cret";
    o = Request(client);
    ASSERT_EQ(o.errorCode, -1) << o.message << "\n" << proxy.Log();
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].requestLine, "GET /private HTTP/1.0");
    EXPECT_FALSE(server.Requests()[0].HasHeader("Proxy-Authorization"));

    // Plain http through the same proxy keeps its absolute form and its credentials.
    client.URL = plain.Url("/open");
    o = Request(client);
    ASSERT_EQ(o.errorCode, -1) << o.message << "\n" << proxy.Log();
    ASSERT_EQ(plain.Requests().size(), 1u);
    EXPECT_EQ(plain.Requests()[0].requestLine, "GET /open HTTP/1.0");
}

// --- Aborts and time-outs while the handshake hangs ---

TEST(HttpsClientAbort, AbortFromAnotherThreadDuringTheHandshake) {
    test::TSilentServer silent;
    THttpClient client;
    client.URL = "https://127.0.0.1:" + std::to_string(silent.Port()) + "/";
    std::atomic<bool> stop{false};
    std::thread aborter([&] {
        for (int i = 0; i < 1000 && silent.Accepted() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        while (!stop && client.State() != THttpClient::TState::Ready) {
            client.Abort();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    TOutcome o = Request(client);
    stop = true;
    aborter.join();
    EXPECT_EQ(silent.Accepted(), 1);
    EXPECT_EQ(o.errorCode, 404);
    EXPECT_EQ(o.message, "Connection aborted on request");
    EXPECT_TRUE(o.events.empty());
    EXPECT_EQ(client.State(), THttpClient::TState::Ready);
}

TEST(HttpsClientAbort, TimeOutOnTheTickDuringTheHandshake) {
    // As the machine's worker does: its timer rides on the ticks and aborts the client.
    for (bool tunnel : {false, true}) {
        test::TSilentServer silent;
        TTestHttpServer proxy([](const TRequest&) {
            TAnswer a;
            a.bytes = "HTTP/1.0 200 Connection established\r\n\r\n";
            a.stallMs = 20000;  // then as silent as the server behind it
            return a;
        });
        THttpClient client;
        client.URL = "https://127.0.0.1:" + std::to_string(silent.Port()) + "/";
        if (tunnel) {
            client.URL = "https://jobs.example.invalid/";
            client.Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
        }
        client.TickMs = 20;
        int ticks = 0;
        client.OnTick = [&] {
            bool reached = tunnel ? !proxy.Requests().empty() : silent.Accepted() > 0;
            if (reached && ++ticks == 3) client.Abort();
        };
        TOutcome o = Request(client);
        EXPECT_EQ(ticks, 3);
        EXPECT_EQ(o.errorCode, 404);
        EXPECT_EQ(o.message, "Connection aborted on request");
        EXPECT_TRUE(o.events.empty());
        if (tunnel) {
            ASSERT_EQ(proxy.Requests().size(), 1u);
            EXPECT_EQ(proxy.Requests()[0].requestLine, "CONNECT jobs.example.invalid:443 HTTP/1.0");
        }
    }
}

// --- Pieces ---

TEST(HttpsClientParts, SecureSchemeIsHttpsInAnyCase) {
    EXPECT_TRUE(IsSecureScheme("https"));
    EXPECT_TRUE(IsSecureScheme("HTTPS"));
    EXPECT_FALSE(IsSecureScheme("http"));
    EXPECT_FALSE(IsSecureScheme("httpss"));
    EXPECT_FALSE(IsSecureScheme(""));
}

}  // namespace
}  // namespace tessaly
