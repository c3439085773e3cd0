#include "cli/Workspace.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "platform/ByteString.h"
#include "platform/MainLoop.h"
#include "platform/Paths.h"
#include "services/SourceUpdate.h"
#include "services/Translation.h"

namespace tessaly::cli {

namespace {

std::atomic<int> gInterrupts{0};
int gGuardDepth = 0;
struct sigaction gPreviousAction {};

extern "C" void OnInterrupt(int) {
    gInterrupts.fetch_add(1);
}

std::string Pad(const std::string& s, size_t width, bool right = false) {
    if (s.size() >= width) return s.substr(0, width);
    const std::string fill(width - s.size(), ' ');
    return right ? fill + s : s + fill;
}

}  // namespace

TInterruptGuard::TInterruptGuard() {
    if (gGuardDepth++ > 0) return;
    gInterrupts = 0;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &gPreviousAction);
}

TInterruptGuard::~TInterruptGuard() {
    if (--gGuardDepth == 0) sigaction(SIGINT, &gPreviousAction, nullptr);
}

int TInterruptGuard::Count() {
    return gInterrupts.load();
}

std::string& HomeOption() {
    static std::string home;
    return home;
}

std::string& CAFileOption() {
    static std::string file;
    return file;
}

bool IsTerminal(int fd) {
    if (!::isatty(fd)) return false;
    const char* term = std::getenv("TERM");
    return term && std::string(term) != "dumb";
}

// ---- Front-end ---------------------------------------------------------------------------

TCliFrontEnd::TCliFrontEnd(std::ostream& out, std::ostream& err, bool terminal, bool quiet)
    : out_(out), err_(err), terminal_(terminal), quiet_(quiet) {}

TCliFrontEnd::TCliFrontEnd(std::ostream& out, bool terminal, bool quiet)
    : TCliFrontEnd(out, std::cerr, terminal, quiet) {}

void TCliFrontEnd::StatusText(int panel, const std::string& text) {
    // Refinement and grabbing have no progress window: their counters are the progress.
    if (panel != 2 || progressOpen_ || quiet_ || text.empty() || text == lastCounters_) return;
    lastCounters_ = text;
    if (terminal_)
        out_ << "\r\x1b[2K  " << text << std::flush;
    else
        out_ << "  " << text << "\n";
}

void TCliFrontEnd::ProgressShow() {
    progressOpen_ = true;
    drawnLines_ = 0;
    printed_.clear();
}

void TCliFrontEnd::ProgressClose() {
    Draw();
    progressOpen_ = false;
}

void TCliFrontEnd::ProgressRowChanged(int) {
    Draw();
}

void TCliFrontEnd::Draw() {
    if (quiet_ || !progressOpen_ || engine_ == nullptr) return;
    const TProgressModel& p = engine_->ProgressRows();
    if (!terminal_) {
        // Plain output: a line whenever a site's status changes.
        for (size_t i = 0; i < p.Rows.size(); ++i) {
            const TProgressRow& r = p.Rows[i];
            if (r.JobSource.empty() || r.Status.empty()) continue;
            const std::string line = DisplayField(Trim(r.JobSource)) + ": " + r.Status +
                                     (r.Found.empty() ? "" : ", found " + r.Found) +
                                     (r.Kept.empty() ? "" : ", kept " + r.Kept);
            // Rows are re-sorted while sites start: compare by text, not by position.
            if (std::find(printed_.begin(), printed_.end(), line) != printed_.end()) continue;
            printed_.push_back(line);
            out_ << "  " << line << "\n";
        }
        return;
    }
    std::ostringstream s;
    if (drawnLines_ > 0) s << "\x1b[" << drawnLines_ << "A";
    int lines = 0;
    s << "\r\x1b[2K  " << Pad("Job Source", 28) << Pad("Found", 7, true) << Pad("Kept", 6, true)
      << "  Status\n";
    ++lines;
    for (const TProgressRow& r : p.Rows) {
        if (r.JobSource.empty()) continue;
        s << "\r\x1b[2K  " << Pad(DisplayField(Trim(r.JobSource)), 28) << Pad(r.Found, 7, true)
          << Pad(r.Kept, 6, true) << "  " << r.Status << "\n";
        ++lines;
    }
    const int width = 30;
    const int filled = p.GaugeMax > 0 ? width * p.GaugePosition / p.GaugeMax : 0;
    const int percent = p.GaugeMax > 0 ? 100 * p.GaugePosition / p.GaugeMax : 0;
    s << "\r\x1b[2K  [" << std::string(static_cast<size_t>(filled), '#')
      << std::string(static_cast<size_t>(width - filled), '-') << "] " << percent << "%\n";
    ++lines;
    drawnLines_ = lines;
    out_ << s.str() << std::flush;
}

