// Sponsor banners: entries from the update descriptor, chosen at random by weight, fetched
// through the HTTP machine, optionally rotating; clicks go through the ad server when it
// set a cookie. Decoding and drawing the image belong to the owner (OnImage).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/MainLoop.h"

namespace tessaly {

class THTTPMachine;
class THTTPResult;
class TConfigBox;

enum TBannerTrigger { btAtStart = 1, btAtSearch = 2, btAtGrabRefine = 4, btAtTimer = 8 };

int ParseBannerTriggers(const std::string& text);

struct TBannerPageValues {
    std::string Src, Href, Alt;
};
// The "SRC=", "HREF=" and "ALT=" values of the piece of `page` between the markers of
// `delimiters` ("begin|end").
TBannerPageValues ParseBannerPage(const std::string& page, const std::string& delimiters);

class TBanner {
  public:
    static constexpr const char* kDefaultHint = "Click for details.";
    static constexpr const char* kImageHint = "Advertising.  Click here to know more!";

    // `name` is the banner's section in `descriptor` ("InBanner", "Sponsor1".., "PopBanner").
    TBanner(THTTPMachine& machine, const TConfigBox& descriptor, std::string name,
            TMainLoop* loop = nullptr);
    ~TBanner();
    TBanner(const TBanner&) = delete;
    TBanner& operator=(const TBanner&) = delete;

    void LoadTriggers();
    bool HasTrigger(TBannerTrigger t) const { return (triggers_ & t) != 0; }
    void Start();
    void Stop();
    bool Active() const { return active_; }
    void ShowNext();
    // The entry reached for the draw `r` (0..99) by the running sum of the weights.
    int ChooseEntry(int r) const;
    // The user clicked the image.
    void Click();

    const std::string& Name() const { return name_; }
    int CurrentEntry() const { return entry_; }
    const std::string& Destination() const { return destination_; }
    const std::string& Cookie() const { return cookie_; }
    const std::string& Hint() const { return hint_; }
    bool RotationRunning() const { return rotation_.Enabled(); }

    int RequestTimeOut = 240;  // seconds, for the entry's source and the click
    // A whole number from 0 to 99; defaults to a generator seeded from the clock.
    std::function<int()> Random;

    // The image's bytes: decode and show them (image hint kImageHint, sized to the picture,
    // panel shown); false when they cannot be decoded, and the banner chooses again.
    std::function<bool(const std::string& bytes)> OnImage;
    std::function<void()> OnHide;                    // hide the panel
    std::function<void(const std::string&)> OnHint;  // the panel's hint
    std::function<void()> OnWaiting;                 // caption "Please wait...", image hidden
    std::function<void()> OnStopAnimation;
    std::function<void(const std::string&)> OnBannerClick;  // open this address

  private:
    std::string Line(int index, const char* key) const;
    void Fetch(const std::string& url, int timeOut, bool image, const std::string& cookie = "");
    void PageAnswer(THTTPResult& result, int type);
    void ImageAnswer(THTTPResult& result, int type);
    void ClickAnswer(THTTPResult& result, int type);
    void Failed(const THTTPResult& result);
    void SetHint(const std::string& hint);
    void StartRotation();

    THTTPMachine& machine_;
    const TConfigBox& descriptor_;
    std::string name_;
    TTimer rotation_;
    int triggers_ = 0;
    bool active_ = false;
    int entry_ = -1;
    std::string destination_;
    std::string cookie_;
    std::string hint_ = kDefaultHint;
    std::shared_ptr<bool> alive_;
};

}  // namespace tessaly
