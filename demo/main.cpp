// tessaly-demo-sites: the demo job boards (and the maker's server) on a loopback port.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "demo/DemoServer.h"
#include "demo/DemoSites.h"
#include "demo/HomeFiles.h"
#include "demo/MakerSite.h"
#include "demo/certs/Certificates.h"
#include "platform/ByteString.h"

using namespace tessaly;
using namespace tessaly::demo;

namespace {

int Usage(const std::string& error) {
    std::cerr << "tessaly-demo-sites: " << error << "\n"
              << "Try 'tessaly-demo-sites --help'.\n";
    return 2;
}

// A port that refuses connections: bound, never listening, held for the life of the
// process so that nobody else takes it.
int ReserveDeadPort(int* port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    int stallMs = kDefaultStallMs;
    std::string home;
    bool untilStdinCloses = false;
    bool tls = false;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (a == "--help" || a == "-h") {
            std::cout
                << "Usage: tessaly-demo-sites [--port N] [--home DIR] [--stall-ms MS] [--tls]\n"
                   "                          [--until-stdin-closes]\n\n"
                   "Serves the demo job boards and the maker's update server on 127.0.0.1 "
                   "and prints\none line \"listening on http://127.0.0.1:PORT/\" when "
                   "ready.\n\n"
                   "  --port N              port to listen on (default 0: any free port)\n"
                   "  --home DIR            write id.box, sources.def, options.box and "
                   "config.box\n"
                   "                        for this server into DIR\n"
                   "  --stall-ms MS         how long the slow board stalls before it "
                   "answers\n"
                   "                        (default "
                << kDefaultStallMs << ", the demo's time-out is " << kDemoTimeOutSecs
                << " s)\n"
                   "  --tls                 speak TLS (\"https\") with a certificate made at "
                   "start-up\n"
                   "                        by the openssl command; the home's options "
                   "trust it, and\n"
                   "                        a second line \"certificate authority: "
                   "FILE\" names it\n"
                   "  --until-stdin-closes  also stop when standard input reaches its "
                   "end\n\n"
                   "Stops on SIGTERM or SIGINT.\n";
            return 0;
        } else if (a == "--port") {
            const std::string* v = value();
            const auto n = v ? ParseInt(*v) : std::nullopt;
            if (!n || *n < 0 || *n > 65535) return Usage("--port needs a number from 0 to 65535");
            port = *n;
        } else if (a == "--stall-ms") {
            const std::string* v = value();
            const auto n = v ? ParseInt(*v) : std::nullopt;
            if (!n || *n < 0) return Usage("--stall-ms needs a number of milliseconds");
            stallMs = *n;
        } else if (a == "--home") {
            const std::string* v = value();
            if (!v || v->empty()) return Usage("--home needs a directory");
            home = *v;
        } else if (a == "--tls") {
            tls = true;
        } else if (a == "--until-stdin-closes") {
            untilStdinCloses = true;
        } else {
            return Usage("unknown argument '" + a + "'");
        }
    }

    // The signals are taken through a descriptor; every thread started later inherits
    // the mask, so none of them is interrupted by them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    int deadPort = 0;
    const int deadFd = ReserveDeadPort(&deadPort);
    if (deadFd < 0) {
        std::cerr << "tessaly-demo-sites: cannot reserve a port for the refusing board\n";
        return 1;
    }

    // A fresh authority each run, in a private folder that goes when the server stops.
    std::unique_ptr<certs::TLoopbackCertificates> certificates;
    if (tls) {
        auto made = certs::TLoopbackCertificates::Make("Tessaly Demo Sites CA");
        if (!made) {
            std::cerr << "tessaly-demo-sites: --tls: " << made.error() << "\n";
            return 1;
        }
        certificates = std::move(made.value());
    }

    std::unique_ptr<TDemoSites> sites;
    std::unique_ptr<TMakerSite> maker;
    TDemoServer::TOptions options;
    options.port = port;
    if (certificates) {
        options.certificateFile = certificates->Server().certificateFile;
        options.keyFile = certificates->Server().keyFile;
    }
    // Requests arrive only after Start, when both are in place.
    TDemoServer server(
        [&](const TDemoRequest& r) {
            return TMakerSite::Serves(r.path) ? maker->Handle(r) : sites->Handle(r);
        },
        options);
    if (auto listening = server.Listen(); !listening) {
        std::cerr << "tessaly-demo-sites: " << listening.error() << "\n";
        return 1;
    }
    try {
        sites = std::make_unique<TDemoSites>(
            TDemoSites::TConfig{server.Port(), deadPort, stallMs, server.Secure()});
        maker = std::make_unique<TMakerSite>(*sites);
    } catch (const std::exception& e) {
        std::cerr << "tessaly-demo-sites: " << e.what() << "\n";
        return 1;
    }
    if (!home.empty()) {
        const std::string caFile = certificates ? certificates->CAFile() : "";
        if (auto written = WriteHome(home, *sites, caFile); !written) {
            std::cerr << "tessaly-demo-sites: " << home << ": " << written.error() << "\n";
            return 2;
        }
    }
    if (auto started = server.Start(); !started) {
        std::cerr << "tessaly-demo-sites: " << started.error() << "\n";
        return 1;
    }
    std::cout << "listening on " << server.Base() << "/" << std::endl;
    if (certificates) std::cout << "certificate authority: " << certificates->CAFile() << std::endl;

    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {untilStdinCloses ? 0 : -1, POLLIN, 0}};
        const int n = poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || fds[0].revents) break;
        if (fds[1].revents) {
            char buffer[4096];
            const ssize_t got = read(0, buffer, sizeof buffer);
            if (got <= 0 && !(got < 0 && errno == EINTR)) break;
        }
    }
    server.Stop();
    close(deadFd);
    return 0;
}
