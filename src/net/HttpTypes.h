// The HTTP layer's value types: the connection settings every request of a machine shares,
// and how a request ended. Inside the layer a request ends with a THttpOutcome; the
// documented status code and reason text are derived from it at the edge (the client's
// StatusCode and error, the machine's Status and Reason), in one place.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly {

// Copied as a whole from the machine into each request's client.
struct THttpSettings {
    std::string Proxy;      // host, optionally ":port"; empty for direct connections
    std::string ProxyPort;  // used when Proxy names no port; empty means "80"
    std::string ProxyUsername;
    std::string ProxyPassword;
    std::string Agent;   // "User-Agent: " text; none is sent when empty
    std::string CAFile;  // trusted for "https" on top of the system's store; empty: store only
};

// The "User-Agent" the program introduces itself with, from id.box's Product and Version.
std::string UserAgent(const std::string& product, const std::string& version);

enum class THttpOutcome : uint8_t {
    Answered,             // the server answered with a status below 400 (or without header)
    Refused,              // the server answered 400 or above: its status and reason phrase
    Unresolved,           // the host name could not be looked up
    NotConnected,         // the connection (or its TLS or proxy tunnel) could not be set up
    NoAnswer,             // the server closed without sending a byte
    Aborted,              // ended on request: a stop, an abort, a time-out
    BadAnswer,            // a header line too long, a status that is no number, bad chunks
    TooLarge,             // the document outgrew the size limit
    TooManyRedirections,  // the redirection chain outgrew its limit
    Cancelled,            // stopped before anything was sent
    HandlerFailed,        // an event handler of the machine threw
    Failed                // any other error escaping the request
};

// The status a request with `outcome` reports: the server's for an answer, 0 when nothing was
// sent, and the client's code for every other failure (404, as for an abort).
int32_t OutcomeStatus(THttpOutcome outcome, int32_t serverStatus);

// The reason text: fixed for most outcomes, else `detail` (the server's reason phrase, the
// socket layer's or the TLS layer's description, the error that escaped).
std::string OutcomeReason(THttpOutcome outcome, const std::string& detail);

}  // namespace tessaly
