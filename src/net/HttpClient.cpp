#include "net/HttpClient.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace tessaly {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string HostForUrl(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

TUrlParts SplitUrl(const std::string& url) {
    TUrlParts parts;
    std::string rest = url;
    if (size_t sep = rest.find("://"); sep != std::string::npos) {
        parts.scheme = rest.substr(0, sep);
        rest = rest.substr(sep + 3);
    }
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    parts.path = slash == std::string::npos ? "" : rest.substr(slash);
    if (size_t at = authority.rfind('@'); at != std::string::npos) {
        std::string credentials = authority.substr(0, at);
        authority = authority.substr(at + 1);
        parts.hasCredentials = true;
        size_t colon = credentials.find(':');
        parts.user = credentials.substr(0, colon);
        if (colon != std::string::npos) parts.password = credentials.substr(colon + 1);
    }
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        parts.host =
            authority.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < authority.size() &&
            authority[close + 1] == ':')
            parts.port = authority.substr(close + 2);
    } else {
        size_t colon = authority.find(':');
        parts.host = authority.substr(0, colon);
        if (colon != std::string::npos) parts.port = authority.substr(colon + 1);
    }
    return parts;
}

bool IsSecureScheme(const std::string& scheme) {
    return SameText(scheme, "https");
}

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
    reader_.OnHeaderBegin = [this] {
        if (OnHeaderBegin) OnHeaderBegin();
    };
    reader_.OnHeaderData = [this](const std::string& line) {
        if (OnHeaderData) OnHeaderData(line);
    };
    reader_.OnHeaderEnd = [this] {
        if (reader_.Phase() == THttpResponseReader::TPhase::Body) SetState(TState::WaitingBody);
        if (OnHeaderEnd) OnHeaderEnd();
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

void THttpClient::Get() {
    DoRequest(TRequestKind::Get);
}
void THttpClient::Post() {
    DoRequest(TRequestKind::Post);
}

void THttpClient::Abort() {
    std::lock_guard<std::mutex> guard(abortLock_);
    if (state_ == TState::Ready) return;
    abortRequested_ = true;
    wake_.Signal();
}

std::string THttpClient::CurrentUrl() const {
    std::string url = target_.scheme + "://" + HostForUrl(target_.host);
    if (!target_.port.empty()) url += ":" + target_.port;
    return url + (target_.path.empty() ? "/" : target_.path);
}

void THttpClient::SetState(TState state) {
    state_ = state;
    if (OnStateChange) OnStateChange(state);
}

void THttpClient::Fail(int status, const std::string& reason) {
    statusCode_ = status;
    reasonPhrase_ = reason;
    throw TFailed{};
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
        if (n < 0 && errno != EINTR) Fail(404, SocketErrorText(errno));
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
    if ((!Proxy.empty() && !secure_) || absoluteTarget_) {
        std::string url = target_.scheme + "://" + HostForUrl(target_.host);
        if (!target_.port.empty()) url += ":" + target_.port;
        return url + target_.path;
    }
    return target_.path.empty() ? "/" : target_.path;
}

void THttpClient::ApplyLocation(const std::string& value) {
    if (!value.empty() && value[0] == '/') {
        target_.path = value;
        absoluteTarget_ = false;
    } else if (value.find("://") != std::string::npos) {
        TUrlParts next = SplitUrl(value);
        target_.scheme = next.scheme;
        target_.host = next.host;
        target_.port = next.port;
        target_.path = next.path;
        absoluteTarget_ = false;
    } else {
        // A bare name is taken under the root of the current host, sent in absolute form.
        target_.path = "/" + value;
        absoluteTarget_ = true;
    }
}

void THttpClient::DoRequest(TRequestKind kind) {
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
    nextTick_ = NowMs() + TickMs;
    target_ = SplitUrl(URL);
    absoluteTarget_ = false;
    if (target_.hasCredentials) {
        Username = target_.user;
        Password = target_.password;
    }
    int error = 0;
    try {
        if (OnStateChange) OnStateChange(TState::NotConnected);
        RunHop(kind);
    } catch (TAborted&) {
        SetState(TState::Aborting);
        statusCode_ = 404;
        reasonPhrase_ = "Connection aborted on request";
        error = ECONNABORTED;
    } catch (TFailed&) {
        error = statusCode_;
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
    if (OnRequestDone) OnRequestDone(kind, error);
    if (statusCode_ >= 400) throw EHttpException(reasonPhrase_, static_cast<uint16_t>(statusCode_));
}

void THttpClient::RunHop(TRequestKind kind) {
    for (;;) {
        std::string host = target_.host;
        secure_ = IsSecureScheme(target_.scheme);
        std::string port = target_.port.empty() ? (secure_ ? "443" : "80") : target_.port;
        if (!Proxy.empty()) {
            TUrlParts proxy = SplitUrl(Proxy);
            host = proxy.host;
            port = proxy.port.empty() ? ProxyPort : proxy.port;
        }
        SetState(TState::DnsLookup);
        std::vector<TSocketAddress> addresses;
        {
            TNameLookup lookup(host, port);
            while (!lookup.Done())
                WaitFor(lookup.WakeFd(), POLLIN);
            addresses = lookup.Addresses();
        }
        if (addresses.empty()) Fail(404, "can't resolve hostname to IP address");
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
            Fail(404, immediate ? "can't connect: " + text : text);
        }
        if (secure_) {
            if (!Proxy.empty()) OpenTunnel();
            StartTls();
        }
        SetState(TState::Connected);
        if (OnSessionConnected) OnSessionConnected();
        SetState(TState::WaitingHeader);

        // The request, assembled and written in one piece.
        std::string body;
        if (kind == TRequestKind::Post) {
            SendStream->clear();
            SendStream->seekg(0, std::ios::end);
            std::streamoff size = SendStream->tellg();
            SendStream->seekg(0, std::ios::beg);
            body = IntToStr(size < 0 ? 0 : size);
        }
        std::string request;
        auto line = [&](const std::string& text) {
            if (OnCommand) OnCommand(text);
            request += text;
            request += "\r\n";
        };
        if (OnRequestHeaderBegin) OnRequestHeaderBegin();
        line(std::string(kind == TRequestKind::Post ? "POST" : "GET") + " " + RequestTarget() +
             " HTTP/1.0");
        if (kind == TRequestKind::Post && !ContentTypePost.empty())
            line("Content-Type: " + ContentTypePost);
        if (!Agent.empty()) line("User-Agent: " + Agent);
        line("Host: " + HostForUrl(target_.host));
        if (kind == TRequestKind::Post) line("Content-Length: " + body);
        if (!Username.empty())
            line("Authorization: Basic " + Base64Encode(Username + ":" + Password));
        // Proxy credentials never travel inside a tunnel: they would reach the origin server.
        if (!Proxy.empty() && !secure_ && !ProxyUsername.empty())
            line("Proxy-Authorization: Basic " + Base64Encode(ProxyUsername + ":" + ProxyPassword));
        if (!Cookie.empty()) line("Cookie: " + Cookie);
        if (OnRequestHeaderEnd) OnRequestHeaderEnd();
        line("");
        SendAll(request.data(), request.size());
        if (kind == TRequestKind::Post) {
            if (OnSendBegin) OnSendBegin();
            std::vector<char> piece(kSendPiece);
            for (;;) {
                SendStream->read(piece.data(), static_cast<std::streamsize>(piece.size()));
                std::streamsize got = SendStream->gcount();
                if (got <= 0) break;
                if (OnSendData) OnSendData(piece.data(), static_cast<size_t>(got));
                SendAll(piece.data(), static_cast<size_t>(got));
            }
            if (OnSendEnd) OnSendEnd();
        }

        // The answer, until the server closes or the reader has seen enough.
        char buffer[8192];
        bool relocate = false;
        bool answered = false;
        for (;;) {
            long n = ReceiveSome(buffer, sizeof buffer);
            if (n == -EAGAIN) continue;
            if (n <= 0) {
                // A server that closes (or resets) without sending a byte gave no answer:
                // that is a failure, not an empty document.
                CheckAbort();
                if (!answered) Fail(404, "Connection closed by the server without an answer");
                // Closed by the server (or reset): the document is what arrived.
                statusCode_ = reader_.StatusCode();
                reasonPhrase_ = reader_.ReasonPhrase();
                if (reader_.DocPieces() > 0 && OnDocEnd) OnDocEnd();
                return;
            }
            answered = true;
            THttpResponseReader::TAction action;
            try {
                action = reader_.Feed(buffer, static_cast<size_t>(n));
            } catch (EHttpException& e) {
                if (e.ErrorCode() == 404) Fail(404, e.what());
                // A broken header drops the connection; the request ends as if closed.
                if (OnTrace) OnTrace(e.what());
                statusCode_ = reader_.StatusCode();
                reasonPhrase_ = reader_.ReasonPhrase();
                return;
            }
            CheckAbort();
            if (action == THttpResponseReader::TAction::Close) {
                relocate = reader_.RelocationPending();
                statusCode_ = reader_.StatusCode();
                reasonPhrase_ = reader_.ReasonPhrase();
                break;
            }
        }
        CloseConnection();
        if (!relocate) return;
        ApplyLocation(reader_.Location());
        reader_.Reset();
        if (OnLocationChange) OnLocationChange();
    }
}

void THttpClient::OpenTunnel() {
    std::string authority =
        HostForUrl(target_.host) + ":" + (target_.port.empty() ? "443" : target_.port);
    std::string request = "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n";
    if (!Agent.empty()) request += "User-Agent: " + Agent + "\r\n";
    if (!ProxyUsername.empty())
        request += "Proxy-Authorization: Basic " +
                   Base64Encode(ProxyUsername + ":" + ProxyPassword) + "\r\n";
    request += "\r\n";
    if (OnTrace) OnTrace("CONNECT " + authority);
    SendAll(request.data(), request.size());

    // The answer is read a byte at a time: whatever follows its empty line belongs to TLS.
    std::string reply;
    for (;;) {
        if (reply.size() >= THttpResponseReader::kLineBufferSize)
            Fail(404, "proxy answer to CONNECT too long");
        char c = 0;
        long n = socket_.Receive(&c, 1);
        if (n == -EAGAIN) {
            WaitFor(socket_.Fd(), POLLIN);
            continue;
        }
        if (n <= 0) Fail(404, "proxy closed the connection instead of opening a tunnel");
        reply += c;
        if (reply.ends_with("\n\n") || reply.ends_with("\n\r\n")) break;
    }
    std::string line = TrimRight(reply.substr(0, reply.find('\n')));
    if (OnTrace) OnTrace(line);
    bool valid = line.size() >= 12 && StartsWith(line, "HTTP/1.") && line[8] == ' ';
    for (size_t i = 9; valid && i < 12; ++i)
        valid = line[i] >= '0' && line[i] <= '9';
    if (!valid) Fail(404, "proxy gave no valid answer to CONNECT: " + line);
    int status = ParseIntOr(line.substr(9, 3), 0);
    if (status >= 200 && status < 300) return;
    std::string reason = line.size() > 13 ? line.substr(13) : line;
    if (status >= 400) Fail(status, reason);
    Fail(404, "proxy refused the tunnel: " + line);
}

void THttpClient::StartTls() {
    if (!tls_.Start(socket_.Fd(), target_.host, CAFile)) Fail(404, tls_.Error());
    for (;;) {
        int wait = tls_.Handshake();
        if (wait == 0) return;
        if (wait < 0) Fail(404, tls_.Error());
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
    if (n < 0 && OnTrace) OnTrace(tls_.Error());
    return n;
}

void THttpClient::CloseConnection() {
    tls_.Close();
    socket_.Close();
}

}  // namespace tessaly
