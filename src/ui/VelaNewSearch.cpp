#include "ui/VelaNewSearch.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ButtonRow.h"
#include "ui/QtText.h"

namespace tessaly::ui {

TNewSearchForm::TNewSearchForm(QWidget* parent) : QDialog(parent) {
    setObjectName("NewSearchForm");
    setWindowTitle("New Search");
    setModal(true);

    auto* focus = new QGroupBox(" Search Focus ", this);
    auto* fl = new QVBoxLayout(focus);
    fl->addWidget(new QLabel("In which area are you looking for work ?", focus));
    NSRegion = new QComboBox(focus);
    NSRegion->setObjectName("NSRegion");
    NSRegion->setEditable(false);
    fl->addWidget(NSRegion);
    fl->addWidget(new QLabel("What kind of job are you looking for ?", focus));
    NSCategory = new QComboBox(focus);
    NSCategory->setObjectName("NSCategory");
    NSCategory->setEditable(false);
    fl->addWidget(NSCategory);

    auto* keys = new QGroupBox(" Keywords ", this);
    auto* kl = new QVBoxLayout(keys);
    kl->addWidget(
        new QLabel("Which keyword(s) best describe the kind of job you're\nlooking for ?", keys));
    NSKeyword = new QPlainTextEdit(keys);
    NSKeyword->setObjectName("NSKeyword");
    NSKeyword->setTabChangesFocus(true);
    NSKeyword->setFixedHeight(64);
    // Enter starts the search, as in any dialog; Ctrl+Enter breaks the line.
    NSKeyword->installEventFilter(this);
    kl->addWidget(NSKeyword);

    const TButtonRow row = MakeButtonRow(this, "&Search", "SearchBut", "&Cancel", "CancelBut");
    SearchBut = row.Accept;
    SearchBut->setEnabled(false);
    CancelBut = row.Cancel;
    auto* buttons = row.Box;

    auto* top = new QVBoxLayout(this);
    top->addWidget(focus);
    top->addWidget(keys);
    top->addWidget(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(NSKeyword, &QPlainTextEdit::textChanged, this, [this] { NSKeywordChange(); });
    connect(NSRegion, &QComboBox::currentIndexChanged, this, [this] { NSKeywordChange(); });
    connect(NSCategory, &QComboBox::currentIndexChanged, this, [this] { NSKeywordChange(); });
    connect(SearchBut, &QPushButton::clicked, this, [this] { SearchButClick(); });
    // Cancel, Escape and the close box all reject with the cancelled state kept.
    connect(CancelBut, &QPushButton::clicked, this, &QDialog::reject);
}

void TNewSearchForm::Init(const TStrings& regions, const TStrings& categories) {
    if (NSRegion->count() == 0) {
        for (const auto& r : regions)
            NSRegion->addItem(FromBytes(r), QByteArray(r.data(), static_cast<qsizetype>(r.size())));
        if (NSRegion->count() > 0) NSRegion->setCurrentIndex(0);
    }
    if (NSCategory->count() == 0) {
        for (const auto& c : categories)
            NSCategory->addItem(FromBytes(c),
                                QByteArray(c.data(), static_cast<qsizetype>(c.size())));
        if (NSCategory->count() > 0) NSCategory->setCurrentIndex(0);
    }
}

void TNewSearchForm::SelectExact(QComboBox* box, const std::string& text) {
    const QByteArray wanted(text.data(), static_cast<qsizetype>(text.size()));
    int found = -1;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i).toByteArray() == wanted) found = i;
    if (found >= 0) box->setCurrentIndex(found);
}

void TNewSearchForm::PrepareUpdate(const std::string& region, const std::string& category,
                                   const std::string& keywords) {
    SelectExact(NSRegion, region);
    SelectExact(NSCategory, category);
    // The box holds lines; CR LF in a stored search is one line break.
    NSKeyword->setPlainText(FromBytes(ReplaceAll(keywords, "\r\n", "\n")));
    setWindowTitle("Update Search");
    SearchBut->setText("&Update");
}

void TNewSearchForm::PrepareNew() {
    setWindowTitle("New Search");
    SearchBut->setText("&Search");
}

namespace {

// The entry's own bytes, as the definitions gave them.
std::string EntryBytes(const QComboBox* box) {
    if (box->currentIndex() < 0) return {};
    const QByteArray b = box->currentData().toByteArray();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

}  // namespace

std::string TNewSearchForm::Region() const {
    return EntryBytes(NSRegion);
}

std::string TNewSearchForm::Category() const {
    return EntryBytes(NSCategory);
}

std::string TNewSearchForm::Keywords() const {
    return ReplaceAll(ToBytesLike(NSKeyword->toPlainText(), ""), "\n", "\r\n");
}

bool TNewSearchForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == NSKeyword && e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ControlModifier)
                NSKeyword->insertPlainText("\n");
            else if (SearchBut->isEnabled())
                SearchBut->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TNewSearchForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TNewSearchForm::FormShow() {
    cancelled_ = true;
    NSKeywordChange();
    NSKeyword->setFocus();
}

void TNewSearchForm::NSKeywordChange() {
    // Not trimmed: a lone blank is a keyword. Without a region or a category to choose
    // there is nothing to search, so the button stays off then too.
    SearchBut->setEnabled(!NSKeyword->toPlainText().isEmpty() && NSRegion->currentIndex() >= 0 &&
                          NSCategory->currentIndex() >= 0);
}

void TNewSearchForm::SearchButClick() {
    cancelled_ = false;
    accept();
}

}  // namespace tessaly::ui
