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
class TSearchEngine;
class TVelaJob;
struct TVisualOptions;
}  // namespace tessaly

namespace tessaly::ui {

class TJobGrid;

// What the remote window asks of the window that owns the listing.
class TRemoteHost {
  public:
    virtual ~TRemoteHost() = default;
    // The listing, its sort order and run state, the update descriptor.
    virtual TSearchEngine& Engine() = 0;
    virtual const TVisualOptions& Visual() const = 0;
    // Opens an address in the browser's current window.
    virtual void OpenJob(const std::string& address) = 0;
    // Jobs were marked, noted or deleted here: they are saved with the listing.
    virtual void JobsChanged() = 0;
    // The job at a list position translated, or sent to a friend.
    virtual void TranslateJob(int position) = 0;
    virtual void SendJobToFriend(int position) = 0;
    // Sorts the listing by a sort-menu item's caption, as the main window's menu does.
    virtual void SortListing(const QString& item) = 0;
    // The browse-time moment of the update descriptor: its pop-up message and banner.
    virtual void ShowPopupMessage() = 0;
    virtual void PopBanner(const std::string& moment) = 0;
    // The owner steps aside (minimised) while the remote window browses, and comes back
    // as it was, with its listing redrawn, once it closes (not while the program ends).
    virtual void StepAside() = 0;
    virtual void ComeBack() = 0;
    // The progress window, raised with this one while both are kept on top; may be null.
    virtual QWidget* ProgressWindow() = 0;
    // Asks before a deletion, unless the user chose not to be asked; true to go on.
    virtual bool ConfirmDelete(const QString& question, QWidget* owner) = 0;
};

class TRemoteForm : public QDialog {
  public:
    // Not a child of the main window: minimising that leaves this window on screen.
    explicit TRemoteForm(TRemoteHost& host, QWidget* parent = nullptr);

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

    TRemoteHost& host_;
    bool editingNotes_ = false;
    bool filling_ = false;
    bool open_ = false;     // shown and not closed since
    bool closing_ = false;  // the window is being closed, not merely hidden
    QTimer* activityTimer_;
};

}  // namespace tessaly::ui
