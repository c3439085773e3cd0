// The main window's side of the online services: the job-source update window and the
// guide it fills, the pop-up message, the translators and the send-to-a-friend dialog.
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "platform/Prompts.h"
#include "ui/QtText.h"
#include "ui/VelaJobTranslator.h"
#include "ui/VelaKeyTranslator.h"
#include "ui/VelaMain.h"
#include "ui/VelaSpam.h"
#include "ui/VelaUpdate.h"

namespace tessaly::ui {

void TVelaMainForm::CreateServiceWindows() {
    TSearchEngine& e = *engine_;
    UpdateForm = new TUpdateForm(e, this);
    UpdateForm->OnGuideChanged = [this] { BuildGuide(); };
    UpdateForm->OnTriggersChanged = [this] {
        if (OnBannerTriggersChanged) OnBannerTriggersChanged();
    };
    UpdateForm->OnSourcesChanged = [this] {
        if (OnSourcesReloaded) OnSourcesReloaded();
    };

    SpamForm = new TSpamForm(e, this);
    SpamForm->OnBeep = [] { Prompts().Beep(); };

    const auto vendor = [this] {
        OpenURL(VendorPage(engine_->Identity().ReadString("ID", "TranslateURL")), true);
    };
    KeyTranslator = new TKeyTranslator(e.Http(), this);
    KeyTranslator->OnVendorClick = vendor;

    JobTranslator = new TJobTranslator(e.Http(), programDir_, this);
    JobTranslator->OnVendorClick = vendor;
    JobTranslator->OnStatus = [this](const std::string& text) {
        SetStatusText(1, text);
        if (OnRemoteStatus) OnRemoteStatus(text);
    };
    JobTranslator->OnRunning = [this](bool on) {
        // A translation asked for while another run goes on must not end that run's state.
        if (on && RunState() == rsIdle) {
            translating_ = true;
            SetRunState(rsTranslating);
        } else if (!on && translating_) {
            translating_ = false;
            if (RunState() == rsTranslating) SetRunState(rsIdle);
        }
    };
    JobTranslator->OnBeep = [] { Prompts().Beep(); };
    JobTranslator->OnError = [this](const std::string& text) { ShowMessage(FromBytes(text)); };
    JobTranslator->OnOpenFile = [this](const std::string& path) { OpenURL(path, false); };
}

// The dialogs go before the engine they refer to.
void TVelaMainForm::DeleteServiceWindows() {
    delete JobTranslator;
    delete KeyTranslator;
    delete SpamForm;
    delete UpdateForm;
    JobTranslator = nullptr;
    KeyTranslator = nullptr;
    SpamForm = nullptr;
    UpdateForm = nullptr;
}

// ---------------------------------------------------------------- update and guide

void TVelaMainForm::RunSourceUpdate() {
    // Without an address there is nothing to ask, and no reason to hold the user up.
    if (!UpdateForm || engine_->Identity().ReadString("ID", "ConfigURL").empty()) return;
    ExecDialog(UpdateForm);
}

void TVelaMainForm::BuildGuide() {
    if (!UpdateForm) return;
    QMenu* help = menuBar()->findChild<QMenu*>("MMHelp");
    ui::BuildGuide(GuideBut, GuidePopup, help, UpdateForm->Update().GuideEntries(),
                   [this](const std::string& address) { LaunchGuideItem(address); });
}

void TVelaMainForm::LaunchGuideItem(const std::string& address) {
    OpenURL(address, false);
}

bool TVelaMainForm::AskYesNo(const QString& text) {
    if (OnYesNo) return OnYesNo(text);
    return QMessageBox::information(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::Yes) == QMessageBox::Yes;
}

void TVelaMainForm::ShowPopupMessage() {
    const std::string message = engine_->Descriptor().ReadString("Popup", "Message");
    if (message.empty()) return;  // an empty box would only puzzle the user
    if (!AskYesNo(FromBytes(message))) return;
    const std::string url = engine_->Descriptor().ReadString("Popup", "URL");
    if (!url.empty()) OpenURL(url, false);
}

// ---------------------------------------------------------------- translation

bool TVelaMainForm::TranslateKeywords(TKeywordTranslation& translation) {
    const std::string base = engine_->Identity().ReadString("ID", "TranslateURL");
    if (!KeyTranslator || base.empty()) return false;
    KeyTranslator->Prepare(base, translation);
    ExecDialog(KeyTranslator);
    // Closed before every answer came: the missing ones keep the keywords as typed.
    KeyTranslator->Results(translation);
    return true;
}

void TVelaMainForm::TranslateJob(int jobPosition) {
    if (!JobTranslator || jobPosition < 0 || jobPosition >= Jobs().Count()) return;
    const std::string url = Jobs()[jobPosition].URL;
    if (ExecDialog(JobTranslator) != QDialog::Accepted) return;
    JobTranslator->TranslateJob(engine_->Identity().ReadString("ID", "TranslateURL"), url);
}

void TVelaMainForm::MMTranslateJobClick() {
    if (!IsAnySelectedJob()) return;
    const std::vector<int> selected = SelectedJobPositions();
    if (selected.empty()) return;
    Prompts().Beep();
    TranslateJob(selected.front());
}

// ---------------------------------------------------------------- send to a friend

void TVelaMainForm::SendJobToFriend(int jobPosition) {
    if (!SpamForm || jobPosition < 0 || jobPosition >= Jobs().Count()) return;
    SpamForm->SetJob(&Jobs()[jobPosition]);
    ExecDialog(SpamForm);
}

void TVelaMainForm::MMSendJobtoaFriendClick() {
    if (!IsAnySelectedJob()) return;
    const std::vector<int> selected = SelectedJobPositions();
    if (!selected.empty()) SendJobToFriend(selected.front());
}

void TVelaMainForm::MMSendQv98toaFriendClick() {
    if (!SpamForm) return;
    SpamForm->SetJob(nullptr);
    ExecDialog(SpamForm);
}

}  // namespace tessaly::ui
