#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/ByteString.h"

namespace tessaly::test {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int ListenLoopback(int* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 16);
    socklen_t size = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    *port = ntohs(a.sin_port);
    return fd;
}

std::string TTestHttpServer::TRequest::Header(const std::string& name) const {
    for (const std::string& h : headers)
        if (SameText(Copy(h, 1, static_cast<int64_t>(name.size()) + 1), name + ":"))
            return Trim(h.substr(name.size() + 1));
    return "";
}

bool TTestHttpServer::TRequest::HasHeader(const std::string& name) const {
    for (const std::string& h : headers)
        if (SameText(Copy(h, 1, static_cast<int64_t>(name.size()) + 1), name + ":")) return true;
    return false;
}

TTestHttpServer::TTestHttpServer(TScript script) : TTestHttpServer(std::move(script), false) {}

TTestHttpServer::TTestHttpServer(TScript script, bool concurrent)
    : script_(std::move(script)), concurrent_(concurrent) {
    Start();
}

TTestHttpServer::TTestHttpServer(TScript script, const TTlsIdentity& tls, bool concurrent)
    : script_(std::move(script)), concurrent_(concurrent) {
    LoadIdentity(tls);
    Start();
}

TTestHttpServer::TTestHttpServer(TScript script, const TTlsIdentity& tls, TTunnel, bool concurrent)
    : script_(std::move(script)), concurrent_(concurrent), tunnel_(true) {
    LoadIdentity(tls);
    Start();
}

void TTestHttpServer::LoadIdentity(const TTlsIdentity& tls) {
    tlsContext_ = SSL_CTX_new(TLS_server_method());
    if (tlsContext_ == nullptr ||
        SSL_CTX_use_certificate_chain_file(tlsContext_, tls.certificateFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(tlsContext_, tls.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(tlsContext_);
        ERR_clear_error();
        throw std::runtime_error("test server: can't load " + tls.certificateFile);
    }
}

std::vector<std::string> TTestHttpServer::Connects() const {
    std::lock_guard<std::mutex> guard(lock_);
    return connects_;
}

void TTestHttpServer::Start() {
    listenFd_ = ListenLoopback(&port_);
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
}

TTestHttpServer::~TTestHttpServer() {
    uint64_t one = 1;
    ssize_t ignored = write(stopFd_, &one, sizeof one);
    (void)ignored;
    thread_.join();
    for (std::thread& t : connections_)
        t.join();
    close(listenFd_);
    close(stopFd_);
    SSL_CTX_free(tlsContext_);
}

std::string TTestHttpServer::Url(const std::string& path) const {
    return std::string(tlsContext_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           path;
}

std::vector<TTestHttpServer::TRequest> TTestHttpServer::Requests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

int TTestHttpServer::FailedHandshakes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return failedHandshakes_;
}

TTestHttpServer::TAnswer TTestHttpServer::Normal(const std::string& body,
                                                 const std::string& extraHeaders) {
    return Status(200, "OK", body, extraHeaders);
}

TTestHttpServer::TAnswer TTestHttpServer::Status(int code, const std::string& reason,
                                                 const std::string& body,
                                                 const std::string& extraHeaders) {
    TAnswer a;
    a.bytes = "HTTP/1.0 " + std::to_string(code) + " " + reason +
              "\r\nContent-Type: text/html\r\n" + extraHeaders + "\r\n" + body;
    return a;
}

TTestHttpServer::TAnswer TTestHttpServer::Redirect(const std::string& location) {
    TAnswer a;
    a.bytes = "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\nmoved";
    return a;
}

TTestHttpServer::TAnswer TTestHttpServer::Echo(const TRequest& request) {
    return Normal(request.head + "\r\n" + request.body);
}

TTestHttpServer::TAnswer TTestHttpServer::StallAfterHeader(int ms) {
    TAnswer a;
    a.bytes = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    a.stallMs = ms;
    return a;
}

TTestHttpServer::TAnswer TTestHttpServer::Trickle(const std::vector<std::string>& pieces,
                                                  int intervalMs) {
    TAnswer a;
    a.bytes = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    a.pieces = pieces;
    a.pieceIntervalMs = intervalMs;
    return a;
}

TTestHttpServer::TAnswer TTestHttpServer::Drop() {
    TAnswer a;
    a.reset = true;
    return a;
}

TTestHttpServer::TAnswer TTestHttpServer::Chunked(const std::vector<std::string>& chunks,
                                                  int holdMs) {
    TAnswer a;
    a.bytes = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const std::string& chunk : chunks) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx", chunk.size());
        a.pieces.push_back(std::string(size) + "\r\n" + chunk + "\r\n");
    }
    a.pieces.push_back("0\r\n\r\n");
    a.pieceIntervalMs = 5;
    a.stallMs = holdMs;
    return a;
}

int TTestHttpServer::UnusedPort() {
    int port = 0;
    int fd = ListenLoopback(&port);
    close(fd);
    return port;
}

