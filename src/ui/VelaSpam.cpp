#include "ui/VelaSpam.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <iostream>

#include "platform/Paths.h"
#include "search/SearchEngine.h"
#include "ui/ButtonRow.h"
#include "ui/QtText.h"

namespace tessaly::ui {

namespace {

std::string Bytes(const QLineEdit* edit, const std::string& stored) {
    return ToBytesLike(edit->text(), stored);
}

QLabel* Panel(QWidget* parent, int width) {
    auto* l = new QLabel(parent);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setMinimumWidth(width);
    return l;
}

}  // namespace

TSpamForm::TSpamForm(TSearchEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
    setObjectName("SpamForm");
    setWindowTitle("Send to a Friend");
    setModal(true);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(14, 12, 14, 6);
    v->addWidget(
        new QLabel("Just enter your friend's email address\ninside the box below :", this));
    v->addSpacing(4);
    ModeLine1 = new QLabel(this);
    ModeLine1->setObjectName("ModeLine1");
    ModeLine2 = new QLabel(this);
    ModeLine2->setObjectName("ModeLine2");
    v->addWidget(ModeLine1);
    v->addWidget(ModeLine2);
    v->addSpacing(4);
    v->addWidget(
        new QLabel("He or she will receive by email ins-\ntructions on how to get a free copy\n"
                   "of Tessaly Jobs 98.",
                   this));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    v->addWidget(Edit1);

    auto* from = new QGroupBox("From:", this);
    auto* f = new QFormLayout(from);
    UserEmail = new QLineEdit(from);
    UserEmail->setObjectName("UserEmail");
    UserFirstName = new QLineEdit(from);
    UserFirstName->setObjectName("UserFirstName");
    UserLastName = new QLineEdit(from);
    UserLastName->setObjectName("UserLastName");
    f->addRow("Your email:", UserEmail);
    f->addRow("First name:", UserFirstName);
    f->addRow("Last name:", UserLastName);
    v->addWidget(from);

    const TButtonRow row = MakeButtonRow(this, "&Send", "Send", "&Cancel", "Cancel");
    Send = row.Accept;
    Cancel = row.Cancel;
    v->addWidget(row.Box);

    auto* status = new QHBoxLayout;
    status->setSpacing(2);
    StatusPanels[0] = Panel(this, 80);
    StatusPanels[1] = Panel(this, 50);
    StatusPanels[1]->setObjectName("Status");
    auto* inner = new QHBoxLayout(StatusPanels[0]);
    inner->setContentsMargins(2, 2, 2, 2);
    ActivityBar = new QProgressBar(StatusPanels[0]);
    ActivityBar->setObjectName("ActivityBar");
    ActivityBar->setTextVisible(false);
    ActivityBar->setRange(0, 1);
    ActivityBar->setValue(0);
    ActivityBar->setMaximumHeight(12);
    ActivityBar->setVisible(false);
    inner->addWidget(ActivityBar);
    status->addWidget(StatusPanels[0]);
    status->addWidget(StatusPanels[1], 1);
    v->addLayout(status);

    connect(Send, &QPushButton::clicked, this, [this] { SendClick(); });
    connect(Cancel, &QPushButton::clicked, this, [this] { reject(); });
}

TSpamForm::~TSpamForm() = default;

void TSpamForm::SetJob(const TVelaJob* job) {
    if (job)
        job_ = *job;
    else
        job_.reset();
}

void TSpamForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TSpamForm::FormShow() {
    const auto [first, second] = TReferral::ModeLines(JobMode());
    ModeLine1->setText(FromBytes(first));
    ModeLine2->setText(FromBytes(second));
    const TUserDetails user = ReadUserDetails(engine_.OptionsBox());
    UserEmail->setText(FromBytes(user.Email));
    UserFirstName->setText(FromBytes(user.FirstName));
    UserLastName->setText(FromBytes(user.LastName));
    StatusPanels[1]->clear();
    SetBusy(false);
    Edit1->setFocus();
}

// While the form is posted and during the pause after it, the dialog takes no input; the
// other windows go on repainting, as the pause is a timer. Until the answer comes, Cancel
// stays: a server that never answers would otherwise hold the dialog for minutes.
void TSpamForm::SetBusy(bool busy) {
    for (QWidget* w : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(UserEmail),
                       static_cast<QWidget*>(UserFirstName), static_cast<QWidget*>(UserLastName),
                       static_cast<QWidget*>(Send)})
        w->setEnabled(!busy);
    Cancel->setEnabled(true);
}

