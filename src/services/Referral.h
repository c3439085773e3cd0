// Send to a friend: posts the referral form to the maker's server, which mails the friend.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/MainLoop.h"

namespace tessaly {

class THTTPMachine;
class THTTPResult;
class TConfigBox;
class TVelaJob;

// The user's details, kept in options.box section "User".
struct TUserDetails {
    std::string Email;
    std::string FirstName;
    std::string LastName;
};
TUserDetails ReadUserDetails(const TConfigBox& options);
void WriteUserDetails(TConfigBox& options, const TUserDetails& user);

// The referral form's body; `job` null for the program mode.
std::string ReferralBody(const std::string& recipient, const TUserDetails& user,
                         const std::string& edition, const TVelaJob* job);
// The script's address on the maker's server at `baseURL` (id.box "ReferralURL").
std::string ReferralAddress(const std::string& baseURL);

class TReferral {
  public:
    TReferral(THTTPMachine& machine, std::string baseURL, TMainLoop* loop = nullptr);
    ~TReferral();
    TReferral(const TReferral&) = delete;
    TReferral& operator=(const TReferral&) = delete;

    // The dialog's two mode lines for job mode or program mode.
    static std::pair<std::string, std::string> ModeLines(bool jobMode);

    // "Sending..." and the request; the job is copied.
    void Send(const std::string& recipient, const TUserDetails& user, const std::string& edition,
              const TVelaJob* job);
    // The dialog closes: every running or queued request of the machine stops.
    void Close();
    // From sending until the pause after the outcome has passed: the dialog ignores input.
    bool Busy() const { return busy_; }

    int PauseMs = 2000;                                // after the outcome, before closing
    std::function<void(const std::string&)> OnStatus;  // the second status panel
    std::function<void(bool)> OnActivity;              // the activity bar
    std::function<void()> OnBeep;
    std::function<void()> OnFinished;  // close the dialog

  private:
    void Event(THTTPResult& result, int type);
    void Outcome(const std::string& text);

    THTTPMachine& machine_;
    std::string base_;
    TTimer pause_;
    bool busy_ = false;
    std::shared_ptr<bool> alive_;
};

}  // namespace tessaly
