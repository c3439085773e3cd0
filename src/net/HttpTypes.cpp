#include "net/HttpTypes.h"

namespace tessaly {

namespace {

// The client's code for every failure that is not the server's own answer.
constexpr int32_t kClientFailure = 404;

}  // namespace

std::string UserAgent(const std::string& product, const std::string& version) {
    return product + "/" + version + " [en]";
}

int32_t OutcomeStatus(THttpOutcome outcome, int32_t serverStatus) {
    switch (outcome) {
        case THttpOutcome::Answered:
        case THttpOutcome::Refused:
            return serverStatus;
        case THttpOutcome::Cancelled:
            return 0;
        default:
            return kClientFailure;
    }
}

std::string OutcomeReason(THttpOutcome outcome, const std::string& detail) {
    switch (outcome) {
        case THttpOutcome::Unresolved:
            return "can't resolve hostname to IP address";
        case THttpOutcome::NoAnswer:
            return "Connection closed by the server without an answer";
        case THttpOutcome::Aborted:
            return "Connection aborted on request";
        case THttpOutcome::TooLarge:
            return "Document too large";
        case THttpOutcome::TooManyRedirections:
            return "Too many redirections";
        case THttpOutcome::Cancelled:
            return "Request cancelled";
        case THttpOutcome::HandlerFailed:
            return detail.empty() ? "Event handler failed" : "Event handler failed: " + detail;
        case THttpOutcome::Failed:
            return detail.empty() ? "Request failed" : "Request failed: " + detail;
        default:
            return detail;
    }
}

}  // namespace tessaly