bool TTestHttpServer::Sleep(int ms) {
    pollfd p{stopFd_, POLLIN, 0};
    return poll(&p, 1, ms) == 0;
}

bool TTestHttpServer::Hold(int fd, int ms) {
    int64_t deadline = NowMs() + ms;
    for (;;) {
        int64_t left = deadline - NowMs();
        if (left <= 0) return true;
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left)) < 0 || fds[0].revents) return false;
        if (fds[1].revents) {
            char buffer[512];
            if (recv(fd, buffer, sizeof buffer, 0) <= 0) return false;
        }
    }
}

void TTestHttpServer::ServeCounted(int fd) {
    int now = ++active_;
    int peak = peak_.load();
    while (now > peak && !peak_.compare_exchange_weak(peak, now)) {
    }
    Serve(fd);
    --active_;
    close(fd);
}

void TTestHttpServer::Run() {
    // OpenSSL writes with write(): a client that left must not kill the test program. The
    // signal stays blocked in this thread only, so the client's own handling is still tested.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    for (;;) {
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        if (poll(fds, 2, 100) < 0) return;
        if (fds[0].revents) return;
        if (!fds[1].revents) continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        if (concurrent_)
            connections_.emplace_back([this, fd] { ServeCounted(fd); });
        else
            ServeCounted(fd);
    }
}

void TTestHttpServer::Serve(int fd) {
    SSL* ssl = nullptr;
    if (tlsContext_ != nullptr) {
        // The handshake blocks, for five seconds at most each way.
        timeval limit{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        if (tunnel_ && !AcceptTunnel(fd)) return;
        ssl = SSL_new(tlsContext_);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            ERR_clear_error();
            std::lock_guard<std::mutex> guard(lock_);
            ++failedHandshakes_;
            return;
        }
    }
    auto receive = [&](char* buffer, size_t size) -> long {
        if (ssl == nullptr) return recv(fd, buffer, size, 0);
        return SSL_read(ssl, buffer, static_cast<int>(size));
    };
    auto sendSome = [&](const char* data, size_t size) -> long {
        if (ssl == nullptr) return send(fd, data, size, MSG_NOSIGNAL);
        return SSL_write(ssl, data, static_cast<int>(size));
    };
    ServeOn(fd, ssl, receive, sendSome);
    if (ssl != nullptr) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
        ERR_clear_error();
    }
}

bool TTestHttpServer::AcceptTunnel(int fd) {
    // The CONNECT head arrives in the clear; the client waits for the answer before its
    // handshake, so nothing of the TLS stream is read here.
    std::string head;
    char c;
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (recv(fd, &c, 1, 0) != 1 || head.size() > 8192) return false;
        head += c;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        connects_.push_back(head.substr(0, head.find("\r\n")));
    }
    const std::string ok = "HTTP/1.0 200 Connection established\r\n\r\n";
    return send(fd, ok.data(), ok.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(ok.size());
}

void TTestHttpServer::ServeOn(int fd, SSL* ssl, const std::function<long(char*, size_t)>& receive,
                              const std::function<long(const char*, size_t)>& sendSome) {
    // Read the head and the announced body, for five seconds at most.
    std::string in;
    TRequest request;
    int64_t deadline = NowMs() + 5000;
    size_t headEnd = std::string::npos;
    size_t wanted = 0;
    char buffer[4096];
    for (;;) {
        if (headEnd == std::string::npos) {
            headEnd = in.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                request.head = in.substr(0, headEnd + 2);
                TStrings lines = Split(in.substr(0, headEnd), "\r\n");
                request.requestLine = lines.empty() ? "" : lines[0];
                for (size_t i = 1; i < lines.size(); ++i)
                    request.headers.push_back(lines[i]);
                wanted = static_cast<size_t>(ParseIntOr(request.Header("Content-Length"), 0));
            }
        }
        if (headEnd != std::string::npos && in.size() >= headEnd + 4 + wanted) break;
        int64_t left = deadline - NowMs();
        if (left <= 0) return;
        // Bytes a TLS session already decrypted are not seen by poll.
        if (ssl == nullptr || SSL_pending(ssl) == 0) {
            pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd, POLLIN, 0}};
            if (poll(fds, 2, static_cast<int>(left)) <= 0 || fds[0].revents) return;
        }
        long n = receive(buffer, sizeof buffer);
        if (n <= 0) return;
        in.append(buffer, static_cast<size_t>(n));
    }
    request.body = in.substr(headEnd + 4, wanted);
    {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
    }
    TAnswer answer = script_(request);
    auto sendAll = [&](const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            long n = sendSome(bytes.data() + sent, bytes.size() - sent);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    };
    if (answer.reset) {
        linger hard{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    if (!sendAll(answer.bytes)) return;
    for (const std::string& piece : answer.pieces)
        if (!Hold(fd, answer.pieceIntervalMs) || !sendAll(piece)) return;
    if (answer.stallMs > 0) Hold(fd, answer.stallMs);
}

}  // namespace tessaly::test
