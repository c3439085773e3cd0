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
    bool anySmall = false;
    for (TBannerPanel* s : Sponsors) {
        if (s->isHidden()) continue;
        anySmall = true;
        rowWidth += s->ImageSize().width() + kSmallBorder;
        tallest = std::max(tallest, s->ImageSize().height());
    }
    const bool inShown = !InBanner->isHidden();
    const int inHeight = inShown ? InBanner->ImageSize().height() : 0;

    int top = 0;
    if (inShown) {
        InBanner->setGeometry(0, 0, width, inHeight + kRowMargin);
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

    const int height = tallest + inHeight + kRowMargin + (inShown && anySmall ? kRowMargin : 0);
    if (inShown || anySmall) {
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
}

void TVelaMainForm::StartBanners() {
    LoadBannerTriggers();
    bannersStarted_ = true;
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
    for (TBannerPanel* p : {SponsorForm->PopBanner, InBanner, Sponsors[0], Sponsors[1], Sponsors[2],
                            Sponsors[3], Sponsors[4]})
        if (p->HasTrigger(t)) p->Start();
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
    if (engine_->Descriptor().ReadString("PopBanner", moment) == "True")
        SponsorForm->PopBanner->Start();
}

}  // namespace tessaly::ui
