#include "demo/certs/Certificates.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace tessaly::certs {

namespace {

std::string ReadLog(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

std::string InDir(const std::string& dir, const std::string& name) {
    return (std::filesystem::path(dir) / name).string();
}

TResult<void> WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) return Error("cannot write " + path);
    return {};
}

// The extensions of a server certificate: no authority, serverAuth, the names.
std::string LeafExtensions(const std::string& altNames) {
    return "basicConstraints=CA:FALSE\n"
           "keyUsage=critical,digitalSignature\n"
           "extendedKeyUsage=serverAuth\n"
           "subjectAltName=" +
           altNames + "\n";
}

}  // namespace

TResult<void> RunOpenssl(const std::vector<std::string>& arguments, const std::string& logFile) {
    std::vector<std::string> args = {"openssl"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // The caller may block or ignore signals for its own threads (a server taking them
    // through a descriptor); the command starts with the defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGPIPE, SIGHUP})
        sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "openssl", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    std::string command = "openssl";
    for (const std::string& a : arguments)
        command += " " + a;
    if (rc != 0)
        return Error("cannot run the openssl command (" + std::string(std::strerror(rc)) + ")");
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return Error(command + ": " + std::strerror(errno));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    // posix_spawnp reports a missing program only through the child's exit status 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return Error("cannot run the openssl command (is it installed?)");
    return Error(command + " failed:\n" + ReadLog(logFile));
}

TResult<TCertificateFiles> MakeAuthority(const std::string& dir, const std::string& commonName,
                                         int days) {
    TCertificateFiles ca{InDir(dir, "ca.pem"), InDir(dir, "ca.key")};
    auto made = RunOpenssl(
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-days", std::to_string(days), "-keyout", ca.keyFile, "-out", ca.certificateFile, "-subj",
         "/CN=" + commonName, "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
         "keyUsage=critical,keyCertSign,cRLSign"},
        InDir(dir, "openssl.log"));
    if (!made) return Error(made.error());
    return ca;
}

TResult<TCertificateFiles> MakeLeaf(const std::string& dir, const TCertificateFiles& authority,
                                    const std::string& name, const std::string& altNames,
                                    int days) {
    const std::string base = InDir(dir, name);
    TCertificateFiles leaf{base + ".pem", base + ".key"};
    const std::string log = InDir(dir, "openssl.log");
    if (auto w = WriteText(base + ".ext", LeafExtensions(altNames)); !w) return Error(w.error());
    auto request = RunOpenssl(
        {"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", leaf.keyFile, "-out", base + ".csr", "-subj", "/CN=" + name},
        log);
    if (!request) return Error(request.error());
    auto signed_ =
        RunOpenssl({"x509", "-req", "-in", base + ".csr", "-CA", authority.certificateFile,
                    "-CAkey", authority.keyFile, "-CAcreateserial", "-days", std::to_string(days),
                    "-out", leaf.certificateFile, "-extfile", base + ".ext"},
                   log);
    if (!signed_) return Error(signed_.error());
    return leaf;
}

TResult<TCertificateFiles> MakeSelfSigned(const std::string& dir, const std::string& name,
                                          const std::string& altNames, int days) {
    const std::string base = InDir(dir, name);
    TCertificateFiles self{base + ".pem", base + ".key"};
    auto made = RunOpenssl(
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-days", std::to_string(days), "-keyout", self.keyFile, "-out", self.certificateFile,
         "-subj", "/CN=" + name, "-addext", "subjectAltName=" + altNames},
        InDir(dir, "openssl.log"));
    if (!made) return Error(made.error());
    return self;
}

TResult<std::unique_ptr<TLoopbackCertificates>> TLoopbackCertificates::Make(
    const std::string& authorityName, int days) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessaly-tls-XXXXXX";
    // mkdtemp makes the folder readable by its owner only, which the keys need.
    if (!mkdtemp(pattern.data()))
        return Error("cannot make a folder for the certificates (" + pattern +
                     "): " + std::strerror(errno));
    std::unique_ptr<TLoopbackCertificates> made(new TLoopbackCertificates);
    made->folder_ = pattern;
    auto ca = MakeAuthority(made->folder_, authorityName, days);
    if (!ca) return Error(ca.error());
    made->authority_ = ca.value();
    auto leaf = MakeLeaf(made->folder_, made->authority_, "localhost", kLoopbackNames, days);
    if (!leaf) return Error(leaf.error());
    made->server_ = leaf.value();
    return made;
}

TLoopbackCertificates::~TLoopbackCertificates() {
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
}

}  // namespace tessaly::certs
