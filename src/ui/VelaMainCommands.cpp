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
#include "ui/JobGrid.h"
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

void TVelaMainForm::MMGrabClick(TGrabChoice choice) {
    if (RunState() != rsIdle) return;
    if (choice == gcSelected)
        engine_->MMGrabSelectedClick();  // reads the grid's selection
    else
        engine_->Grab(choice);
    ButtonsState();
}

void TVelaMainForm::MMOpenBrowserClick() {
    TVelaJob* job = GetSelectedJob();
    if (!job) return;
    OpenURL(job->LocalFile.empty() ? job->URL : job->LocalFile, false);
    job->Visited = true;
    SetJobsModified();
    JobGrid->Repaint();
}

void TVelaMainForm::FillAlsoOnMenu() {
    QMenu* menu = a_->resAlsoOn;
    menu->clear();
    if (const TVelaJob* job = GetSelectedJob()) {
        for (const TAlsoOn& a : job->AlsoOn) {
            // A site's title may hold "&", which a menu would take for a shortcut mark.
            QAction* item = menu->addAction(FromBytes(a.Source).replace("&", "&&"));
            item->setStatusTip(FromBytes(a.URL));
            connect(item, &QAction::triggered, this, [this, url = a.URL] { OpenURL(url, false); });
        }
    }
    menu->menuAction()->setVisible(!menu->isEmpty());
}

void TVelaMainForm::MMOpenNewBrowserClick() {
    TVelaJob* job = GetSelectedJob();
    if (!job) return;
    OpenURL(job->LocalFile.empty() ? job->URL : job->LocalFile, true);
    job->Visited = true;
    SetJobsModified();
    JobGrid->Repaint();
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
    for (const QItemSelectionRange& r : JobGrid->selectionModel()->selection())
        for (int row = r.top(); row <= r.bottom(); ++row)
            rows.push_back(row);
    if (rows.empty() && JobGrid->currentRow() >= 0) rows.push_back(JobGrid->currentRow());
    for (int row : rows) {
        const int pos = JobGrid->Model().PositionAt(row);
        if (pos >= 0) Jobs()[pos].Relevancy = kRelevancyDeleted;
    }
    JobGrid->Model().RemoveRows(rows);
    foundCol_ = foundRow_ = -1;
    UpdateSearchCount();
    SetJobsModified();
    ButtonsState();
}

