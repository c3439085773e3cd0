#include "support/TestTls.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "demo/certs/Certificates.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

namespace tessaly::test {

namespace {

TTestHttpServer::TTlsIdentity Identity(TResult<certs::TCertificateFiles> made) {
    if (!made) throw std::runtime_error(made.error());
    return {made.value().certificateFile, made.value().keyFile};
}

}  // namespace

const TTestCertificates& TestCertificates() {
    static std::unique_ptr<TTempDir> dir;
    static std::unique_ptr<TTestCertificates> made;
    if (made) return *made;
    dir = std::make_unique<TTempDir>();
    auto certificates = std::make_unique<TTestCertificates>();
    auto ca = certs::MakeAuthority(dir->Path(), "Tessaly Test CA", 2);
    if (!ca) throw std::runtime_error(ca.error());
    certificates->caFile = ca.value().certificateFile;
    certificates->caKeyFile = ca.value().keyFile;
    certificates->localhost =
        Identity(certs::MakeLeaf(dir->Path(), ca.value(), "localhost", certs::kLoopbackNames, 2));
    certificates->wrongHost = Identity(certs::MakeLeaf(
        dir->Path(), ca.value(), "wrong.example.invalid", "DNS:wrong.example.invalid", 2));
    certificates->selfSigned =
        Identity(certs::MakeSelfSigned(dir->Path(), "self", certs::kLoopbackNames, 2));
    made = std::move(certificates);
    return *made;
}

TTestHttpServer::TTlsIdentity TestLeaf(const std::string& name, const std::string& altNames) {
    const TTestCertificates& c = TestCertificates();
    const std::string dir = DirName(c.caFile);
    return Identity(certs::MakeLeaf(dir, {c.caFile, c.caKeyFile}, name, altNames, 2));
}

TSilentServer::TSilentServer(const std::string& reply, bool closeAfterReply)
    : reply_(reply), close_(closeAfterReply) {
    listenFd_ = ListenLoopback(&port_);
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] {
        for (;;) {
            pollfd fds[2] = {{stopFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
            if (poll(fds, 2, 100) < 0 || fds[0].revents) return;
            if (!fds[1].revents) continue;
            int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++accepted_;
            Answer(fd);
            if (close_)
                close(fd);
            else
                held_.push_back(fd);
        }
    });
}

TSilentServer::~TSilentServer() {
    uint64_t one = 1;
    ssize_t ignored = write(stopFd_, &one, sizeof one);
    (void)ignored;
    thread_.join();
    for (int fd : held_)
        close(fd);
    close(listenFd_);
    close(stopFd_);
}

void TSilentServer::Answer(int fd) {
    if (reply_.empty() && !close_) return;
    // Taking the client's first flight keeps the close a plain one (no reset for unread data).
    pollfd p{fd, POLLIN, 0};
    char buffer[4096];
    if (poll(&p, 1, 5000) == 1) {
        ssize_t ignored = recv(fd, buffer, sizeof buffer, 0);
        (void)ignored;
    }
    if (!reply_.empty()) {
        ssize_t ignored = send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
        (void)ignored;
    }
}

int TSilentServer::Accepted() const {
    return accepted_.load();
}

}  // namespace tessaly::test
