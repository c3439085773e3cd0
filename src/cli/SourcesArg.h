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

// The site `site` names in a loaded list: a site number from 0, else a Title, matched
// exactly or, failing that, without regard to the case of a to z. Nothing, with `error`
// saying which sites there are, when none matches.
TVelaSource* FindSite(TVelaSourcesList& list, const std::string& site, std::string& error);

// The address a saved page came from, for completing its relative links: the value of
// --url, else the site's FirstPageURL. Empty with `error` set when --url is not an
// absolute address.
std::string SavedPageAddress(const TArgs& args, const TVelaSource* site, std::string& error);

}  // namespace tessaly::cli
