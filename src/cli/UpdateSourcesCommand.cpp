// tessaly update-sources: the job-source update on its own.
#include <unistd.h>

#include <iostream>

#include "cli/Command.h"
#include "cli/Workspace.h"
#include "platform/Paths.h"

namespace tessaly::cli {
namespace {

const char* const kUsage =
    "usage: tessaly update-sources\n"
    "\n"
    "Asks the maker's server (id.box \"ConfigURL\") for the update descriptor and, when it\n"
    "names another definitions version than the loaded one, fetches the new sources.def\n"
    "(\"SourcesURL\"), keeping the old one as sources.def.bak. Prints the status texts.\n"
    "\n"
    "Exit status: 0 when the update ran to its end, 1 when it did not, 2 for usage or file\n"
    "errors.\n";

int Run(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "update-sources", parsed.error());
    if (!args.Positional().empty())
        return UsageError(io, "update-sources", "no arguments expected");
    auto w = TWorkspace::OpenFor(io, "update-sources", false, true);
    if (!w) return kExitUsage;
    w->Engine().AutoUpdatePending = false;
    bool ended = RunSourceUpdateOnce(w->Engine(), io.out);
    w->Close();
    return ended ? kExitOk : kExitFailed;
}

TRegisterCommand reg({"update-sources", "update the job-site definitions from the maker's server",
                      kUsage, Run});

}  // namespace
}  // namespace tessaly::cli
