#include "net/HttpClient.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace tessaly {

namespace {

// The type of every body the program posts: a form's fields.
constexpr const char* kFormContentType = "application/x-www-form-urlencoded";

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v =
            (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        uint32_t v = uint8_t(bytes[i]) << 16;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

THttpClient::THttpClient() {
    ProxyPort = "80";
    reader_.OnHeaderEnd = [this] {
        if (reader_.Phase() == THttpResponseReader::TPhase::Body) SetState(TState::WaitingBody);
    };
    reader_.OnDocBegin = [this] {
        if (state_ != TState::WaitingBody) SetState(TState::WaitingBody);
        if (OnDocBegin) OnDocBegin();
    };
    reader_.OnDocData = [this](const char* data, size_t size) {
        if (OnDocData) OnDocData(data, size);
        if (ReceiveStream) ReceiveStream->append(data, size);
    };
}

THttpClient::~THttpClient() = default;

THttpOutcome THttpClient::Get() {
    return DoRequest(TRequestKind::Get);
}
THttpOutcome THttpClient::Post() {
    return DoRequest(TRequestKind::Post);
}

void THttpClient::Abort() {
    std::lock_guard<std::mutex> guard(abortLock_);
    if (state_ == TState::Ready) return;
    abortRequested_ = true;
    wake_.Signal();
}

std::string THttpClient::CurrentUrl() const {
    return Origin(target_) + (target_.path.empty() ? "/" : target_.path);
}

void THttpClient::SetState(TState state) {
    state_ = state;
    if (OnStateChange) OnStateChange(state);
}

void THttpClient::Fail(THttpOutcome outcome, const std::string& detail, int serverStatus) {
    outcome_ = outcome;
    statusCode_ = OutcomeStatus(outcome, serverStatus);
    reasonPhrase_ = OutcomeReason(outcome, detail);
    throw TFailed{};
}

void THttpClient::Answered() {
    statusCode_ = reader_.StatusCode();
    reasonPhrase_ = reader_.ReasonPhrase();
    outcome_ = statusCode_ >= 400 ? THttpOutcome::Refused : THttpOutcome::Answered;
}

void THttpClient::CheckAbort() {
    if (abortRequested_) throw TAborted{};
}

void THttpClient::WaitFor(int fd, short events) {
    for (;;) {
        CheckAbort();
        int timeout = -1;
        if (TickMs > 0) {
            int64_t now = NowMs();
            if (now >= nextTick_) {
                nextTick_ = now + TickMs;
                if (OnTick) OnTick();
                CheckAbort();
            }
            timeout = static_cast<int>(nextTick_ - now);
            if (timeout < 0) timeout = 0;
        }
        pollfd fds[2] = {{wake_.Fd(), POLLIN, 0}, {fd, events, 0}};
        int n = poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) Fail(THttpOutcome::Failed, SocketErrorText(errno));
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) wake_.Drain();
        CheckAbort();
        if (fds[1].revents != 0) return;
    }
}

