// `tessaly fetch`: one page through the HTTP machine, the way the program fetches every
// page, for people checking a job site or a proxy by hand.
#include <filesystem>
#include <ostream>

#include "cli/Command.h"
#include "cli/Workspace.h"
#include "data/ConfigBox.h"
#include "net/HttpMachine.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/MainLoop.h"
#include "platform/Paths.h"

namespace tessaly::cli {
namespace {

const char* kUsage =
    "Usage: tessaly fetch URL [--post BODY] [--cookie C] [--proxy HOST[:PORT]]\n"
    "                         [--proxy-user USER:PASS] [--timeout S] [--cafile FILE]\n"
    "                         [--include] [--events]\n"
    "\n"
    "Fetches URL with HTTP/1.0 and writes the document to standard output as it came.\n"
    "\n"
    "  --post BODY            send a POST with BODY (form-encoded) instead of a GET\n"
    "  --cookie C             send \"Cookie: C\"\n"
    "  --proxy HOST[:PORT]    go through an HTTP proxy (port 80 when none is given)\n"
    "  --proxy-user USER:PASS credentials for the proxy (Basic authentication)\n"
    "  --timeout S            give up after S seconds without progress (0: never;\n"
    "                         default 30)\n"
    "  --cafile FILE          also trust the certificates in FILE for https\n"
    "  --include              write the received header and an empty line first\n"
    "  --events               write each event of the request to standard error\n"
    "\n"
    "Exit status: 0 when the page arrived, 1 when the request failed (the status and the\n"
    "reason go to standard error), 2 for bad usage, 3 when stopped by Ctrl-C.\n";

const char* EventName(THTTPMachineEventType type) {
    switch (type) {
        case meStarted:
            return "meStarted";
        case meDocBegin:
            return "meDocBegin";
        case meDocData:
            return "meDocData";
        case meTimeOut:
            return "meTimeOut";
        case meFailed:
            return "meFailed";
        case meDocEnd:
            return "meDocEnd";
        case meDone:
            return "meDone";
    }
    return "?";
}

// The "User-Agent" a search sends, so a page checked by hand is fetched the way a search
// fetches it: from the home's id.box (the home is only read, never created), else from the
// shipped one.
std::string SearchAgent() {
    for (const std::string& dir : {ResolveHomeDirectory(HomeOption()), ShippedDataDirectory()}) {
        const std::string path = JoinPath(dir, "id.box");
        if (!FileExists(path)) continue;
        try {
            TConfigBox box;
            box.LoadFromFile(path);
            return UserAgent(box.ReadString("ID", "Product"), box.ReadString("ID", "Version"));
        } catch (const std::exception&) {
            // An unreadable id.box: try the shipped one.
        }
    }
    return "";
}

int Run(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"include", "events"},
                                 {"post", "cookie", "proxy", "proxy-user", "timeout", "cafile"});
        !parsed)
        return UsageError(io, "fetch", parsed.error());
    if (args.Positional().size() != 1) return UsageError(io, "fetch", "expected one URL");

    THTTPMachine machine;
    // A single request need not wait for the first dispatch tick.
    machine.Timing.FirstTickMs = 1;
    machine.Agent = SearchAgent();
    if (auto proxy = args.Value("proxy")) {
        if (proxy->empty()) return UsageError(io, "fetch", "--proxy needs a host");
        machine.Proxy = *proxy;
    }
    if (auto user = args.Value("proxy-user")) {
        size_t colon = user->find(':');
        if (colon == std::string::npos)
            return UsageError(io, "fetch", "--proxy-user wants USER:PASS");
        machine.ProxyUsername = user->substr(0, colon);
        machine.ProxyPassword = user->substr(colon + 1);
    }

    machine.CAFile = CAFileOption();
    if (auto caFile = args.Value("cafile")) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(*caFile, ec))
            return UsageError(io, "fetch", "no readable CA file '" + *caFile + "'");
        machine.CAFile = *caFile;
    }

    auto query = machine.NewQuery();
    query->URL = args.Positional()[0];
    if (auto timeout = args.Value("timeout")) {
        std::optional<int32_t> seconds = ParseInt(*timeout);
        if (!seconds || *seconds < 0)
            return UsageError(io, "fetch", "--timeout wants whole seconds, not '" + *timeout + "'");
        query->TimeOut = *seconds;
    }
    if (auto body = args.Value("post")) {
        query->IsPost = true;
        query->Parameters = *body;
    }
    if (auto cookie = args.Value("cookie")) query->Cookie = *cookie;

    const bool include = args.Has("include");
    const bool events = args.Has("events");
    const int32_t timeOut = query->TimeOut;
    bool finished = false, done = false, timedOut = false;
    query->OnEvent = [&](THTTPResult& r, THTTPMachineEventType type) {
        if (events) {
            io.err << EventName(type);
            if (type == meDocBegin || type == meDone) io.err << " " << r.URL;
            if (type == meDocData) io.err << " " << r.BytesReceived;
            if (type == meFailed) io.err << " " << r.Status << " " << r.Reason;
            io.err << "\n";
        }
        if (type == meTimeOut) timedOut = true;
        if (type == meDone) {
            if (include) io.out << r.Header << "\r\n";
            io.out << r.Data;
            io.out.flush();
            done = true;
        }
        if (type == meFailed) {
            if (timedOut) io.err << "tessaly fetch: no progress for " << timeOut << " seconds\n";
            io.err << "tessaly fetch: " << r.Status << " " << r.Reason << "\n";
        }
        finished = finished || type == meDone || type == meFailed;
    };
    const TInterruptGuard interrupts;
    machine.AddQuery(std::move(query));
    machine.SetEnabled(true);
    // The worker's thread has nothing left to do once the final event has run.
    MainLoop().RunUntil([&] {
        return (finished && THTTPMachine::LiveWorkers() == 0) || TInterruptGuard::Count() > 0;
    });
    if (!finished) {
        machine.StopAll();
        MainLoop().RunUntilFor([] { return THTTPMachine::LiveWorkers() == 0; }, 5000);
        io.err << "tessaly fetch: interrupted\n";
        return kExitAborted;
    }
    return done ? kExitOk : kExitFailed;
}

TRegisterCommand reg({"fetch", "fetch one page through the HTTP machine", kUsage, Run});

}  // namespace
}  // namespace tessaly::cli
