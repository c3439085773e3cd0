// The demo boards served in-process on a free loopback port (plain or over TLS), with a
// home written for them and a client fetch that does what the HTTP machine does with one
// request.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "data/VelaSources.h"
#include "demo/DemoServer.h"
#include "demo/DemoSites.h"
#include "demo/HomeFiles.h"
#include "demo/MakerSite.h"
#include "net/HttpClient.h"
#include "net/Url.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "search/SearchEngine.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "support/TestTls.h"

namespace tessaly::test {

struct TPageFetch {
    std::string body;
    int status = 0;       // the server's status, or the client's error code
    std::string message;  // the client's error text
    std::string cookie;   // as the machine takes it: the rest of the first Set-Cookie line
};

inline TPageFetch FetchPage(const std::string& url, const std::string& params = "",
                            bool post = false, const std::string& cookie = "",
                            const std::string& caFile = "") {
    TPageFetch f;
    THttpClient client;
    client.CAFile = caFile;
    client.Agent = "TJ98US/1.15 [en]";
    client.Cookie = cookie;
    client.ReceiveStream = &f.body;
    std::istringstream body(params);
    client.URL = post ? url : url + params;
    if (post) client.SendStream = &body;
    const THttpOutcome outcome = post ? client.Post() : client.Get();
    f.status = client.StatusCode();
    if (outcome != THttpOutcome::Answered) f.message = client.ReasonPhrase();
    f.cookie = FirstSetCookie(HeaderText(client.ReceivedHeader()));
    return f;
}

// A raw connection, for requests no client would send.
class TRawClient {
  public:
    explicit TRawClient(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~TRawClient() { close(fd_); }
    bool Connected() const { return connected_; }
    void Send(const std::string& bytes) {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Everything until the server closes, bounded by `ms` per read.
    std::string ReadAll(int ms = 20000) {
        std::string in;
        char buffer[4096];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, ms) <= 0) break;
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            in.append(buffer, static_cast<size_t>(n));
        }
        return in;
    }
    // What has arrived so far, without waiting for more.
    std::string ReadAvailable() {
        std::string in;
        char buffer[4096];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 0) <= 0) break;
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            in.append(buffer, static_cast<size_t>(n));
        }
        return in;
    }
    void CloseWrite() { shutdown(fd_, SHUT_WR); }

  private:
    int fd_ = -1;
    bool connected_ = false;
};

// A front-end whose dialogs accept the engine's kept values.
struct TAcceptingFrontEnd : TSearchFrontEnd {
    bool NewSearchDialog(const std::string&, const std::string&, TNewSearchValues&) override {
        return true;
    }
};

class TDemoTest : public TLoopTest {
  protected:
    // With `tls` the boards speak TLS with the test CA's certificate for 127.0.0.1.
    explicit TDemoTest(int stallMs = 200, bool tls = false) {
        demo::TDemoServer::TOptions options;
        if (tls) {
            const TTestCertificates& certificates = TestCertificates();
            options.certificateFile = certificates.localhost.certificateFile;
            options.keyFile = certificates.localhost.keyFile;
            caFile_ = certificates.caFile;
        }
        server_ = std::make_unique<demo::TDemoServer>(
            [this](const demo::TDemoRequest& r) {
                return demo::TMakerSite::Serves(r.path) ? maker_->Handle(r) : sites_->Handle(r);
            },
            options);
        EXPECT_TRUE(server_->Listen().ok());
        deadPort_ = TTestHttpServer::UnusedPort();
        sites_ = std::make_unique<demo::TDemoSites>(
            demo::TDemoSites::TConfig{server_->Port(), deadPort_, stallMs, server_->Secure()});
        maker_ = std::make_unique<demo::TMakerSite>(*sites_);
        EXPECT_TRUE(server_->Start().ok());
    }

    // Writes the home into the sandbox and loads its definitions.
    void LoadSites() {
        auto written = demo::WriteHome(Sandbox().Path(), *sites_, caFile_);
        ASSERT_TRUE(written.ok()) << written.error();
        list_.LoadFromFile(JoinPath(Sandbox().Path(), "sources.def"));
    }

    // Starts an engine on the home as the program does, on short ticks (15 "seconds" of
    // time-out last 1.5 s), without the automatic source update.
    void StartEngine(TSearchEngine& run) {
        run.Http().Timing = {20, 20, 10, 100};
        run.SetGridDelay(10);
        ASSERT_TRUE(run.LoadIdentity());
        run.LoadOptions();
        run.LoadUpdateDescriptor();
        ASSERT_TRUE(run.LoadSources());
        run.LoadSearches();
        run.InitMachine();
        run.SetAutoUpdate(false);
    }

    // Searches every board for "engineer" in Engineering, nationwide, as a new search
    // does; false when the engine is not idle again within 30 s.
    [[nodiscard]] bool SearchEveryBoard(TSearchEngine& run) {
        run.SetState(rsIdle);
        run.NewSearchPreset() = {"Nationwide", "Engineering", "engineer"};
        run.MMNewClick();
        return WaitFor([&] { return run.State() == rsIdle; }, 30000);
    }

    // The status the progress rows show for each board, by board name.
    static std::map<std::string, std::string> BoardStatus(const TSearchEngine& run) {
        std::map<std::string, std::string> status;
        for (const TProgressRow& r : run.ProgressRows().Rows)
            status[Trim(r.JobSource)] = r.Status;
        return status;
    }

    std::string Url(const std::string& path) const { return server_->Base() + path; }
    // A page of this server, trusting the test CA when the server speaks TLS.
    TPageFetch Fetch(const std::string& path, const std::string& params = "", bool post = false,
                     const std::string& cookie = "") const {
        return FetchPage(Url(path), params, post, cookie, caFile_);
    }

    std::unique_ptr<demo::TDemoSites> sites_;
    std::unique_ptr<demo::TMakerSite> maker_;
    std::unique_ptr<demo::TDemoServer> server_;
    TVelaSourcesList list_;
    int deadPort_ = 0;
    std::string caFile_;  // the CA that vouches for a TLS server; empty for a plain one
};

}  // namespace tessaly::test
