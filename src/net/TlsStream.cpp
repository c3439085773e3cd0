#include "net/TlsStream.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "net/Socket.h"
#include "platform/ByteString.h"

namespace tessaly {

// What the socket BIO works on; it lives beside the session that owns the BIO.
struct TSocketBioState {
    int fd = -1;
    int error = 0;  // errno of the last failed send or receive, 0 when none
};

namespace {

// Our own socket BIO: the stock one writes with write(), and a server that went away would
// then raise SIGPIPE in the whole program; this one sends with MSG_NOSIGNAL.
TSocketBioState* StateOf(BIO* bio) {
    return static_cast<TSocketBioState*>(BIO_get_data(bio));
}

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int BioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    TSocketBioState* state = StateOf(bio);
    ssize_t n = send(state->fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    if (WouldBlock(errno))
        BIO_set_retry_write(bio);
    else
        state->error = errno;
    return -1;
}

int BioRead(BIO* bio, char* buffer, int size) {
    BIO_clear_retry_flags(bio);
    TSocketBioState* state = StateOf(bio);
    ssize_t n = recv(state->fd, buffer, static_cast<size_t>(size), 0);
    if (n >= 0) return static_cast<int>(n);
    if (WouldBlock(errno))
        BIO_set_retry_read(bio);
    else
        state->error = errno;
    return -1;
}

long BioControl(BIO*, int command, long, void*) {
    // Nothing is buffered here, so a flush is always complete; nothing else is supported.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* SocketBioMethod() {
    // Made once and kept for the life of the program.
    static BIO_METHOD* method = [] {
        BIO_METHOD* m =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "non-signalling socket");
        if (m == nullptr) return m;
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_ctrl(m, BioControl);
        BIO_meth_set_create(m, BioCreate);
        return m;
    }();
    return method;
}

// The reason of the latest error in this thread's OpenSSL queue; empties the queue.
std::string OpenSslErrorText() {
    unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0) return "unknown error";
    const char* reason = ERR_reason_error_string(code);
    if (reason != nullptr) return reason;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

bool IsIpLiteral(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

using TContext = std::shared_ptr<SSL_CTX>;

// The path an OpenSSL variable names, or its built-in default.
std::string DefaultPath(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// The system's trust store, read whole into `ctx` now. The stock way also looks
// certificates up in the hashed directory during handshakes, adding what it finds to the
// store while the handshakes of other workers read it; a store filled up front is only
// read. Without a bundle file, every file of the directory is read instead.
void LoadSystemStore(SSL_CTX* ctx) {
    const std::string bundle =
        DefaultPath(X509_get_default_cert_file_env(), X509_get_default_cert_file());
    if (SSL_CTX_load_verify_locations(ctx, bundle.c_str(), nullptr) == 1) return;
    ERR_clear_error();
    X509_STORE* store = SSL_CTX_get_cert_store(ctx);
    const std::string dirs =
        DefaultPath(X509_get_default_cert_dir_env(), X509_get_default_cert_dir());
    for (const std::string& dir : Split(dirs, ":")) {
        DIR* listing = dir.empty() ? nullptr : opendir(dir.c_str());
        if (listing == nullptr) continue;
        while (const dirent* entry = readdir(listing)) {
            if (entry->d_name[0] == '.') continue;
            // Files that hold no certificate are skipped, as the lookup would skip them.
            X509_STORE_load_file(store, (dir + "/" + entry->d_name).c_str());
            ERR_clear_error();
        }
        closedir(listing);
    }
}

// A certificate works out its extensions (key identifiers, constraints) the first time a
// check needs them, and a later check reads them without taking the certificate's lock.
// Done here for every trusted one, before the context is shared, no handshake writes to a
// certificate that another handshake reads.
void PrepareTrustedCertificates(SSL_CTX* ctx) {
    STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(SSL_CTX_get_cert_store(ctx));
    for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i) {
        X509* certificate = X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, i));
        if (certificate != nullptr) X509_check_purpose(certificate, -1, 0);
    }
    ERR_clear_error();
}

// Loading the system's trust store costs far more than a handshake, so one client context
// per CA file is kept and shared (an SSL_CTX may serve sessions on several threads once it
// is set up). A CA file that changed on disk gets a fresh context.
TContext ClientContext(const std::string& caFile, std::string* error) {
    std::string stamp;
    if (!caFile.empty()) {
        struct stat info {};
        if (stat(caFile.c_str(), &info) != 0) {
            *error = "can't read CA file " + caFile + ": " + SocketErrorText(errno);
            return nullptr;
        }
        stamp = std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) +
                "/" + std::to_string(info.st_size);
    }
    static std::mutex lock;
    static std::map<std::string, std::pair<std::string, TContext>> contexts;
    std::lock_guard<std::mutex> guard(lock);
    auto found = contexts.find(caFile);
    if (found != contexts.end() && found->second.first == stamp) return found->second.second;

    ERR_clear_error();
    TContext context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!context) {
        *error = "TLS setup failed: " + OpenSslErrorText();
        return nullptr;
    }
    SSL_CTX* ctx = context.get();
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    // An HTTP/1.0 document ends where the connection ends, and many servers close without
    // a closing alert: that close is the end of the document, as it is without TLS.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // A system without a trust store still works with a CA file of its own.
    LoadSystemStore(ctx);
    if (!caFile.empty() && SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1) {
        *error = "can't load CA file " + caFile + ": " + OpenSslErrorText();
        return nullptr;
    }
    PrepareTrustedCertificates(ctx);
    contexts[caFile] = {stamp, context};
    return context;
}

}  // namespace

