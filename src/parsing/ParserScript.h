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

// One script line split into its name and arguments, as the interpreter reads it.
struct TScriptStatement {
    std::string name;  // the text before the first "(", as written
    std::vector<std::string> arguments;
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
    bool Go(const std::vector<std::string>& args);
    void Get(const std::vector<std::string>& args);
    void Cut(const std::vector<std::string>& args);
    void Add(const std::vector<std::string>& args);
    void Replace(const std::vector<std::string>& args);

    // The content is buf_ from off_ on: cutting everything before the cursor, which every
    // block-cutting script does once per block, then costs nothing.
    std::string_view View() const { return std::string_view(buf_).substr(off_); }
    int64_t Length() const { return static_cast<int64_t>(buf_.size() - off_); }
    void SetContent(std::string_view text);
    void SetContent(std::string&& text);
    void DropFront(size_t n);
    // Cursor 0 (after Go(0) or a large backward move) works as 1 in every command.
    int64_t EffectiveCursor() const { return cursor_ < 1 ? 1 : cursor_; }
    void SetCursor(int64_t c);

    std::string buf_;
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
