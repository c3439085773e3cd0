// The main window's commands: searches, grabbing, opening, deleting, highlighting,
// notes, sorting and finding, and the grid clicks.
#include "ui/VelaMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>

#include "data/ConfigBox.h"
#include "platform/ByteString.h"
#include "platform/DateTime.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "ui/BrowserSupport.h"
#include "ui/FrameAnimation.h"
#include "ui/JobImages.h"
#include "ui/QtText.h"
#include "ui/VelaAbout.h"
#include "ui/VelaConnectWizard.h"
#include "ui/VelaFindInResults.h"
#include "ui/VelaMainShared.h"
#include "ui/VelaNewSearch.h"
#include "ui/VelaOptions.h"
#include "ui/VelaProgress.h"
#include "ui/VelaProxy.h"
#include "ui/VelaRefine.h"
#include "ui/VelaRemote.h"
#include "ui/VelaSponsor.h"
#include "ui/VelaUpdate.h"

namespace tessaly::ui {

// ---------------------------------------------------------------- commands

int TVelaMainForm::ExecDialog(QDialog* dialog) {
    // While the main window is minimised for browsing, a dialog of it shows over the remote
    // window: some desktops keep the dialogs of a minimised window out of sight.
    QWidget* owner = dialog->parentWidget();
    const bool overRemote =
        owner == this && isMinimized() && RemoteWindow && RemoteWindow->isVisible();
    if (overRemote) dialog->setParent(RemoteWindow, dialog->windowFlags());
    const int result = OnExecDialog ? OnExecDialog(dialog) : dialog->exec();
    if (overRemote) dialog->setParent(owner, dialog->windowFlags());
    return result;
}

bool TVelaMainForm::NewSearchDialog(const std::string& caption, const std::string& button,
                                    TNewSearchValues& values) {
    NewSearchForm->Init(Sources().MRegions, Sources().MCategories);
    if (caption == "Update Search")
        NewSearchForm->PrepareUpdate(values.Region, values.Category, values.Keywords);
    // A new search shows what the dialog held when it last closed.
    NewSearchForm->setWindowTitle(FromBytes(caption));
    NewSearchForm->SearchBut->setText(FromBytes(button));
    ExecDialog(NewSearchForm);
    if (NewSearchForm->Cancelled()) return false;
    values.Region = NewSearchForm->Region();
    values.Category = NewSearchForm->Category();
    values.Keywords = SearchKeywords(NewSearchForm->Keywords());
    return true;
}

bool TVelaMainForm::RefineDialog(TRefineValues& values) {
    ExecDialog(RefineForm);
    if (RefineForm->Cancelled()) return false;
    values.Keywords = RefineForm->Keywords();
    values.Validation = RefineForm->ValidModeRadio->isChecked();
    values.MatchAll = RefineForm->AllModeBox->isChecked();
    values.Download = RefineForm->DownloadBox->isChecked();
    values.KeepAsGrabbed = RefineForm->KeepAsGrabbedBox->isChecked();
    return true;
}

void TVelaMainForm::MMNewClick() {
    engine_->MMNewClick();
    ButtonsState();
}

void TVelaMainForm::MMUpdateClick() {
    engine_->MMUpdateClick();
    ButtonsState();
}

void TVelaMainForm::MMRefineClick() {
    if (!IsAnyJob()) return;
    engine_->MMRefineClick();
    ButtonsState();
}

void TVelaMainForm::MMStopClick() {
    engine_->MMStopClick();
    ButtonsState();
}

void TVelaMainForm::MMGrabClick(int choice) {
    if (RunState() != rsIdle) return;
    engine_->LaunchGrabber(choice);
    ButtonsState();
}

void TVelaMainForm::MMOpenBrowserClick() {
    TVelaJob* job = GetSelectedJob();
    if (!job) return;
    OpenURL(job->LocalFile.empty() ? job->URL : job->LocalFile, false);
    job->Visited = true;
    SetJobsModified();
    JobGrid->viewport()->update();
}

void TVelaMainForm::MMOpenNewBrowserClick() {
    TVelaJob* job = GetSelectedJob();
    if (!job) return;
    OpenURL(job->LocalFile.empty() ? job->URL : job->LocalFile, true);
    job->Visited = true;
    SetJobsModified();
    JobGrid->viewport()->update();
}

void TVelaMainForm::MMExitClick() {
    close();
}

void TVelaMainForm::MMCopyURLClick() {
    const TVelaJob* job = GetSelectedJob();
    if (!job) return;
    QGuiApplication::clipboard()->setText(FromBytes(job->URL));
}

// The send-to-a-friend dialog and the translators are in VelaServices.cpp.

void TVelaMainForm::MMBrowseClick(const char* filter) {
    if (RemoteForm) RemoteForm->Browse(filter);
}

void TVelaMainForm::MMDeleteSelectedClick() {
    if (hourglass_ || !IsAnyJob()) return;
    std::vector<int> rows;
    for (const QModelIndex& ix : JobGrid->selectionModel()->selectedRows())
        rows.push_back(ix.row());
    if (rows.empty() && JobGrid->currentRow() >= 0) rows.push_back(JobGrid->currentRow());
    std::sort(rows.begin(), rows.end());
    const int indexCol = GetColIdx(JobGrid, "JobIndex");
    for (int row : rows) {
        bool ok = false;
        const int pos = CellText(JobGrid, row, "JobIndex").toInt(&ok);
        if (ok && pos >= 0 && pos < Jobs().Count()) Jobs()[pos].Relevancy = kRelevancyDeleted;
    }
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (JobGrid->rowCount() > 1) {
            JobGrid->removeRow(*it);
        } else {
            for (int c = 0; c < JobGrid->columnCount(); ++c)
                delete JobGrid->takeItem(0, c);
        }
    }
    (void)indexCol;
    FoundCol = FoundRow = -1;
    UpdateSearchCount();
    SetJobsModified();
    ButtonsState();
}

