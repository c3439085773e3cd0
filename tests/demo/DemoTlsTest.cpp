// The demo boards over TLS: the server's side of the handshake against clients that trust
// it, that do not, and that never start; and the boards, the home and the maker's server
// with https addresses throughout, searched end to end through the engine.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "data/ConfigBox.h"
#include "platform/TextFile.h"
#include "search/SearchEngine.h"
#include "tests/demo/DemoFixture.h"

namespace tessaly {
namespace {

using demo::TDemoRequest;
using demo::TDemoResponse;
using demo::TDemoServer;

using test::TAcceptingFrontEnd;
using test::TRawClient;

std::string BigPage() {
    std::string page;
    for (int i = 0; page.size() < 1500000; ++i)
        page += "<p>posting " + IntToStr(i) + "</p>\r\n";
    return page;
}

TDemoResponse Echo(const TDemoRequest& r) {
    TDemoResponse a;
    a.contentType = "text/plain";
    if (r.path == "/big") {
        a.body = BigPage();
        return a;
    }
    a.body = r.method + " " + r.path + " [" + r.body + "]";
    if (r.path == "/stall") a.stallMs = 600000;
    return a;
}

TDemoServer::TOptions TlsOptions() {
    const test::TTestCertificates& c = test::TestCertificates();
    TDemoServer::TOptions options;
    options.certificateFile = c.localhost.certificateFile;
    options.keyFile = c.localhost.keyFile;
    return options;
}

class DemoTlsServer : public ::testing::Test {
  protected:
    std::string Ca() const { return test::TestCertificates().caFile; }
};

TEST_F(DemoTlsServer, AnswersOnlyAClientThatTrustsItsAuthority) {
    TDemoServer server(Echo, TlsOptions());
    ASSERT_TRUE(server.Start().ok());
    ASSERT_TRUE(server.Secure());
    EXPECT_EQ(server.Base(), "https://127.0.0.1:" + IntToStr(server.Port()));

    const test::TPageFetch trusted = test::FetchPage(server.Base() + "/a", "x=1", true, "", Ca());
    EXPECT_EQ(trusted.status, 200) << trusted.message;
    EXPECT_EQ(trusted.body, "POST /a [x=1]");

    const test::TPageFetch stranger = test::FetchPage(server.Base() + "/a");
    EXPECT_NE(stranger.status, 200);
    EXPECT_NE(Pos("certificate verify failed", stranger.message), 0) << stranger.message;

    // Plain HTTP on the TLS port is no handshake: no answer in HTTP, and no harm done.
    TRawClient plain(server.Port());
    ASSERT_TRUE(plain.Connected());
    plain.Send("GET /a HTTP/1.0\r\n\r\n");
    EXPECT_FALSE(StartsWith(plain.ReadAll(), "HTTP/"));
    const test::TPageFetch after = test::FetchPage(server.Base() + "/b", "", false, "", Ca());
    EXPECT_EQ(after.status, 200) << after.message;
    EXPECT_EQ(after.body, "GET /b []");
}

TEST_F(DemoTlsServer, ALargeAnswerArrivesWhole) {
    TDemoServer server(Echo, TlsOptions());
    ASSERT_TRUE(server.Start().ok());
    const test::TPageFetch f = test::FetchPage(server.Base() + "/big", "", false, "", Ca());
    ASSERT_EQ(f.status, 200) << f.message;
    EXPECT_EQ(f.body.size(), BigPage().size());
    EXPECT_TRUE(f.body == BigPage());
}

TEST_F(DemoTlsServer, AHandshakeThatNeverStartsHoldsUpNobodyAndStopEndsIt) {
    TDemoServer::TOptions options = TlsOptions();
    options.requestTimeoutMs = 120000;  // longer than the test may take
    TDemoServer server(Echo, options);
    ASSERT_TRUE(server.Start().ok());
    TRawClient silent(server.Port());
    ASSERT_TRUE(silent.Connected());
    const test::TPageFetch other = test::FetchPage(server.Base() + "/other", "", false, "", Ca());
    EXPECT_EQ(other.status, 200) << other.message;

    const auto start = std::chrono::steady_clock::now();
    server.Stop();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(silent.ReadAll(5000), "");
}

TEST_F(DemoTlsServer, ConnectionsBeyondTheLimitAreTurnedAwayInTls) {
    TDemoServer::TOptions options = TlsOptions();
    options.maxConnections = 1;
    TDemoServer server(Echo, options);
    ASSERT_TRUE(server.Start().ok());
    // Taken first (connections are accepted in the order they came), says nothing.
    TRawClient holder(server.Port());
    ASSERT_TRUE(holder.Connected());
    const test::TPageFetch f = test::FetchPage(server.Base() + "/p", "", false, "", Ca());
    EXPECT_EQ(f.status, 503) << f.message;
}

TEST_F(DemoTlsServer, ACertificateThatCannotBeLoadedIsReported) {
    test::TTempDir dir;
    TDemoServer::TOptions options = TlsOptions();
    options.certificateFile = dir.File("missing.pem");
    TDemoServer missing(Echo, options);
    auto listened = missing.Listen();
    ASSERT_FALSE(listened.ok());
    EXPECT_NE(Pos("missing.pem", listened.error()), 0) << listened.error();

    // A key of another certificate does not go with it.
    options = TlsOptions();
    options.keyFile = test::TestCertificates().selfSigned.keyFile;
    TDemoServer mismatched(Echo, options);
    listened = mismatched.Listen();
    ASSERT_FALSE(listened.ok());
    EXPECT_NE(Pos("self.key", listened.error()), 0) << listened.error();
    EXPECT_NE(Pos("mismatch", listened.error()), 0) << listened.error();
}

// ---------------------------------------------------------------------------
// The boards, the home and the maker's server over TLS

class DemoTlsSites : public test::TDemoTest {
  protected:
    DemoTlsSites() : TDemoTest(3000, true) {}
};

TEST_F(DemoTlsSites, TheHomeNamesHttpsAddressesAndTrustsTheAuthority) {
    LoadSites();
    const std::string base = "https://127.0.0.1:" + IntToStr(server_->Port());
    ASSERT_EQ(sites_->Base(), base);
    ASSERT_EQ(list_.Count(), 7);
    for (int i = 0; i < list_.Count(); ++i) {
        const std::string& url = list_[i].FirstPageURL;
        const std::string own = list_[i].Title == "Harbor Line Careers"
                                    ? "https://127.0.0.1:" + IntToStr(deadPort_) + "/"
                                    : base + "/";
        EXPECT_TRUE(StartsWith(url, own)) << list_[i].Title << ": " << url;
    }
    // Nothing in the definitions (the scripts' link bases included) stays plain.
    for (const std::string& line : demo::PlainDefinitions(server_->Port(), deadPort_, true))
        EXPECT_EQ(Pos("http://", line), 0) << line;

    TConfigBox id;
    id.LoadFromFile(Sandbox().File("id.box"));
    EXPECT_EQ(id.ReadString("ID", "ConfigURL"), base + "/update/config.box");
    EXPECT_EQ(id.ReadString("ID", "SourcesURL"), base + "/update/sources.def");
    EXPECT_EQ(id.ReadString("ID", "TranslateURL"), base);
    EXPECT_EQ(id.ReadString("ID", "ReferralURL"), base);
    TConfigBox config;
    config.LoadFromFile(Sandbox().File("config.box"));
    EXPECT_EQ(config.ReadLine(0, "Guide", "URLs"), base + "/");
    EXPECT_TRUE(StartsWith(config.ReadLine(0, "InBanner", "Sources"), base + "/banners/"));
    TConfigBox options;
    options.LoadFromFile(Sandbox().File("options.box"));
    EXPECT_EQ(options.ReadString("Connection", "CAFile"), caFile_);

    // The same home written for a plain server no longer names the certificate.
    auto rewritten = demo::WriteHome(Sandbox().Path(), *sites_);
    ASSERT_TRUE(rewritten.ok()) << rewritten.error();
    TConfigBox plain;
    plain.LoadFromFile(Sandbox().File("options.box"));
    EXPECT_EQ(plain.ReadString("Connection", "CAFile"), "");
    EXPECT_EQ(plain.ReadString("Connection", "TimeOut"), IntToStr(demo::kDemoTimeOutSecs));
}

TEST_F(DemoTlsSites, TheMakersServerAnswersInHttps) {
    // The definitions download holds the https addresses too.
    const test::TPageFetch defs = Fetch("/update/sources.def");
    ASSERT_EQ(defs.status, 200) << defs.message;
    WriteFileBytes(Sandbox().File("downloaded.def"), defs.body);
    TVelaSourcesList downloaded;
    downloaded.LoadFromFile(Sandbox().File("downloaded.def"));
    ASSERT_EQ(downloaded.Count(), 7);
    EXPECT_TRUE(StartsWith(downloaded[0].FirstPageURL, Url("/")));

    // A banner click goes on to the sponsor at the https address.
    const test::TPageFetch click = Fetch("/banners/click?ad=salary");
    EXPECT_EQ(click.status, 200) << click.message;
    EXPECT_NE(Pos("sponsor of the demo", click.body), 0);
    const test::TPageFetch page = Fetch("/banners/page?ad=school");
    EXPECT_NE(Pos("href=" + Url("/sponsor/school"), page.body), 0) << page.body;

    // The translation service takes the demo's own https pages.
    std::string address = Url("/careerhub/");
    address = ReplaceAll(ReplaceAll(address, ":", "%3A"), "/", "%2F");
    const test::TPageFetch translated =
        Fetch("/cgi-bin/translate?", "doit=done&lp=en_fr&urltext=" + address, true);
    EXPECT_EQ(translated.status, 200) << translated.message;
    EXPECT_NE(Pos("<!-- translated en_fr", translated.body), 0) << translated.body.substr(0, 300);
}

TEST_F(DemoTlsSites, ASearchOverEveryBoardThroughTheEngine) {
    LoadSites();
    TAcceptingFrontEnd accept;
    TSearchEngine run(Sandbox().Path(), accept);
    ASSERT_NO_FATAL_FAILURE(StartEngine(run));
    // The CA comes from the home's options alone.
    EXPECT_EQ(run.Http().CAFile, caFile_);
    ASSERT_TRUE(SearchEveryBoard(run));

    std::map<std::string, std::string> status = BoardStatus(run);
    for (const char* board : {"CareerHub Online", "JobFair Weekly", "Metro Classifieds",
                              "Carrefour Emploi", "TechPost Careers"})
        EXPECT_EQ(status[board], "Done") << board;
    EXPECT_EQ(status["Lazy River Jobs"], "Timed Out");
    EXPECT_EQ(status["Harbor Line Careers"], "Unreachable");
    EXPECT_EQ(Said().messages, std::vector<std::string>{"Search Completed."});
    ASSERT_GT(run.Jobs().Count(), 20);
    EXPECT_EQ(run.Jobs()[0].Source, "TechPost Careers");
    std::map<std::string, int> perBoard;
    for (int i = 0; i < run.Jobs().Count(); ++i) {
        const TVelaJob& j = run.Jobs()[i];
        ++perBoard[j.Source];
        EXPECT_TRUE(StartsWith(j.URL, Url("/"))) << j.URL;
    }
    // Boards of several pages were followed to their later pages over TLS as well.
    EXPECT_GT(perBoard["CareerHub Online"], sites_->Codes(demo::TBoard::CareerHub).JobsPerPage);
    EXPECT_GT(perBoard["JobFair Weekly"], sites_->Codes(demo::TBoard::JobFair).JobsPerPage);

    // A job page opens over TLS with the engine's CA, as grabbing fetches it.
    const test::TPageFetch job = test::FetchPage(run.Jobs()[0].URL, "", false, "", caFile_);
    EXPECT_EQ(job.status, 200) << job.message;
}

}  // namespace
}  // namespace tessaly