void THttpClient::SendAll(const char* data, size_t size) {
    while (size > 0) {
        bool tls = tls_.IsOpen();
        long n = tls ? tls_.Send(data, size) : socket_.Send(data, size);
        if (n < 0) {
            // The server went away while the request was written; read what it said.
            return;
        }
        if (n == 0) {
            WaitFor(socket_.Fd(), tls ? tls_.Want() : POLLOUT);
            continue;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

std::string THttpClient::RequestTarget() const {
    // Inside a CONNECT tunnel the origin server itself is addressed.
    if ((!Proxy.empty() && !secure_) || absoluteTarget_) return Origin(target_) + target_.path;
    return target_.path.empty() ? "/" : target_.path;
}

THttpOutcome THttpClient::DoRequest(TRequestKind kind) {
    {
        std::lock_guard<std::mutex> guard(abortLock_);
        if (state_ != TState::Ready) throw EHttpException("HTTP component is busy", 1);
        if (kind == TRequestKind::Post && SendStream == nullptr)
            throw EHttpException("HTTP component has nothing to post", 2);
        abortRequested_ = false;
        state_ = TState::NotConnected;
    }
    wake_.Drain();
    reader_.Reset();
    statusCode_ = 0;
    reasonPhrase_.clear();
    outcome_ = THttpOutcome::Answered;
    nextTick_ = NowMs() + TickMs;
    target_ = SplitUrl(URL);
    absoluteTarget_ = false;
    cookieHost_ = CookieHost.empty() ? target_.host : CookieHost;
    username_ = target_.user;
    password_ = target_.password;
    try {
        if (OnStateChange) OnStateChange(TState::NotConnected);
        for (int redirections = 0;; ++redirections) {
            Connect();
            Send(kind);
            if (!Read()) break;
            if (redirections == kMaxRedirections) Fail(THttpOutcome::TooManyRedirections);
            FollowLocation();
        }
    } catch (TAborted&) {
        SetState(TState::Aborting);
        outcome_ = THttpOutcome::Aborted;
        statusCode_ = OutcomeStatus(outcome_, 0);
        reasonPhrase_ = OutcomeReason(outcome_, "");
    } catch (TFailed&) {
        // Fail has set the outcome.
    } catch (...) {
        // An error escaping an event handler ends the request; the status read so far holds.
        CloseConnection();
        std::lock_guard<std::mutex> guard(abortLock_);
        state_ = TState::Ready;
        throw;
    }
    CloseConnection();
    {
        std::lock_guard<std::mutex> guard(abortLock_);
        state_ = TState::Ready;
    }
    if (OnStateChange) OnStateChange(TState::Ready);
    return outcome_;
}

void THttpClient::CheckAddress() {
    if (HasUnsafeAddressBytes(Origin(target_) + target_.path))
        Fail(THttpOutcome::Failed, "the address holds a control character or a blank");
}

void THttpClient::CheckLine(const std::string& text) {
    // A value with a line break in it would add lines of its own to the request.
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        Fail(THttpOutcome::Failed, "a header value holds a line break");
}

void THttpClient::Connect() {
    CheckAddress();
    std::string host = target_.host;
    secure_ = IsSecureScheme(target_.scheme);
    std::string port = target_.port.empty() ? (secure_ ? "443" : "80") : target_.port;
    if (!Proxy.empty()) {
        TUrlParts proxy = SplitUrl(Proxy);
        host = proxy.host;
        port = !proxy.port.empty() ? proxy.port : !ProxyPort.empty() ? ProxyPort : "80";
    }
    std::string tlsError;
    if (secure_ && !TTlsStream::PrepareClient(CAFile, tlsError))
        Fail(THttpOutcome::NotConnected, tlsError);
    SetState(TState::DnsLookup);
    std::vector<TSocketAddress> addresses;
    {
        TNameLookup lookup(host, port);
        while (!lookup.Done())
            WaitFor(lookup.WakeFd(), POLLIN);
        addresses = lookup.Addresses();
    }
    if (addresses.empty()) Fail(THttpOutcome::Unresolved);
    SetState(TState::DnsLookupDone);

    // Try every address the name has, in the resolver's order.
    int connectError = 0;
    bool immediate = true;
    bool connected = false;
    for (const TSocketAddress& address : addresses) {
        int e = socket_.StartConnect(address);
        if (e != 0) {
            connectError = e;
            immediate = true;
            continue;
        }
        WaitFor(socket_.Fd(), POLLOUT);
        e = socket_.ConnectResult();
        if (e == 0) {
            connected = true;
            break;
        }
        socket_.Close();
        connectError = e;
        immediate = false;
    }
    if (!connected) {
        std::string text =
            SocketErrorText(connectError) + " (Error #" + IntToStr(connectError) + ")";
        Fail(THttpOutcome::NotConnected, immediate ? "can't connect: " + text : text);
    }
    if (secure_) {
        if (!Proxy.empty()) OpenTunnel();
        StartTls();
    }
    SetState(TState::Connected);
    SetState(TState::WaitingHeader);
}

void THttpClient::Send(TRequestKind kind) {
    // The request, assembled and written in one piece.
    const bool post = kind == TRequestKind::Post;
    std::string length;
    if (post) {
        SendStream->clear();
        SendStream->seekg(0, std::ios::end);
        std::streamoff size = SendStream->tellg();
        SendStream->seekg(0, std::ios::beg);
        length = IntToStr(size < 0 ? 0 : size);
    }
    std::string request;
    auto line = [&](const std::string& text) {
        CheckLine(text);
        request += text;
        request += "\r\n";
    };
    line(std::string(post ? "POST" : "GET") + " " + RequestTarget() + " HTTP/1.0");
    if (post) line("Content-Type: " + std::string(kFormContentType));
    if (!Agent.empty()) line("User-Agent: " + Agent);
    line("Host: " + HostHeaderValue(target_));
    if (post) line("Content-Length: " + length);
    if (!username_.empty())
        line("Authorization: Basic " + Base64Encode(username_ + ":" + password_));
    // Proxy credentials never travel inside a tunnel: they would reach the origin server.
    if (!Proxy.empty() && !secure_ && !ProxyUsername.empty())
        line("Proxy-Authorization: Basic " + Base64Encode(ProxyUsername + ":" + ProxyPassword));
    if (!Cookie.empty() && SameText(target_.host, cookieHost_)) line("Cookie: " + Cookie);
    line("");
    SendAll(request.data(), request.size());
    if (!post) return;
    std::vector<char> piece(kSendPiece);
    for (;;) {
        SendStream->read(piece.data(), static_cast<std::streamsize>(piece.size()));
        std::streamsize got = SendStream->gcount();
        if (got <= 0) break;
        SendAll(piece.data(), static_cast<size_t>(got));
    }
}

bool THttpClient::Read() {
    // The answer, until the server closes or the reader has seen enough.
    char buffer[8192];
    bool answered = false;
    for (;;) {
        long n = ReceiveSome(buffer, sizeof buffer);
        if (n == -EAGAIN) continue;
        if (n <= 0) {
            // A server that closes (or resets) without sending a byte gave no answer:
            // that is a failure, not an empty document.
            CheckAbort();
            if (!answered) Fail(THttpOutcome::NoAnswer);
            break;
        }
        answered = true;
        THttpResponseReader::TAction action;
        try {
            action = reader_.Feed(buffer, static_cast<size_t>(n));
        } catch (EHttpException& e) {
            // A header the reader cannot take, or a document over the limit, fails the
            // request: ending it as if the server had closed would pass a cut or empty
            // page off as the whole answer.
            Fail(e.ErrorCode() == THttpResponseReader::kTooLarge ? THttpOutcome::TooLarge
                                                                 : THttpOutcome::BadAnswer,
                 e.what());
        }
        CheckAbort();
        if (action == THttpResponseReader::TAction::Close) break;
    }
    // A chunked document says where it ends; one that stops before is not whole.
    if (reader_.CutShort())
        Fail(THttpOutcome::BadAnswer, "connection closed before the document's last chunk");
    // Closed by the server (or reset), or by the reader: the document is what arrived.
    CloseConnection();
    Answered();
    if (reader_.RelocationPending()) return true;
    if (reader_.DocPieces() > 0 && OnDocEnd) OnDocEnd();
    return false;
}

void THttpClient::FollowLocation() {
    absoluteTarget_ = tessaly::FollowLocation(target_, reader_.Location());
    reader_.Reset();
    if (OnLocationChange) OnLocationChange();
}

void THttpClient::OpenTunnel() {
    std::string authority =
        HostForUrl(target_.host) + ":" + (target_.port.empty() ? "443" : target_.port);
    std::string request = "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n";
    if (!Agent.empty()) {
        CheckLine(Agent);
        request += "User-Agent: " + Agent + "\r\n";
    }
    if (!ProxyUsername.empty())
        request += "Proxy-Authorization: Basic " +
                   Base64Encode(ProxyUsername + ":" + ProxyPassword) + "\r\n";
    request += "\r\n";
    SendAll(request.data(), request.size());

    // The answer is read a byte at a time: whatever follows its empty line belongs to TLS.
    std::string reply;
    for (;;) {
        if (reply.size() >= THttpResponseReader::kLineBufferSize)
            Fail(THttpOutcome::NotConnected, "proxy answer to CONNECT too long");
        char c = 0;
        long n = socket_.Receive(&c, 1);
        if (n == -EAGAIN) {
            WaitFor(socket_.Fd(), POLLIN);
            continue;
        }
        if (n <= 0)
            Fail(THttpOutcome::NotConnected,
                 "proxy closed the connection instead of opening a tunnel");
        reply += c;
        if (reply.ends_with("\n\n") || reply.ends_with("\n\r\n")) break;
    }
    std::string line = TrimRight(reply.substr(0, reply.find('\n')));
    bool valid = line.size() >= 12 && StartsWith(line, "HTTP/1.") && line[8] == ' ';
    for (size_t i = 9; valid && i < 12; ++i)
        valid = line[i] >= '0' && line[i] <= '9';
    if (!valid) Fail(THttpOutcome::NotConnected, "proxy gave no valid answer to CONNECT: " + line);
    int status = ParseIntOr(line.substr(9, 3), 0);
    if (status >= 200 && status < 300) return;
    std::string reason = line.size() > 13 ? line.substr(13) : line;
    if (status >= 400) Fail(THttpOutcome::Refused, reason, status);
    Fail(THttpOutcome::NotConnected, "proxy refused the tunnel: " + line);
}

void THttpClient::StartTls() {
    if (!tls_.Start(socket_.Fd(), target_.host, CAFile))
        Fail(THttpOutcome::NotConnected, tls_.Error());
    for (;;) {
        int wait = tls_.Handshake();
        if (wait == 0) return;
        if (wait < 0) Fail(THttpOutcome::NotConnected, tls_.Error());
        WaitFor(socket_.Fd(), static_cast<short>(wait));
    }
}

long THttpClient::ReceiveSome(char* buffer, size_t size) {
    if (!tls_.IsOpen()) {
        WaitFor(socket_.Fd(), POLLIN);
        return socket_.Receive(buffer, size);
    }
    // A session may hold decrypted bytes the descriptor knows nothing of: read first and
    // wait only when the stream asks for it.
    long n = tls_.Receive(buffer, size);
    if (n == -EAGAIN) {
        WaitFor(socket_.Fd(), tls_.Want());
        return n;
    }
    return n;
}

void THttpClient::CloseConnection() {
    tls_.Close();
    socket_.Close();
}

}  // namespace tessaly
