// The job-source update: fetches the update descriptor (config.box) from the maker's
// server and, when it names another definitions version than the loaded one, a new
// sources.def. Owns the descriptor store for the whole run. The dialog (GUI) and the CLI
// drive it and learn what happens through the callbacks; every event arrives on the main
// loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/ConfigBox.h"
#include "platform/MainLoop.h"

namespace tessaly {

class THTTPMachine;
class THTTPResult;
class TVelaSourcesList;

struct TGuideEntry {
    std::string Caption;
    std::string URL;  // empty when the descriptor lists fewer addresses than captions
};

struct TSourceUpdateSettings {
    int DescriptorTimeOut = 15;  // seconds
    int CloseDelayMs = 3000;     // from the outcome to closing
};

class TSourceUpdate {
  public:
    // `programDir` holds config.box and sources.def; `idBox` gives "ConfigURL",
    // "SourcesURL" and "Edition" of section "ID".
    TSourceUpdate(THTTPMachine& machine, TVelaSourcesList& sources, const TConfigBox& idBox,
                  std::string programDir, TMainLoop* loop = nullptr);
    ~TSourceUpdate();
    TSourceUpdate(const TSourceUpdate&) = delete;
    TSourceUpdate& operator=(const TSourceUpdate&) = delete;

    // Program start: loads config.box (a missing file loads nothing) and builds the guide.
    void LoadDescriptor();
    // The dialog shows: asks for the descriptor.
    void Start();
    // The dialog closes: aborts a running descriptor request (a definitions request goes on
    // and is still applied).
    void Close();

    TConfigBox& Descriptor() { return descriptor_; }
    const TConfigBox& Descriptor() const { return descriptor_; }
    // The Guide menu's entries from the descriptor, in order.
    std::vector<TGuideEntry> GuideEntries() const;
    // True when the descriptor's pop-up message is due at `moment` ("OnOpen", "OnUpdate",
    // "OnDoneSearch", "OnBrowse", "OnClose"; compared exactly).
    bool PopupDueAt(const std::string& moment) const;
    std::string PopupMessage() const { return descriptor_.ReadString("Popup", "Message"); }
    std::string PopupURL() const { return descriptor_.ReadString("Popup", "URL"); }

    const std::string& Status() const { return status_; }
    // What went wrong in the last run ("" when nothing did): the request that failed
    // and why, or the file that could not be stored. The status keeps its text.
    const std::string& Failure() const { return failure_; }
    bool Finished() const { return finished_; }  // the closing timer has fired
    // A request of ours runs; once none does, the outcome is known (the closing timer may
    // still run, and a descriptor without a version leaves the dialog open).
    bool Running() const { return requests_ > 0; }

    TSourceUpdateSettings Settings;

    std::function<void(const std::string&)> OnStatus;
    std::function<void()> OnGuideChanged;     // rebuild the Guide menus from GuideEntries()
    std::function<void()> OnTriggersChanged;  // banners re-read their triggers
    std::function<void()> OnSourcesChanged;   // the site list was reloaded: reload options
    std::function<void()> OnFinished;         // the closing timer fired: close the dialog

  private:
    void BoxUpdateEvent(THTTPResult& result, int type);
    void DefUpdateEvent(THTTPResult& result, int type);
    bool ApplyDefinitions(const std::string& document);
    bool LoadSources(const std::string& path);
    void SetStatus(const std::string& text);
    // `what` names the request; the result says why it failed.
    void SetFailure(const std::string& what, const THTTPResult& result, int type);
    void StartCloseTimer();
    std::string FilePath(const std::string& name) const;

    THTTPMachine& machine_;
    TVelaSourcesList& sources_;
    const TConfigBox& idBox_;
    std::string dir_;
    TConfigBox descriptor_;
    TTimer timer_;
    int32_t boxQuery_ = 0;
    bool boxRunning_ = false;
    int requests_ = 0;
    bool finished_ = false;
    std::string status_;
    std::string failure_;
    bool timedOut_ = false;  // a request of this run reported a time-out
    std::shared_ptr<bool> alive_;
};

}  // namespace tessaly
