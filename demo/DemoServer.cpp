#include "demo/DemoServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include <system_error>

namespace tessaly::demo {

namespace {

std::string ErrnoText() {
    return std::system_category().message(errno);
}

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TDemoResponse Plain(int status, const std::string& reason, const std::string& text) {
    TDemoResponse r;
    r.status = status;
    r.reason = reason;
    r.body = "<html><head><title>" + IntToStr(status) + " " + reason + "</title></head><body><h1>" +
             reason + "</h1><p>" + text + "</p></body></html>\r\n";
    return r;
}

// Where the head ends: the position after the blank line, npos while incomplete.
size_t HeadEnd(const std::string& in) {
    const size_t crlf = in.find("\r\n\r\n");
    const size_t lf = in.find("\n\n");
    if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
    if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) return crlf + 4;
    return lf + 2;
}

}  // namespace

std::string ResponseHead(const TDemoResponse& r) {
    std::string head = "HTTP/1.0 " + IntToStr(r.status) + " " + r.reason + "\r\n";
    head += "Server: tessaly-demo-sites\r\n";
    if (!r.contentType.empty()) head += "Content-Type: " + r.contentType + "\r\n";
    head += "Content-Length: " + IntToStr(static_cast<int64_t>(r.body.size())) + "\r\n";
    for (const std::string& h : r.headers)
        head += h + "\r\n";
    head += "\r\n";
    return head;
}

// ---------------------------------------------------------------------------
// TDemoConnection

TDemoConnection::~TDemoConnection() {
    // The session goes first: its closing alert must not reach a descriptor number that
    // another connection has taken over meanwhile.
    tls_.Close();
    if (fd_ >= 0) close(fd_);
}

int TDemoConnection::Wait(short events, int64_t deadlineMs) {
    for (;;) {
        const int64_t left = deadlineMs - NowMs();
        if (left <= 0) return 0;
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd_, events, 0}};
        const int n = poll(fds, 2, static_cast<int>(std::min<int64_t>(left, 1000)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || fds[0].revents) return -1;
        if (n == 0) continue;
        return 1;
    }
}

bool TDemoConnection::Begin(int64_t deadlineMs) {
    if (identity_ == nullptr) return true;
    if (!tls_.StartServer(fd_, *identity_)) return false;
    for (;;) {
        const int want = tls_.Handshake();
        if (want == 0) return true;
        if (want < 0 || Wait(static_cast<short>(want), deadlineMs) <= 0) return false;
    }
}

long TDemoConnection::Read(std::string& into, size_t max, int64_t deadlineMs) {
    if (!tls_.IsOpen()) return RawRead(into, max, deadlineMs);
    char buffer[8192];
    for (;;) {
        // Bytes the session already decrypted are not seen by poll: read before waiting.
        const long n = tls_.Receive(buffer, std::min(max, sizeof buffer));
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
            return n;
        }
        if (n == 0) return 0;
        if (n != -EAGAIN || Wait(tls_.Want(), deadlineMs) <= 0) return -1;
    }
}

long TDemoConnection::RawRead(std::string& into, size_t max, int64_t deadlineMs) {
    char buffer[8192];
    for (;;) {
        const int w = Wait(POLLIN, deadlineMs);
        if (w <= 0) return -1;
        const ssize_t n = recv(fd_, buffer, std::min(max, sizeof buffer), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n < 0) return -1;
        into.append(buffer, static_cast<size_t>(n));
        return n;
    }
}

bool TDemoConnection::Write(std::string_view bytes, int64_t deadlineMs) {
    size_t sent = 0;
    if (tls_.IsOpen()) {
        while (sent < bytes.size()) {
            const long n = tls_.Send(bytes.data() + sent, bytes.size() - sent);
            if (n < 0) return false;
            if (n == 0 && Wait(tls_.Want(), deadlineMs) <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }
    while (sent < bytes.size()) {
        const int w = Wait(POLLOUT, deadlineMs);
        if (w <= 0) return false;
        const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool TDemoConnection::Pause(int ms) {
    const int64_t until = NowMs() + ms;
    for (;;) {
        const int64_t left = until - NowMs();
        if (left <= 0) return true;
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLRDHUP, 0}};
        const int n = poll(fds, 2, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n != 0) return false;  // stop, hang-up or error
    }
}

void TDemoConnection::Finish(int drainMs) {
    // Closing with unread bytes would reset the connection and could cost the client the
    // end of the answer; so end our side, then read until the client closes (briefly).
    // A TLS session first says goodbye with its closing alert; what the client sends after
    // that is of no interest, so it is drained below the session.
    tls_.Close();
    shutdown(fd_, SHUT_WR);
    std::string sink;
    const int64_t deadline = NowMs() + drainMs;
    while (sink.size() < 65536 && RawRead(sink, 8192, deadline) > 0)
        sink.clear();
}

// ---------------------------------------------------------------------------
// TDemoServer

TDemoServer::TDemoServer(TDemoHandler handler, TOptions options)
    : handler_(std::move(handler)), options_(options) {}

TDemoServer::~TDemoServer() {
    Stop();
}

std::string TDemoServer::Base() const {
    return std::string(Secure() ? "https" : "http") + "://127.0.0.1:" + IntToStr(port_);
}

TResult<void> TDemoServer::Listen() {
    if (listenFd_ >= 0) return {};
    if (options_.port < 0 || options_.port > 65535)
        return Error("port " + IntToStr(options_.port) + " is out of range");
    if (Secure() && !identity_.Loaded()) {
        std::string error;
        if (!identity_.Load(options_.certificateFile, options_.keyFile, error)) return Error(error);
    }
    auto fail = [this](const std::string& what) {
        const std::string text = what + ": " + ErrnoText();
        if (listenFd_ >= 0) close(listenFd_);
        if (stopFd_ >= 0) close(stopFd_);
        listenFd_ = stopFd_ = -1;
        return TResult<void>(Error(text));
    };
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) return fail("eventfd");
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return fail("socket");
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(options_.port));
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return fail("cannot listen on 127.0.0.1:" + IntToStr(options_.port));
    if (listen(listenFd_, 64) != 0) return fail("listen");
    socklen_t size = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
    return {};
}

