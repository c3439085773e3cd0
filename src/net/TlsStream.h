// TLS over a connected non-blocking TTcpSocket, for "https". The stream never blocks and
// never polls by itself: every call says what the descriptor must become ready for before
// it is worth calling again, so the owner keeps one poll loop with its wake-up channel and
// can abandon the stream at any stage. Certificates are checked against the system's trust
// store, plus an optional CA file, and against the host name (or IP literal) of the URL.
//
// The same stream also plays the server's side for the loopback servers of the demo, with
// a certificate chain and key loaded once into a TTlsServerIdentity.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct ssl_st;
struct ssl_ctx_st;

namespace tessaly {

struct TSocketBioState;

// A server's certificate chain and private key, loaded once and shared by all its sessions
// (on any thread, once loaded).
class TTlsServerIdentity {
  public:
    // False with `error` set when the files cannot be loaded or do not belong together.
    bool Load(const std::string& certificateFile, const std::string& keyFile, std::string& error);
    bool Loaded() const { return context_ != nullptr; }

  private:
    friend class TTlsStream;
    std::shared_ptr<ssl_ctx_st> context_;
};

class TTlsStream {
  public:
    TTlsStream();
    ~TTlsStream();
    TTlsStream(const TTlsStream&) = delete;
    TTlsStream& operator=(const TTlsStream&) = delete;

    // Prepares a client session on `fd` for `host` (SNI and name check; an IP literal is
    // checked as an address and sent without SNI). `caFile` adds to the system store; empty
    // means the system store only. False with Error() set when that cannot be done.
    bool Start(int fd, const std::string& host, const std::string& caFile);
    // Loads the trust store for `caFile` now, if it is not loaded yet, so that a server
    // does not wait for it in the middle of a handshake (Start loads it as well). False with
    // `error` set when that cannot be done.
    static bool PrepareClient(const std::string& caFile, std::string& error);
    // Prepares the server's side of a session on an accepted `fd`; the client is not asked
    // for a certificate.
    bool StartServer(int fd, const TTlsServerIdentity& identity);

    // Drives the handshake: 0 when it is complete, POLLIN or POLLOUT when the descriptor
    // must become ready for that first, -1 on failure with Error() set.
    int Handshake();

    // Bytes written; 0 when the stream must wait for Want(); -1 on failure (Error()).
    long Send(const char* data, size_t size);
    // Bytes read; 0 at the peer's close; -EAGAIN when the stream must wait for Want();
    // any other negative value on failure (Error()).
    long Receive(char* buffer, size_t size);

    // POLLIN or POLLOUT: what the last call that could not go on is waiting for.
    short Want() const { return want_; }
    const std::string& Error() const { return error_; }
    bool IsOpen() const { return ssl_ != nullptr; }
    // Drops the session; the descriptor stays with its socket.
    void Close();

  private:
    // A new session of `context` on `fd` through the non-signalling socket BIO.
    bool Attach(ssl_ctx_st* context, int fd);
    // Turns an unfinished SSL call into a wait (returns true) or a failure text.
    bool WaitOrFail(int result, const char* what);

    ssl_st* ssl_ = nullptr;
    std::unique_ptr<TSocketBioState> bio_;
    short want_ = 0;
    bool server_ = false;
    bool failed_ = false;  // no closing alert after a fatal error
    std::string error_;
};

}  // namespace tessaly