bool TVelaMainForm::ConfirmDelete(const QString& question, QWidget* owner) {
    if (options::DeleteUnasked.Read(engine_->OptionsBox())) return true;
    QMessageBox box(QMessageBox::Question, windowTitle(), question,
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName("ConfirmDelete");
    // Nothing can be undone: a stray Enter keeps the jobs.
    box.setDefaultButton(QMessageBox::No);
    auto* dontAsk = new QCheckBox("&Don't ask again", &box);
    dontAsk->setObjectName("DontAskAgain");
    box.setCheckBox(dontAsk);
    ExecDialog(&box);
    if (box.clickedButton() != box.button(QMessageBox::Yes)) return false;
    if (dontAsk->isChecked()) options::DeleteUnasked.Write(engine_->OptionsBox(), true);
    return true;
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
        switch (highlightMode_) {
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
    highlightMode_ = highlightMode_ >= 3 ? 1 : highlightMode_ + 1;
}

void TVelaMainForm::MMCommentJobClick() {
    if (!IsAnySelectedJob()) return;
    const std::vector<int> p = SelectedJobPositions();
    if (p.empty()) return;
    const int row = RowOfJob(p.front());
    const int col = JobGrid->ColumnOf(TJobColumn::Notes);
    if (row < 0 || col < 0) return;
    editingNotes_ = true;
    JobGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    JobGrid->EditCell(row, col);
}

void TVelaMainForm::EndNotesEditing() {
    if (!editingNotes_) return;
    editingNotes_ = false;
    const int row = JobGrid->currentRow();
    JobGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    if (row >= 0) JobGrid->selectRow(row);
}

void TVelaMainForm::JobGridCellValidate(int row, const QString& text) {
    const int pos = JobGrid->Model().PositionAt(row);
    if (pos < 0) return;
    TVelaJob& job = Jobs()[pos];
    // Written the way the job's other texts are written.
    job.Notes = ToBytesLike(text, job.Title + job.Company + job.Location + job.Notes);
    SetJobsModified();
    JobGrid->Model().RowChanged(row);
}

void TVelaMainForm::JobGridClickCell(int row, int col) {
    const int pos = JobGrid->Model().PositionAt(row);
    if (pos < 0) return;
    if (editingNotes_) {
        if (QWidget* editor = JobGrid->indexWidget(JobGrid->currentIndex())) editor->clearFocus();
        EndNotesEditing();
    }
    TVelaJob& job = Jobs()[pos];
    if (col == JobGrid->ColumnOf(TJobColumn::Status)) {
        job.High = !job.High;
        RedrawJobRow(pos);
        SetJobsModified();
    } else if (col == JobGrid->ColumnOf(TJobColumn::Title) && settings_->Visual.HotlinkTitles) {
        OpenURL(job.LocalFile.empty() ? job.URL : job.LocalFile, false);
        job.Visited = true;
        SetJobsModified();
        JobGrid->Repaint();
    } else if (col == JobGrid->ColumnOf(TJobColumn::Notes)) {
        editingNotes_ = true;
        JobGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
        JobGrid->EditCell(row, col);
    }
}

void TVelaMainForm::JobGridDblClickCell(int row, int) {
    if (row < 0 || !IsAnyJob()) return;
    MMOpenBrowserClick();
}

void TVelaMainForm::ShowSortMark() {
    const int col = JobGrid->ColumnOf(engine_->Sort().Column);
    if (col >= 0)
        JobGrid->horizontalHeader()->setSortIndicator(
            col, engine_->Sort().Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TVelaMainForm::JobGridCanSort(int col) {
    // The header moves its sort mark on every click; during a run the listing keeps its
    // order, so the mark goes back to the column the listing is sorted by.
    if (RunState() != rsIdle || hourglass_) {
        ShowSortMark();
        return;
    }
    const auto& columns = TJobListModel::Columns(TJobGridKind::Main);
    if (col < 0 || col >= static_cast<int>(columns.size()) ||
        columns[static_cast<size_t>(col)].Role != TJobGridColumn::Job) {
        ShowSortMark();
        return;
    }
    const TJobColumn column = columns[static_cast<size_t>(col)].Column;
    // The status column sorts the list itself, and a first click sorts it ascending,
    // then each click turns it round: the grid's text sort knows no images. The other
    // columns sort the rows by their texts; a click on another column than the last one
    // the rows were sorted by starts ascending too, even when the list was sorted by that
    // column descending through the menu (the menu's sort is the list's, not the rows').
    if (column == TJobColumn::Status) {
        const bool wasSortColumn = engine_->Sort().Column == column;
        const bool descending = wasSortColumn ? !engine_->Sort().Descending : false;
        Jobs().SortJobs(column);
        if (descending) Jobs().ReverseJobs();
        engine_->SetSort({column, descending});
        sortedGridColumn_ = -1;
        JobListToGrid(false);
        ShowSortMark();
        return;
    }
    const bool descending = sortedGridColumn_ == col ? !gridSortDescending_ : false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    JobGrid->Model().SortByText(col, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    sortedGridColumn_ = col;
    gridSortDescending_ = descending;
    engine_->SetSort({column, descending});
    foundCol_ = foundRow_ = -1;
    ShowSortMark();
    // JobGridClickSort: the widths again, then the normal cursor.
    FormResize();
    QApplication::restoreOverrideCursor();
}

void TVelaMainForm::SortJobsbyClick() {
    for (const TJobColumnInfo& column : kJobColumns)
        a_->sortItems[column.Caption]->setChecked(engine_->Sort().Column == column.Column);
    a_->sortItems["Ascending"]->setChecked(!engine_->Sort().Descending);
    a_->sortItems["Descending"]->setChecked(engine_->Sort().Descending);
}

void TVelaMainForm::SortGridClick(const QString& item) {
    TSortOrder order = engine_->Sort();
    if (const std::optional<TJobColumn> c = JobColumnByCaption(Bytes(item))) order.Column = *c;
    if (item == "Descending") order.Descending = true;
    if (item == "Ascending") order.Descending = false;
    engine_->SetSort(order);
    // The listing always shows the direction the menu ticks.
    Jobs().SortJobs(order.Column);
    if (order.Descending) Jobs().ReverseJobs();
    sortedGridColumn_ = -1;
    JobListToGrid(false);
    ShowSortMark();
}

namespace {

// Letters a to z compare without case, every other character as it is: the way the
// program compares texts everywhere. Other scripts' case pairs (and the German sharp s,
// whose capital is two letters) would make the hit depend on the desktop's locale.
QString FoldAscii(const QString& text) {
    QString folded = text;
    for (QChar& c : folded)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    return folded;
}

}  // namespace

bool TVelaMainForm::FindInGrid(const QString& text, bool caseSensitive, bool next) {
    QHeaderView* hh = JobGrid->horizontalHeader();
    int startVisual = 0, startRow = 0;
    if (next && foundCol_ >= 0) {
        startVisual = hh->visualIndex(foundCol_);
        startRow = foundRow_ + 1;
    }
    const QString needle = caseSensitive ? text : FoldAscii(text);
    const int rows = JobGrid->Model().JobRows();
    for (int v = startVisual; !needle.isEmpty() && v < JobGrid->columnCount(); ++v) {
        const int col = hh->logicalIndex(v);
        if (JobGrid->isColumnHidden(col)) continue;
        for (int row = (v == startVisual ? startRow : 0); row < rows; ++row) {
            const QString cell = JobGrid->Text(row, col);
            if ((caseSensitive ? cell : FoldAscii(cell)).contains(needle)) {
                foundCol_ = col;
                foundRow_ = row;
                SelectGridRow(row);
                JobGrid->Repaint();
                return true;
            }
        }
    }
    foundCol_ = foundRow_ = -1;
    JobGrid->Repaint();
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
    // The help shipped with the program: it is there without a connection.
    const std::string page = LocalHelpPage(ExecutableDirectory());
    if (page.empty())
        ShowMessage(
            "The help is not installed with this copy of Tessaly Jobs: it is the README "
            "and docs/definitions.md of its sources.");
    else
        OpenURL(page, false);
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
