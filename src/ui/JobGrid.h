// The job listing's grid, shared by the main window and the remote window: a table view
// over a model that reads the current job list itself. The model keeps no copy of the
// jobs and no item per cell, only the list position shown on each row; showing a list
// of any size is one model reset.
//
// Columns keep their header texts (the user may move them), rows their list positions
// (the hidden index column shows them), so neither the display order of rows nor of
// columns matters to the windows.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTableView>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "data/JobColumns.h"

namespace tessaly {
class TVelaJob;
class TVelaJobsList;
}  // namespace tessaly

namespace tessaly::ui {

// The two layouts of the job grid.
enum class TJobGridKind {
    Main,    // every column, an index column "JobIndex"
    Remote,  // status, "Job " (the title), relevancy "(n)", notes, "RemoteIndex", stretch
};

// The remote layout's headers, in its default order (then an unnamed stretch column).
inline constexpr const char* kRemoteGridHeaders[5] = {" ", "Job ", "Relevancy ", "Notes ",
                                                      "RemoteIndex"};

// What a logical column of the grid shows.
struct TJobGridColumn {
    enum TRole : uint8_t { Job, Index, Blank };
    TRole Role = Job;
    TJobColumn Column = TJobColumn::Status;  // for Job
    const char* Header = "";
};

class TJobListModel final : public QAbstractTableModel {
  public:
    using TListFn = std::function<TVelaJobsList&()>;

    TJobListModel(TJobGridKind kind, TListFn list, QObject* parent = nullptr);

    static const std::vector<TJobGridColumn>& Columns(TJobGridKind kind);

    // ---- rows
    // Shows the jobs of the list that are not deleted and that `wanted` accepts (all when
    // empty), in list order.
    void Reset(const std::function<bool(const TVelaJob&)>& wanted = {});
    // Shown rows; the grid of the main window shows one blank row when there are none.
    int JobRows() const { return static_cast<int>(rows_.size()); }
    int PositionAt(int row) const;
    int RowOf(int position) const;
    TVelaJob* JobAt(int row) const;
    // Removes rows (any order); the last removal leaves the blank row.
    void RemoveRows(std::vector<int> rows);
    // Redraws a row from its job; a transient image set on it goes.
    void RowChanged(int row);
    // A transient image on the row of a job (a page being fetched) until it is redrawn.
    void SetRowImage(int row, int image);
    // Orders the rows by the texts a column shows (stable; the list keeps its order).
    void SortByText(int column, Qt::SortOrder order);

    // A notes cell was edited: row and new text.
    std::function<void(int, const QString&)> OnNotesEdited;

    // ---- QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The text a cell shows, also for the sort and the Find command.
    QString Text(int row, int column) const;

  private:
    void Reindex();
    int StatusImage(int row, const TVelaJob& job) const;

    TJobGridKind kind_;
    TListFn list_;
    const std::vector<TJobGridColumn>& columns_;
    std::vector<int> rows_;                // list position of each row
    std::vector<int> rowOf_;               // row of each list position, -1 when not shown
    std::unordered_map<int, int> images_;  // transient images by list position
};

// What the grid's colours depend on besides the job.
struct TJobGridLook {
    bool YellowHighlight = true;          // highlighted jobs on yellow
    bool HotlinkTitles = false;           // titles blue (purple once visited) and underlined
    int FoundColumn = -1, FoundRow = -1;  // the last Find hit, in red
};

class TJobGrid final : public QTableView {
  public:
    TJobGrid(TJobGridKind kind, TJobListModel::TListFn list, QWidget* parent = nullptr);

    TJobListModel& Model() const { return *model_; }
    TJobGridKind Kind() const { return kind_; }

    // The colours' options, asked at each paint.
    std::function<TJobGridLook()> Look;
    // Called after the grid changed its size.
    std::function<void()> OnResized;

    // ---- the QTableWidget-like addressing the windows use
    int rowCount() const { return model_->rowCount(); }
    int columnCount() const { return model_->columnCount(); }
    int currentRow() const;
    int currentColumn() const;
    void setCurrentCell(int row, int column);
    // The logical column under a header text (the last when named twice), -1 when none.
    int ColumnOf(const QString& header) const;
    int ColumnOf(TJobColumn column) const;
    int IndexColumn() const;
    // A cell's text and other roles (Qt::ToolTipRole, Qt::UserRole for the status image).
    QString Text(int row, int column) const { return model_->Text(row, column); }
    QVariant Data(int row, int column, int role) const;
    // Opens the cell editor on a cell.
    void EditCell(int row, int column);
    void ScrollToRow(int row);

    // Shows the list again (see TJobListModel::Reset); the current cell and the selected
    // rows stay where they were as far as rows are left.
    void ShowList(const std::function<bool(const TVelaJob&)>& wanted = {});

    // Redraws the whole viewport (colours that depend on options or the Find hit).
    void Repaint();

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    TJobGridKind kind_;
    TJobListModel* model_;
};

}  // namespace tessaly::ui
