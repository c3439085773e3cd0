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
    "Exit status: 0 when the update ran to its end, 2 when it failed (the server could\n"
    "not be reached or answered with an error, a file could not be stored; the reason\n"
    "goes to standard error) and for usage errors, 3 when stopped by Ctrl-C.\n";

int Run(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "update-sources", parsed.error());
    if (!args.Positional().empty())
        return UsageError(io, "update-sources", "no arguments expected");
    const TInterruptGuard interrupts;
    auto w = TWorkspace::OpenFor(io, "update-sources", false, true);
    if (!w) return kExitUsage;
    w->Engine().SetAutoUpdate(false);
    if (w->Engine().Identity().ReadString("ID", "ConfigURL").empty()) {
        io.err << "tessaly update-sources: id.box in " << EscapeForDisplay(w->Home())
               << " names no update address (ConfigURL)\n";
        return kExitUsage;
    }
    const std::string failure = RunSourceUpdateOnce(w->Engine(), io.out);
    w->Close();
    if (TInterruptGuard::Count() > 0) {
        io.err << "tessaly update-sources: interrupted\n";
        return kExitAborted;
    }
    if (!failure.empty()) {
        io.err << "tessaly update-sources: " << EscapeForDisplay(failure) << "\n";
        return kExitUsage;
    }
    return w->Status();
}

TRegisterCommand reg({"update-sources", "update the job-site definitions from the maker's server",
                      kUsage, Run});

}  // namespace
}  // namespace tessaly::cli
