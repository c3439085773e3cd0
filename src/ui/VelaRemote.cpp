#include "ui/VelaRemote.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "data/ConfigBox.h"
#include "data/LiveSettings.h"
#include "data/VelaJobs.h"
#include "platform/MainLoop.h"
#include "search/SearchEngine.h"
#include "ui/JobGrid.h"
#include "ui/JobImages.h"
#include "ui/QtText.h"
#include "ui/VelaProgress.h"

namespace tessaly::ui {

namespace {

constexpr int kStatusWidth = 26;
// The relevancy column is 20 pixels, wider only where the desktop's font would clip "(6)".
constexpr int kRelevancyWidth = 20;

// The sort items of the pop-up menu are named "by" and the column's caption ("byTitle").
QString SortItemName(const TJobColumnInfo& column) {
    return QString("by") + column.Caption;
}

const QColor kInk(40, 48, 64);

// The tool bar's pictures, drawn like the rest of the program's: a thin dark outline,
// one clear colour each.
QIcon ToolIcon(const QString& name) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kInk, 1));
    if (name == "High") {
        // A marker pen over a yellow stroke.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 220, 0));
        p.drawRoundedRect(QRectF(2, 13, 16, 5), 2, 2);
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(250, 200, 30));
        QPainterPath pen;
        pen.moveTo(6, 13);
        pen.lineTo(14, 3);
        pen.lineTo(17, 6);
        pen.lineTo(9, 16);
        pen.lineTo(5.5, 16.5);
        pen.closeSubpath();
        p.drawPath(pen);
    } else if (name == "Comment") {
        // A speech bubble with two lines of text.
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(1.5, 2.5, 17, 11), 3, 3);
        bubble.moveTo(5, 13.5);
        bubble.lineTo(4, 18);
        bubble.lineTo(9.5, 13.5);
        p.setBrush(QColor(255, 252, 220));
        p.drawPath(bubble.simplified());
        p.setPen(QPen(QColor(128, 128, 0), 1.2));
        p.drawLine(QPointF(4.5, 6.5), QPointF(15.5, 6.5));
        p.drawLine(QPointF(4.5, 9.5), QPointF(12.5, 9.5));
    } else if (name == "Translate") {
        // Two cards, one letter each, the front one over the back one.
        p.setBrush(QColor(215, 230, 250));
        p.drawRoundedRect(QRectF(1.5, 1.5, 11, 11), 2, 2);
        p.setBrush(QColor(255, 235, 200));
        p.drawRoundedRect(QRectF(7.5, 7.5, 11, 11), 2, 2);
        QFont f = p.font();
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(20, 70, 160));
        p.drawText(QRectF(1.5, 1.5, 8, 8), Qt::AlignCenter, "A");
        p.setPen(QColor(170, 80, 0));
        p.drawText(QRectF(7.5, 7.5, 11, 11), Qt::AlignCenter, "B");
    } else if (name == "Reload") {
        // A globe inside a turning arrow: the page again, from the web.
        p.setBrush(QColor(205, 228, 255));
        p.drawEllipse(QRectF(6, 6, 8, 8));
        p.setPen(QPen(QColor(0, 120, 60), 2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2, 2, 16, 16), 60 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 120, 60));
        p.drawPolygon(QPolygonF({QPointF(12, 0.5), QPointF(17.5, 3), QPointF(12.5, 7)}));
    } else if (name == "Send") {
        // An envelope.
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 4.5, 17, 11));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(1.5, 4.5), QPointF(10, 11), QPointF(18.5, 4.5)}));
        p.setPen(QPen(QColor(200, 40, 40), 1));
        p.drawLine(QPointF(14, 13.5), QPointF(17, 13.5));
    }
    return QIcon(pm);
}

}  // namespace

// ---------------------------------------------------------------- creation

