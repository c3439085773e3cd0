// The options dialog. It owns the user's settings for the whole run: the main window's
// settings store (options.box) is loaded once at start-up, applied to the windows, shown
// and edited here, and written back on "&Apply" and when the program ends.
//
// The store is the search engine's `Options` box, so the engine reads the per-site
// choices and the connection values from the same place. The check boxes take effect
// at once: the dialog applies them to the live settings, which the windows listen to;
// Cancel puts them back as the store holds them. The windows and grids keep their own
// layouts in the store; the dialog only resets them.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "ui/GridLayout.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace tessaly {
class TConfigBox;
class TLiveSettings;
class TVelaSource;
}  // namespace tessaly

namespace tessaly::ui {

class TVelaMainForm;
class TProxyForm;
class TLayoutKeeper;

class TOptionsForm : public QDialog {
  public:
    // `proxyForm` holds the live proxy settings; the dialog shows it from "Settings".
    TOptionsForm(TVelaMainForm& main, TProxyForm* proxyForm, QWidget* parent = nullptr);

    // options.box in the program directory.
    std::string FileName() const;
    TConfigBox& Store();

    // ---- lifecycle
    void FormCreate();
    void FormShow();
    void OKButtonClick();
    void CancelButClick();
    // Program end: the controls and windows to the store, the store to disk.
    void FormDestroy();

    // ---- the store and the windows
    void LoadOptions();
    void SaveOptions();
    // The windows and grids placed afresh, at once.
    void ResetButtonClick();
    // The options were applied ("&Apply"): whoever uses the connection values takes them.
    std::function<void()> OnApplied;

    // ---- control handlers
    void MaxJobsChange();
    void MaxThreadsChange();
    void TimeOutChange();
    void UseProxyClick();
    void ProxySettingsButtonClick();
    void ChangeActiveBrowserClick();
    void CheckListClick();
    void CheckListClickCheck(QListWidgetItem* item);
    void BrowseClick();

    // Escape, the close box and "&Cancel" all cancel.
    void reject() override;

    QTabWidget* PageControl;
    QWidget *VisualPage, *SourcesPage, *ConnectionPage, *BrowserPage, *UserPage;
    QCheckBox *opYellow, *opHotLink, *opKeepProgressOnTop, *opKeepRemoteOnTop, *opOptimizeCols,
        *opRememberWindows, *opRememberGrids;
    QCheckBox* opOneRowPerOpening;  // grouping of cross-posted jobs in the merge
    QCheckBox* opAskBeforeDeleting;
    // "Check for new jobs every N hours": off while not ticked.
    QCheckBox* opCheckForJobs;
    QSpinBox* opCheckForJobsHours;
    QPushButton* ResetButton;
    QListWidget* CheckList;
    QPushButton* Browse;
    QSlider* MaxJobs;
    QLabel* MaxJobsLabel;
    QSlider* MaxThreads;
    QLabel* MaxThreadsLabel;
    QSlider* TimeOut;
    QLabel* TimeOutLabel;
    QCheckBox* UseProxy;
    QPushButton* ProxySettingsButton;
    QRadioButton *wNetscape, *wMSIE, *wShell;
    QLineEdit *UserEmail, *UserFirstName, *UserLastName;
    QPushButton* OKButton;
    QPushButton* CancelBut;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void CreateVisualPage();
    void CreateSourcesPage();
    void CreateConnectionPage();
    void CreateBrowserPage();
    void CreateUserPage();
    // The check boxes to the live settings, applied.
    void SyncMainOptions();
    int CheckForJobsHours() const;
    void SelectBrowserOfControl();
    TVelaSource* SiteOfItem(const QListWidgetItem* item);
    // Writes the store to options.box; false (after telling the user) when it cannot.
    bool WriteStore();

    TVelaMainForm& main_;
    TLiveSettings& settings_;
    TLayoutKeeper& layouts_;
    TProxyForm* proxy_;
    QButtonGroup* browserGroup_;
    bool fillingList_ = false;  // items set by the program, not clicked by the user
};

}  // namespace tessaly::ui
