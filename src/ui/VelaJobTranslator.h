// The job translator ("Job Translator"): the user picks a language pair; on "&Translate"
// the online service fetches the job's page itself, and its translation is saved as
// translation.html and shown in the browser.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "services/Translation.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace tessaly {
class THTTPMachine;
}

namespace tessaly::ui {

class TJobTranslator : public QDialog {
  public:
    // `programDir` receives translation.html.
    TJobTranslator(THTTPMachine& machine, std::string programDir, QWidget* parent = nullptr);
    ~TJobTranslator() override;

    // Sends the job at `jobURL` to the service at `baseURL` with the chosen pair. The
    // outcome comes later, through the callbacks below.
    void TranslateJob(const std::string& baseURL, const std::string& jobURL);
    // The request body for `jobURL` with the pair chosen now.
    std::string RequestBody(const std::string& jobURL) const;
    int Selected() const;

    QListWidget* LangBox;
    QPushButton* TranslateBut;
    QPushButton* CancelBut;
    QLabel* Label4;  // the vendor link

    std::function<void(const std::string&)> OnStatus;
    std::function<void(bool running)> OnRunning;
    std::function<void()> OnBeep;
    std::function<void(const std::string&)> OnError;
    std::function<void(const std::string&)> OnOpenFile;
    std::function<void()> OnVendorClick;

  private:
    THTTPMachine& machine_;
    std::string dir_;
    std::string base_;
    std::unique_ptr<tessaly::TJobTranslator> logic_;
};

}  // namespace tessaly::ui
