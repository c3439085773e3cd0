// The files a program home needs to run against the demo: the product identification,
// the definitions for the server's port, options with a short time-out, and the update
// descriptor that names the preferred board.
#pragma once

#include <string>

#include "demo/DemoSites.h"
#include "platform/Result.h"

namespace tessaly::demo {

// The time-out the demo's options set, in seconds: the lowest the options accept. The
// slow board stalls longer than this by default.
inline constexpr int kDemoTimeOutSecs = 15;
inline constexpr int kDefaultStallMs = (kDemoTimeOutSecs + 5) * 1000;

// The board the update descriptor marks as preferred.
inline constexpr const char* kPreferredBoard = "TechPost Careers";

// The definitions file for the sites' ports: scrambled lines in a packed container.
TResult<std::string> SourcesDefBytes(const TDemoSites& sites);
// The definitions' "Version" value.
std::string DefinitionsVersion();

// The update descriptor (settings-file syntax) for a server at `base` ("http://127.0.0.1:
// PORT"): the definitions version, the preferred board, the Guide menu and the banners.
std::string ConfigBoxText(const std::string& base);

// Writes id.box, sources.def, options.box and config.box into `dir` (created when
// missing). Boxes already there are loaded first and keep the keys not written here.
// `caFile`, when given, becomes the options' Connection/CAFile, so that the program
// trusts the certificate of a TLS server; without it the key is emptied, as it would
// otherwise name the certificate of an earlier TLS run, gone with that run.
TResult<void> WriteHome(const std::string& dir, const TDemoSites& sites,
                        const std::string& caFile = "");

}  // namespace tessaly::demo