void TCliFrontEnd::ShowMessage(const std::string& text) {
    if (terminal_ && !lastCounters_.empty() && !progressOpen_) out_ << "\r\x1b[2K";
    out_ << EscapeForDisplay(text) << std::endl;
}

void TCliFrontEnd::ShowError(const std::string& text) {
    ErrorShown = true;
    ++ErrorCount;
    if (terminal_ && !lastCounters_.empty() && !progressOpen_) out_ << "\r\x1b[2K" << std::flush;
    err_ << "tessaly: " << EscapeForDisplay(text) << std::endl;
}

void TCliFrontEnd::RunSourceUpdate() {
    if (engine_) RunSourceUpdateOnce(*engine_, out_);
}

bool TCliFrontEnd::TranslateKeywords(TKeywordTranslation& t) {
    if (!engine_) return false;
    std::string base = engine_->Identity().ReadString("ID", "TranslateURL");
    if (base.empty()) return false;
    TKeyTranslator keys(engine_->Http(), base);
    keys.Initialize();
    keys.SourceLanguage = t.UserLanguage;
    keys.Keywords = t.Keywords;
    if (t.French) keys.Request(TKeyTranslator::klFrench);
    if (t.German) keys.Request(TKeyTranslator::klGerman);
    if (t.Spanish) keys.Request(TKeyTranslator::klSpanish);
    keys.Start();
    // Each request has its own 30-second limit; this only guards against a stuck loop.
    // Ctrl-C gives up the translation; the run it precedes then stops.
    const int interrupts = TInterruptGuard::Count();
    if (!MainLoop().RunUntilFor(
            [&] { return keys.Finished() || TInterruptGuard::Count() != interrupts; }, 120000))
        return false;
    if (!keys.Finished()) {
        engine_->MMStopClick();  // interrupted: the run it precedes stops
        return false;
    }
    t.KeywordsEN = keys.Result(TKeyTranslator::klEnglish);
    t.KeywordsFR = keys.Result(TKeyTranslator::klFrench);
    t.KeywordsDE = keys.Result(TKeyTranslator::klGerman);
    t.KeywordsSP = keys.Result(TKeyTranslator::klSpanish);
    return true;
}

std::string RunSourceUpdateOnce(TSearchEngine& e, std::ostream& out, int limitMs) {
    // A home that names no update address never asked for updates.
    if (e.Identity().ReadString("ID", "ConfigURL").empty()) return {};
    TSourceUpdate update(e.Http(), e.Sites(), e.Identity(), e.Home());
    update.OnStatus = [&](const std::string& text) { out << EscapeForDisplay(text) << std::endl; };
    update.LoadDescriptor();
    update.Start();
    // Ctrl-C cuts the update short; the run it precedes then stops.
    const int interrupts = TInterruptGuard::Count();
    bool ended = MainLoop().RunUntilFor(
        [&] { return !update.Running() || TInterruptGuard::Count() != interrupts; }, limitMs);
    const bool interrupted = TInterruptGuard::Count() != interrupts;
    ended = ended && !update.Running();
    update.Close();
    e.LoadUpdateDescriptor();
    e.LoadOptions();
    if (interrupted) {
        e.MMStopClick();  // the run it precedes stops
        return "Interrupted.";
    }
    if (!ended) return "The update did not end within " + IntToStr(limitMs / 1000) + " seconds.";
    return update.Failure();
}

// ---- Workspace -----------------------------------------------------------------------------

TWorkspace::TWorkspace(std::string home, std::ostream& out, std::ostream& err, bool terminal,
                       bool quiet)
    : home_(std::move(home)), front_(out, err, terminal, quiet) {}

