#include "ui/VelaUpdate.h"

#include <QAction>
#include <QHideEvent>
#include <QLabel>
#include <QMenu>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "search/SearchEngine.h"
#include "ui/QtText.h"

namespace tessaly::ui {

namespace {
// Guide entries in the Help menu carry this tag, so a rebuild removes them and nothing else.
constexpr int kGuideTag = -2;
}  // namespace

TUpdateForm::TUpdateForm(TSearchEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      engine_(engine),
      update_(std::make_unique<TSourceUpdate>(engine.Http(), engine.Sites(), engine.Identity(),
                                              engine.Home())) {
    setObjectName("UpdateForm");
    setWindowTitle("Automatic Update");
    setModal(true);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(18, 14, 18, 12);
    auto* text = new QLabel(
        "Tessaly Jobs is checking for new or updated\n"
        "job sites.  It will only take a few seconds.",
        this);
    text->setObjectName("Label1");
    v->addWidget(text);
    v->addSpacing(8);
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");
    // Wide enough for the longest status, so the window does not change size as it runs.
    StatusLabel->setMinimumWidth(
        std::max(text->sizeHint().width(), StatusLabel->fontMetrics().horizontalAdvance(
                                               "Contacting Tessaly Technologies. Please wait...")));
    v->addWidget(StatusLabel);
    v->setSizeConstraint(QLayout::SetFixedSize);

    update_->OnStatus = [this](const std::string& s) { StatusLabel->setText(FromBytes(s)); };
    update_->OnGuideChanged = [this] {
        // Everything else reads the descriptor through the engine's copy.
        engine_.Descriptor() = update_->Descriptor();
        if (OnGuideChanged) OnGuideChanged();
    };
    update_->OnTriggersChanged = [this] {
        if (OnTriggersChanged) OnTriggersChanged();
    };
    update_->OnSourcesChanged = [this] {
        // The new sites take the user's choices, as they do when the program loads them.
        for (int i = 0; i < engine_.Sites().Count(); ++i) {
            TVelaSource& site = engine_.Sites()[i];
            site.EnabledChoice = options::SiteChosen(engine_.OptionsBox(), site.Title);
        }
        if (OnSourcesChanged) OnSourcesChanged();
    };
    update_->OnFinished = [this] {
        if (isVisible()) accept();
    };
}

TUpdateForm::~TUpdateForm() = default;

void TUpdateForm::LoadDescriptor() {
    update_->LoadDescriptor();
}

void TUpdateForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TUpdateForm::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (!e->spontaneous()) FormClose();
}

void TUpdateForm::FormShow() {
    if (running_) return;
    running_ = true;
    update_->Start();
}

void TUpdateForm::FormClose() {
    if (!running_) return;
    running_ = false;
    update_->Close();
}

void BuildGuide(QToolButton* guideBut, QMenu* guidePopup, QMenu* helpMenu,
                const std::vector<TGuideEntry>& entries,
                const std::function<void(const std::string&)>& open) {
    guideBut->setEnabled(false);
    guidePopup->clear();
    if (helpMenu) {
        for (QAction* a : helpMenu->actions()) {
            if (a->data().toInt() != kGuideTag || !a->data().isValid()) continue;
            helpMenu->removeAction(a);
            delete a;
        }
    }
    auto item = [&open](QMenu* menu, const TGuideEntry& entry) {
        QAction* a = menu->addAction(FromBytes(entry.Caption));
        a->setObjectName("GuideItem");
        a->setStatusTip(FromBytes(entry.URL));
        const std::string url = entry.URL;
        QObject::connect(a, &QAction::triggered, menu, [open, url] {
            if (open) open(url);
        });
        return a;
    };
    if (helpMenu && !entries.empty()) helpMenu->addSeparator()->setData(kGuideTag);
    for (const TGuideEntry& entry : entries) {
        guideBut->setEnabled(true);
        item(guidePopup, entry);
        if (helpMenu) item(helpMenu, entry)->setData(kGuideTag);
    }
}

}  // namespace tessaly::ui
