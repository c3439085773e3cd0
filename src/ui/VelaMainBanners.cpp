// The main window's side of the sponsor banners: the banner area with "InBanner" above the
// five small banners, the sponsor window, and the run states that start them.
#include <QEvent>
#include <algorithm>

#include "data/ConfigBox.h"
#include "ui/VelaBanner.h"
#include "ui/VelaMain.h"
#include "ui/VelaSponsor.h"

namespace tessaly::ui {

namespace {

constexpr int kSmallBorder = 4;  // a small banner is its image plus this
constexpr int kRowMargin = 8;    // room of a row beyond its tallest image
// The height kept for a row of banners the run may show before any picture has come, so
// the lists below do not jump when it does: the usual height of a strip and of a button.
constexpr int kReservedImageHeight = 60;
constexpr int kAnyTrigger = btAtStart | btAtSearch | btAtGrabRefine | btAtTimer;

bool MayShow(const TBannerPanel* p) {
    for (int t = 1; t <= kAnyTrigger; t <<= 1)
        if (p->HasTrigger(static_cast<TBannerTrigger>(t))) return true;
    return false;
}

// Lays the banner area out again whenever it changes size.
class TAdPanelWatch final : public QObject {
  public:
    TAdPanelWatch(TVelaMainForm* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Resize) form_->AdPanelResize();
        return false;
    }

  private:
    TVelaMainForm* form_;
};

}  // namespace

void TVelaMainForm::CreateBanners() {
    BufferPanelL = new QWidget(AdPanel);
    BufferPanelL->setObjectName("BufferPanelL");
    BufferPanelR = new QWidget(AdPanel);
    BufferPanelR->setObjectName("BufferPanelR");
    auto make = [this](const std::string& name) {
        auto* p = new TBannerPanel(engine_->Http(), engine_->Descriptor(), name, AdPanel);
        p->OnResize = [this] { AdPanelResize(); };
        p->OnBannerClick = [this](const std::string& d) { InBannerBannerClick(d); };
        return p;
    };
    InBanner = make("InBanner");
    // The strip spans the window: a frame round all of it would look like a box.
    InBanner->setFrameStyle(QFrame::NoFrame);
    for (int i = 0; i < 5; ++i)
        Sponsors[i] = make("Sponsor" + std::to_string(i + 1));
    AdPanel->installEventFilter(new TAdPanelWatch(this, AdPanel));

    // A window of its own, like the progress window: it stays on screen when the main
    // window is minimised.
    SponsorForm = new TSponsorForm(engine_->Http(), engine_->Descriptor(), nullptr);
    SponsorForm->OnOpenURL = [this](const std::string& a, bool n) { OpenURL(a, n); };
    SponsorWindow = SponsorForm;
    OnBannerTriggersChanged = [this] { LoadBannerTriggers(); };
}

void TVelaMainForm::AdPanelResize() {
    if (ResizingAds) return;
    ResizingAds = true;
    const int width = AdPanel->parentWidget() ? AdPanel->parentWidget()->width() : AdPanel->width();

    int rowWidth = 0, tallest = 0;
    bool anySmall = false, smallRow = false;
    for (TBannerPanel* s : Sponsors) {
        if (bannersStarted_ && MayShow(s)) {
            smallRow = true;
            tallest = std::max(tallest, kReservedImageHeight);
        }
        if (s->isHidden()) continue;
        anySmall = smallRow = true;
        rowWidth += s->ImageSize().width() + kSmallBorder;
        tallest = std::max(tallest, s->ImageSize().height());
    }
    const bool inShown = !InBanner->isHidden();
    const bool inRow = inShown || (bannersStarted_ && MayShow(InBanner));
    const int inHeight =
        std::max(inShown ? InBanner->ImageSize().height() : 0, inRow ? kReservedImageHeight : 0);

    int top = 0;
    if (inRow) {
        if (inShown) InBanner->setGeometry(0, 0, width, inHeight + kRowMargin);
        top = inHeight + kRowMargin;
    }
    if (anySmall) {
        // The spacers share what the row leaves; the banners sit in the middle.
        const int rowHeight = tallest + kRowMargin;
        const int left = std::max(0, width - rowWidth) / 2;
        BufferPanelL->setGeometry(0, top, left, rowHeight);
        int x = left;
        for (TBannerPanel* s : Sponsors) {
            if (s->isHidden()) continue;
            const QSize image = s->ImageSize();
            const int y = top + (rowHeight - image.height() - kSmallBorder) / 2;
            s->setGeometry(x, y, image.width() + kSmallBorder, image.height() + kSmallBorder);
            x += image.width() + kSmallBorder;
        }
        BufferPanelR->setGeometry(x, top, std::max(0, width - x), rowHeight);
    }
    BufferPanelL->setVisible(anySmall);
    BufferPanelR->setVisible(anySmall);

    const int height = (inRow ? inHeight + kRowMargin : 0) + (smallRow ? tallest + kRowMargin : 0);
    if (inRow || smallRow) {
        AdPanel->setFixedHeight(height);
        AdPanel->show();
    } else {
        AdPanel->hide();
    }
    ResizingAds = false;
}

void TVelaMainForm::LoadBannerTriggers() {
    SponsorForm->PopBanner->LoadTriggers();
    InBanner->LoadTriggers();
    for (TBannerPanel* s : Sponsors)
        s->LoadTriggers();
    // The room of the banners this run may show is kept from now on.
    AdPanelResize();
}

void TVelaMainForm::StartBanners() {
    bannersStarted_ = true;
    LoadBannerTriggers();
}

void TVelaMainForm::StopBanners() {
    bannersStarted_ = false;
    SponsorForm->PopBanner->Stop();
    InBanner->Stop();
    for (TBannerPanel* s : Sponsors)
        s->Stop();
    SponsorForm->hide();
}

void TVelaMainForm::FireBannerTrigger(int trigger) {
    const auto t = static_cast<TBannerTrigger>(trigger);
    for (TBannerPanel* p :
         {InBanner, Sponsors[0], Sponsors[1], Sponsors[2], Sponsors[3], Sponsors[4]})
        if (p->HasTrigger(t)) p->Start();
    if (SponsorForm->PopBanner->HasTrigger(t)) PopSponsorOnce();
}

// The sponsor window covers the listing: it pops up once in a run, not at every search
// and every Browse.
void TVelaMainForm::PopSponsorOnce() {
    if (sponsorPopped_) return;
    sponsorPopped_ = true;
    SponsorForm->PopBanner->Start();
}

void TVelaMainForm::BannerTriggers(TRunState from, TRunState to) {
    if (!bannersStarted_ || from == to) return;
    if (from == rsStarting && to == rsIdle)
        FireBannerTrigger(btAtStart);
    else if (to == rsSearching)
        FireBannerTrigger(btAtSearch);
    else if (to == rsGrabbing || to == rsRefining)
        FireBannerTrigger(btAtGrabRefine);
}

void TVelaMainForm::InBannerBannerClick(const std::string& destination) {
    OpenURL(destination, true);
}

void TVelaMainForm::PopBanner(const std::string& moment) {
    if (engine_->Descriptor().ReadString("PopBanner", moment) == "True") PopSponsorOnce();
}

}  // namespace tessaly::ui
