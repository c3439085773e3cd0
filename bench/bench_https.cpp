// 200 requests over TLS against 200 plain ones, through THttpClient on loopback: CPU time
// per request side by side, for the client's thread alone and for the whole process (the
// loopback server's thread and the name lookup's included). One request of each kind runs
// before the timing, so the one-time loading of the trust store is not spread over the rest.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "net/HttpClient.h"
#include "support/TestHttpServer.h"
#include "support/TestTls.h"

namespace {

using tessaly::THttpClient;
using tessaly::test::TTestHttpServer;

const std::string& Page() {
    static const std::string page(16 * 1024, 'j');
    return page;
}

bool FetchOnce(const std::string& url, const std::string& caFile) {
    THttpClient client;
    client.URL = url;
    client.CAFile = caFile;
    std::string document;
    client.ReceiveStream = &document;
    return client.Get() == tessaly::THttpOutcome::Answered && document == Page();
}

void Requests(benchmark::State& state, bool secure) {
    auto script = [](const TTestHttpServer::TRequest&) { return TTestHttpServer::Normal(Page()); };
    std::unique_ptr<TTestHttpServer> server;
    std::string caFile;
    if (secure) {
        server =
            std::make_unique<TTestHttpServer>(script, tessaly::test::TestCertificates().localhost);
        caFile = tessaly::test::TestCertificates().caFile;
    } else {
        server = std::make_unique<TTestHttpServer>(script);
    }
    std::string url = server->Url("/jobs/page.html");
    if (!FetchOnce(url, caFile)) {
        state.SkipWithError("the warm-up request failed");
        return;
    }
    for (auto _ : state) {
        if (!FetchOnce(url, caFile)) {
            state.SkipWithError("a request failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}

BENCHMARK_CAPTURE(Requests, plain, false)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Requests, https, true)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Requests, plain_process, false)
    ->Iterations(200)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Requests, https_process, true)
    ->Iterations(200)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
