// Loading a definitions file and picking one site from it, for the workbench commands
// that work on one site.
#pragma once

#include <string>

#include "cli/Command.h"
#include "data/VelaSources.h"

namespace tessaly::cli {

// Loads `path` into `list` and finds `site`: a site number from 0, or a site's Title.
// On failure writes "tessaly COMMAND: ..." and returns nullptr with `status` set.
TVelaSource* LoadSite(TVelaSourcesList& list, const std::string& path, const std::string& site,
                      const std::string& command, TCliIO& io, int& status);

}  // namespace tessaly::cli
