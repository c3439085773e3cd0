// Helpers shared by the services for the answers of the HTTP machine.
#pragma once

#include <string>

#include "net/HttpMachine.h"

namespace tessaly {

// True when the answer's status line says 2xx. Status is not set yet during meDone, the
// header is; an error page from the server is no answer to use.
inline bool ReplySucceeded(const THTTPResult& r) {
    size_t blank = r.Header.find(' ');
    return blank != std::string::npos && r.Header.compare(blank + 1, 1, "2") == 0;
}

}  // namespace tessaly