bool TSpamForm::Sending() const {
    return logic_ && logic_->Busy() && Cancel->isEnabled();
}

void TSpamForm::StoreUserDetails() {
    const TUserDetails stored = ReadUserDetails(engine_.OptionsBox());
    const TUserDetails user{Bytes(UserEmail, stored.Email), Bytes(UserFirstName, stored.FirstName),
                            Bytes(UserLastName, stored.LastName)};
    if (user.Email == stored.Email && user.FirstName == stored.FirstName &&
        user.LastName == stored.LastName)
        return;
    WriteUserDetails(engine_.OptionsBox(), user);
    try {
        // The box may hold the proxy password: only the user reads it.
        engine_.OptionsBox().SaveToFile(JoinPath(engine_.Home(), "options.box"), 0600);
    } catch (const std::exception& e) {
        // The details stay in memory and are saved with the other options later.
        std::cerr << "tessaly-jobs: " << e.what() << "\n";
    }
}

namespace {

// An e-mail address as far as can be told here: something, one "@", a dotted host.
bool LooksLikeAddress(const QString& text) {
    const QString t = text.trimmed();
    const qsizetype at = t.indexOf('@');
    return at > 0 && t.count('@') == 1 && !t.contains(' ') && t.indexOf('.', at) > at + 1 &&
           !t.endsWith('.');
}

}  // namespace

bool TSpamForm::CheckFields() {
    // The first field that cannot be sent as it is: said in the status pane, and the
    // cursor put there; the dialog stays open.
    const struct {
        QLineEdit* edit;
        bool address;
        const char* missing;
    } fields[] = {{Edit1, true, "your friend's email address"},
                  {UserEmail, true, "your email address"},
                  {UserFirstName, false, "your first name"}};
    for (const auto& f : fields) {
        const QString text = f.edit->text().trimmed();
        if (!text.isEmpty() && (!f.address || LooksLikeAddress(text))) continue;
        StatusPanels[1]->setText(
            QString(text.isEmpty() ? "Please enter %1." : "Please check %1.").arg(f.missing));
        f.edit->setFocus();
        if (OnBeep) OnBeep();
        return false;
    }
    return true;
}

void TSpamForm::SendClick() {
    if (logic_ && logic_->Busy()) return;
    if (!CheckFields()) return;
    StoreUserDetails();
    const std::string base = engine_.Identity().ReadString("ID", "ReferralURL");
    if (!logic_ || base != base_) {
        base_ = base;
        logic_ = std::make_unique<TReferral>(engine_.Http(), base_);
        logic_->OnStatus = [this](const std::string& s) { StatusPanels[1]->setText(FromBytes(s)); };
        logic_->OnActivity = [this](bool on) {
            ActivityBar->setVisible(on);
            ActivityBar->setRange(0, on ? 0 : 1);
            // The answer is in: the outcome shows for its pause, which is not cut short.
            if (!on) Cancel->setEnabled(false);
        };
        logic_->OnBeep = [this] {
            if (OnBeep) OnBeep();
        };
        logic_->OnFinished = [this] {
            if (isVisible()) accept();
        };
    }
    SetBusy(true);
    const std::optional<TVelaJob>& job = job_;
    logic_->Send(Bytes(Edit1, std::string()), ReadUserDetails(engine_.OptionsBox()),
                 engine_.Identity().ReadString("ID", "Edition"), job ? &*job : nullptr);
}

void TSpamForm::closeEvent(QCloseEvent* e) {
    // During the pause after the outcome the dialog stays; while sending, closing cancels.
    if (logic_ && logic_->Busy() && !Sending()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void TSpamForm::reject() {
    if (logic_ && logic_->Busy() && !Sending()) return;  // Escape during the pause
    // Closing (FormClose) stops the request.
    QDialog::reject();
}

void TSpamForm::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (!e->spontaneous()) FormClose();
}

// Closing stops every running request of the machine, a search's too.
void TSpamForm::FormClose() {
    if (logic_)
        logic_->Close();
    else if (engine_.Http().IsBusy() || engine_.Http().QueuedCount() > 0)
        engine_.Http().StopAll();
}

}  // namespace tessaly::ui