TRemoteForm::TRemoteForm(TRemoteHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName("RemoteForm");
    setWindowTitle("Remote Control");
    setModal(false);
    setWindowFlag(Qt::Tool, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(false);

    Panel1 = new QToolBar(this);
    Panel1->setObjectName("Panel1");
    Panel1->setIconSize(QSize(20, 20));
    Panel1->setMovable(false);
    Panel1->setFloatable(false);
    auto button = [this](const char* name, const char* hint, const char* icon) {
        auto* b = new QToolButton(Panel1);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        b->setIcon(ToolIcon(icon));
        b->setAutoRaise(true);
        Panel1->addWidget(b);
        return b;
    };
    HighBut = button("HighBut", "Highlight Job(s)", "High");
    CommentBut = button("CommentBut", "Comment Job", "Comment");
    TranslateBut = button("TranslateBut", "Translate Job", "Translate");
    Panel1->addSeparator();
    ReloadBut = button("ReloadBut", "Reload Job Online", "Reload");
    SendBut = button("SendBut", "Send Job to a Friend", "Send");
    connect(HighBut, &QToolButton::clicked, this, [this] { JMHighlightClick(); });
    connect(CommentBut, &QToolButton::clicked, this, [this] { JMCommentClick(); });
    connect(TranslateBut, &QToolButton::clicked, this, [this] { JMTranslateJobClick(); });
    connect(ReloadBut, &QToolButton::clicked, this, [this] { JMReloadClick(); });
    connect(SendBut, &QToolButton::clicked, this, [this] { JMSendClick(); });

    JobGrid = new TJobGrid(
        TJobGridKind::Remote, [this]() -> TVelaJobsList& { return host_.Engine().Jobs(); }, this);
    JobGrid->setObjectName("JobGrid");
    JobGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    JobGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    JobGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Titles are always links here: reading them one after another is what it is for.
    JobGrid->Look = [this] { return TJobGridLook{host_.Visual().YellowHighlight, true, -1, -1}; };
    JobGrid->Model().OnNotesEdited = [this](int row, const QString& text) {
        JobGridCellValidate(row, text);
    };
    QHeaderView* hh = JobGrid->horizontalHeader();
    hh->setMinimumSectionSize(8);
    hh->setSectionsMovable(true);
    hh->setSectionResizeMode(QHeaderView::Interactive);
    hh->setHighlightSections(false);
    hh->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[4] = {kStatusWidth, 100, RelevancyWidth(), 70};
    for (int c = 0; c < 4; ++c)
        JobGrid->setColumnWidth(c, widths[c]);
    JobGrid->setColumnHidden(JobGrid->IndexColumn(), true);
    hh->setStretchLastSection(true);
    JobGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(JobGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        // A right click selects the row it is on, as a left click would.
        const int row = JobGrid->rowAt(p.y());
        if (row >= 0 && !editingNotes_) JobGrid->selectRow(row);
        JobMenu->popup(JobGrid->viewport()->mapToGlobal(p));
    });
    connect(JobGrid, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& ix) { JobGridClickCell(ix.row(), ix.column()); });
    connect(JobGrid->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this] { EndNotesEditing(); });
    // Enter opens the job, as in the main window.
    auto* open = new QAction(JobGrid);
    open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    open->setShortcutContext(Qt::WidgetShortcut);
    JobGrid->addAction(open);
    connect(open, &QAction::triggered, this, [this] {
        JobGridClickCell(JobGrid->currentRow(), JobGrid->ColumnOf(TJobColumn::Title));
    });
    connect(JobGrid->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int) { JobGridTopLeftChanged(); });
    // The menu's shortcuts follow the selection; the menu itself looks again as it opens.
    connect(JobGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { JobMenuPopup(); });

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(true);
    for (int i = 0; i < 2; ++i) {
        StatusPanels[i] = new QLabel(StatusBar);
        StatusPanels[i]->setObjectName(QString("StatusPanel%1").arg(i));
        StatusPanels[i]->setFrameShape(QFrame::StyledPanel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusPanels[i]->setContentsMargins(3, 0, 3, 0);
    }
    // The first panel is 50 pixels; the second takes up to 350 of what the small window
    // has left, so it never forces the window wider.
    StatusPanels[0]->setFixedWidth(50);
    // An explicit minimum, so a long message is cut rather than widening the window.
    StatusPanels[1]->setMinimumWidth(1);
    StatusPanels[1]->setMaximumWidth(350);
    StatusPanels[1]->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    StatusBar->addWidget(StatusPanels[0]);
    StatusBar->addWidget(StatusPanels[1], 1);
    ActivityIndicator = new QProgressBar(StatusBar);
    ActivityIndicator->setObjectName("ActivityIndicator");
    ActivityIndicator->setFixedSize(40, 12);
    ActivityIndicator->setTextVisible(false);
    ActivityIndicator->setRange(0, 1);
    ActivityIndicator->setValue(0);
    StatusBar->addPermanentWidget(ActivityIndicator);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(Panel1);
    v->addWidget(JobGrid, 1);
    v->addWidget(StatusBar);

    JobMenu = new QMenu(this);
    JobMenu->setObjectName("JobMenu");
    auto item = [this](QMenu* menu, const char* name, const char* caption,
                       std::function<void()> handler, const QKeySequence& key = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
            // Shortcuts of a menu that is not open count only through a visible widget.
            addAction(a);
        }
        connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
        return a;
    };
    using K = QKeySequence;
    QAction* high = item(
        JobMenu, "JMHighlight", "Highlight", [this] { JMHighlightClick(); },
        K(Qt::CTRL | Qt::Key_H));
    JobMenu->setDefaultAction(high);
    // The keys are the main window's for the same commands.
    item(
        JobMenu, "JMComment", "Comment", [this] { JMCommentClick(); }, K(Qt::CTRL | Qt::Key_E));
    item(JobMenu, "JMTranslateJob", "Translate...", [this] { JMTranslateJobClick(); });
    item(
        JobMenu, "JMReload", "Reload Online", [this] { JMReloadClick(); }, K(Qt::Key_F5));
    item(
        JobMenu, "JMCopyURL", "Copy Job Address",
        [this] {
            if (const TVelaJob* job = SelectedJob())
                QGuiApplication::clipboard()->setText(FromBytes(job->URL));
        },
        K(Qt::CTRL | Qt::Key_C));
    item(JobMenu, "JMSend", "Send to a Friend...", [this] { JMSendClick(); });
    item(
        JobMenu, "JMDelete", "Delete",
        [this] {
            if (SelectedJob() &&
                host_.ConfirmDelete("Delete the selected job from the listing?", this))
                JMDeleteClick();
        },
        K(Qt::Key_Delete));
    JobMenu->addSeparator();
    SortMenu = JobMenu->addMenu("Sort Jobs by");
    SortMenu->setObjectName("SortJobsby");
    auto* columns = new QActionGroup(this);
    for (const TJobColumnInfo& c : kJobColumns) {
        QAction* a = SortMenu->addAction(c.Caption);
        a->setObjectName(SortItemName(c));
        a->setCheckable(true);
        columns->addAction(a);
    }
    SortMenu->addSeparator();
    auto* direction = new QActionGroup(this);
    for (const char* d : {"Ascending", "Descending"}) {
        QAction* a = SortMenu->addAction(d);
        a->setObjectName(d);
        a->setCheckable(true);
        direction->addAction(a);
    }
    connect(JobMenu, &QMenu::aboutToShow, this, [this] { JobMenuPopup(); });
    connect(SortMenu, &QMenu::aboutToShow, this, [this] { SortJobsbyClick(); });

    Timer = new QTimer(this);
    Timer->setObjectName("Timer");
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });
    // The activity indicator follows the main window's run state while this one shows.
    activityTimer_ = new QTimer(this);
    activityTimer_->setInterval(500);
    connect(activityTimer_, &QTimer::timeout, this,
            [this] { ActivityIndicator->setRange(0, host_.Engine().State() != rsIdle ? 0 : 1); });

    FormCreate();
    resize(320, 380);
    // Out of the browser's way, low at the right, until the stored layout says otherwise.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(std::max(0, area.width() - width() - 80), std::max(0, area.height() - height() - 200));
    }
}

