// The cursor-based text-cutting language of the job-site definitions.
//
// A script is a list of lines, one statement each: GO moves the cursor (and is the
// only command that can fail), GET and ADD append to the output, CUT, DELETE and
// REPLACE change the content. A failed GO ends the run with an empty output. RunRepeated
// runs a script again and again over what each run leaves, collecting the outputs: this
// is how a result page is cut into job blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteString.h"
#include "platform/KeepGoing.h"

namespace tessaly {

// What GO reads from its arguments; of two contrary words the later one wins.
struct TGoArguments {
    std::vector<std::string> needles;  // the values of the string arguments
    // The needles as searched: reversed for a backward search, in capitals when case is
    // ignored; empty when they are searched as written.
    std::vector<std::string> changed;
    bool absolute = false;
    int64_t move = 0;
    int64_t occurrence = 0;
    bool last = false, after = false, backward = false, optional = false, ignoreCase = false,
         toEnd = false;
};

// What GET and CUT read from their arguments: ALL or a count of 2 or more, the later one
// winning; neither when `count` is 0 and `all` is false.
struct TAmount {
    bool all = false;
    int64_t count = 0;
    bool backward = false;
};

enum class TScriptCommand : uint8_t { kUnknown, kGo, kGet, kCut, kAdd, kReplace, kDelete };

// One script line split into its name and arguments, as the interpreter reads it.
struct TScriptStatement {
    std::string name;  // the text before the first "(", as written
    std::vector<std::string> arguments;
    // Read from the name and arguments when the line is parsed, so that a script run over
    // every block of a page does not read them again each time.
    TScriptCommand command = TScriptCommand::kUnknown;
    TGoArguments go;
    TAmount amount;
};

TScriptStatement ParseScriptLine(std::string_view line);

// A script read once, to be run over many texts (the blocks of a page).
using TParsedScript = std::vector<TScriptStatement>;
TParsedScript ParseScript(const TStrings& script);

class TParserScript {
  public:
    // Called after each executed statement: the 0-based script line, the cursor after
    // the statement and the content after it.
    using TTraceEvent = std::function<void(TParserScript& sender, int scriptLine,
                                           int32_t cursorPosition, std::string_view content)>;

    // The output of one run of `script` over `text` (empty if a GO failed). Afterwards
    // Content() holds what the script left of the text.
    std::string Run(const TStrings& script, std::string_view text);
    std::string RunParsed(const TParsedScript& script, std::string_view text);
    // As RunParsed, but `text` is read where it lies and only copied once a statement
    // changes it other than at its ends; Content() is empty afterwards. For running several
    // scripts over one text.
    std::string RunOver(const TParsedScript& script, std::string_view text);

    // The outputs of repeated runs over what each run leaves of the content; stops at an
    // empty output or a run that made no progress through the text (the content is not
    // shorter than before it), whose output is dropped. A script that lengthens the
    // content would otherwise repeat for ever. At most `maxOutputs` outputs are kept.
    TStrings RunRepeated(const TStrings& script, std::string_view text,
                         size_t maxOutputs = SIZE_MAX);

    std::string Content() const { return std::string(View()); }
    const std::string& Output() const { return output_; }
    int32_t CursorPosition() const { return cursor_; }
    // The 0-based line of the GO that ended the last run with an empty output, or -1 when
    // the last run went through to its end. OnTrace of the failing GO already sees it.
    int FailedLine() const { return failedLine_; }

    TTraceEvent OnTrace;
    // Asked after each statement (AskKeepGoing); when it answers false the run ends
    // with an empty output, Stopped() is true, and RunRepeated returns what it has.
    TKeepGoing KeepGoing;
    bool Stopped() const { return stopped_; }

  private:
    enum class TOutcome { kDone, kUnknown, kFailed };

    std::string RunStatements(const TParsedScript& script);
    TOutcome Execute(const TScriptStatement& st);
    bool Go(const TGoArguments& g);
    void Get(const TAmount& a);
    void Cut(const TAmount& a);
    void Add(const std::vector<std::string>& args);
    void Replace(const std::vector<std::string>& args);

    // The content is buf_ (or the borrowed text, in RunOver) from off_ on: cutting
    // everything before the cursor, which every block-cutting script does once per block,
    // then costs nothing.
    std::string_view Base() const { return borrowed_ ? lent_ : std::string_view(buf_); }
    std::string_view View() const { return Base().substr(off_); }
    int64_t Length() const { return static_cast<int64_t>(Base().size() - off_); }
    void SetContent(std::string_view text);
    void SetContent(std::string&& text);
    void DropFront(size_t n);
    // Removes `n` bytes at `at` (0-based in the content).
    void EraseContent(size_t at, size_t n);
    // Cursor 0 (after Go(0) or a large backward move) works as 1 in every command.
    int64_t EffectiveCursor() const { return cursor_ < 1 ? 1 : cursor_; }
    void SetCursor(int64_t c);

    std::string buf_;
    std::string_view lent_;
    bool borrowed_ = false;
    size_t off_ = 0;
    std::string output_;
    int32_t cursor_ = 1;
    int failedLine_ = -1;
    bool stopped_ = false;
};

// Gives a parser a KeepGoing for as long as it lives, and then the one it had back.
class TKeepGoingScope {
  public:
    TKeepGoingScope(TParserScript& parser, TKeepGoing keepGoing)
        : parser_(parser), saved_(std::move(parser.KeepGoing)) {
        parser_.KeepGoing = std::move(keepGoing);
    }
    ~TKeepGoingScope() { parser_.KeepGoing = std::move(saved_); }
    TKeepGoingScope(const TKeepGoingScope&) = delete;
    TKeepGoingScope& operator=(const TKeepGoingScope&) = delete;

  private:
    TParserScript& parser_;
    TKeepGoing saved_;
};

}  // namespace tessaly
