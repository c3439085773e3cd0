// The online translation service: the keyword translator (the search's keywords into
// French, German and Spanish) and the job translator (one job page, shown in the browser).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/MainLoop.h"

namespace tessaly {

class THTTPMachine;
class THTTPResult;

// Percent-encodes exactly % : $ ? & = / + (the percent sign first).
std::string EscapeURL(const std::string& text);
// The translation after `marker` in an answer page; false (and `out` untouched) when the
// marker or the font marker that precedes the text is missing.
bool ExtractTranslation(const std::string& page, const std::string& marker, std::string& out);
// The request address for the service at `baseURL` (id.box "TranslateURL").
std::string TranslateAddress(const std::string& baseURL);

class TKeyTranslator {
  public:
    enum TLanguage { klEnglish = 0, klFrench, klGerman, klSpanish };

    TKeyTranslator(THTTPMachine& machine, std::string baseURL, TMainLoop* loop = nullptr);
    ~TKeyTranslator();
    TKeyTranslator(const TKeyTranslator&) = delete;
    TKeyTranslator& operator=(const TKeyTranslator&) = delete;

    // Source language "en", results empty, nothing pending.
    void Initialize();
    // The dialog shows: every result becomes the typed keywords, the pending languages are
    // asked for (French, German, Spanish) and the closing timer runs.
    void Start();
    bool Pending() const { return pending_[klFrench] || pending_[klGerman] || pending_[klSpanish]; }
    bool Finished() const { return finished_; }

    std::string SourceLanguage = "en";
    std::string Keywords;
    // Set before Start: the languages some taking-part site needs.
    void Request(TLanguage language) { pending_[language] = true; }
    const std::string& Result(TLanguage language) const { return results_[language]; }

    int TimeOut = 30;                  // seconds per request
    int CloseTickMs = 1000;            // how often the dialog checks whether all answers are in
    std::function<void()> OnFinished;  // every answer is in: close the dialog

  private:
    void Answer(TLanguage language, THTTPResult& result, int type);

    THTTPMachine& machine_;
    std::string base_;
    TTimer timer_;
    std::array<std::string, 4> results_;
    std::array<bool, 4> pending_{};
    bool finished_ = false;
    std::shared_ptr<bool> alive_;
};

struct TLanguagePair {
    const char* Caption;
    const char* Pair;
};
// The job translator's choices, in the order of its list.
extern const std::array<TLanguagePair, 10> kJobLanguagePairs;

class TJobTranslator {
  public:
    // `programDir` receives translation.html.
    TJobTranslator(THTTPMachine& machine, std::string baseURL, std::string programDir);
    ~TJobTranslator();
    TJobTranslator(const TJobTranslator&) = delete;
    TJobTranslator& operator=(const TJobTranslator&) = delete;

    int Selected = 0;  // index in kJobLanguagePairs; kept between showings
    // The request body for the job at `jobURL` with the selected pair.
    std::string RequestBody(const std::string& jobURL) const;
    void TranslateJob(const std::string& jobURL);

    // "Job Translation in Progress. Please wait..." on start, "" when it ends.
    std::function<void(const std::string&)> OnStatus;
    std::function<void(bool running)> OnRunning;  // the main window's rsTranslating/rsIdle
    std::function<void()> OnBeep;
    std::function<void(const std::string&)> OnError;     // the error box's text
    std::function<void(const std::string&)> OnOpenFile;  // translation.html, for the browser

  private:
    void Event(THTTPResult& result, int type);

    THTTPMachine& machine_;
    std::string base_;
    std::string dir_;
    std::shared_ptr<bool> alive_;
};

}  // namespace tessaly
