// The demo's own loopback HTTP/1.0 server: one listening socket on 127.0.0.1, a thread
// per connection (so a stalling board does not hold up the others), one request per
// connection, closed after the answer as HTTP/1.0 does.
//
// All socket work of a connection goes through TDemoConnection, which puts TLS around it
// when the server has a certificate, so the request handling never knows. Requests are
// bounded in size and time; anything that cannot be read is answered "400 Bad Request".
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "demo/DemoRequest.h"
#include "net/TlsStream.h"
#include "platform/ByteString.h"
#include "platform/Result.h"

namespace tessaly::demo {

struct TDemoResponse {
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/html";
    TStrings headers;  // extra header lines, without line ends
    std::string body;
    int stallMs = 0;  // pause between the head and the body (a slow board)
};

using TDemoHandler = std::function<TDemoResponse(const TDemoRequest&)>;

// The whole answer as it goes on the wire; the body is left out for HEAD.
std::string ResponseHead(const TDemoResponse& response);

// One accepted connection. Every wait also watches the server's stop signal.
class TDemoConnection {
  public:
    // With `tls`, Begin runs the server's side of a handshake and everything after it is
    // encrypted; the identity must outlive the connection.
    TDemoConnection(int fd, int stopFd, const TTlsServerIdentity* tls = nullptr)
        : fd_(fd), stopFd_(stopFd), identity_(tls) {}
    ~TDemoConnection();
    TDemoConnection(const TDemoConnection&) = delete;
    TDemoConnection& operator=(const TDemoConnection&) = delete;

    // Completes the TLS handshake by the deadline (at once without TLS); false when the
    // client left, stalled, or refused our certificate.
    bool Begin(int64_t deadlineMs);
    // Appends what arrives (at most `max` bytes) to `into`. Bytes read, 0 when the peer
    // closed, -1 on an error, the deadline (steady milliseconds) or a stop.
    long Read(std::string& into, size_t max, int64_t deadlineMs);
    bool Write(std::string_view bytes, int64_t deadlineMs);
    // Waits `ms`; false when the server stops or the peer hangs up meanwhile.
    bool Pause(int ms);
    // Ends our side and gives the peer up to `drainMs` to read everything and close.
    void Finish(int drainMs = 2000);

  private:
    // 1 ready, 0 deadline, -1 stop or error.
    int Wait(short events, int64_t deadlineMs);
    // Read on the socket itself, below any TLS.
    long RawRead(std::string& into, size_t max, int64_t deadlineMs);

    int fd_;
    int stopFd_;
    const TTlsServerIdentity* identity_;
    TTlsStream tls_;
};

class TDemoServer {
  public:
    struct TOptions {
        int port = 0;  // 0: any free port
        int maxConnections = 64;
        int requestTimeoutMs = 10000;
        size_t maxHead = 16 * 1024;
        size_t maxBody = 256 * 1024;
        // Both set: every connection speaks TLS with this certificate (PEM files).
        std::string certificateFile;
        std::string keyFile;
    };

    TDemoServer(TDemoHandler handler, TOptions options);
    explicit TDemoServer(TDemoHandler handler) : TDemoServer(std::move(handler), TOptions{}) {}
    ~TDemoServer();
    TDemoServer(const TDemoServer&) = delete;
    TDemoServer& operator=(const TDemoServer&) = delete;

    // Binds and listens on 127.0.0.1 (the port is known from then on) and loads the
    // certificate, if any; nothing is accepted until Start.
    TResult<void> Listen();
    // Listens if not yet done and starts accepting.
    TResult<void> Start();
    // Stops accepting, wakes every connection (stalls included) and joins all threads.
    void Stop();

    int Port() const { return port_; }
    bool Secure() const { return !options_.certificateFile.empty(); }
    // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT", without a slash at the end.
    std::string Base() const;
    int64_t Served() const { return served_.load(); }

  private:
    struct TWorker {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Serve(int fd);
    void Reap(bool all);

    TDemoHandler handler_;
    TOptions options_;
    TTlsServerIdentity identity_;
    int listenFd_ = -1;
    int stopFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;
    std::mutex workersLock_;
    std::list<std::unique_ptr<TWorker>> workers_;
    std::atomic<int64_t> served_{0};
    bool started_ = false;
};

}  // namespace tessaly::demo
