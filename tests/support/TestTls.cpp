#include "support/TestTls.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "support/TestSupport.h"

namespace tessaly::test {

namespace {

void Openssl(const TTempDir& dir, const std::string& arguments) {
    std::string log = dir.File("openssl.log");
    std::string command =
        "cd '" + dir.Path() + "' && openssl " + arguments + " >'" + log + "' 2>&1 </dev/null";
    if (std::system(command.c_str()) != 0) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        throw std::runtime_error("openssl " + arguments + " failed:\n" + text.str());
    }
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A P-256 key and a request for `name`, then a certificate from the test CA.
TTestHttpServer::TTlsIdentity Leaf(const TTempDir& dir, const std::string& name,
                                   const std::string& altNames) {
    WriteText(dir.File(name + ".ext"),
              "basicConstraints=CA:FALSE\n"
              "keyUsage=critical,digitalSignature\n"
              "extendedKeyUsage=serverAuth\n"
              "subjectAltName=" +
                  altNames + "\n");
    Openssl(dir, "req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
                     name + ".key -out " + name + ".csr -subj /CN=" + name);
    Openssl(dir, "x509 -req -in " + name +
                     ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
                     "-out " +
                     name + ".pem -extfile " + name + ".ext");
    return {dir.File(name + ".pem"), dir.File(name + ".key")};
}

}  // namespace

const TTestCertificates& TestCertificates() {
    static std::unique_ptr<TTempDir> dir;
    static std::unique_ptr<TTestCertificates> made;
    if (made) return *made;
    dir = std::make_unique<TTempDir>();
    auto certificates = std::make_unique<TTestCertificates>();
    Openssl(*dir,
            "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-keyout ca.key -out ca.pem -subj '/CN=Tessaly Test CA' "
            "-addext basicConstraints=critical,CA:TRUE "
            "-addext keyUsage=critical,keyCertSign,cRLSign");
    certificates->caFile = dir->File("ca.pem");
    certificates->localhost = Leaf(*dir, "localhost", "DNS:localhost,IP:127.0.0.1");
    certificates->wrongHost = Leaf(*dir, "wrong.example.invalid", "DNS:wrong.example.invalid");
    Openssl(*dir,
            "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-keyout self.key -out self.pem -subj /CN=localhost "
            "-addext subjectAltName=DNS:localhost,IP:127.0.0.1");
    certificates->selfSigned = {dir->File("self.pem"), dir->File("self.key")};
    made = std::move(certificates);
    return *made;
}

TSilentServer::TSilentServer(const std::string& reply, bool closeAfterReply)
    : reply_(reply), close_(closeAfterReply) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listenFd_, 16);
    socklen_t size = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
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