bool TTlsServerIdentity::Load(const std::string& certificateFile, const std::string& keyFile,
                              std::string& error) {
    ERR_clear_error();
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (!context) {
        error = "TLS setup failed: " + OpenSslErrorText();
        return false;
    }
    SSL_CTX* ctx = context.get();
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(ctx, certificateFile.c_str()) != 1) {
        error = "can't load the certificate " + certificateFile + ": " + OpenSslErrorText();
        return false;
    }
    if (SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error =
            "can't load the key " + keyFile + " for " + certificateFile + ": " + OpenSslErrorText();
        return false;
    }
    if (SSL_CTX_check_private_key(ctx) != 1) {
        error = "the key " + keyFile + " does not belong to " + certificateFile;
        ERR_clear_error();
        return false;
    }
    context_ = std::move(context);
    return true;
}

TTlsStream::TTlsStream() = default;

TTlsStream::~TTlsStream() {
    Close();
}

bool TTlsStream::Attach(ssl_ctx_st* context, int fd) {
    BIO_METHOD* method = SocketBioMethod();
    ERR_clear_error();
    ssl_ = method != nullptr ? SSL_new(context) : nullptr;
    if (ssl_ == nullptr) {
        error_ = "TLS setup failed: " + OpenSslErrorText();
        return false;
    }
    bio_ = std::make_unique<TSocketBioState>();
    bio_->fd = fd;
    BIO* bio = BIO_new(method);
    if (bio == nullptr) {
        error_ = "TLS setup failed: " + OpenSslErrorText();
        Close();
        return false;
    }
    BIO_set_data(bio, bio_.get());
    SSL_set_bio(ssl_, bio, bio);  // the session owns the BIO from here on
    return true;
}

bool TTlsStream::Start(int fd, const std::string& host, const std::string& caFile) {
    Close();
    error_.clear();
    want_ = 0;
    server_ = false;
    TContext context = ClientContext(caFile, &error_);
    if (!context || !Attach(context.get(), fd)) return false;

    // An address is checked against the certificate's IP entries and never sent as SNI.
    bool named = false;
    if (IsIpLiteral(host))
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str()) == 1;
    else
        named = SSL_set_tlsext_host_name(ssl_, host.c_str()) == 1 &&
                SSL_set1_host(ssl_, host.c_str()) == 1;
    if (!named) {
        error_ = "TLS setup failed: can't check the certificate for \"" + host + "\"";
        Close();
        return false;
    }
    return true;
}

bool TTlsStream::PrepareClient(const std::string& caFile, std::string& error) {
    return ClientContext(caFile, &error) != nullptr;
}

bool TTlsStream::StartServer(int fd, const TTlsServerIdentity& identity) {
    Close();
    error_.clear();
    want_ = 0;
    server_ = true;
    if (!identity.Loaded()) {
        error_ = "TLS setup failed: no server certificate";
        return false;
    }
    return Attach(identity.context_.get(), fd);
}

bool TTlsStream::WaitOrFail(int result, const char* what) {
    int code = SSL_get_error(ssl_, result);
    if (code == SSL_ERROR_WANT_READ) {
        want_ = POLLIN;
        return true;
    }
    if (code == SSL_ERROR_WANT_WRITE) {
        want_ = POLLOUT;
        return true;
    }
    failed_ = true;
    long verify = SSL_get_verify_result(ssl_);
    if (verify != X509_V_OK) {
        error_ = std::string("certificate verify failed: ") + X509_verify_cert_error_string(verify);
        ERR_clear_error();
    } else if (code == SSL_ERROR_ZERO_RETURN ||
               (code == SSL_ERROR_SYSCALL && bio_->error == 0 && ERR_peek_error() == 0)) {
        error_ =
            std::string(what) + ": connection closed by the " + (server_ ? "client" : "server");
    } else if (code == SSL_ERROR_SYSCALL && bio_->error != 0) {
        error_ = std::string(what) + ": " + SocketErrorText(bio_->error);
        ERR_clear_error();
    } else {
        error_ = std::string(what) + ": " + OpenSslErrorText();
    }
    return false;
}

int TTlsStream::Handshake() {
    if (ssl_ == nullptr) return -1;
    ERR_clear_error();
    bio_->error = 0;
    int result = server_ ? SSL_accept(ssl_) : SSL_connect(ssl_);
    if (result == 1) return 0;
    return WaitOrFail(result, "TLS handshake failed") ? want_ : -1;
}

long TTlsStream::Send(const char* data, size_t size) {
    if (ssl_ == nullptr) return -1;
    if (size == 0) return 0;
    ERR_clear_error();
    bio_->error = 0;
    int n = SSL_write(ssl_, data, static_cast<int>(size > INT_MAX ? INT_MAX : size));
    if (n > 0) return n;
    return WaitOrFail(n, "TLS write failed") ? 0 : -1;
}

long TTlsStream::Receive(char* buffer, size_t size) {
    if (ssl_ == nullptr) return -EBADF;
    ERR_clear_error();
    bio_->error = 0;
    int n = SSL_read(ssl_, buffer, static_cast<int>(size > INT_MAX ? INT_MAX : size));
    if (n > 0) return n;
    int code = SSL_get_error(ssl_, n);
    if (code == SSL_ERROR_ZERO_RETURN) return 0;
    if (WaitOrFail(n, "TLS read failed")) return -EAGAIN;
    return bio_->error != 0 ? -bio_->error : -EIO;
}

void TTlsStream::Close() {
    if (ssl_ != nullptr) {
        // A closing alert if the session was up; the socket may already be gone, so one
        // try without waiting.
        if (SSL_is_init_finished(ssl_) && !failed_) SSL_shutdown(ssl_);
        SSL_free(ssl_);
        ERR_clear_error();
    }
    ssl_ = nullptr;
    bio_.reset();
    failed_ = false;
}

}  // namespace tessaly
