#include "services/SourceUpdate.h"

#include <algorithm>
#include <utility>

#include "data/Companies.h"
#include "data/VelaSources.h"
#include "net/HttpMachine.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "services/Reply.h"

namespace tessaly {

TSourceUpdate::TSourceUpdate(THTTPMachine& machine, TVelaSourcesList& sources,
                             const TConfigBox& idBox, std::string programDir, TMainLoop* loop)
    : machine_(machine),
      sources_(sources),
      idBox_(idBox),
      dir_(std::move(programDir)),
      timer_(loop),
      alive_(std::make_shared<bool>(true)) {
    timer_.SetEnabled(false);
    timer_.OnTimer = [this] {
        timer_.SetEnabled(false);
        finished_ = true;
        if (OnFinished) OnFinished();
    };
}

// Handlers still queued on the machine must not reach a destroyed object.
TSourceUpdate::~TSourceUpdate() {
    *alive_ = false;
}

std::string TSourceUpdate::FilePath(const std::string& name) const {
    return dir_.empty() ? name : dir_ + "/" + name;
}

void TSourceUpdate::LoadDescriptor() {
    std::string path = FilePath("config.box");
    if (FileExists(path)) descriptor_.LoadFromFile(path);
    descriptor_.Edition = idBox_.ReadString("ID", "Edition");
    if (OnGuideChanged) OnGuideChanged();
}

std::vector<TGuideEntry> TSourceUpdate::GuideEntries() const {
    TStrings captions = SplitLines(descriptor_.ReadString("Guide", "Captions"));
    TStrings urls = SplitLines(descriptor_.ReadString("Guide", "URLs"));
    std::vector<TGuideEntry> entries;
    for (size_t i = 0; i < captions.size(); ++i)
        entries.push_back({captions[i], i < urls.size() ? urls[i] : std::string()});
    return entries;
}

bool TSourceUpdate::PopupDueAt(const std::string& moment) const {
    return descriptor_.ReadString("Popup", "Mode") == moment;
}

void TSourceUpdate::SetStatus(const std::string& text) {
    status_ = text;
    if (OnStatus) OnStatus(text);
}

void TSourceUpdate::SetFailure(const std::string& what, const THTTPResult& result, int type) {
    std::string why;
    if (type == meDone || result.Outcome == THttpOutcome::Refused) {
        // The status line of the server's error page, without its protocol.
        const std::string line = result.Header.substr(0, result.Header.find('\r'));
        why = type == meDone ? line.substr(std::min(line.size(), line.find(' ') + 1))
                             : IntToStr(result.Status) + " " + result.Reason;
        why = "the server answered \"" + Trim(why) + "\"";
    } else if (timedOut_) {
        why = "the server sent nothing for too long";
    } else {
        why = result.Reason.empty() ? "the request failed" : result.Reason;
    }
    failure_ = what + ": " + why;
}

void TSourceUpdate::StartCloseTimer() {
    timer_.SetInterval(Settings.CloseDelayMs);
    timer_.SetEnabled(true);
}

void TSourceUpdate::Start() {
    finished_ = false;
    failure_.clear();
    timedOut_ = false;
    SetStatus("Contacting Tessaly Technologies. Please wait...");
    auto query = machine_.NewQuery();
    query->URL = idBox_.ReadString("ID", "ConfigURL");
    query->TimeOut = Settings.DescriptorTimeOut;
    std::weak_ptr<bool> alive = alive_;
    query->OnEvent = [this, alive](THTTPResult& r, THTTPMachineEventType t) {
        if (auto a = alive.lock(); a && *a) BoxUpdateEvent(r, t);
    };
    boxQuery_ = query->ID;
    boxRunning_ = true;
    ++requests_;
    machine_.AddQuery(std::move(query));
}

void TSourceUpdate::Close() {
    timer_.SetEnabled(false);
    if (boxRunning_ && machine_.IsBusy()) machine_.AbortQuery(boxQuery_);
}

void TSourceUpdate::BoxUpdateEvent(THTTPResult& result, int type) {
    if (type == meTimeOut) timedOut_ = true;
    if (type == meDone || type == meFailed) --requests_;
    if (type == meFailed || (type == meDone && !ReplySucceeded(result))) {
        SetFailure(
            "Cannot fetch the update descriptor from " + idBox_.ReadString("ID", "ConfigURL"),
            result, type);
        boxRunning_ = false;
        StartCloseTimer();
        return;
    }
    if (type != meDone) return;
    boxRunning_ = false;
    std::string path = FilePath("config.box");
    try {
        WriteFileAtomic(path, result.Data);
        descriptor_.LoadFromFile(path);
    } catch (const std::exception& e) {
        // A descriptor that cannot be stored or read leaves the old one in force.
        failure_ = e.what();
        StartCloseTimer();
        return;
    }
    descriptor_.Edition = idBox_.ReadString("ID", "Edition");
    if (OnGuideChanged) OnGuideChanged();

    std::string version = descriptor_.ReadString("DEFFile", "Version");
    if (!version.empty()) {
        if (version != sources_.Version) {
            SetStatus("Updating job sources...");
            auto query = machine_.NewQuery();
            query->URL = idBox_.ReadString("ID", "SourcesURL");
            std::weak_ptr<bool> alive = alive_;
            query->OnEvent = [this, alive](THTTPResult& r, THTTPMachineEventType t) {
                if (auto a = alive.lock(); a && *a) DefUpdateEvent(r, t);
            };
            ++requests_;
            machine_.AddQuery(std::move(query));
        } else {
            SetStatus("No update needed.");
            StartCloseTimer();
        }
    }
    if (OnTriggersChanged) OnTriggersChanged();
}

bool TSourceUpdate::LoadSources(const std::string& path) {
    try {
        sources_.LoadFromFile(path);
        const bool valid = sources_.Count() > 1;
        // The user's own sites and watched companies come back after the new file's; a
        // slip in them was told when the program loaded them first.
        if (valid && !dir_.empty()) AddOwnSites(sources_, dir_, ShippedDataDirectory());
        return valid;
    } catch (const std::exception&) {
        return false;
    }
}

// sources.def is never missing: the old file is copied to the backup and the new one is
// written beside it and renamed into place.
bool TSourceUpdate::ApplyDefinitions(const std::string& document) {
    std::string def = FilePath("sources.def");
    std::string bak = FilePath("sources.def.bak");
    std::string fresh = FilePath("sources.def.new");
    bool backedUp = false;
    try {
        WriteFileAtomic(fresh, document);
        if (FileExists(def)) {
            WriteFileAtomic(bak, ReadFileBytes(def));
            backedUp = true;
        }
        if (!RenameFile(fresh, def)) throw EFileError("cannot rename " + fresh);
    } catch (const std::exception&) {
        DeleteFile(fresh);
        return false;
    }
    if (!LoadSources(def) && backedUp) {
        RenameFile(bak, def);
        LoadSources(def);
    }
    if (OnSourcesChanged) OnSourcesChanged();
    return true;
}

void TSourceUpdate::DefUpdateEvent(THTTPResult& result, int type) {
    if (type == meTimeOut) timedOut_ = true;
    if (type == meDone || type == meFailed) --requests_;
    if (type == meDone && ReplySucceeded(result)) {
        // A file that could not be stored is no update; the status must not claim one.
        if (ApplyDefinitions(result.Data))
            SetStatus("Job sources updated.");
        else
            failure_ = "Cannot store the new job sources as " + FilePath("sources.def");
    } else if (type == meDone || type == meFailed) {
        SetFailure("Cannot fetch the job sources from " + idBox_.ReadString("ID", "SourcesURL"),
                   result, type);
    }
    if (type == meDone || type == meFailed) StartCloseTimer();
}

}  // namespace tessaly
