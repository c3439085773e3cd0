// A real HTTP proxy for the tests: /usr/bin/tinyproxy on a loopback port, with its
// configuration and log in a scratch directory, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace tessaly::test {

class TTinyProxy {
  public:
    // CONNECT is allowed to `connectPorts` only; with a user name the proxy asks for Basic
    // authentication. Throws std::runtime_error when the proxy does not come up.
    explicit TTinyProxy(const std::vector<int>& connectPorts, const std::string& user = "",
                        const std::string& password = "");
    ~TTinyProxy();
    TTinyProxy(const TTinyProxy&) = delete;
    TTinyProxy& operator=(const TTinyProxy&) = delete;

    static bool Available();
    int Port() const { return port_; }
    std::string Log() const;

  private:
    TTempDir dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace tessaly::test
