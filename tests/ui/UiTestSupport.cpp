#include "UiTestSupport.h"

#include <QTest>
#include <QWidget>

#include <filesystem>
#include <stdexcept>

#include "data/VelaSearches.h"
#include "data/VelaSources.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly::ui::test {

bool ShowExposed(QWidget& window, QSize size) {
    if (size.isValid()) window.resize(size);
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

TSampleHome::TSampleHome() : path_(dir_.path().toStdString()) {
    std::filesystem::copy_file(std::string(TESSALY_DATA) + "/id.box", File("id.box"));
    auto encoded =
        EncodeSourcesLines(ReadTextLines(std::string(TESSALY_FIXTURES) + "/boards.plain"));
    if (!encoded) throw std::runtime_error("cannot encode the sample definitions");
    WriteFileAtomic(File("sources.def"), encoded.value());
    ForceDirectories(File("searches"));
    ForceDirectories(File("temp"));
}

std::string TSampleHome::File(const std::string& name) const {
    return JoinPath(path_, name);
}

void TSampleHome::AddSearch(const std::string& keywords, const std::string& region,
                            const std::string& category, const std::vector<TSampleJob>& jobs) {
    TVelaSearchesList list;
    list.LoadIndex(SearchesIndexPath(path_));
    TVelaSearch& s = list.AddSearch();
    s.Keywords = keywords;
    s.Region = region;
    s.Category = category;
    s.Created = "12/08/2026 @ 10:0" + std::to_string(searches_++) + ":00";
    s.TableFile = NewTableFileName(path_);
    s.JobCount = static_cast<int>(jobs.size());
    TVelaJobsList table;
    for (const TSampleJob& j : jobs) {
        TVelaJob& job = table.AddJob();
        job.Title = j.Title;
        job.Company = j.Company;
        job.Location = j.Location;
        job.Source = j.Source;
        job.Notes = j.Notes;
        job.URL = j.URL.empty() ? "http://table.example.test/job/" + j.Title : j.URL;
        job.LocalFile = j.LocalFile;
        job.Relevancy = j.Relevancy;
        job.Status = j.Status;
        job.High = j.High;
        job.Visited = j.Visited;
        job.AlsoOn = j.AlsoOn;
    }
    SaveJobTable(table, s.TableFile, path_);
    list.SaveIndex(SearchesIndexPath(path_));
}

void TSampleHome::WriteId(const std::string& edition, const std::string& editionName) {
    const std::string text = "\r\n[ID]\r\nEdition=" + edition + "\r\nEditionName=" + editionName +
                             "\r\nProduct=TessalyJobs98\r\nProductName=Tessaly Jobs 98\r\n"
                             "UserID=\r\nVersion=1.15\r\nVersionName=Release R1.15\r\n";
    WriteFileAtomic(File("id.box"), text);
}

void TSampleHome::RemoveFile(const std::string& name) {
    DeleteFile(File(name));
}

std::vector<TSampleJob> SampleJobs() {
    std::vector<TSampleJob> v;
    auto add = [&](std::string title, std::string company, std::string location, std::string source,
                   uint8_t rel) -> TSampleJob& {
        TSampleJob j;
        j.Title = std::move(title);
        j.Company = std::move(company);
        j.Location = std::move(location);
        j.Source = std::move(source);
        j.Relevancy = rel;
        v.push_back(j);
        return v.back();
    };
    add("Welding Engineer", "Acme Fabrication", "Boston, Massachusetts", "Table Board", 6);
    add("Senior Welder", "Lowell Works", "Lowell, Massachusetts", "List Board", 5).High = true;
    add("Welding Inspector", "n/a", "Austin, Texas", "Cards Board", 3).Status = kStatusGreen;
    TSampleJob& caf = add("Caf\xe9 Manager", "Le Petit Caf\xe9", "Houston, Texas", "List Board", 2);
    caf.Notes = "call back Monday";
    add("Pipe Welder", "Gulf Pipelines", "Dallas, Texas", "Table Board", 4).Status = kStatusNew;
    TSampleJob& red = add("Welding Trainee", "Crossroads Staffing", "n/a", "Cards Board", 2);
    red.Status = kStatusRed;
    red.Visited = true;
    TSampleJob& utf = add("Ingénieur soudage", "Société Générale de Métal",
                          "Worcester, Massachusetts", "Table Board", 4);
    utf.LocalFile = "/nonexistent/grabbed.html";
    add("Robot Welding Technician", "Automated Lines", "Nationwide", "List Board", 5).Status =
        kStatusYellow;
    return v;
}

}  // namespace tessaly::ui::test

// ---------------------------------------------------------------- TWindow

#include <QDialog>
#include <QEventLoop>
#include <QTableWidget>
#include <QTimer>

#include "net/HttpMachine.h"
#include "ui/JobGrid.h"
#include "ui/QtMainLoop.h"
#include "ui/VelaMain.h"

namespace tessaly::ui::test {

TWindow::TWindow(const std::string& home, bool start) : loop_(std::make_unique<TQtMainLoop>()) {
    TPrompts::SetCurrent(&prompts);
    form_ = std::make_unique<TVelaMainForm>(home);
    form_->OnMessage = [this](const QString& m) { messages.push_back(m); };
    form_->OnOpenURL = [this](const std::string& a, bool n) { opened.emplace_back(a, n); };
    form_->OnYesNo = [this](const QString& m) {
        messages.push_back(m);
        return false;
    };
    form_->OnExecDialog = [this](QDialog* d) {
        // Shown for real, so the dialog's show handler runs, then answered.
        d->show();
        if (answer)
            answer(d);
        else
            d->reject();
        d->hide();
        return d->result();
    };
    form_->Engine().SetGridDelay(10);
    form_->Engine().SetAutoUpdate(false);
    form_->Engine().Http().Timing = {10, 10, 5, 20};
    if (!start) return;
    TResult<void> started = form_->ReadProductId();
    if (started) started = form_->FirstActivation();
    if (!started) throw std::runtime_error("start-up failed: " + started.error());
    form_->GridTimerTimer();
}

TWindow::~TWindow() {
    form_->OnMessage = [](const QString&) {};
    // Workers of an aborted machine finish on their own; none may outlive the loop.
    form_->Engine().Http().StopAll();
    WaitFor([] { return THTTPMachine::LiveWorkers() == 0; }, 10000);
    form_.reset();
    TPrompts::SetCurrent(nullptr);
    loop_.reset();
}

bool TWindow::WaitFor(const std::function<bool()>& done, int ms) {
    return loop_->RunUntilFor(done, ms);
}

QString TWindow::JobCell(int row, const char* header) const {
    const int col = form_->GetColIdx(Child<TJobGrid>(*form_, "JobGrid"), header);
    return col >= 0 ? Child<TJobGrid>(*form_, "JobGrid")->Text(row, col) : QString();
}

QString TWindow::SearchCell(int row, const char* header) const {
    const int col = form_->GetColIdx(Child<QTableWidget>(*form_, "SearchGrid"), header);
    const QTableWidgetItem* it =
        col >= 0 ? Child<QTableWidget>(*form_, "SearchGrid")->item(row, col) : nullptr;
    return it ? it->text() : QString();
}

QStringList TWindow::Titles() const {
    QStringList t;
    for (int r = 0; r < Child<TJobGrid>(*form_, "JobGrid")->rowCount(); ++r)
        t << JobCell(r, "Title ");
    return t;
}

}  // namespace tessaly::ui::test
