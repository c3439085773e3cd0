// The job-source update window ("Automatic Update"): shown modally once per run before the
// first search, it asks the maker's server for the update descriptor and, when that names
// other definitions, for a new sources.def. It owns the descriptor store for the whole run;
// the work itself is TSourceUpdate's, this window shows its status and closes when done.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/SourceUpdate.h"

class QLabel;
class QMenu;
class QToolButton;

namespace tessaly {
class TSearchEngine;
}

namespace tessaly::ui {

class TUpdateForm : public QDialog {
  public:
    // The engine gives the machine, the site list, id.box and the program directory.
    explicit TUpdateForm(TSearchEngine& engine, QWidget* parent = nullptr);
    ~TUpdateForm() override;

    // Program start, once id.box is read: loads config.box and builds the guide.
    void LoadDescriptor();
    TSourceUpdate& Update() { return *update_; }
    const TConfigBox& Descriptor() const { return update_->Descriptor(); }

    QLabel* StatusLabel;

    // The descriptor was (re)loaded: the engine's copy follows, then the guide is rebuilt.
    std::function<void()> OnGuideChanged;
    std::function<void()> OnTriggersChanged;  // the banners re-read their triggers
    std::function<void()> OnSourcesChanged;   // the site list was reloaded

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void FormShow();
    void FormClose();

    TSearchEngine& engine_;
    std::unique_ptr<TSourceUpdate> update_;
    bool running_ = false;  // between showing and closing
};

// Rebuilds the Guide tool button's drop-down and the guide entries at the end of the Help
// menu from `entries`; a click on an entry calls `open` with its address. The button is
// enabled only when there is an entry.
void BuildGuide(QToolButton* guideBut, QMenu* guidePopup, QMenu* helpMenu,
                const std::vector<TGuideEntry>& entries,
                const std::function<void(const std::string&)>& open);

}  // namespace tessaly::ui