void TRemoteForm::FormCreate() {
    for (QAction* a : SortMenu->actions()) {
        if (a->isSeparator()) continue;
        const QString name = a->objectName();
        connect(a, &QAction::triggered, this, [this, name] { SortGridClick(name); });
    }
}

QAction* TRemoteForm::MenuItem(const char* name) const {
    return findChild<QAction*>(name);
}

void TRemoteForm::SetStayOnTop(bool on) {
    if (on == bool(windowFlags() & Qt::WindowStaysOnTopHint)) return;
    const bool visible = isVisible();
    // New flags hide the window; it shows again as it was, still open.
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) show();
}

void TRemoteForm::SetStatusText(int panel, const std::string& text) {
    if (panel < 0 || panel > 1) return;
    StatusPanels[panel]->setText(FromBytes(text));
    // The small window may cut a long message; the hint shows it whole.
    StatusPanels[panel]->setToolTip(StatusPanels[panel]->text());
}

QString TRemoteForm::StatusText(int panel) const {
    return panel >= 0 && panel < 2 ? StatusPanels[panel]->text() : QString();
}

// ---------------------------------------------------------------- showing and closing

// Opening and closing are the window's showing and its closing (the close box, Escape,
// close()). A bare hide, as a change of window flags does on the way to showing the window
// again, neither closes nor reopens it.
void TRemoteForm::setVisible(bool visible) {
    if (visible == isVisible()) {
        QDialog::setVisible(visible);
        return;
    }
    if (visible) {
        const bool opening = !open_;
        if (opening) SetStayOnTop(host_.Visual().RemoteOnTop);
        QDialog::setVisible(true);
        if (opening) {
            open_ = true;
            FormShow();
        }
    } else {
        QDialog::setVisible(false);
        if (closing_ && open_) {
            open_ = false;
            FormClose();
        }
    }
}

