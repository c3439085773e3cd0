#include "ui/VelaRefine.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/ByteString.h"
#include "ui/ButtonRow.h"
#include "ui/QtText.h"

namespace tessaly::ui {

TRefineForm::TRefineForm(QWidget* parent) : QDialog(parent) {
    setObjectName("RefineForm");
    setWindowTitle("Refine Search");
    setModal(true);

    auto* intro = new QLabel(
        "You can improve the accuracy of your job relevancy \n"
        "score by performing a full-text search inside grabbed \n"
        "job descriptions.\n"
        "\n"
        "Which additional keywords describe in more detail \n"
        "what you're looking for ?",
        this);
    intro->setObjectName("IntroText");
    KeyBox = new QPlainTextEdit(this);
    KeyBox->setObjectName("KeyBox");
    KeyBox->setTabChangesFocus(true);
    KeyBox->setFixedHeight(64);

    // The options are exclusive by their click handlers, as one pair.
    ValidModeRadio = new QRadioButton("Validation Mode", this);
    ValidModeRadio->setObjectName("ValidModeRadio");
    ValidModeRadio->setAutoExclusive(false);
    ValidModeRadio->setChecked(true);
    ValidNote = new QLabel("Jobs that match these keywords will be\nmarked VALID", this);
    ValidNote->setObjectName("ValidNote");
    InvalidModeRadio = new QRadioButton("Invalidation Mode", this);
    InvalidModeRadio->setObjectName("InvalidModeRadio");
    InvalidModeRadio->setAutoExclusive(false);
    InvalidNote = new QLabel("Jobs that match these keywords will be\nmarked INVALID", this);
    InvalidNote->setObjectName("InvalidNote");
    InvalidNote->setEnabled(false);
    for (QLabel* note : {ValidNote, InvalidNote})
        note->setContentsMargins(20, 0, 0, 0);

    AllModeBox = new QCheckBox("All keywords must be matched", this);
    AllModeBox->setObjectName("AllModeBox");
    DownloadBox = new QCheckBox("Download job descriptions as needed", this);
    DownloadBox->setObjectName("DownloadBox");
    DownloadBox->setChecked(true);
    KeepAsGrabbedBox = new QCheckBox("Keep downloaded jobs for offline browsing", this);
    KeepAsGrabbedBox->setObjectName("KeepAsGrabbedBox");

    const TButtonRow row = MakeButtonRow(this, "&Refine", "RefineBut", "&Cancel", "CancelBut");
    RefineBut = row.Accept;
    RefineBut->setEnabled(false);
    CancelBut = row.Cancel;
    auto* buttons = row.Box;

    auto* modes = new QGridLayout;
    modes->addWidget(ValidModeRadio, 0, 0);
    modes->addWidget(ValidNote, 1, 0);
    modes->addWidget(InvalidModeRadio, 0, 1);
    modes->addWidget(InvalidNote, 1, 1);

    auto* top = new QVBoxLayout(this);
    top->addWidget(intro);
    top->addWidget(KeyBox);
    top->addLayout(modes);
    top->addWidget(AllModeBox);
    top->addWidget(DownloadBox);
    top->addWidget(KeepAsGrabbedBox);
    top->addWidget(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(KeyBox, &QPlainTextEdit::textChanged, this, [this] { KeyBoxChange(); });
    connect(ValidModeRadio, &QRadioButton::clicked, this, [this] { ValidModeRadioClick(); });
    connect(InvalidModeRadio, &QRadioButton::clicked, this, [this] { InvalidModeRadioClick(); });
    connect(DownloadBox, &QCheckBox::clicked, this, [this] { DownloadBoxClick(); });
    connect(RefineBut, &QPushButton::clicked, this, [this] { RefineButClick(); });
    connect(CancelBut, &QPushButton::clicked, this, &QDialog::reject);
}

std::string TRefineForm::Keywords() const {
    return ReplaceAll(ToBytesLike(KeyBox->toPlainText(), ""), "\n", "\r\n");
}

void TRefineForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TRefineForm::FormShow() {
    cancelled_ = true;
    KeyBox->clear();
    RefineBut->setEnabled(false);
    KeyBox->setFocus();
}

void TRefineForm::KeyBoxChange() {
    RefineBut->setEnabled(!KeyBox->toPlainText().isEmpty());
}

void TRefineForm::ValidModeRadioClick() {
    ValidModeRadio->setChecked(true);
    ValidNote->setEnabled(true);
    InvalidModeRadio->setChecked(false);
    InvalidNote->setEnabled(false);
}

void TRefineForm::InvalidModeRadioClick() {
    InvalidModeRadio->setChecked(true);
    InvalidNote->setEnabled(true);
    ValidModeRadio->setChecked(false);
    ValidNote->setEnabled(false);
}

void TRefineForm::DownloadBoxClick() {
    KeepAsGrabbedBox->setEnabled(DownloadBox->isChecked());
}

void TRefineForm::RefineButClick() {
    cancelled_ = false;
    accept();
}

}  // namespace tessaly::ui
