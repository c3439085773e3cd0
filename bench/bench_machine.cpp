// The HTTP machine against a loopback server: the cost of one request (thread, client,
// reports) with the dispatch tick shortened, and the pace of the program's own schedule.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "net/HttpMachine.h"
#include "platform/MainLoop.h"

namespace {

using namespace tessaly;

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Answers every connection with a small page, one connection after another, and keeps
// track of its own CPU time so it can be told apart from the machine's.
class TPageServer {
  public:
    TPageServer() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd_, 128);
        socklen_t size = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        stop_ = eventfd(0, EFD_CLOEXEC);
        thread_ = std::thread([this] { Run(); });
    }
    ~TPageServer() {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(stop_, &one, sizeof one);
        thread_.join();
        close(fd_);
        close(stop_);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/page"; }
    double CpuSeconds() const { return cpu_.load(); }

  private:
    void Run() {
        const std::string page =
            "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + std::string(2000, 'x');
        for (;;) {
            pollfd fds[2] = {{stop_, POLLIN, 0}, {fd_, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || fds[0].revents) break;
            int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            std::string in;
            char buffer[2048];
            while (in.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = recv(c, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                in.append(buffer, static_cast<size_t>(n));
            }
            [[maybe_unused]] ssize_t n = send(c, page.data(), page.size(), MSG_NOSIGNAL);
            close(c);
            cpu_ = ::CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        }
    }

    int fd_ = -1, stop_ = -1, port_ = 0;
    std::atomic<double> cpu_{0};
    std::thread thread_;
};

// Queues `count` requests and runs the loop until all have ended; returns how many failed.
int RunRequests(THTTPMachine& machine, const std::string& url, int count) {
    int ended = 0, failed = 0;
    for (int i = 0; i < count; ++i) {
        auto q = machine.NewQuery();
        q->URL = url;
        q->OnEvent = [&](THTTPResult&, THTTPMachineEventType type) {
            if (type == meDone || type == meFailed) ++ended;
            if (type == meFailed) ++failed;
        };
        machine.AddQuery(std::move(q));
    }
    machine.SetEnabled(true);
    MainLoop().RunUntil([&] { return ended == count && THTTPMachine::LiveWorkers() == 0; });
    machine.SetEnabled(false);
    return failed;
}

// (a) 2,000 requests, 8 at a time, one dispatch every millisecond.
void BM_MachineRequests(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TPageServer server;
    for (auto _ : state) {
        THTTPMachine machine;
        machine.MaxThreads = 8;
        machine.Timing = {1, 1, 1, 1000};
        const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double server0 = server.CpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        int failed = RunRequests(machine, server.Url(), count);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
        const double serverCpu = server.CpuSeconds() - server0;
        state.counters["failed"] = failed;
        state.counters["cpu_us_per_request"] = (cpu - serverCpu) * 1e6 / count;
        state.counters["cpu_us_per_request_with_server"] = cpu * 1e6 / count;
        state.counters["wall_ms_per_request"] = wall * 1e3 / count;
    }
}
BENCHMARK(BM_MachineRequests)
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// (b) 40 requests at the program's own pace: the last one is dispatched after
// 0.5 s + 39 x 0.25 s at the earliest.
void BM_MachineSchedule(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TPageServer server;
    for (auto _ : state) {
        THTTPMachine machine;
        const auto wall0 = std::chrono::steady_clock::now();
        int failed = RunRequests(machine, server.Url(), count);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const THTTPMachineTiming t;
        state.counters["failed"] = failed;
        state.counters["wall_s"] = wall;
        state.counters["bound_s"] = (t.FirstTickMs + (count - 1) * t.TickMs) / 1000.0;
    }
}
BENCHMARK(BM_MachineSchedule)->Arg(40)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
