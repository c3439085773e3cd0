// The keyword translator ("Keyword(s) Translation"): a small window without buttons that
// the search driver shows while the typed keywords are translated into the languages
// the taking-part sites want. It closes itself once every answer is in.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "search/FrontEnd.h"
#include "services/Translation.h"

class QLabel;

namespace tessaly {
class THTTPMachine;
}

namespace tessaly::ui {

// The link to the translation vendor shown by both translators.
QLabel* VendorLink(QWidget* parent, const std::function<void()>& onClick);
// The vendor's download page on the translation service at `baseURL`.
std::string VendorPage(const std::string& baseURL);

class TKeyTranslator : public QDialog {
  public:
    explicit TKeyTranslator(THTTPMachine& machine, QWidget* parent = nullptr);
    ~TKeyTranslator() override;

    // Prepares a showing: the service at `baseURL`, the keywords and the wanted languages.
    void Prepare(const std::string& baseURL, const TKeywordTranslation& job);
    // The four results after a showing (the typed keywords where no answer came).
    void Results(TKeywordTranslation& job) const;
    tessaly::TKeyTranslator* Logic() { return logic_.get(); }

    QLabel* Label1;
    QLabel* Label4;  // the vendor link
    std::function<void()> OnVendorClick;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    THTTPMachine& machine_;
    std::unique_ptr<tessaly::TKeyTranslator> logic_;
    bool started_ = false;
};

}  // namespace tessaly::ui
