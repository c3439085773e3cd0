// Certificates for the TLS tests, made at test time with the openssl command, and a server
// that accepts connections and never says a word (a handshake that never ends).
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/TestHttpServer.h"

namespace tessaly::test {

struct TTestCertificates {
    std::string caFile;                        // the test CA's certificate
    std::string caKeyFile;                     // and its key
    TTestHttpServer::TTlsIdentity localhost;   // from the CA, for "localhost" and 127.0.0.1
    TTestHttpServer::TTlsIdentity wrongHost;   // from the CA, for "wrong.example.invalid"
    TTestHttpServer::TTlsIdentity selfSigned;  // "localhost" and 127.0.0.1, signed by itself
};

// Made once per test program in a scratch directory that goes at exit; throws
// std::runtime_error with openssl's output when a command fails.
const TTestCertificates& TestCertificates();

// A certificate of the test CA for other names ("DNS:boards.example.org,..."), made in the
// same scratch directory: a test can then stand in for real hosts.
TTestHttpServer::TTlsIdentity TestLeaf(const std::string& name, const std::string& altNames);

// Accepts on a loopback port and holds every connection open, silent, until destroyed.
// Given a reply (or told to close), it first takes what the client sent, answers with the
// reply and then holds or closes the connection: a peer that is no TLS server.
class TSilentServer {
  public:
    explicit TSilentServer(const std::string& reply = "", bool closeAfterReply = false);
    ~TSilentServer();
    TSilentServer(const TSilentServer&) = delete;
    TSilentServer& operator=(const TSilentServer&) = delete;

    int Port() const { return port_; }
    int Accepted() const;  // connections taken so far

  private:
    void Answer(int fd);

    std::string reply_;
    bool close_ = false;
    int listenFd_ = -1;
    int stopFd_ = -1;
    int port_ = 0;
    std::vector<int> held_;  // touched by the thread only, until it is joined
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

}  // namespace tessaly::test