void TRemoteForm::Browse(const QString& filter) {
    Filter = filter;
    if (isVisible()) {
        // Already open: the listing again with the new filter.
        JobListToGrid();
        if (isVisible()) {
            raise();
            activateWindow();
        }
        return;
    }
    // A window merely hidden since its last showing opens afresh too.
    open_ = false;
    show();
}

void TRemoteForm::done(int result) {
    closing_ = true;
    QDialog::done(result);
    closing_ = false;
}

void TRemoteForm::FormShow() {
    host_.StepAside();
    JobListToGrid();
    // Nothing matched: the window closed again, and the browse-time moment is not due.
    if (!isVisible()) return;
    const TVelaJobsList& jobs = host_.Engine().Jobs();
    bool anyOnline = false;
    for (int i = 0; i < jobs.Count() && !anyOnline; ++i)
        anyOnline = jobs[i].LocalFile.empty();
    if (anyOnline) {
        const TConfigBox& config = host_.Engine().Descriptor();
        if (config.ReadString("Popup", "Mode") == "OnBrowse") {
            if (OnPopupMessage)
                OnPopupMessage();
            else
                host_.ShowPopupMessage();
        }
        const std::string address = config.ReadString("Features", "URLOnBrowse");
        if (!address.empty()) host_.OpenJob(address);
        if (OnPopBanner)
            OnPopBanner();
        else
            host_.PopBanner("OnBrowse");
    }
    // The pop-up message may have been answered by closing everything.
    if (!isVisible()) return;
    if (host_.Visual().ProgressOnTop) Timer->start();
    ActivityIndicator->setRange(0, host_.Engine().State() != rsIdle ? 0 : 1);
    activityTimer_->start();
}

void TRemoteForm::FormClose() {
    Timer->stop();
    activityTimer_->stop();
    if (editingNotes_) EndNotesEditing();
    host_.ComeBack();
}

void TRemoteForm::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    // Minimising the program leaves this window on screen; only the main window goes.
    if (e->type() == QEvent::WindowStateChange && isVisible() && isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        host_.StepAside();
    }
}

// ---------------------------------------------------------------- grid

int TRemoteForm::GetColIdx(const char* header) const {
    return JobGrid->ColumnOf(QString(header));
}

TVelaJob* TRemoteForm::GetJobAtRow(int row) {
    return JobGrid->Model().JobAt(row);
}

bool TRemoteForm::IsAnyJob() const {
    return JobGrid->Model().JobRows() > 0;
}

bool TRemoteForm::IsAnySelectedJob() const {
    const int row = JobGrid->currentRow();
    return IsAnyJob() && row >= 0 && row < JobGrid->rowCount();
}

int TRemoteForm::SelectedPosition() const {
    return IsAnySelectedJob() ? JobGrid->Model().PositionAt(JobGrid->currentRow()) : -1;
}

TVelaJob* TRemoteForm::SelectedJob() {
    return IsAnySelectedJob() ? GetJobAtRow(JobGrid->currentRow()) : nullptr;
}

void TRemoteForm::RedrawRow(int row) {
    JobGrid->Model().RowChanged(row);
}

