#include "services/Referral.h"

#include <utility>

#include "data/ConfigBox.h"
#include "data/Settings.h"
#include "data/VelaJobs.h"
#include "net/HttpMachine.h"
#include "platform/ByteString.h"
#include "services/Reply.h"

namespace tessaly {

TUserDetails ReadUserDetails(const TConfigBox& options) {
    return {options::UserEmail.Read(options), options::UserFirstName.Read(options),
            options::UserLastName.Read(options)};
}

void WriteUserDetails(TConfigBox& options, const TUserDetails& user) {
    options::UserEmail.Write(options, user.Email);
    options::UserFirstName.Write(options, user.FirstName);
    options::UserLastName.Write(options, user.LastName);
}

std::string ReferralBody(const std::string& recipient, const TUserDetails& user,
                         const std::string& edition, const TVelaJob* job) {
    std::string body = "recipient=" + recipient + "&email=" + user.Email +
                       "&realname=" + user.FirstName + " " + user.LastName + "&edition=" + edition;
    if (job) {
        body += "&jobtitle=" + job->Title + "&jobcompany=" + job->Company +
                "&joblocation=" + job->Location + "&jobsource=" + job->Source;
        // The job's address must not break the form's own fields: "=" and "&" become the
        // Latin-1 section and pilcrow signs.
        body += "&joburl=" + ReplaceAll(ReplaceAll(job->URL, "=", "\xA7"), "&", "\xB6");
    }
    return ReplaceAll(body, " ", "+");
}

std::string ReferralAddress(const std::string& baseURL) {
    return baseURL + "/cgi-bin/referal.asp";
}

TReferral::TReferral(THTTPMachine& machine, std::string baseURL, TMainLoop* loop)
    : machine_(machine),
      base_(std::move(baseURL)),
      pause_(loop),
      alive_(std::make_shared<bool>(true)) {
    pause_.SetEnabled(false);
    pause_.OnTimer = [this] {
        pause_.SetEnabled(false);
        busy_ = false;
        if (OnFinished) OnFinished();
    };
}

TReferral::~TReferral() {
    *alive_ = false;
}

std::pair<std::string, std::string> TReferral::ModeLines(bool jobMode) {
    if (jobMode) return {"You know someone who really should", "apply for this particular job?"};
    return {"You know someone who could make", "good use of Tessaly Jobs 98?"};
}

void TReferral::Send(const std::string& recipient, const TUserDetails& user,
                     const std::string& edition, const TVelaJob* job) {
    if (busy_) return;
    busy_ = true;
    if (OnActivity) OnActivity(true);
    if (OnStatus) OnStatus("Sending...");
    auto query = machine_.NewQuery();
    query->URL = ReferralAddress(base_);
    query->IsPost = true;
    query->Parameters = ReferralBody(recipient, user, edition, job);
    std::weak_ptr<bool> alive = alive_;
    query->OnEvent = [this, alive](THTTPResult& r, THTTPMachineEventType t) {
        if (auto a = alive.lock(); a && *a) Event(r, t);
    };
    machine_.AddQuery(std::move(query));
}

void TReferral::Close() {
    pause_.SetEnabled(false);
    busy_ = false;
    // Stopping an idle machine would fail the next request queued before its next tick.
    if (machine_.IsBusy() || machine_.QueuedCount() > 0) machine_.StopAll();
}

void TReferral::Outcome(const std::string& text) {
    if (OnStatus) OnStatus(text);
    if (OnActivity) OnActivity(false);
    if (OnBeep) OnBeep();
    // A timer instead of sleeping: the other windows keep repainting meanwhile.
    pause_.SetInterval(PauseMs);
    pause_.SetEnabled(true);
}

void TReferral::Event(THTTPResult& result, int type) {
    // Closed while sending: the stopped request's end is nobody's business any more.
    if (!busy_) return;
    if (type == meFailed) {
        Outcome("Error. Try later.");
    } else if (type == meDone) {
        bool thanked = ReplySucceeded(result) && result.Data.find("Thank You") != std::string::npos;
        Outcome(thanked ? "Done." : "Error. Try later.");
    }
}

}  // namespace tessaly
