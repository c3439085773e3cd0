// Runs one request on an HTTP client and keeps what came of it: the document, the events
// the caller chose to record, and how a failed request ended.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "net/HttpClient.h"

namespace tessaly::test {

struct TClientRun {
    std::string document;
    std::vector<std::string> events;
    int errorCode = -1;  // -1: answered; else the failed request's status code
    std::string message;
};

// `record` sets the handlers whose events go into `events` (they may only be called while
// the request runs: the list belongs to the run being made).
inline TClientRun RunClient(
    THttpClient& client, bool post,
    const std::function<void(THttpClient&, std::vector<std::string>&)>& record) {
    TClientRun run;
    client.ReceiveStream = &run.document;
    record(client, run.events);
    if ((post ? client.Post() : client.Get()) != THttpOutcome::Answered) {
        run.errorCode = client.StatusCode();
        run.message = client.ReasonPhrase();
    }
    client.ReceiveStream = nullptr;
    return run;
}

}  // namespace tessaly::test