void TVelaMainForm::MMDeleteGrabbedClick() {
    if (hourglass_) return;
    engine_->MMDeleteGrabbedClick();
}

void TVelaMainForm::MMDeleteAllClick() {
    if (hourglass_) return;
    // The rebuilt grid's selection changes are the engine's, not the user's.
    ignoreSearchSelect_ = true;
    engine_->MMDeleteAllClick();
    ignoreSearchSelect_ = false;
    lastSearchRow_ = SearchGrid->currentRow();
    ButtonsState();
}

void TVelaMainForm::MMHighSelectedClick() {
    if (!IsAnySelectedJob()) return;
    for (int pos : SelectedJobPositions()) {
        TVelaJob& job = Jobs()[pos];
        switch (HighlightMode) {
            case 0:
                job.High = !job.High;
                break;
            case 1:
                job.High = true;
                break;
            case 2:
                job.High = false;
                break;
            default:
                break;  // the fourth press only clears the New marks
        }
        if (job.Status == kStatusNew) job.Status = kStatusWhite;
        RedrawJobRow(pos);
    }
    SetJobsModified();
    HighlightMode = HighlightMode >= 3 ? 1 : HighlightMode + 1;
}

void TVelaMainForm::MMCommentJobClick() {
    if (!IsAnySelectedJob()) return;
    const std::vector<int> p = SelectedJobPositions();
    if (p.empty()) return;
    const int row = RowOfJob(p.front());
    const int col = GetColIdx(JobGrid, "Notes");
    if (row < 0 || col < 0) return;
    editingNotes_ = true;
    JobGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    JobGrid->setCurrentCell(row, col);
    JobGrid->editItem(JobGrid->item(row, col));
}

void TVelaMainForm::EndNotesEditing() {
    if (!editingNotes_) return;
    editingNotes_ = false;
    const int row = JobGrid->currentRow();
    JobGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    if (row >= 0) JobGrid->selectRow(row);
}

void TVelaMainForm::JobGridCellValidate(int row, const QString& text) {
    bool ok = false;
    const int pos = CellText(JobGrid, row, "JobIndex").toInt(&ok);
    if (!ok || pos < 0 || pos >= Jobs().Count()) return;
    TVelaJob& job = Jobs()[pos];
    // Written the way the job's other texts are written.
    job.Notes = ToBytesLike(text, job.Title + job.Company + job.Location + job.Notes);
    SetJobsModified();
    FillJobRow(row, pos);
}

void TVelaMainForm::JobGridClickCell(int row, int col) {
    bool ok = false;
    const int pos = CellText(JobGrid, row, "JobIndex").toInt(&ok);
    if (!ok || pos < 0 || pos >= Jobs().Count()) return;
    if (editingNotes_) {
        if (QWidget* editor = JobGrid->indexWidget(JobGrid->currentIndex())) editor->clearFocus();
        EndNotesEditing();
    }
    TVelaJob& job = Jobs()[pos];
    if (col == GetColIdx(JobGrid, " ")) {
        job.High = !job.High;
        RedrawJobRow(pos);
        SetJobsModified();
    } else if (col == GetColIdx(JobGrid, "Title ") && options_.HotlinkTitles) {
        OpenURL(job.LocalFile.empty() ? job.URL : job.LocalFile, false);
        job.Visited = true;
        SetJobsModified();
        JobGrid->viewport()->update();
    } else if (col == GetColIdx(JobGrid, "Notes")) {
        editingNotes_ = true;
        JobGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
        JobGrid->setCurrentCell(row, col);
        JobGrid->editItem(JobGrid->item(row, col));
    }
}

void TVelaMainForm::JobGridDblClickCell(int row, int) {
    if (row < 0 || !IsAnyJob()) return;
    MMOpenBrowserClick();
}

