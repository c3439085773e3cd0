#include "ui/JobGrid.h"

#include "data/Openings.h"

#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelection>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <numeric>

#include "data/Openings.h"
#include "data/Relevancy.h"
#include "data/VelaJobs.h"
#include "search/SearchEngine.h"
#include "ui/Contrast.h"
#include "ui/JobImages.h"
#include "ui/QtText.h"

namespace tessaly::ui {

namespace {

const std::vector<QIcon>& JobIcons() {
    static const std::vector<QIcon> icons = [] {
        std::vector<QIcon> v;
        for (const QPixmap& pm : JobImages())
            v.emplace_back(pm);
        return v;
    }();
    return icons;
}

std::vector<TJobGridColumn> MainColumns() {
    std::vector<TJobGridColumn> v;
    for (const TJobColumnInfo& c : kJobColumns)
        v.push_back({TJobGridColumn::Job, c.Column, c.Header});
    v.push_back({TJobGridColumn::Index, TJobColumn::Status, kJobIndexHeader});
    return v;
}

std::vector<TJobGridColumn> RemoteColumns() {
    return {{TJobGridColumn::Job, TJobColumn::Status, kRemoteGridHeaders[0]},
            {TJobGridColumn::Job, TJobColumn::Title, kRemoteGridHeaders[1]},
            {TJobGridColumn::Job, TJobColumn::Relevancy, kRemoteGridHeaders[2]},
            {TJobGridColumn::Job, TJobColumn::Notes, kRemoteGridHeaders[3]},
            {TJobGridColumn::Index, TJobColumn::Status, kRemoteGridHeaders[4]},
            // The unnamed column that takes up the rest of the width.
            {TJobGridColumn::Blank, TJobColumn::Status, ""}};
}

}  // namespace

// ---------------------------------------------------------------- the model

const std::vector<TJobGridColumn>& TJobListModel::Columns(TJobGridKind kind) {
    static const std::vector<TJobGridColumn> main = MainColumns();
    static const std::vector<TJobGridColumn> remote = RemoteColumns();
    return kind == TJobGridKind::Main ? main : remote;
}

TJobListModel::TJobListModel(TJobGridKind kind, TListFn list, QObject* parent)
    : QAbstractTableModel(parent), kind_(kind), list_(std::move(list)), columns_(Columns(kind)) {}

void TJobListModel::Reset(const std::function<bool(const TVelaJob&)>& wanted) {
    beginResetModel();
    rows_.clear();
    images_.clear();
    const TVelaJobsList& jobs = list_();
    rows_.reserve(static_cast<size_t>(jobs.Count()));
    for (int i = 0; i < jobs.Count(); ++i) {
        const TVelaJob& job = jobs[i];
        if (job.Relevancy == kRelevancyDeleted) continue;
        if (wanted && !wanted(job)) continue;
        rows_.push_back(i);
    }
    Reindex();
    endResetModel();
}

void TJobListModel::Reindex() {
    rowOf_.assign(static_cast<size_t>(list_().Count()), -1);
    for (size_t r = 0; r < rows_.size(); ++r) {
        const int pos = rows_[r];
        if (pos >= 0 && static_cast<size_t>(pos) < rowOf_.size())
            rowOf_[static_cast<size_t>(pos)] = static_cast<int>(r);
    }
}

int TJobListModel::PositionAt(int row) const {
    if (row < 0 || row >= JobRows()) return -1;
    const int pos = rows_[static_cast<size_t>(row)];
    // The list may have changed since the rows were made; a row past its end has no job.
    return pos < list_().Count() ? pos : -1;
}

int TJobListModel::RowOf(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= rowOf_.size()) return -1;
    return rowOf_[static_cast<size_t>(position)];
}

TVelaJob* TJobListModel::JobAt(int row) const {
    const int pos = PositionAt(row);
    return pos >= 0 ? &list_()[pos] : nullptr;
}