std::unique_ptr<TWorkspace> TWorkspace::OpenFor(TCliIO& io, const std::string& command,
                                                bool terminal, bool quiet) {
    auto opened = Open(io.out, io.err, terminal, quiet);
    if (!opened) {
        io.err << "tessaly " << command << ": " << EscapeForDisplay(opened.error()) << "\n";
        return nullptr;
    }
    return std::move(opened.value());
}

TResult<std::unique_ptr<TWorkspace>> TWorkspace::Open(std::ostream& out, std::ostream& err,
                                                      bool terminal, bool quiet) {
    const std::string home = ResolveHomeDirectory(HomeOption());
    PrepareHomeDirectory(home, ShippedDataDirectory());
    std::unique_ptr<TWorkspace> w(new TWorkspace(home, out, err, terminal, quiet));
    w->lock_ = std::make_unique<TInstanceLock>(home);
    if (!w->lock_->Acquired()) return Error(w->lock_->Message());
    w->previousPrompts_ = &TPrompts::Current();
    TPrompts::SetCurrent(&w->front_);
    w->engine_ = std::make_unique<TSearchEngine>(home, w->front_);
    TSearchEngine& e = *w->engine_;
    w->front_.Attach(&e);
    if (!e.LoadSettings())
        return Error("no id.box in " + home + " (the product identification is missing)");
    if (!e.Start())
        return Error("no sources.def in " + home + " (the job-site definitions are missing)");
    if (!CAFileOption().empty()) e.Http().CAFile = CAFileOption();
    return w;
}

TWorkspace::~TWorkspace() {
    if (engine_ && !closed_) {
        // Never leave workers behind the engine: stop them and wait.
        engine_->Http().StopAll();
        MainLoop().RunUntilFor([this] { return !engine_->Http().IsBusy(); }, 10000);
    }
    engine_.reset();
    if (previousPrompts_) TPrompts::SetCurrent(previousPrompts_);
}

TResult<TVelaSearch*> TWorkspace::SelectNumber(const std::string& number) {
    const auto n = ParseInt(number);
    TSearchEngine& e = *engine_;
    if (!n || *n < 1 || *n > e.SearchList().Count())
        return Error("no search number " + number + " (there are " +
                     IntToStr(e.SearchList().Count()) + "; see 'tessaly list')");
    e.SelectSearch(*n - 1);
    e.GridTimerTimer();
    return e.SelectedSearch();
}

int TWorkspace::WaitForRun() {
    TSearchEngine& e = *engine_;
    TInterruptGuard interrupts;
    int seen = 0;
    auto firstStop = [&] {
        if (seen != 0 || TInterruptGuard::Count() == 0) return;
        seen = 1;
        e.MMStopClick();
    };
    // Long work inside one step of the run (cutting a huge page) runs pending messages
    // between its own steps: this timer brings Ctrl-C to it there, and it then ends early.
    TTimer watch;
    watch.SetInterval(100);
    watch.OnTimer = firstStop;
    watch.SetEnabled(true);
    // A Ctrl-C pressed while the run was being started counts as well.
    while (e.State() != rsIdle) {
        MainLoop().RunUntilFor(
            [&] { return e.State() == rsIdle || TInterruptGuard::Count() != seen; }, 200);
        const int now = TInterruptGuard::Count();
        if (now == seen) continue;
        firstStop();
        if (now > 1) {
            // A second Ctrl-C: keep what was merged and leave without waiting for the sites.
            try {
                e.SaveMerged();
                front_.ShowMessage("Interrupted; the jobs merged so far are saved.");
            } catch (const std::exception& x) {
                front_.ShowError(x.what());
            }
            std::fflush(nullptr);
            std::_Exit(front_.ErrorShown ? kExitUsage : kExitAborted);
        }
    }
    if (front_.ErrorShown || e.LastRunReachedNoSite()) return kExitUsage;
    return e.LastRunStopped() ? kExitAborted : kExitOk;
}

void TWorkspace::Close() {
    if (closed_) return;
    TSearchEngine& e = *engine_;
    if (e.Http().IsBusy()) {
        e.Http().StopAll();
        MainLoop().RunUntilFor([&] { return !e.Http().IsBusy(); }, 10000);
    }
    e.SaveOnClose();
    e.ClearTemp();
    closed_ = true;
}

}  // namespace tessaly::cli