void TVelaMainForm::JobGridCanSort(int col) {
    if (RunState() != rsIdle) return;
    const QString header =
        JobGrid->horizontalHeaderItem(col) ? JobGrid->horizontalHeaderItem(col)->text() : QString();
    if (header == " ") {
        // The status column sorts the list itself: the grid's text sort knows no images.
        const bool wasSortColumn = engine_->SortColumn == " ";
        const bool descending = wasSortColumn ? !engine_->SortDescending : false;
        Jobs().SortJobs(" ");
        if (descending) Jobs().ReverseJobs();
        engine_->SortColumn = " ";
        engine_->SortDescending = descending;
        sortedGridColumn_ = -1;
        JobListToGrid(false);
        JobGrid->horizontalHeader()->setSortIndicator(
            col, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        return;
    }
    const bool descending = sortedGridColumn_ == col ? !gridSortDescending_ : false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    JobGrid->sortItems(col, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    sortedGridColumn_ = col;
    gridSortDescending_ = descending;
    engine_->SortColumn = SortKeyOf(Bytes(header));
    engine_->SortDescending = descending;
    FoundCol = FoundRow = -1;
    JobGrid->horizontalHeader()->setSortIndicator(
        col, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    // JobGridClickSort: the widths again, then the normal cursor.
    FormResize();
    QApplication::restoreOverrideCursor();
}

void TVelaMainForm::SortJobsbyClick() {
    for (const auto& [item, header] : kSortItems)
        a_->sortItems[item]->setChecked(engine_->SortColumn == SortKeyOf(header));
    a_->sortItems["Ascending"]->setChecked(!engine_->SortDescending);
    a_->sortItems["Descending"]->setChecked(engine_->SortDescending);
}

void TVelaMainForm::SortGridClick(const QString& item) {
    for (const auto& [name, header] : kSortItems)
        if (item == name) engine_->SortColumn = SortKeyOf(header);
    if (item == "Descending") engine_->SortDescending = true;
    if (item == "Ascending") engine_->SortDescending = false;
    // The listing always shows the direction the menu ticks.
    Jobs().SortJobs(engine_->SortColumn);
    if (engine_->SortDescending) Jobs().ReverseJobs();
    sortedGridColumn_ = -1;
    JobListToGrid(false);
    const int col = GetColIdx(JobGrid, HeaderOfKey(engine_->SortColumn).c_str());
    if (col >= 0)
        JobGrid->horizontalHeader()->setSortIndicator(
            col, engine_->SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool TVelaMainForm::FindInGrid(const QString& text, bool caseSensitive, bool next) {
    QHeaderView* hh = JobGrid->horizontalHeader();
    int startVisual = 0, startRow = 0;
    if (next && FoundCol >= 0) {
        startVisual = hh->visualIndex(FoundCol);
        startRow = FoundRow + 1;
    }
    const QString needle = caseSensitive ? text : text.toUpper();
    for (int v = startVisual; v < JobGrid->columnCount(); ++v) {
        const int col = hh->logicalIndex(v);
        if (JobGrid->isColumnHidden(col)) continue;
        for (int row = (v == startVisual ? startRow : 0); row < JobGrid->rowCount(); ++row) {
            const QTableWidgetItem* it = JobGrid->item(row, col);
            if (!it) continue;
            const QString cell = caseSensitive ? it->text() : it->text().toUpper();
            if (!needle.isEmpty() && cell.contains(needle)) {
                FoundCol = col;
                FoundRow = row;
                SelectGridRow(row);
                JobGrid->viewport()->update();
                return true;
            }
        }
    }
    FoundCol = FoundRow = -1;
    JobGrid->viewport()->update();
    return false;
}

void TVelaMainForm::MMFindInResultsClick() {
    ExecDialog(FindInResultsForm);
    if (FindInResultsForm->Cancelled()) return;
    a_->findText = FindInResultsForm->FindEdit->text();
    a_->findCase = FindInResultsForm->CheckCase->isChecked();
    if (FindInGrid(a_->findText, a_->findCase, false))
        Action("MMFindInResultsNext")->setEnabled(true);
    else
        ShowMessage("Keyword not found.");
    UpdateMenus();
}

void TVelaMainForm::MMFindInResultsNextClick() {
    if (a_->findText.isEmpty()) return;
    // After a Find that found nothing, Find Next starts again from the top.
    if (!FindInGrid(a_->findText, a_->findCase, true)) {
        ShowMessage("Keyword not found.");
        Action("MMFindInResultsNext")->setEnabled(false);
    }
    UpdateMenus();
}

void TVelaMainForm::MMContentClick() {
    OpenURL(kMakerHelp, false);
}

void TVelaMainForm::MMPreferencesClick() {
    if (OptionsForm && RunState() == rsIdle) ExecDialog(OptionsForm);
}

void TVelaMainForm::ConnectionSettingsAssistant1Click() {
    if (!ConnectWizard || !OptionsForm) return;
    // The assistant shows and sets the options' "Connect through a proxy server" box.
    ConnectWizard->UseProxyOption = OptionsForm->UseProxy->isChecked();
    if (ExecDialog(ConnectWizard) != QDialog::Accepted) return;
    OptionsForm->UseProxy->setChecked(ConnectWizard->UseProxyOption);
    // Into the store at once (not yet to disk): the options dialog starts every showing
    // from the store, and the machine is configured from it.
    OptionsForm->SaveOptions();
}

void TVelaMainForm::MMAboutClick() {
    AboutForm->Fill(product_, Sources().Version);
    ExecDialog(AboutForm);
}

void TVelaMainForm::MMVelaHomeClick() {
    OpenURL(kMakerHome, false);
}

}  // namespace tessaly::ui
