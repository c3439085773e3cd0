// How the core talks to the user outside a run's own displays: message boxes, the
// beep and Yes/No questions. The core never prints; each front-end installs its own
// implementation (GUI dialogs, CLI standard error, a recorder in the tests).
#pragma once

#include <string>

namespace tessaly {

class TPrompts {
  public:
    virtual ~TPrompts() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    // A failure the user must know about (a damaged file, a failed save). A front-end
    // that tells errors apart (the command line: standard error and its exit status)
    // overrides it; otherwise it is a message like any other.
    virtual void ShowError(const std::string& text) { ShowMessage(text); }
    virtual void Beep() = 0;
    virtual bool AskYesNo(const std::string& text) = 0;

    // The installed front-end; without one, messages are dropped and questions answered
    // No, which is the safe answer to every question the program asks.
    static TPrompts& Current();
    static void SetCurrent(TPrompts* prompts);
};

inline TPrompts& Prompts() {
    return TPrompts::Current();
}

}  // namespace tessaly
