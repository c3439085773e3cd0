#include "ui/VelaCompanies.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/Companies.h"
#include "platform/Home.h"
#include "ui/QtText.h"

namespace tessaly::ui {

namespace {

// A check reads the board's first page, as the first request of a search does.
constexpr int kCheckJobs = 5000;

}  // namespace

TCompaniesForm::TCompaniesForm(TSearchEngine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine) {
    setObjectName("CompaniesForm");
    setWindowTitle("Watched Companies");
    setModal(true);

    auto* pasteLabel = new QLabel("Career board &address (paste it from the browser):", this);
    AddressEdit = new QLineEdit(this);
    AddressEdit->setObjectName("AddressEdit");
    AddressEdit->setPlaceholderText("https://boards.greenhouse.io/company");
    AddressEdit->setMinimumWidth(380);
    pasteLabel->setBuddy(AddressEdit);
    auto* nameLabel = new QLabel("&Name shown (optional):", this);
    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName("NameEdit");
    nameLabel->setBuddy(NameEdit);
    AddButton = new QPushButton("&Watch", this);
    AddButton->setObjectName("AddButton");
    AddButton->setEnabled(false);

    CompanyList = new QListWidget(this);
    CompanyList->setObjectName("CompanyList");
    RemoveButton = new QPushButton("&Remove", this);
    RemoveButton->setObjectName("RemoveButton");
    CheckButton = new QPushButton("C&heck", this);
    CheckButton->setObjectName("CheckButton");
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");
    StatusLabel->setWordWrap(true);
    CloseButton = new QPushButton("&Close", this);
    CloseButton->setObjectName("CloseButton");

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(NameEdit, 1);
    nameRow->addWidget(AddButton);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(RemoveButton);
    listButtons->addWidget(CheckButton);
    listButtons->addStretch(1);
    listButtons->addWidget(CloseButton);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(CompanyList, 1);
    listRow->addLayout(listButtons);
    auto* top = new QVBoxLayout(this);
    top->addWidget(pasteLabel);
    top->addWidget(AddressEdit);
    top->addWidget(nameLabel);
    top->addLayout(nameRow);
    top->addLayout(listRow, 1);
    top->addWidget(StatusLabel);

    connect(AddressEdit, &QLineEdit::textChanged, this,
            [this] { AddButton->setEnabled(!AddressEdit->text().trimmed().isEmpty()); });
    connect(AddressEdit, &QLineEdit::returnPressed, this, [this] {
        if (AddButton->isEnabled()) AddClick();
    });
    connect(AddButton, &QPushButton::clicked, this, [this] { AddClick(); });
    connect(RemoveButton, &QPushButton::clicked, this, [this] { RemoveClick(); });
    connect(CheckButton, &QPushButton::clicked, this, [this] { CheckClick(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CompanyList, &QListWidget::currentRowChanged, this, [this](int row) {
        RemoveButton->setEnabled(row >= 0);
        CheckButton->setEnabled(row >= 0);
    });
    Refresh();
}

TCompaniesForm::~TCompaniesForm() {
    *alive_ = false;
}

void TCompaniesForm::Say(const std::string& text) {
    StatusLabel->setText(FromBytes(text));
}

void TCompaniesForm::Refresh() {
    TStrings errors;
    CompanyList->clear();
    for (const auto& c : ReadWatchList(engine_.Home(), errors)) {
        auto* item = new QListWidgetItem(
            FromBytes(c.Name + "  (" + c.Family + ": " + c.Token + ")"), CompanyList);
        item->setData(Qt::UserRole, FromBytes(c.Token));
        item->setData(Qt::UserRole + 1, FromBytes(c.Name));
    }
    RemoveButton->setEnabled(false);
    CheckButton->setEnabled(false);
    if (!errors.empty()) Say(Join(errors, "\n"));
}

void TCompaniesForm::ReloadSites() {
    if (engine_.State() != rsIdle) return;
    try {
        engine_.LoadSources();
    } catch (const std::exception& e) {
        Say(e.what());
    }
}

bool TCompaniesForm::IdleOrSay() {
    if (engine_.State() == rsIdle) return true;
    Say("Wait until the search has ended.");
    return false;
}

std::optional<std::string> TCompaniesForm::ChosenCompany() {
    const QListWidgetItem* item = CompanyList->currentItem();
    if (item == nullptr || !IdleOrSay()) return std::nullopt;
    // The name picks the line; a token shared by two families would match both.
    return item->data(Qt::UserRole + 1).toString().toStdString();
}

void TCompaniesForm::AddClick() {
    if (!IdleOrSay()) return;
    auto added =
        WatchCompany(engine_.Home(), ShippedDataDirectory(), AddressEdit->text().toStdString(),
                     NameEdit->text().toStdString(), engine_.Sites());
    if (!added) {
        Say(added.error());
        return;
    }
    ReloadSites();
    Refresh();
    AddressEdit->clear();
    NameEdit->clear();
    const TWatchedCompany& c = added.value();
    Say("Watching \"" + c.Name + "\": " + c.Family + " board " + c.Token + ".");
}

void TCompaniesForm::RemoveClick() {
    const auto chosen = ChosenCompany();
    if (!chosen) return;
    const std::string& name = *chosen;
    auto removed = UnwatchCompany(engine_.Home(), name);
    if (!removed) {
        Say(removed.error());
        return;
    }
    ReloadSites();
    Refresh();
    Say("No longer watching \"" + name + "\".");
}

void TCompaniesForm::CheckClick() {
    const auto chosen = ChosenCompany();
    if (!chosen) return;
    const std::string& name = *chosen;
    TVelaSource* site = nullptr;
    for (int i = 0; i < engine_.Sites().Count() && site == nullptr; ++i)
        if (!engine_.Sites()[i].Board.empty() && engine_.Sites()[i].Title == name)
            site = &engine_.Sites()[i];
    if (site == nullptr) {
        Say("\"" + name + "\" is not searched: its family is not known.");
        return;
    }
    std::unique_ptr<THTTPQuery> query = engine_.Http().NewQuery();
    query->URL = BoardFirstAddress(engine_.Sites(), *site, query->ID);
    std::weak_ptr<bool> alive = alive_;
    query->OnEvent = [this, alive, site](THTTPResult& r, THTTPMachineEventType type) {
        const auto a = alive.lock();
        if (!a || !*a || (type != meDone && type != meFailed)) return;
        Checked(*site, r, type == meFailed);
    };
    CheckButton->setEnabled(false);
    Say("Asking the board of \"" + name + "\"...");
    engine_.Http().AddQuery(std::move(query));
}

void TCompaniesForm::Checked(TVelaSource& site, const THTTPResult& result, bool failed) {
    CheckButton->setEnabled(CompanyList->currentRow() >= 0);
    if (failed) {
        Say(site.Title +
            (result.Outcome == THttpOutcome::Refused && result.Status == 404
                 ? ": not found"
                 : ": unreachable (" + IntToStr(result.Status) + " " + result.Reason + ")"));
        return;
    }
    site.Jobs.ClearJobs();
    bool more = false;
    const TBoardAnswer answer = ReadBoardAnswer(site, result.Data, result.Header, kCheckJobs, more);
    const int count = site.Jobs.Count();
    site.Jobs.ClearJobs();
    switch (answer) {
        case TBoardAnswer::NotFound:
            Say(site.Title + ": not found");
            break;
        case TBoardAnswer::BadFormat:
            Say(site.Title + ": not in the expected format");
            break;
        case TBoardAnswer::Jobs:
            Say(site.Title + ": " + IntToStr(count) + (count == 1 ? " job" : " jobs") +
                (more ? " on the first page" : ""));
            break;
    }
}

}  // namespace tessaly::ui
