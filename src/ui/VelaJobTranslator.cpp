#include "ui/VelaJobTranslator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ButtonRow.h"
#include "ui/VelaKeyTranslator.h"

namespace tessaly::ui {

TJobTranslator::TJobTranslator(THTTPMachine& machine, std::string programDir, QWidget* parent)
    : QDialog(parent), machine_(machine), dir_(std::move(programDir)) {
    setObjectName("JobTranslator");
    setWindowTitle("Job Translator");
    setModal(true);
    auto* v = new QVBoxLayout(this);
    auto* text = new QLabel(
        "Tessaly Jobs 98 will tranlate the job you have selected using\n"
        "an online translation service. You need to be connected to the\n"
        "Internet for this to work.",
        this);
    text->setObjectName("Label1");
    v->addWidget(text);
    v->addSpacing(4);
    v->addWidget(new QLabel("Translate from:", this));
    LangBox = new QListWidget(this);
    LangBox->setObjectName("LangBox");
    for (const TLanguagePair& pair : kJobLanguagePairs)
        LangBox->addItem(pair.Caption);
    LangBox->setCurrentRow(0);
    // Every pair in view without scrolling.
    LangBox->setFixedHeight(LangBox->sizeHintForRow(0) * LangBox->count() +
                            2 * LangBox->frameWidth() + 2);
    v->addWidget(LangBox);

    auto* vendor = new QHBoxLayout;
    vendor->addWidget(new QLabel("Translation provided by", this));
    Label4 = VendorLink(this, [this] {
        if (OnVendorClick) OnVendorClick();
    });
    vendor->addWidget(Label4);
    vendor->addStretch();
    v->addLayout(vendor);

    const TButtonRow row =
        MakeButtonRow(this, "&Translate", "TranslateBut", "&Cancel", "CancelBut");
    TranslateBut = row.Accept;
    CancelBut = row.Cancel;
    v->addWidget(row.Box);

    connect(TranslateBut, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBut, &QPushButton::clicked, this, &QDialog::reject);
    connect(LangBox, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

TJobTranslator::~TJobTranslator() = default;

int TJobTranslator::Selected() const {
    const int row = LangBox->currentRow();
    return row >= 0 ? row : 0;
}

std::string TJobTranslator::RequestBody(const std::string& jobURL) const {
    tessaly::TJobTranslator probe(machine_, base_, dir_);
    probe.Selected = Selected();
    return probe.RequestBody(jobURL);
}

void TJobTranslator::TranslateJob(const std::string& baseURL, const std::string& jobURL) {
    if (!logic_ || baseURL != base_) {
        base_ = baseURL;
        logic_ = std::make_unique<tessaly::TJobTranslator>(machine_, base_, dir_);
        logic_->OnStatus = [this](const std::string& s) {
            if (OnStatus) OnStatus(s);
        };
        logic_->OnRunning = [this](bool on) {
            if (OnRunning) OnRunning(on);
        };
        logic_->OnBeep = [this] {
            if (OnBeep) OnBeep();
        };
        logic_->OnError = [this](const std::string& s) {
            if (OnError) OnError(s);
        };
        logic_->OnOpenFile = [this](const std::string& s) {
            if (OnOpenFile) OnOpenFile(s);
        };
    }
    logic_->Selected = Selected();
    logic_->TranslateJob(jobURL);
}

}  // namespace tessaly::ui