void TJobListModel::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [this](int r) { return r < 0 || r >= JobRows(); }),
        rows.end());
    if (rows.empty()) return;
    if (static_cast<int>(rows.size()) == JobRows()) {
        // None left: the blank row of an empty listing.
        beginResetModel();
        rows_.clear();
        images_.clear();
        Reindex();
        endResetModel();
        return;
    }
    // Bottom up, one run of neighbouring rows at a time, so the view keeps the rest of
    // its selection.
    size_t end = rows.size();
    while (end > 0) {
        size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        const int first = rows[begin], last = rows[end - 1];
        beginRemoveRows({}, first, last);
        rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
        endRemoveRows();
        end = begin;
    }
    Reindex();
}

void TJobListModel::RowChanged(int row) {
    if (row < 0 || row >= rowCount()) return;
    images_.erase(PositionAt(row));
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TJobListModel::SetRowImage(int row, int image) {
    const int pos = PositionAt(row);
    if (pos < 0) return;
    images_[pos] = image;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TJobListModel::SortByText(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount() || rows_.size() < 2) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The texts once, then the order of the rows by them (code-unit order, as the grid
    // always compared).
    const size_t n = rows_.size();
    std::vector<QString> keys(n);
    for (size_t r = 0; r < n; ++r)
        keys[r] = Text(static_cast<int>(r), column);
    std::vector<int> order_(n);
    std::iota(order_.begin(), order_.end(), 0);
    if (order == Qt::AscendingOrder)
        std::stable_sort(order_.begin(), order_.end(),
                         [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
    else
        std::stable_sort(order_.begin(), order_.end(),
                         [&](int a, int b) { return keys[size_t(b)] < keys[size_t(a)]; });
    std::vector<int> newRowOfOld(n);
    std::vector<int> rows(n);
    for (size_t r = 0; r < n; ++r) {
        rows[r] = rows_[static_cast<size_t>(order_[r])];
        newRowOfOld[static_cast<size_t>(order_[r])] = static_cast<int>(r);
    }
    rows_.swap(rows);
    Reindex();
    // The selection and the current cell follow their jobs.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& ix : from) {
        const int r = ix.row();
        to.push_back(r >= 0 && static_cast<size_t>(r) < n
                         ? index(newRowOfOld[static_cast<size_t>(r)], ix.column())
                         : ix);
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TJobListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    if (rows_.empty() && kind_ == TJobGridKind::Main) return 1;
    return JobRows();
}

int TJobListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

int TJobListModel::StatusImage(int row, const TVelaJob& job) const {
    const auto it = images_.find(PositionAt(row));
    return it != images_.end() ? it->second : JobStatusImage(job);
}

QString TJobListModel::Text(int row, int column) const {
    if (column < 0 || column >= columnCount()) return {};
    const TJobGridColumn& c = columns_[static_cast<size_t>(column)];
    const int pos = PositionAt(row);
    if (pos < 0) return {};
    if (c.Role == TJobGridColumn::Index) return QString::number(pos);
    if (c.Role == TJobGridColumn::Blank) return {};
    const TVelaJob& job = list_()[pos];
    const bool remote = kind_ == TJobGridKind::Remote;
    switch (c.Column) {
        case TJobColumn::Status:
            return remote ? QStringLiteral("     ") : QString();
        case TJobColumn::Title:
            return FromBytes(job.Title);
        case TJobColumn::Company:
            return FromBytes(job.Company);
        case TJobColumn::Location:
            return FromBytes(job.Location);
        case TJobColumn::Source:
            return FromBytes(SourceWithAlsoOn(job));
        case TJobColumn::Relevancy:
            return FromBytes(remote ? RelevancyMark(job.Relevancy) : RelevancyText(job.Relevancy));
        case TJobColumn::Notes:
            return FromBytes(job.Notes);
    }
    return {};
}

QVariant TJobListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row(), column = index.column();
    const TJobGridColumn& c = columns_[static_cast<size_t>(column)];
    const TVelaJob* job = JobAt(row);
    if (!job) return {};
    const bool remote = kind_ == TJobGridKind::Remote;
    const bool status = c.Role == TJobGridColumn::Job && c.Column == TJobColumn::Status;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return Text(row, column);
        case Qt::DecorationRole: {
            if (!status) return {};
            const int image = StatusImage(row, *job);
            if (image < 0 || image >= kJobImageCount) return {};
            return JobIcons()[static_cast<size_t>(image)];
        }
        case Qt::UserRole:
            return status ? QVariant(StatusImage(row, *job)) : QVariant();
        case Qt::TextAlignmentRole:
            if (remote && c.Role == TJobGridColumn::Job && c.Column == TJobColumn::Relevancy)
                return int(Qt::AlignCenter);
            return {};
        case Qt::ToolTipRole: {
            if (c.Role != TJobGridColumn::Job) return {};
            if (status) return JobImageHint(*job);
            const QString text = Text(row, column);
            if (c.Column == TJobColumn::Notes)
                return job->Notes.empty() ? QString("Click to enter notes") : text;
            if (c.Column == TJobColumn::Source && !job->AlsoOn.empty()) {
                QString boards = FromBytes(job->Source) + "\nAlso on:";
                for (const TAlsoOn& a : job->AlsoOn)
                    boards += "\n" + FromBytes(a.Source);
                return boards;
            }
            if (!remote) return text;
            if (c.Column == TJobColumn::Title)
                return "Title: " + text + "\nCompany: " + FromBytes(job->Company) +
                       "\nLocation: " + FromBytes(job->Location) +
                       "\nSource: " + FromBytes(SourceWithAlsoOn(*job));
            if (c.Column == TJobColumn::Relevancy) return FromBytes(RelevancyName(job->Relevancy));
            return text;
        }
        default:
            return {};
    }
}

QVariant TJobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= columnCount()) return {};
    return QString(columns_[static_cast<size_t>(section)].Header);
}

