// The socket layer under the HTTP client: non-blocking TCP over IPv4 and IPv6, a name
// lookup that can be abandoned at once, and a wake-up channel so that another thread can
// interrupt the owning thread's poll loop without ever touching its socket.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

// The C library's description of an error number (thread-safe).
std::string SocketErrorText(int error);

// An eventfd that any thread may signal; the owner polls its descriptor.
class TWakeChannel {
  public:
    TWakeChannel();
    ~TWakeChannel();
    TWakeChannel(const TWakeChannel&) = delete;
    TWakeChannel& operator=(const TWakeChannel&) = delete;

    int Fd() const { return fd_; }
    void Signal();
    void Drain();

  private:
    int fd_ = -1;
};

struct TSocketAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// A name lookup run on a detached helper thread. The owner polls Wake().Fd() and asks
// Done(); dropping the lookup abandons it at once (the helper finishes on its own).
class TNameLookup {
  public:
    TNameLookup(const std::string& host, const std::string& port);
    ~TNameLookup();
    TNameLookup(const TNameLookup&) = delete;
    TNameLookup& operator=(const TNameLookup&) = delete;

    int WakeFd() const;
    bool Done() const;
    // Valid once Done(): the addresses in the order the resolver gave them (empty on failure).
    std::vector<TSocketAddress> Addresses() const;

  private:
    struct TState;
    std::shared_ptr<TState> state_;
};

// A non-blocking TCP connection.
class TTcpSocket {
  public:
    TTcpSocket() = default;
    ~TTcpSocket();
    TTcpSocket(const TTcpSocket&) = delete;
    TTcpSocket& operator=(const TTcpSocket&) = delete;

    // Starts connecting; returns 0 when under way (or done), else the error number.
    int StartConnect(const TSocketAddress& to);
    // After the descriptor became writable: 0 when connected, else the error number.
    int ConnectResult() const;
    // Non-blocking send: bytes written, 0 when the socket would block, -errno on failure.
    long Send(const char* data, size_t size);
    // Non-blocking receive: bytes read, 0 at the peer's close, -EAGAIN when nothing is
    // there yet, -errno on failure.
    long Receive(char* buffer, size_t size);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

  private:
    int fd_ = -1;
};

}  // namespace tessaly