void TRemoteForm::JobListToGrid() {
    if (filling_) return;
    filling_ = true;
    // The job on the selected row stays selected when it is still listed.
    const int selected = SelectedPosition();
    const QString filter = Filter;
    try {
        JobGrid->Model().Reset([&filter](const TVelaJob& job) {
            return filter == "All" || (filter == "New" && job.Status == kStatusNew) ||
                   (filter == "Green" && job.Status == kStatusGreen) ||
                   (filter == "High" && job.High);
        });
    } catch (...) {
        // What was shown stays; the failure is not shown.
    }
    filling_ = false;
    const int shown = JobGrid->Model().JobRows();
    if (shown == 0) {
        close();
        return;
    }
    int selectedRow = JobGrid->Model().RowOf(selected);
    if (selectedRow < 0) selectedRow = 0;
    JobGrid->setCurrentCell(selectedRow, std::max(0, JobGrid->ColumnOf(TJobColumn::Title)));
    JobGrid->selectRow(selectedRow);
    FormResize();
    JobGrid->Repaint();
}

// ---------------------------------------------------------------- clicks and commands

void TRemoteForm::OpenNotesEditor(int row) {
    const int col = JobGrid->ColumnOf(TJobColumn::Notes);
    if (col < 0 || !GetJobAtRow(row)) return;
    editingNotes_ = true;
    JobGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    JobGrid->EditCell(row, col);
}

void TRemoteForm::EndNotesEditing() {
    if (!editingNotes_) return;
    editingNotes_ = false;
    const int row = JobGrid->currentRow();
    JobGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    if (row >= 0) JobGrid->selectRow(row);
}

void TRemoteForm::JobGridClickCell(int row, int col) {
    try {
        EndNotesEditing();
        if (row < 0) return;
        TVelaJob* job = GetJobAtRow(row);
        if (!job) return;
        if (col == JobGrid->ColumnOf(TJobColumn::Status)) {
            job->High = !job->High;
            RedrawRow(row);
            host_.JobsChanged();
        } else if (col == JobGrid->ColumnOf(TJobColumn::Title)) {
            host_.OpenJob(job->LocalFile.empty() ? job->URL : job->LocalFile);
            if (host_.Visual().ProgressOnTop) BringStayOnTopToFront();
            job->Visited = true;
            host_.JobsChanged();
            JobGrid->Repaint();
        } else if (col == JobGrid->ColumnOf(TJobColumn::Notes)) {
            OpenNotesEditor(row);
        }
    } catch (...) {
        // A row without a job, or anything else: the click does nothing.
    }
}

void TRemoteForm::JobGridCellValidate(int row, const QString& text) {
    TVelaJob* job = GetJobAtRow(row);
    if (!job) return;
    // Written the way the job's other texts are written.
    job->Notes = ToBytesLike(text, job->Title + job->Company + job->Location + job->Notes);
    host_.JobsChanged();
    RedrawRow(row);
}

void TRemoteForm::JMHighlightClick() {
    TVelaJob* job = SelectedJob();
    if (!job) return;
    job->High = !job->High;
    RedrawRow(JobGrid->currentRow());
    host_.JobsChanged();
}

void TRemoteForm::JMCommentClick() {
    if (!IsAnySelectedJob()) return;
    OpenNotesEditor(JobGrid->currentRow());
}

void TRemoteForm::JMTranslateJobClick() {
    const int pos = SelectedPosition();
    if (pos >= 0) host_.TranslateJob(pos);
}

void TRemoteForm::JMReloadClick() {
    TVelaJob* job = SelectedJob();
    if (!job) return;
    // Always the page on the web, also for a job with a grabbed copy.
    host_.OpenJob(job->URL);
    job->Visited = true;
    host_.JobsChanged();
    JobGrid->Repaint();
}

void TRemoteForm::JMSendClick() {
    const int pos = SelectedPosition();
    if (pos >= 0) host_.SendJobToFriend(pos);
}

void TRemoteForm::JMDeleteClick() {
    TVelaJob* job = SelectedJob();
    if (!job) return;
    job->Relevancy = kRelevancyDeleted;
    host_.JobsChanged();
    JobListToGrid();
}

void TRemoteForm::JobMenuPopup() {
    const TVelaJob* job = IsAnySelectedJob() ? GetJobAtRow(JobGrid->currentRow()) : nullptr;
    for (const char* n :
         {"JMHighlight", "JMComment", "JMTranslateJob", "JMSend", "JMDelete", "JMCopyURL"})
        MenuItem(n)->setEnabled(job != nullptr);
    // Reloading is for a grabbed job: an online one opens at its address anyway.
    MenuItem("JMReload")->setEnabled(job && !job->LocalFile.empty());
}

