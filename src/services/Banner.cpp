#include "services/Banner.h"

#include <chrono>
#include <random>
#include <utility>

#include "data/ConfigBox.h"
#include "net/HttpMachine.h"
#include "platform/ByteString.h"
#include "services/Reply.h"

namespace tessaly {

namespace {
constexpr int32_t kAbortStatus = 404;  // the client's code after an abort
constexpr int kDefaultRotation = 30000;
// Entries are counted until a weight of 0; a descriptor with absurdly many stops here.
constexpr int kMaxEntries = 1000;

// A whole number, leading blanks allowed; anything else gives `fallback`.
int ToInt(const std::string& s, int fallback) {
    return ParseIntOr(TrimLeft(s), fallback);
}

std::string ValueOf(const std::string& piece, const std::string& upperPiece, const char* name) {
    size_t at = upperPiece.find(name);
    if (at == std::string::npos) return {};
    size_t from = at + std::char_traits<char>::length(name);
    char stop = ' ';
    if (from < piece.size() && piece[from] == '"') {
        stop = '"';
        ++from;
    }
    size_t end = piece.find(stop, from);
    return end == std::string::npos ? std::string() : piece.substr(from, end - from);
}
}  // namespace

int ParseBannerTriggers(const std::string& text) {
    int flags = 0;
    if (text.find("AtStart") != std::string::npos) flags |= btAtStart;
    if (text.find("AtSearch") != std::string::npos) flags |= btAtSearch;
    if (text.find("AtGrabRefine") != std::string::npos) flags |= btAtGrabRefine;
    if (text.find("AtTimer") != std::string::npos) flags |= btAtTimer;
    return flags;
}

TBannerPageValues ParseBannerPage(const std::string& page, const std::string& delimiters) {
    size_t bar = delimiters.find('|');
    std::string begin = delimiters.substr(0, bar);
    std::string end = bar == std::string::npos ? std::string() : delimiters.substr(bar + 1);
    size_t at = begin.empty() ? std::string::npos : page.find(begin);
    std::string piece = at == std::string::npos ? page : page.substr(at);
    // The piece keeps as many characters as the end marker's position counted from one:
    // up to and including the marker's first character, so that a value the marker's
    // leading blank ends is still found.
    size_t stop = end.empty() ? std::string::npos : piece.find(end);
    piece = stop == std::string::npos ? std::string() : piece.substr(0, stop + 1);
    std::string upper = UpperCase(piece);
    return {ValueOf(piece, upper, "SRC="), ValueOf(piece, upper, "HREF="),
            ValueOf(piece, upper, "ALT=")};
}

TBanner::TBanner(THTTPMachine& machine, const TConfigBox& descriptor, std::string name,
                 TMainLoop* loop)
    : machine_(machine),
      descriptor_(descriptor),
      name_(std::move(name)),
      rotation_(loop),
      alive_(std::make_shared<bool>(true)) {
    rotation_.SetEnabled(false);
    rotation_.OnTimer = [this] {
        rotation_.SetEnabled(false);
        ShowNext();
    };
    auto engine = std::make_shared<std::mt19937>(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    Random = [engine] { return std::uniform_int_distribution<int>(0, 99)(*engine); };
}

TBanner::~TBanner() {
    *alive_ = false;
}

std::string TBanner::Line(int index, const char* key) const {
    return descriptor_.ReadLine(index, name_, key);
}

void TBanner::LoadTriggers() {
    triggers_ = ParseBannerTriggers(descriptor_.ReadString(name_, "Triggers"));
}

void TBanner::Start() {
    active_ = true;
    ShowNext();
}

void TBanner::Stop() {
    active_ = false;
    rotation_.SetEnabled(false);
    if (OnHide) OnHide();
}

int TBanner::ChooseEntry(int r) const {
    int entry = -1;
    int sum = -1;
    while (entry < kMaxEntries) {
        ++entry;
        int weight = ToInt(Line(entry, "Ratios"), 0);
        sum += weight;
        if (weight == 0 || sum >= r) break;
    }
    return entry;
}

void TBanner::SetHint(const std::string& hint) {
    hint_ = hint;
    if (OnHint) OnHint(hint);
}

void TBanner::Fetch(const std::string& url, int timeOut, bool image, const std::string& cookie) {
    auto query = machine_.NewQuery();
    query->URL = url;
    if (timeOut > 0) query->TimeOut = timeOut;
    query->Cookie = cookie;
    std::weak_ptr<bool> alive = alive_;
    query->OnEvent = [this, alive, image](THTTPResult& r, THTTPMachineEventType t) {
        if (auto a = alive.lock(); !a || !*a) return;
        if (image)
            ImageAnswer(r, t);
        else
            PageAnswer(r, t);
    };
    machine_.InsertQuery(std::move(query));
}

void TBanner::ShowNext() {
    if (!active_) return;
    entry_ = ChooseEntry(Random ? Random() : 0);
    SetHint(kDefaultHint);
    std::string destination = Line(entry_, "Destinations");
    bool image = !destination.empty();
    if (image) destination_ = destination;
    std::string source = Line(entry_, "Sources");
    if (!source.empty()) Fetch(source, RequestTimeOut, image);
}

void TBanner::Failed(const THTTPResult& result) {
    if (active_ && result.Status != kAbortStatus) ShowNext();
}

void TBanner::PageAnswer(THTTPResult& result, int type) {
    if (type == meFailed) return Failed(result);
    // An answer that arrives after Stop shows nothing: a stopped banner stays hidden.
    if (type != meDone || !active_) return;
    if (!result.Cookie.empty()) cookie_ = result.Cookie;
    TBannerPageValues values = ParseBannerPage(result.Data, Line(entry_, "Delimiters"));
    if (!values.Src.empty()) Fetch(values.Src, 0, true);
    if (!values.Href.empty()) destination_ = values.Href;
    SetHint(values.Alt.empty() ? std::string(kDefaultHint) : values.Alt);
}

void TBanner::ImageAnswer(THTTPResult& result, int type) {
    if (type == meFailed) return Failed(result);
    if (type != meDone || !active_) return;
    if (!result.Cookie.empty()) cookie_ = result.Cookie;
    bool shown = ReplySucceeded(result) && OnImage && OnImage(result.Data);
    if (!shown) {
        if (OnHide) OnHide();
        // The next choice is fetched, so this never recurses.
        ShowNext();
        return;
    }
    if (HasTrigger(btAtTimer)) StartRotation();
}

void TBanner::StartRotation() {
    int interval = ToInt(descriptor_.ReadString(name_, "Rotation"), kDefaultRotation);
    rotation_.SetInterval(interval);
    rotation_.SetEnabled(interval > 0);
}

void TBanner::Click() {
    if (OnWaiting) OnWaiting();
    if (!cookie_.empty()) {
        auto query = machine_.NewQuery();
        query->URL = destination_;
        query->TimeOut = RequestTimeOut;
        query->Cookie = cookie_;
        std::weak_ptr<bool> alive = alive_;
        query->OnEvent = [this, alive](THTTPResult& r, THTTPMachineEventType t) {
            if (auto a = alive.lock(); a && *a) ClickAnswer(r, t);
        };
        machine_.InsertQuery(std::move(query));
        if (OnStopAnimation) OnStopAnimation();
        return;
    }
    if (OnBannerClick) OnBannerClick(destination_);
    ShowNext();
}

void TBanner::ClickAnswer(THTTPResult& result, int type) {
    if (type != meDone && type != meFailed) return;
    if (OnHide) OnHide();
    if (type == meDone && !result.URL.empty() && OnBannerClick) OnBannerClick(result.URL);
    ShowNext();
}

}  // namespace tessaly
