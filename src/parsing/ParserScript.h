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

#include "platform/ByteString.h"

namespace tessaly {

class TParserScript {
  public:
    // Called after each executed statement: the 0-based script line, the cursor after
    // the statement and the content after it.
    using TTraceEvent = std::function<void(TParserScript& sender, int scriptLine,
                                           int32_t cursorPosition, const std::string& content)>;

    // The output of one run of `script` over `text` (empty if a GO failed). Afterwards
    // Content() holds what the script left of the text.
    std::string Run(const TStrings& script, const std::string& text);

    // The outputs of repeated runs over what each run leaves of the content; stops at an
    // empty output or a run that did not shorten the content, whose output is dropped.
    TStrings RunRepeated(const TStrings& script, const std::string& text);

    const std::string& Content() const { return content_; }
    const std::string& Output() const { return output_; }
    int32_t CursorPosition() const { return cursor_; }

    TTraceEvent OnTrace;

  private:
    std::string content_;
    std::string output_;
    int32_t cursor_ = 1;
};

}  // namespace tessaly
