// A scriptable HTTP server on a loopback port for the client tests. It serves one
// connection at a time on its own thread (or, when asked, each connection on a thread of its
// own), records every request, and answers with what the test's script says: plain bytes, a
// stall, data trickled piece by piece, a close in the middle or a reset. Every wait is
// bounded, and a stall ends early when the client goes away. Given a certificate and key it
// speaks TLS instead ("https" URLs).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssl_ctx_st;
struct ssl_st;

namespace tessaly::test {

class TTestHttpServer {
  public:
    struct TRequest {
        std::string head;  // request line and header lines, CR LF each, without the empty line
        std::string requestLine;
        std::vector<std::string> headers;
        std::string body;  // as many bytes as "Content-Length" announced
        std::string Header(const std::string& name) const;  // value of the first such line
        bool HasHeader(const std::string& name) const;
    };
    struct TAnswer {
        std::string bytes;  // sent as they are
        // Then each piece, pieceIntervalMs apart.
        std::vector<std::string> pieces;
        int pieceIntervalMs = 0;
        int stallMs = 0;     // then keep the connection open this long (ended by the dtor)
        bool reset = false;  // end with a reset instead of an orderly close
    };
    using TScript = std::function<TAnswer(const TRequest&)>;
    // PEM files of the server's certificate (chain) and key.
    struct TTlsIdentity {
        std::string certificateFile;
        std::string keyFile;
    };

    explicit TTestHttpServer(TScript script);
    // With `concurrent`, every connection is served on its own thread, so a stalled one does
    // not hold up the others; the script must then be safe to call from several threads.
    TTestHttpServer(TScript script, bool concurrent);
    // A TLS server, concurrent as above when asked; throws std::runtime_error when the
    // identity cannot be loaded.
    TTestHttpServer(TScript script, const TTlsIdentity& tls, bool concurrent = false);
    // A proxy that stands in for https hosts: each connection's CONNECT is answered with
    // success, then the tunnel speaks TLS with `tls` and is served by the script. Every
    // request goes to the script, whatever host it was meant for.
    struct TTunnel {};
    TTestHttpServer(TScript script, const TTlsIdentity& tls, TTunnel, bool concurrent);
    // The CONNECT lines received, in order.
    std::vector<std::string> Connects() const;
    ~TTestHttpServer();
    TTestHttpServer(const TTestHttpServer&) = delete;
    TTestHttpServer& operator=(const TTestHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path = "/") const;
    std::vector<TRequest> Requests() const;
    // Connections being served now, and the most there were at once.
    int ActiveConnections() const { return active_.load(); }
    int PeakConnections() const { return peak_.load(); }
    // TLS: connections whose handshake failed (the client refused, or left).
    int FailedHandshakes() const;

    // Ready-made answers.
    static TAnswer Normal(const std::string& body, const std::string& extraHeaders = "");
    static TAnswer Status(int code, const std::string& reason, const std::string& body,
                          const std::string& extraHeaders = "");
    static TAnswer Redirect(const std::string& location);
    // The echo of a request: its head, a blank line, then its body.
    static TAnswer Echo(const TRequest& request);
    // A status line and header, then nothing for `ms`.
    static TAnswer StallAfterHeader(int ms);
    // A header, then the pieces `intervalMs` apart.
    static TAnswer Trickle(const std::vector<std::string>& pieces, int intervalMs);
    // The connection is dropped without an answer.
    static TAnswer Drop();
    // "Transfer-Encoding: chunked": each chunk sent as its own piece (its size in hex, the
    // bytes, CR LF), then the last chunk; the connection is then held open for `holdMs`,
    // as a server that keeps it alive would.
    static TAnswer Chunked(const std::vector<std::string>& chunks, int holdMs = 0);

    // A loopback port that nothing listens on.
    static int UnusedPort();

  private:
    void Run();
    void Serve(int fd);
    void ServeCounted(int fd);
    void ServeOn(int fd, ssl_st* ssl, const std::function<long(char*, size_t)>& receive,
                 const std::function<long(const char*, size_t)>& sendSome);
    bool Sleep(int ms);  // false when the server is stopping
    // Like Sleep, but also ends (false) when the peer closes `fd`.
    bool Hold(int fd, int ms);

    void Start();
    void LoadIdentity(const TTlsIdentity& tls);
    // Reads a CONNECT head and answers it; false when the connection gave none.
    bool AcceptTunnel(int fd);

    TScript script_;
    bool concurrent_ = false;
    std::atomic<int> active_{0};
    std::atomic<int> peak_{0};
    std::vector<std::thread> connections_;  // the server thread's alone
    ssl_ctx_st* tlsContext_ = nullptr;
    bool tunnel_ = false;
    std::vector<std::string> connects_;
    int failedHandshakes_ = 0;
    int listenFd_ = -1;
    int stopFd_ = -1;
    int port_ = 0;
    mutable std::mutex lock_;
    std::vector<TRequest> requests_;
    std::thread thread_;
};

// Opens a socket listening on 127.0.0.1 at a port the system picks; stores that port.
int ListenLoopback(int* port);

}  // namespace tessaly::test