void TRemoteForm::SortJobsbyClick() {
    const TSearchEngine& engine = host_.Engine();
    for (const TJobColumnInfo& c : kJobColumns)
        MenuItem(SortItemName(c).toUtf8().constData())
            ->setChecked(engine.Sort().Column == c.Column);
    MenuItem("Ascending")->setChecked(!engine.Sort().Descending);
    MenuItem("Descending")->setChecked(engine.Sort().Descending);
}

void TRemoteForm::SortGridClick(const QString& item) {
    QString mainItem = item;
    for (const TJobColumnInfo& c : kJobColumns)
        if (item == SortItemName(c)) mainItem = c.Caption;
    if (mainItem == item && item != "Ascending" && item != "Descending") return;
    // The main listing's own sort command: the same order in both grids. Rows hold list
    // positions, so the selected job is remembered by itself, not by its row.
    const TVelaJob* selected = SelectedJob();
    host_.SortListing(mainItem);
    JobListToGrid();
    for (int row = 0; selected && row < JobGrid->rowCount(); ++row) {
        if (GetJobAtRow(row) != selected) continue;
        JobGrid->setCurrentCell(row, std::max(0, JobGrid->ColumnOf(TJobColumn::Title)));
        JobGrid->selectRow(row);
        break;
    }
}

void TRemoteForm::BringStayOnTopToFront() {
    if (windowFlags() & Qt::WindowStaysOnTopHint) raise();
    QWidget* progress = host_.ProgressWindow();
    if (progress && progress->isVisible() && (progress->windowFlags() & Qt::WindowStaysOnTopHint))
        progress->raise();
}

void TRemoteForm::TimerTimer() {
    BringStayOnTopToFront();
    const TVelaJob* job = IsAnySelectedJob() ? GetJobAtRow(JobGrid->currentRow()) : nullptr;
    for (QToolButton* b : {HighBut, CommentBut, TranslateBut, SendBut})
        b->setEnabled(job != nullptr);
    ReloadBut->setEnabled(job && !job->LocalFile.empty());
}

// ---------------------------------------------------------------- layout

int TRemoteForm::RelevancyWidth() const {
    return std::max(kRelevancyWidth, JobGrid->fontMetrics().horizontalAdvance("(5)") + 8);
}

bool TRemoteForm::RowsOverflow() const {
    const int rowHeight = std::max(1, JobGrid->verticalHeader()->defaultSectionSize());
    return JobGrid->rowCount() > JobGrid->viewport()->height() / rowHeight;
}

void TRemoteForm::FormResize() {
    QHeaderView* hh = JobGrid->horizontalHeader();
    hh->setStretchLastSection(false);
    const int statusCol = JobGrid->ColumnOf(TJobColumn::Status);
    const int relCol = JobGrid->ColumnOf(TJobColumn::Relevancy);
    if (statusCol >= 0) JobGrid->setColumnWidth(statusCol, kStatusWidth);
    if (relCol >= 0) JobGrid->setColumnWidth(relCol, RelevancyWidth());
    // Every column but the last shown one keeps its share of the grid's width.
    const int last = hh->logicalIndex(hh->count() - 1);
    long sum = 0;
    for (int c = 0; c < JobGrid->columnCount(); ++c)
        if (c != last && !JobGrid->isColumnHidden(c)) sum += JobGrid->columnWidth(c);
    const int room = JobGrid->width() - (RowsOverflow() ? 22 : 10);
    if (sum > 0 && room > 0) {
        for (int c = 0; c < JobGrid->columnCount(); ++c) {
            if (c == last || JobGrid->isColumnHidden(c)) continue;
            const double w = static_cast<double>(JobGrid->columnWidth(c)) * room / sum;
            JobGrid->setColumnWidth(c, static_cast<int>(std::lround(w)));
        }
    }
    if (statusCol >= 0) JobGrid->setColumnWidth(statusCol, kStatusWidth);
    if (relCol >= 0) JobGrid->setColumnWidth(relCol, RelevancyWidth());
    hh->setStretchLastSection(true);
}

void TRemoteForm::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    FormResize();
}

void TRemoteForm::JobGridTopLeftChanged() {
    QScrollBar* bar = JobGrid->horizontalScrollBar();
    if (bar->value() != 0) bar->setValue(0);
}

}  // namespace tessaly::ui
