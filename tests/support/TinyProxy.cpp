#include "support/TinyProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/TestHttpServer.h"

extern char** environ;

namespace tessaly::test {

namespace {

constexpr const char* kTinyProxy = "/usr/bin/tinyproxy";

bool Accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

}  // namespace

bool TTinyProxy::Available() {
    return access(kTinyProxy, X_OK) == 0;
}

TTinyProxy::TTinyProxy(const std::vector<int>& connectPorts, const std::string& user,
                       const std::string& password) {
    port_ = TTestHttpServer::UnusedPort();
    std::string config = dir_.File("tinyproxy.conf");
    {
        std::ofstream out(config);
        out << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
            << "LogLevel Info\nLogFile \"" << dir_.File("tinyproxy.log") << "\"\n"
            << "Allow 127.0.0.1\n";
        for (int p : connectPorts)
            out << "ConnectPort " << p << "\n";
        if (!user.empty()) out << "BasicAuth " << user << " " << password << "\n";
    }
    // Its own output goes beside the log, for the failure message below.
    std::string console = dir_.File("console.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, console.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string program = kTinyProxy;
    std::string foreground = "-d";
    std::string option = "-c";
    char* argv[] = {program.data(), foreground.data(), option.data(), config.data(), nullptr};
    int e = posix_spawn(&pid_, kTinyProxy, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (e != 0) {
        pid_ = -1;
        throw std::runtime_error("can't start tinyproxy");
    }
    // Up to ten seconds for the proxy to listen (a loaded machine is slow to start it).
    for (int i = 0; i < 200; ++i) {
        if (Accepts(port_)) return;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::string log = Log();
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    throw std::runtime_error("tinyproxy did not come up:\n" + log);
}

TTinyProxy::~TTinyProxy() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string TTinyProxy::Log() const {
    std::stringstream text;
    for (const char* name : {"console.txt", "tinyproxy.log"}) {
        std::ifstream in(dir_.File(name));
        text << in.rdbuf();
    }
    return text.str();
}

}  // namespace tessaly::test
