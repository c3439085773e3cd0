#include "services/Translation.h"

#include <utility>

#include "net/HttpMachine.h"
#include "platform/ByteString.h"
#include "platform/TextFile.h"
#include "services/Reply.h"

namespace tessaly {

namespace {
// The client's code for an aborted or timed-out request.
constexpr int32_t kAbortStatus = 404;
// The answer pages are Latin-1.
const char* const kMarkers[4] = {"",
                                 "En Fran\xE7"
                                 "ais:",
                                 "Auf Deutsch:",
                                 "En Espa\xF1"
                                 "ol:"};
const char* const kCodes[4] = {"", "_fr", "_de", "_sp"};
}  // namespace

std::string EscapeURL(const std::string& text) {
    std::string s = ReplaceAll(text, "%", "%25");
    static const std::pair<const char*, const char*> kCodesOf[] = {
        {":", "%3A"}, {"$", "%24"}, {"?", "%3F"}, {"&", "%26"},
        {"=", "%3D"}, {"/", "%2F"}, {"+", "%2B"}};
    for (auto [from, to] : kCodesOf)
        s = ReplaceAll(s, from, to);
    return s;
}

bool ExtractTranslation(const std::string& page, const std::string& marker, std::string& out) {
    std::string text = JoinLinesCrLf(SplitLines(page));
    size_t at = text.find(marker);
    if (at == std::string::npos) return false;
    static const std::string kFont = "helvetica\">";
    size_t font = text.find(kFont, at);
    if (font == std::string::npos) return false;
    size_t from = font + kFont.size();
    size_t end = text.find("\r\n", from);
    out = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    return true;
}

std::string TranslateAddress(const std::string& baseURL) {
    return baseURL + "/cgi-bin/translate?";
}

TKeyTranslator::TKeyTranslator(THTTPMachine& machine, std::string baseURL, TMainLoop* loop)
    : machine_(machine),
      base_(std::move(baseURL)),
      timer_(loop),
      alive_(std::make_shared<bool>(true)) {
    timer_.SetEnabled(false);
    timer_.OnTimer = [this] {
        if (Pending()) return;
        timer_.SetEnabled(false);
        finished_ = true;
        if (OnFinished) OnFinished();
    };
}

TKeyTranslator::~TKeyTranslator() {
    *alive_ = false;
}

void TKeyTranslator::Initialize() {
    SourceLanguage = "en";
    results_ = {};
    pending_ = {};
    finished_ = false;
}

void TKeyTranslator::Start() {
    finished_ = false;
    results_.fill(Keywords);
    for (TLanguage language : {klFrench, klGerman, klSpanish}) {
        if (!pending_[language]) continue;
        auto query = machine_.NewQuery();
        query->URL = TranslateAddress(base_);
        query->IsPost = true;
        query->Parameters =
            "doit=done&lp=" + SourceLanguage + kCodes[language] + "&urltext=" + Keywords;
        query->TimeOut = TimeOut;
        std::weak_ptr<bool> alive = alive_;
        query->OnEvent = [this, alive, language](THTTPResult& r, THTTPMachineEventType t) {
            if (auto a = alive.lock(); a && *a) Answer(language, r, t);
        };
        machine_.AddQuery(std::move(query));
    }
    timer_.SetInterval(CloseTickMs);
    timer_.SetEnabled(true);
}

void TKeyTranslator::Answer(TLanguage language, THTTPResult& result, int type) {
    if (type == meDone) {
        // An answer without the markers keeps the keywords as typed.
        std::string text;
        if (ReplySucceeded(result) && ExtractTranslation(result.Data, kMarkers[language], text))
            results_[language] = text;
        pending_[language] = false;
    } else if (type == meFailed) {
        pending_[language] = false;
    }
}

const std::array<TLanguagePair, 10> kJobLanguagePairs = {{
    {"English to French", "en_fr"},
    {"English to German", "en_de"},
    {"English to Italian", "en_it"},
    {"English to Portuguese", "en_pt"},
    {"English to Spanish", "en_sp"},
    {"French to English", "fr_en"},
    {"German to English", "de_en"},
    {"Italian to English", "it_en"},
    {"Portuguese to English", "pt_en"},
    {"Spanish to English", "sp_en"},
}};

TJobTranslator::TJobTranslator(THTTPMachine& machine, std::string baseURL, std::string programDir)
    : machine_(machine),
      base_(std::move(baseURL)),
      dir_(std::move(programDir)),
      alive_(std::make_shared<bool>(true)) {}

TJobTranslator::~TJobTranslator() {
    *alive_ = false;
}

std::string TJobTranslator::RequestBody(const std::string& jobURL) const {
    int at = Selected >= 0 && Selected < static_cast<int>(kJobLanguagePairs.size()) ? Selected : 0;
    return std::string("doit=done&lp=") + kJobLanguagePairs[static_cast<size_t>(at)].Pair +
           "&urltext=" + EscapeURL(jobURL);
}

void TJobTranslator::TranslateJob(const std::string& jobURL) {
    auto query = machine_.NewQuery();
    query->URL = TranslateAddress(base_);
    query->IsPost = true;
    query->Parameters = RequestBody(jobURL);
    std::weak_ptr<bool> alive = alive_;
    query->OnEvent = [this, alive](THTTPResult& r, THTTPMachineEventType t) {
        if (auto a = alive.lock(); a && *a) Event(r, t);
    };
    machine_.AddQuery(std::move(query));
}

void TJobTranslator::Event(THTTPResult& result, int type) {
    auto finish = [this] {
        if (OnStatus) OnStatus("");
        if (OnRunning) OnRunning(false);
    };
    if (type == meStarted) {
        if (OnRunning) OnRunning(true);
        if (OnStatus) OnStatus("Job Translation in Progress. Please wait...");
    } else if (type == meDone && !ReplySucceeded(result)) {
        // An error page is no translation; the failure report follows with meFailed only
        // for requests that never got an answer, so report it here.
        finish();
        if (OnBeep) OnBeep();
        if (OnError) OnError("Translation could not be completed at this time. Please try later.");
    } else if (type == meDone) {
        std::string path = (dir_.empty() ? std::string() : dir_ + "/") + "translation.html";
        try {
            WriteFileAtomic(path, result.Data);
            if (OnOpenFile) OnOpenFile(path);
        } catch (const std::exception&) {
            if (OnBeep) OnBeep();
        }
        finish();
    } else if (type == meFailed) {
        finish();
        if (OnBeep) OnBeep();
        if (OnError)
            OnError(result.Status == kAbortStatus
                        ? "Translation has timed out due to Internet congestion. Please try later."
                        : "Translation could not be completed at this time. Please try later.");
    }
}

}  // namespace tessaly
