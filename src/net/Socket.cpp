#include "net/Socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

namespace tessaly {

std::string SocketErrorText(int error) {
    char buffer[256];
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text;
}

TWakeChannel::TWakeChannel() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TWakeChannel::~TWakeChannel() {
    if (fd_ >= 0) close(fd_);
}

void TWakeChannel::Signal() {
    uint64_t one = 1;
    ssize_t ignored = write(fd_, &one, sizeof one);
    (void)ignored;
}

void TWakeChannel::Drain() {
    uint64_t value = 0;
    ssize_t ignored = read(fd_, &value, sizeof value);
    (void)ignored;
}

struct TNameLookup::TState {
    TWakeChannel wake;
    mutable std::mutex lock;
    bool done = false;
    std::vector<TSocketAddress> addresses;
};

TNameLookup::TNameLookup(const std::string& host, const std::string& port)
    : state_(std::make_shared<TState>()) {
    std::thread([state = state_, host, port] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* list = nullptr;
        std::vector<TSocketAddress> found;
        if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) == 0) {
            for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
                if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
                TSocketAddress s;
                std::memcpy(&s.address, a->ai_addr, a->ai_addrlen);
                s.length = a->ai_addrlen;
                found.push_back(s);
            }
            freeaddrinfo(list);
        }
        {
            std::lock_guard<std::mutex> guard(state->lock);
            state->addresses = std::move(found);
            state->done = true;
        }
        state->wake.Signal();
    }).detach();
}

TNameLookup::~TNameLookup() = default;

int TNameLookup::WakeFd() const {
    return state_->wake.Fd();
}

bool TNameLookup::Done() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->done;
}

std::vector<TSocketAddress> TNameLookup::Addresses() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->addresses;
}

TTcpSocket::~TTcpSocket() {
    Close();
}

int TTcpSocket::StartConnect(const TSocketAddress& to) {
    Close();
    fd_ = socket(to.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return errno;
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&to.address), to.length) == 0) return 0;
    if (errno == EINPROGRESS) return 0;
    int error = errno;
    Close();
    return error;
}

int TTcpSocket::ConnectResult() const {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

long TTcpSocket::Send(const char* data, size_t size) {
    ssize_t n = send(fd_, data, size, MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    return -errno;
}

long TTcpSocket::Receive(char* buffer, size_t size) {
    ssize_t n = recv(fd_, buffer, size, 0);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return -EAGAIN;
    return -errno;
}

void TTcpSocket::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

}  // namespace tessaly
