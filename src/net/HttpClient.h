// An HTTP/1.0 client for one request at a time, run synchronously in the calling thread:
// Get and Post return when the request has ended, and every event fires in that thread.
// Abort may be called from any thread; it is handed to the owning thread's poll loop.
//
// The connection settings (proxy, credentials, agent, CA file) are a THttpSettings base, so
// the machine hands them over in one assignment. Redirections are followed here and nowhere
// else, at most kMaxRedirections of them. A request ends with its outcome (Outcome,
// StatusCode, ReasonPhrase), never with an exception: only a request started while one runs,
// or a POST without a body, is refused at once with EHttpException.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <string>

#include "net/HttpResponseReader.h"
#include "net/HttpTypes.h"
#include "net/Socket.h"
#include "net/TlsStream.h"
#include "net/Url.h"

namespace tessaly {

// Standard Base64 with "=" padding.
std::string Base64Encode(const std::string& bytes);

class THttpClient : public THttpSettings {
  public:
    enum class TRequestKind { Abort = 0, Get = 1, Post = 2 };
    enum class TState {
        Ready,
        NotConnected,
        Connected,
        DnsLookup,
        DnsLookupDone,
        WaitingHeader,
        WaitingBody,
        Aborting
    };
    static constexpr size_t kSendPiece = 8193;
    // A redirection chain longer than this fails with TooManyRedirections.
    static constexpr int kMaxRedirections = 20;

    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // The request's properties besides the settings (ProxyPort defaults to "80" here).
    // Credentials written into URL in front of the host go out as basic authentication.
    std::string URL;
    std::string Cookie;
    // The host Cookie belongs to (empty: the host of URL). It is sent to that host alone,
    // on no other hop of a redirection.
    std::string CookieHost;
    std::string* ReceiveStream = nullptr;
    std::istream* SendStream = nullptr;
    // OnTick fires every TickMs while a request runs (the owner's timers ride on it).
    int TickMs = 1000;

    std::function<void(TState)> OnStateChange;
    std::function<void()> OnDocBegin;
    std::function<void(const char* data, size_t size)> OnDocData;
    std::function<void()> OnDocEnd;
    // A redirection is being followed: CurrentUrl() is the new location.
    std::function<void()> OnLocationChange;
    std::function<void()> OnTick;

    // Run the request and return how it ended (also kept in Outcome()).
    THttpOutcome Get();
    THttpOutcome Post();
    // Ends the request in progress with "Connection aborted on request" (status 404).
    // Safe from any thread; a ready client is left alone.
    void Abort();

    TState State() const { return state_.load(); }
    const TStrings& ReceivedHeader() const { return reader_.ReceivedHeader(); }
    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    // How the last request ended; StatusCode and ReasonPhrase are derived from it.
    THttpOutcome Outcome() const { return outcome_; }
    int64_t ContentLength() const { return reader_.ContentLength(); }
    const std::string& ContentType() const { return reader_.ContentType(); }
    // The raw value of the last "location" header, and the URL fetched last.
    const std::string& Location() const { return reader_.Location(); }
    std::string CurrentUrl() const;
    int64_t DocBytes() const { return reader_.DocBytes(); }

  private:
    struct TAborted {};
    struct TFailed {};

    THttpOutcome DoRequest(TRequestKind kind);
    // One hop of a request: connect, send, read. Connect and Send raise TFailed or TAborted;
    // Read returns true when the answer was a relocation to follow.
    void Connect();
    void Send(TRequestKind kind);
    bool Read();
    // Points the next hop at the "Location:" just read.
    void FollowLocation();
    void SetState(TState state);
    // Ends the request with `outcome`; `serverStatus` counts only for a refusal.
    [[noreturn]] void Fail(THttpOutcome outcome, const std::string& detail = "",
                           int serverStatus = 0);
    // The request ended with the server's answer as the reader has it.
    void Answered();
    // Polls `fd` for `events` together with the wake-up channel, firing ticks; returns when
    // the descriptor is ready. Throws TAborted on an abort.
    void WaitFor(int fd, short events);
    void CheckAbort();
    void SendAll(const char* data, size_t size);
    // Refuse a target whose address would break the request line or the "Host:" line, and
    // a header line that would break in two.
    void CheckAddress();
    void CheckLine(const std::string& text);
    std::string RequestTarget() const;
    // "https": the CONNECT tunnel through a proxy, then the TLS handshake.
    void OpenTunnel();
    void StartTls();
    // One read from the connection, waiting as needed: bytes read, 0 at the close (or a
    // failure), -EAGAIN when the wait was only for the stream's own traffic.
    long ReceiveSome(char* buffer, size_t size);
    void CloseConnection();

    std::string username_;  // from the URL's credentials
    std::string password_;
    THttpResponseReader reader_;
    TTcpSocket socket_;
    TTlsStream tls_;
    bool secure_ = false;  // this hop runs over TLS
    TWakeChannel wake_;
    std::mutex abortLock_;
    std::atomic<TState> state_{TState::Ready};
    std::atomic<bool> abortRequested_{false};
    int statusCode_ = 0;
    std::string reasonPhrase_;
    THttpOutcome outcome_ = THttpOutcome::Answered;
    TUrlParts target_;
    bool absoluteTarget_ = false;
    std::string cookieHost_;  // the request's CookieHost, or its first host
    int64_t nextTick_ = 0;
};

}  // namespace tessaly
