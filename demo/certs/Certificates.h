// Certificates for servers on the loopback interface, made with the openssl command: a
// certificate authority of our own and leaf certificates it signs. The demo boards use them
// to speak TLS, and so do the tests of the client's TLS. Nothing here links OpenSSL; the
// command does all the work, so a system without it only loses the TLS servers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace tessaly::certs {

struct TCertificateFiles {
    std::string certificateFile;  // PEM
    std::string keyFile;          // PEM, unencrypted
};

// Runs `openssl ARGUMENTS...` with no shell; the error carries what openssl printed.
TResult<void> RunOpenssl(const std::vector<std::string>& arguments, const std::string& logFile);

// A self-signed authority in `dir` (ca.pem, ca.key) that may sign leaves, valid for `days`.
TResult<TCertificateFiles> MakeAuthority(const std::string& dir, const std::string& commonName,
                                         int days);
// A server certificate NAME.pem (and NAME.key) in `dir`, signed by `authority`, for the
// subject alternative names `altNames` ("DNS:localhost,IP:127.0.0.1").
TResult<TCertificateFiles> MakeLeaf(const std::string& dir, const TCertificateFiles& authority,
                                    const std::string& name, const std::string& altNames, int days);
// A server certificate NAME.pem that signs itself (no authority vouches for it).
TResult<TCertificateFiles> MakeSelfSigned(const std::string& dir, const std::string& name,
                                          const std::string& altNames, int days);

// The subject alternative names of a loopback server.
inline constexpr const char* kLoopbackNames = "DNS:localhost,IP:127.0.0.1";

// An authority and a leaf for 127.0.0.1 and localhost in a fresh private folder under
// $TMPDIR (else /tmp), all removed again when this goes.
class TLoopbackCertificates {
  public:
    static TResult<std::unique_ptr<TLoopbackCertificates>> Make(const std::string& authorityName,
                                                                int days = 7);
    ~TLoopbackCertificates();
    TLoopbackCertificates(const TLoopbackCertificates&) = delete;
    TLoopbackCertificates& operator=(const TLoopbackCertificates&) = delete;

    const std::string& Folder() const { return folder_; }
    // The authority's certificate: what a client must trust.
    const std::string& CAFile() const { return authority_.certificateFile; }
    const TCertificateFiles& Server() const { return server_; }

  private:
    TLoopbackCertificates() = default;

    std::string folder_;
    TCertificateFiles authority_;
    TCertificateFiles server_;
};

}  // namespace tessaly::certs