Qt::ItemFlags TJobListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const TJobGridColumn& c = columns_[static_cast<size_t>(index.column())];
    if (c.Role == TJobGridColumn::Job && c.Column == TJobColumn::Notes && JobAt(index.row()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool TJobListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    if (OnNotesEdited) OnNotesEdited(index.row(), value.toString());
    return true;
}

// ---------------------------------------------------------------- drawing

namespace {

const QColor kHighlightYellow(255, 255, 0);
const QColor kSelection(190, 214, 245);

// Colours of the job grid, applied per cell in a fixed order so that the later rules win:
// highlighted row, "n/a", hot-linked title, notes, the last find hit. The remote window
// draws the status image in the middle of its cell.
class TJobGridDelegate final : public QStyledItemDelegate {
  public:
    explicit TJobGridDelegate(TJobGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (grid_->Kind() != TJobGridKind::Remote ||
            index.column() != grid_->ColumnOf(TJobColumn::Status)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // The cell without its picture, then the picture in the middle.
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QIcon icon = opt.icon;
        opt.icon = QIcon();
        opt.features &= ~QStyleOptionViewItem::HasDecoration;
        const QWidget* w = opt.widget;
        (w ? w->style() : QApplication::style())
            ->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
        if (icon.isNull()) return;
        const QSize size = opt.decorationSize.isValid() ? opt.decorationSize : QSize(16, 16);
        QRect r(QPoint(0, 0), size);
        r.moveCenter(option.rect.center());
        icon.paint(painter, r);
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const TVelaJob* job = grid_->Model().JobAt(index.row());
        const TJobGridLook look = grid_->Look ? grid_->Look() : TJobGridLook{};
        const int row = index.row(), col = index.column();
        // The colour a rule gives the text; the later rules win.
        QColor ink;
        const bool yellow = job && job->High && look.YellowHighlight;
        if (yellow) option->backgroundBrush = kHighlightYellow;
        if (option->text == "n/a") ink = QColor(192, 192, 192);
        if (job && look.HotlinkTitles && col == grid_->ColumnOf(TJobColumn::Title)) {
            ink = job->Visited ? QColor(128, 0, 128) : QColor(0, 0, 255);
            option->font.setUnderline(true);
        }
        if (col == grid_->ColumnOf(TJobColumn::Notes)) ink = QColor(128, 128, 0);
        if (col == look.FoundColumn && row == look.FoundRow) ink = QColor(255, 0, 0);
        // Selected rows get a pale selection. Every text is then made readable on what is
        // drawn behind it: the selection, the yellow of a highlighted row, or the
        // palette's own background, light or dark.
        const bool selected = option->state & QStyle::State_Selected;
        if (selected) option->palette.setColor(QPalette::Highlight, kSelection);
        const QColor back = selected ? kSelection
                            : yellow ? kHighlightYellow
                                     : option->palette.color(QPalette::Base);
        if (!ink.isValid()) {
            // Plain text that the background would wash out turns black or white.
            ink = option->palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
            if (ContrastRatio(ink, back) < kReadableContrast) ink = StrongestOn(back);
        }
        ink = ReadableOn(ink, back);
        option->palette.setColor(QPalette::Text, ink);
        option->palette.setColor(QPalette::HighlightedText, ink);
    }

  private:
    TJobGrid* grid_;
};

}  // namespace

// ---------------------------------------------------------------- the view

TJobGrid::TJobGrid(TJobGridKind kind, TJobListModel::TListFn list, QWidget* parent)
    : QTableView(parent), kind_(kind), model_(new TJobListModel(kind, std::move(list), this)) {
    setModel(model_);
    setItemDelegate(new TJobGridDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setWordWrap(false);
    setIconSize(QSize(16, 16));
    setMouseTracking(true);
    verticalHeader()->hide();
    // Rows of one height: the view then never measures rows, whatever their number.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    model_->Reset();
}

int TJobGrid::currentRow() const {
    return currentIndex().row();
}

int TJobGrid::currentColumn() const {
    return currentIndex().column();
}

void TJobGrid::setCurrentCell(int row, int column) {
    setCurrentIndex(model_->index(row, column));
}

int TJobGrid::ColumnOf(const QString& header) const {
    int found = -1;
    const auto& cols = TJobListModel::Columns(kind_);
    for (size_t c = 0; c < cols.size(); ++c)
        if (header == cols[c].Header) found = static_cast<int>(c);
    return found;
}

int TJobGrid::ColumnOf(TJobColumn column) const {
    const auto& cols = TJobListModel::Columns(kind_);
    for (size_t c = 0; c < cols.size(); ++c)
        if (cols[c].Role == TJobGridColumn::Job && cols[c].Column == column)
            return static_cast<int>(c);
    return -1;
}

int TJobGrid::IndexColumn() const {
    const auto& cols = TJobListModel::Columns(kind_);
    for (size_t c = 0; c < cols.size(); ++c)
        if (cols[c].Role == TJobGridColumn::Index) return static_cast<int>(c);
    return -1;
}

QVariant TJobGrid::Data(int row, int column, int role) const {
    return model_->data(model_->index(row, column), role);
}

void TJobGrid::EditCell(int row, int column) {
    const QModelIndex ix = model_->index(row, column);
    if (!ix.isValid()) return;
    setCurrentIndex(ix);
    edit(ix);
}

void TJobGrid::ScrollToRow(int row) {
    const int col = std::max(0, ColumnOf(TJobColumn::Title));
    scrollTo(model_->index(row, col));
}

void TJobGrid::ShowList(const std::function<bool(const TVelaJob&)>& wanted) {
    const int row = currentRow(), col = currentColumn();
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& r : selectionModel()->selection())
        ranges.emplace_back(r.top(), r.bottom());
    model_->Reset(wanted);
    const int rows = model_->rowCount();
    if (rows == 0) return;
    QItemSelection keep;
    for (auto [top, bottom] : ranges) {
        if (top >= rows) continue;
        keep.select(model_->index(top, 0), model_->index(std::min(bottom, rows - 1), 0));
    }
    if (row >= 0 && row < rows)
        selectionModel()->setCurrentIndex(model_->index(row, std::max(col, 0)),
                                          QItemSelectionModel::NoUpdate);
    if (!keep.isEmpty())
        selectionModel()->select(keep,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TJobGrid::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    if (OnResized) OnResized();
}

void TJobGrid::Repaint() {
    viewport()->update();
}

}  // namespace tessaly::ui