TResult<void> TDemoServer::Start() {
    if (started_) return Error("the server is already running");
    if (auto listening = Listen(); !listening) return listening;
    started_ = true;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return {};
}

void TDemoServer::Stop() {
    if (stopFd_ >= 0) {
        const uint64_t one = 1;
        // The eventfd stays readable from now on: every wait of every thread sees it.
        ssize_t ignored = write(stopFd_, &one, sizeof one);
        (void)ignored;
    }
    if (acceptThread_.joinable()) acceptThread_.join();
    Reap(true);
    if (listenFd_ >= 0) close(listenFd_);
    if (stopFd_ >= 0) close(stopFd_);
    listenFd_ = stopFd_ = -1;
    started_ = false;
}

void TDemoServer::Reap(bool all) {
    std::list<std::unique_ptr<TWorker>> finished;
    {
        std::lock_guard<std::mutex> guard(workersLock_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (all || (*it)->done.load()) {
                finished.push_back(std::move(*it));
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& w : finished)
        w->thread.join();
}

void TDemoServer::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        const int n = poll(fds, 2, 500);
        if (n < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        Reap(false);
        if (n <= 0 || !fds[1].revents) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        size_t active;
        {
            std::lock_guard<std::mutex> guard(workersLock_);
            active = workers_.size();
        }
        if (active >= static_cast<size_t>(options_.maxConnections)) {
            // Turned away from the accept thread itself, so only briefly: a client that
            // does not read its 503 at once does not hold up the others.
            TDemoConnection c(fd, stopFd_, Secure() ? &identity_ : nullptr);
            TDemoResponse busy = Plain(503, "Service Unavailable", "Too many connections.");
            const int64_t deadline = NowMs() + 200;
            if (c.Begin(deadline)) {
                c.Write(ResponseHead(busy) + busy.body, deadline);
                c.Finish(200);
            }
            continue;
        }
        auto worker = std::make_unique<TWorker>();
        TWorker* w = worker.get();
        std::lock_guard<std::mutex> guard(workersLock_);
        workers_.push_back(std::move(worker));
        w->thread = std::thread([this, fd, w] {
            Serve(fd);
            w->done = true;
        });
    }
}

void TDemoServer::Serve(int fd) {
    TDemoConnection c(fd, stopFd_, Secure() ? &identity_ : nullptr);
    const int64_t deadline = NowMs() + options_.requestTimeoutMs;
    // A client that does not finish its handshake in time gets nothing, as one that sends
    // no request does.
    if (!c.Begin(deadline)) return;
    std::string in;
    size_t headEnd = std::string::npos;
    TDemoResponse answer;
    bool isHead = false;
    bool answered = false;

    while ((headEnd = HeadEnd(in)) == std::string::npos) {
        if (in.size() > options_.maxHead) {
            answer = Plain(431, "Request Header Fields Too Large", "The request head is too long.");
            answered = true;
            break;
        }
        if (c.Read(in, 8192, deadline) <= 0) {
            // A client that sends nothing readable gets nothing: it has gone or stalled.
            return;
        }
    }
    TDemoRequest request;
    if (!answered) {
        auto parsed = ParseRequestHead(std::string_view(in).substr(0, headEnd));
        if (!parsed) {
            answer = Plain(400, "Bad Request", parsed.error());
            answered = true;
        } else {
            request = std::move(parsed.value());
            isHead = request.method == "HEAD";
        }
    }
    if (!answered) {
        const std::string lengthText = request.Header("Content-Length");
        const auto length = lengthText.empty() ? std::optional<int32_t>(0) : ParseInt(lengthText);
        if (!length || *length < 0) {
            answer = Plain(400, "Bad Request", "Content-Length is not a number.");
            answered = true;
        } else if (static_cast<size_t>(*length) > options_.maxBody) {
            answer = Plain(413, "Payload Too Large", "The request body is too long.");
            answered = true;
        } else {
            std::string body = in.substr(headEnd);
            while (body.size() < static_cast<size_t>(*length))
                if (c.Read(body, static_cast<size_t>(*length) - body.size(), deadline) <= 0) {
                    answer = Plain(400, "Bad Request", "The request body is incomplete.");
                    answered = true;
                    break;
                }
            body.resize(std::min(body.size(), static_cast<size_t>(*length)));
            request.body = std::move(body);
        }
    }
    if (!answered) {
        if (request.method != "GET" && request.method != "POST" && request.method != "HEAD") {
            answer = Plain(501, "Not Implemented", "Only GET, HEAD and POST are served here.");
        } else {
            try {
                answer = handler_(request);
            } catch (const std::exception& e) {
                answer = Plain(500, "Internal Server Error", e.what());
            }
        }
    }
    served_.fetch_add(1);
    const int64_t writeDeadline = NowMs() + 30000;
    if (!c.Write(ResponseHead(answer), writeDeadline)) return;
    if (answer.stallMs > 0 && !c.Pause(answer.stallMs)) return;
    if (!isHead && !c.Write(answer.body, writeDeadline)) return;
    c.Finish();
}

}  // namespace tessaly::demo
