// A scriptable HTTP server on a loopback port for the client tests. It serves one
// connection at a time on its own thread, records every request, and answers with what the
// test's script says: plain bytes, a stall, or a close in the middle. Every wait is bounded.
// Given a certificate and key it speaks TLS instead ("https" URLs).
#pragma once

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
        int stallMs = 0;    // then keep the connection open this long (ended by the dtor)
    };
    using TScript = std::function<TAnswer(const TRequest&)>;
    // PEM files of the server's certificate (chain) and key.
    struct TTlsIdentity {
        std::string certificateFile;
        std::string keyFile;
    };

    explicit TTestHttpServer(TScript script);
    // A TLS server; throws std::runtime_error when the identity cannot be loaded.
    TTestHttpServer(TScript script, const TTlsIdentity& tls);
    ~TTestHttpServer();
    TTestHttpServer(const TTestHttpServer&) = delete;
    TTestHttpServer& operator=(const TTestHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path = "/") const;
    std::vector<TRequest> Requests() const;
    // TLS: connections whose handshake failed (the client refused, or left).
    int FailedHandshakes() const;

    // Ready-made answers.
    static TAnswer Normal(const std::string& body, const std::string& extraHeaders = "");
    static TAnswer Status(int code, const std::string& reason, const std::string& body,
                          const std::string& extraHeaders = "");
    static TAnswer Redirect(const std::string& location);
    // The echo of a request: its head, a blank line, then its body.
    static TAnswer Echo(const TRequest& request);

    // A loopback port that nothing listens on.
    static int UnusedPort();

  private:
    void Run();
    void Serve(int fd);
    void ServeOn(int fd, ssl_st* ssl, const std::function<long(char*, size_t)>& receive,
                 const std::function<long(const char*, size_t)>& sendSome);
    bool Sleep(int ms);  // false when the server is stopping

    void Start();

    TScript script_;
    ssl_ctx_st* tlsContext_ = nullptr;
    int failedHandshakes_ = 0;
    int listenFd_ = -1;
    int stopFd_ = -1;
    int port_ = 0;
    mutable std::mutex lock_;
    std::vector<TRequest> requests_;
    std::thread thread_;
};

}  // namespace tessaly::test
