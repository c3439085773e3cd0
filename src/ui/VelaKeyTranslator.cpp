#include "ui/VelaKeyTranslator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tessaly::ui {

std::string VendorPage(const std::string& baseURL) {
    return baseURL + "/download.html";
}

// The link describes the service rather than naming a company: the service's address
// comes from the maker's settings and its provider may change without a new program.
QLabel* VendorLink(QWidget* parent, const std::function<void()>& onClick) {
    auto* link = new QLabel("<a href=\"vendor\">our translation service</a>", parent);
    link->setObjectName("Label4");
    link->setCursor(Qt::PointingHandCursor);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    QObject::connect(link, &QLabel::linkActivated, parent, [onClick] {
        if (onClick) onClick();
    });
    return link;
}

TKeyTranslator::TKeyTranslator(THTTPMachine& machine, QWidget* parent)
    : QDialog(parent, Qt::Tool), machine_(machine) {
    setObjectName("KeyTranslator");
    setWindowTitle("Keyword(s) Translation");
    setModal(true);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 12, 16, 10);
    Label1 = new QLabel("Keyword(s) translation in progress.\nPlease wait...", this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    v->addWidget(Label1);
    v->addSpacing(6);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(new QLabel("Translation provided by", this));
    Label4 = VendorLink(this, [this] {
        if (OnVendorClick) OnVendorClick();
    });
    h->addWidget(Label4);
    h->addStretch();
    v->addLayout(h);
    setFixedSize(sizeHint());
}

TKeyTranslator::~TKeyTranslator() = default;

void TKeyTranslator::Prepare(const std::string& baseURL, const TKeywordTranslation& job) {
    // A fresh request set per showing: answers to an earlier search cannot reach this one.
    logic_ = std::make_unique<tessaly::TKeyTranslator>(machine_, baseURL);
    logic_->OnFinished = [this] {
        if (isVisible()) accept();
    };
    logic_->Initialize();
    logic_->SourceLanguage = job.UserLanguage;
    logic_->Keywords = job.Keywords;
    if (job.French) logic_->Request(tessaly::TKeyTranslator::klFrench);
    if (job.German) logic_->Request(tessaly::TKeyTranslator::klGerman);
    if (job.Spanish) logic_->Request(tessaly::TKeyTranslator::klSpanish);
    started_ = false;
}

void TKeyTranslator::Results(TKeywordTranslation& job) const {
    if (!logic_) return;
    using L = tessaly::TKeyTranslator;
    job.KeywordsEN = logic_->Result(L::klEnglish);
    job.KeywordsFR = logic_->Result(L::klFrench);
    job.KeywordsDE = logic_->Result(L::klGerman);
    job.KeywordsSP = logic_->Result(L::klSpanish);
}

void TKeyTranslator::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (e->spontaneous() || started_ || !logic_) return;
    started_ = true;
    logic_->Start();
}

}  // namespace tessaly::ui
