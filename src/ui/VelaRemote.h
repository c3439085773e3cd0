// The remote window: a small tool window that lists the jobs of the current listing that
// match a filter, for reading their descriptions in the browser one after another. It
// works straight on the main window's job list; it keeps no list of its own.
//
// Its grid is the main window's job grid in its remote layout: columns by header text (the
// user may move them), rows by the list position each shows (the hidden "RemoteIndex").
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace tessaly {
class TVelaJob;
}

namespace tessaly::ui {

class TVelaMainForm;
class TJobGrid;

class TRemoteForm : public QDialog {
  public:
    // Not a child of the main window: minimising that leaves this window on screen.
    explicit TRemoteForm(TVelaMainForm& main, QWidget* parent = nullptr);
    TVelaMainForm& Main();

    // "All", "New", "Green" or "High"; set before showing.
    QString Filter = "All";

    // Sets the filter and opens the window, or lists again by the new filter when it is
    // open already (the Browse commands).
    void Browse(const QString& filter);

    // Stays above other windows while browsing, or not (takes effect at once).
    void SetStayOnTop(bool on);
    void SetStatusText(int panel, const std::string& text);
    QString StatusText(int panel) const;

    // ---- grid
    void JobListToGrid();
    int GetColIdx(const char* header) const;
    TVelaJob* GetJobAtRow(int row);
    bool IsAnyJob() const;
    bool IsAnySelectedJob() const;
    TVelaJob* SelectedJob();
    // The list position of the selected row's job, -1 when none.
    int SelectedPosition() const;

    // ---- events
    void JobGridClickCell(int row, int col);
    void JobGridCellValidate(int row, const QString& text);
    void JMHighlightClick();
    void JMCommentClick();
    void JMTranslateJobClick();
    void JMReloadClick();
    void JMSendClick();
    void JMDeleteClick();
    void JobMenuPopup();
    void SortJobsbyClick();
    void SortGridClick(const QString& item);
    void TimerTimer();
    void FormResize();
    // Width of the relevancy column: 20 pixels unless the font needs more for "(6)".
    int RelevancyWidth() const;
    void JobGridTopLeftChanged();

    // The browse-time moment's outside effects; the main window's pop-up message and the
    // sponsor banner unless replaced (tests).
    std::function<void()> OnPopupMessage;
    std::function<void()> OnPopBanner;

    // ---- widgets, by the names users and tests know them
    TJobGrid* JobGrid;
    QToolBar* Panel1;
    QToolButton *HighBut, *CommentBut, *TranslateBut, *ReloadBut, *SendBut;
    QStatusBar* StatusBar;
    QLabel* StatusPanels[2];
    QProgressBar* ActivityIndicator;
    QMenu* JobMenu;
    QMenu* SortMenu;
    QTimer* Timer;
    // A pop-up menu item by its name ("JMHighlight", "byTitle", "Ascending", ...).
    QAction* MenuItem(const char* name) const;

    // True while the notes cell editor owns the grid's selection.
    bool EditingNotes() const { return editingNotes_; }

    void setVisible(bool visible) override;
    void done(int result) override;

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void RedrawRow(int row);
    void OpenNotesEditor(int row);
    void EndNotesEditing();
    void BringStayOnTopToFront();
    bool RowsOverflow() const;

    TVelaMainForm& main_;
    bool editingNotes_ = false;
    bool filling_ = false;
    bool mainWasMaximized_ = false;
    bool open_ = false;     // shown and not closed since
    bool closing_ = false;  // the window is being closed, not merely hidden
    QTimer* activityTimer_;
};

}  // namespace tessaly::ui
