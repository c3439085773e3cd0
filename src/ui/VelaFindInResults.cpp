#include "ui/VelaFindInResults.h"
#include "ui/ButtonRow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly::ui {

TFindInResultsForm::TFindInResultsForm(QWidget* parent) : QDialog(parent) {
    setObjectName("FindInResultsForm");
    setWindowTitle("Find In Job Listing");
    setWindowFlag(Qt::Tool, true);
    setModal(true);

    auto* label = new QLabel("&Keyword to find in job listing:", this);
    FindEdit = new QLineEdit(this);
    FindEdit->setObjectName("FindEdit");
    FindEdit->setMinimumWidth(260);
    label->setBuddy(FindEdit);
    CheckCase = new QCheckBox("&Case Sensitive", this);
    CheckCase->setObjectName("CheckCase");
    const TButtonRow row = MakeButtonRow(this, "&Search", "Search", "&Cancel", "Cancel");
    Search = row.Accept;
    Search->setEnabled(false);
    Cancel = row.Cancel;
    auto* buttons = row.Box;

    auto* top = new QVBoxLayout(this);
    top->addWidget(label);
    top->addWidget(FindEdit);
    top->addWidget(CheckCase);
    top->addWidget(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(FindEdit, &QLineEdit::textChanged, this, [this] { FindEditChange(); });
    // Enter in the box acts as the search button (only when it may be pressed).
    connect(FindEdit, &QLineEdit::returnPressed, this, [this] {
        if (Search->isEnabled()) SearchClick();
    });
    connect(Search, &QPushButton::clicked, this, [this] { SearchClick(); });
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFindInResultsForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TFindInResultsForm::FormShow() {
    cancelled_ = true;
    FindEditChange();
    FindEdit->setFocus();
    FindEdit->selectAll();
}

void TFindInResultsForm::FindEditChange() {
    Search->setEnabled(!FindEdit->text().isEmpty());
}

void TFindInResultsForm::SearchClick() {
    cancelled_ = false;
    accept();
}

}  // namespace tessaly::ui
