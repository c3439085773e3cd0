// The command line's side of the program's home directory: opening it as the window does
// at start-up (lock, id.box, options, definitions, searches), and a front-end that shows a
// run's progress on the terminal.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "platform/Home.h"
#include "platform/Prompts.h"
#include "platform/Result.h"
#include "search/SearchEngine.h"

namespace tessaly::cli {

// The home directory named by the global "--home DIR" option (empty when none).
std::string& HomeOption();
// The CA file named by the global "--cafile FILE" option (empty when none).
std::string& CAFileOption();

// Shows a run on the terminal: one line per site (or per job count) with "Found", "Kept"
// and "Status", and an overall gauge; redrawn in place on a terminal, plain lines
// otherwise. Quiet prints nothing but the final message.
class TCliFrontEnd : public TSearchFrontEnd, public TPrompts {
  public:
    // Messages go to `out`, errors to `err`.
    TCliFrontEnd(std::ostream& out, std::ostream& err, bool terminal, bool quiet);
    // Errors to standard error.
    TCliFrontEnd(std::ostream& out, bool terminal, bool quiet);

    void Attach(TSearchEngine* engine) { engine_ = engine; }

    // Seam.
    void StatusText(int panel, const std::string& text) override;
    void ProgressShow() override;
    void ProgressClose() override;
    void ProgressRowsChanged() override { Draw(); }
    void ProgressRowChanged(int row) override;
    void ProgressGaugeChanged() override { Draw(); }
    void RunSourceUpdate() override;
    bool TranslateKeywords(TKeywordTranslation& translation) override;

    // Prompts.
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void Beep() override {}
    bool AskYesNo(const std::string&) override { return false; }

    // True once an error was shown: the command then ends with kExitUsage.
    bool ErrorShown = false;
    int ErrorCount = 0;

  private:
    void Draw();

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool quiet_;
    bool progressOpen_ = false;
    int drawnLines_ = 0;
    std::string lastCounters_;
    std::vector<std::string> printed_;  // plain mode: the status already printed per row
    TSearchEngine* engine_ = nullptr;
};

// Runs the job-source update once over the engine's machine, printing its status texts;
// the options and the descriptor are read again afterwards. Returns what went wrong (a
// request that failed and why, a file not stored, no end within `limitMs`, a Ctrl-C), ""
// when it ran to its end. When id.box names no descriptor address there is nothing to
// update from: nothing is printed and "" returned.
std::string RunSourceUpdateOnce(TSearchEngine& engine, std::ostream& out, int limitMs = 60000);

// An opened home directory with its engine.
class TWorkspace {
  public:
    // Opens HomeOption() (or the default home), locks it and loads it; fails when it is
    // locked or lacks id.box or sources.def. Errors met on the way (a damaged settings
    // file) go to `err`.
    static TResult<std::unique_ptr<TWorkspace>> Open(std::ostream& out, std::ostream& err,
                                                     bool terminal, bool quiet);
    // Open for a command: on failure "tessaly COMMAND: message" goes to io.err and the
    // result is null.
    static std::unique_ptr<TWorkspace> OpenFor(TCliIO& io, const std::string& command,
                                               bool terminal, bool quiet);
    ~TWorkspace();

    TSearchEngine& Engine() { return *engine_; }
    TCliFrontEnd& Front() { return front_; }
    const std::string& Home() const { return home_; }

    // The search numbered `number` as `tessaly list` shows it (from 1), selected and its
    // table loaded; fails when there is no such search.
    TResult<TVelaSearch*> SelectNumber(const std::string& number);

    // Waits until the run ends. The first Ctrl-C is the Stop command; a second one saves
    // what was merged and returns at once. Returns kExitOk, kExitAborted, or kExitUsage
    // when an error was shown (a damaged table, a failed save).
    int WaitForRun();
    // kExitUsage when an error was shown, else kExitOk.
    int Status() const { return front_.ErrorShown ? kExitUsage : kExitOk; }
    // Saves the listing and the index as the window does when it closes.
    void Close();

  private:
    TWorkspace(std::string home, std::ostream& out, std::ostream& err, bool terminal, bool quiet);

    std::string home_;
    TCliFrontEnd front_;
    TPrompts* previousPrompts_ = nullptr;
    std::unique_ptr<TInstanceLock> lock_;
    std::unique_ptr<TSearchEngine> engine_;
    bool closed_ = false;
};

// Ctrl-C is counted instead of ending the program while one of these lives (they nest);
// the runs read the count. The first one of a command is made before the home is opened,
// so an early Ctrl-C stops the run as a later one does.
class TInterruptGuard {
  public:
    TInterruptGuard();
    ~TInterruptGuard();
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;
    // The Ctrl-C presses since the outermost guard was made.
    static int Count();
};

// True when `fd` is a terminal that understands cursor movement.
bool IsTerminal(int fd);

}  // namespace tessaly::cli
