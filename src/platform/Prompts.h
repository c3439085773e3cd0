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
