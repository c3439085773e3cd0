#include "search/SearchEngine.h"

#include <unistd.h>

#include <algorithm>
#include <exception>

#include "data/AtomFeed.h"
#include "data/Companies.h"
#include "data/PackedFile.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"

namespace tessaly {

namespace {

// Loads a settings box; a file that cannot be read as one (a container that does not
// unpack, binary bytes) leaves `box` as it was and returns the reason.
std::string LoadBoxFile(TConfigBox& box, const std::string& path) {
    std::string text;
    try {
        text = ReadStoredText(path);
    } catch (const std::exception& e) {
        return e.what();
    }
    if (text.find('\0') != std::string::npos) return path + " is damaged: it holds binary data";
    if (const std::string problem = BoxTextProblem(text); !problem.empty())
        return path + " is damaged: " + problem;
    box.LoadFromText(text);
    box.Modified = false;
    return {};
}

}  // namespace

TConnectionOptions ReadConnectionOptions(const TConfigBox& box) {
    TConnectionOptions o;
    // The dialog's controls keep their design values until a written store is loaded.
    if (!options::Written(box)) return o;
    o.MaxJobs = options::MaxJobs.Read(box);
    o.MaxThreads = options::MaxThreads.Read(box);
    o.TimeOut = options::TimeOut.Read(box);
    o.UseProxy = options::UseProxy.Read(box);
    if (o.UseProxy) {
        o.ProxyIP = options::ProxyIP.Read(box);
        o.ProxyPort = options::ProxyPort.Read(box);
        o.UseProxyAuthenticate = options::UseProxyAuthenticate.Read(box);
        if (o.UseProxyAuthenticate) {
            o.ProxyUsername = options::ProxyUsername.Read(box);
            o.ProxyPassword = options::ProxyPassword.Read(box);
        }
    }
    return o;
}

int JobStatusImage(const TVelaJob& job) {
    static constexpr int kGrabbed[] = {3, 0, 5, 9, 7};
    static constexpr int kOnline[] = {1, 0, 15, 9, 17};
    const int status = job.Status <= kStatusRed ? int{job.Status} : int{kStatusWhite};
    // A new job keeps its star when highlighted too: the image after the first nineteen.
    if (status == kStatusNew && job.High) return 19;
    const int image = job.LocalFile.empty() ? kOnline[status] : kGrabbed[status];
    return image + (job.High ? 1 : 0);
}

std::string SearchFolder(const TVelaSearch& search) {
    const std::string& t = search.TableFile;
    return t.size() >= 4 ? t.substr(0, t.size() - 4) : std::string();
}

TSearchEngine::TSearchEngine(std::string programDir, TSearchFrontEnd& frontEnd)
    : TSearchEngineState(std::move(programDir)),
      front_(frontEnd),
      jobs_(std::make_unique<TVelaJobsList>()) {
    gridTimer_.OnTimer = [this] { GridTimerTimer(); };
}

TSearchEngine::~TSearchEngine() = default;

// ---- Start-up and shutdown ----------------------------------------------------------

bool TSearchEngine::LoadSettings() {
    if (!LoadIdentity()) return false;
    LoadOptions();
    LoadUpdateDescriptor();
    return true;
}

bool TSearchEngine::LoadIdentity() {
    const std::string path = JoinPath(ProgramDir, "id.box");
    if (!FileExists(path)) return false;
    if (std::string error = LoadBoxFile(IdBox, path); !error.empty()) {
        // The shipped identification is the one this home was seeded with.
        const std::string shipped = JoinPath(ShippedDataDirectory(), "id.box");
        TConfigBox copy;
        const bool usable = shipped != path && FileExists(shipped) &&
                            LoadBoxFile(copy, shipped).empty() &&
                            !copy.ReadString("ID", "Product").empty();
        if (usable) LoadBoxFile(IdBox, shipped);
        ReportDamagedBox(error, usable
                                    ? "the shipped identification " + shipped + " is used instead"
                                    : "the program runs without its identification");
    }
    product_ = IdBox.ReadString("ID", "Product");
    edition_ = IdBox.ReadString("ID", "Edition");
    userID_ = IdBox.ReadString("ID", "UserID");
    Machine.Agent = UserAgent(product_, IdBox.ReadString("ID", "Version"));
    return true;
}

void TSearchEngine::LoadOptions() {
    const std::string path = JoinPath(ProgramDir, "options.box");
    if (!FileExists(path)) return;
    if (std::string error = LoadBoxFile(Options, path); !error.empty())
        ReportDamagedBox(error, "the default settings are used instead");
}

void TSearchEngine::LoadUpdateDescriptor() {
    Config.Edition = edition_;
    const std::string path = JoinPath(ProgramDir, "config.box");
    if (!FileExists(path)) return;
    if (std::string error = LoadBoxFile(Config, path); !error.empty())
        ReportDamagedBox(error, "the update descriptor's defaults are used instead");
}

bool TSearchEngine::Start(const std::function<void()>& beforeConnecting,
                          const std::function<void(const std::exception&)>& indexDamaged) {
    if (!LoadSources()) return false;
    try {
        LoadSearches();
    } catch (const std::exception& e) {
        // The searches are not lost: the index stays on disk as it was.
        if (!indexDamaged) throw;
        indexDamaged(e);
    }
    if (beforeConnecting) beforeConnecting();
    InitMachine();
    RunState = rsIdle;
    return true;
}

bool TSearchEngine::LoadSources() {
    const std::string path = JoinPath(ProgramDir, "sources.def");
    if (!FileExists(path)) return false;
    Sources.LoadFromFile(path);
    // Bytes that are no definitions (a zero-filled file) read as sites with nothing but
    // their initial values, and no master lists.
    const TVelaSource blank(0, nullptr, nullptr);
    bool anySite = false;
    for (int i = 0; i < Sources.Count() && !anySite; ++i)
        anySite = Sources[i].Title != blank.Title || Sources[i].FirstPageURL != blank.FirstPageURL;
    if (!anySite && Sources.MRegions.empty() && Sources.MCategories.empty())
        throw EFileError(path + " holds no job-site definitions (it is empty or damaged)");
    for (int i = 0; i < Sources.Count(); ++i)
        Sources[i].Origin = "sources.def";
    // The user's own sites and the watched companies; what cannot be used is told and
    // left out, the rest still searched.
    for (const std::string& error : AddOwnSites(Sources, ProgramDir, ShippedDataDirectory()))
        Prompts().ShowError(error);
    for (int i = 0; i < Sources.Count(); ++i) {
        TVelaSource& site = Sources[i];
        site.EnabledChoice = options::SiteChosen(Options, site.Title);
    }
    return true;
}

void TSearchEngine::LoadSearches() {
    for (const char* dir : {"searches", "temp"}) {
        const std::string path = JoinPath(ProgramDir, dir);
        if (!ForceDirectories(path)) throw EFileError("Cannot create the directory " + path);
    }
    // Both front-ends hold the home's lock by now: no save of another process is running.
    RemoveStaleSaveTemporaries(ProgramDir);
    Searches.LoadIndex(SearchesIndexPath(ProgramDir));
    indexDamaged_ = !Searches.Damage.empty();
    if (indexDamaged_)
        Prompts().ShowError(Searches.Damage +
                            "; the searches it holds are shown, and a copy of it is kept "
                            "before it is written again");
    selected_ = Searches.Count() > 0 ? 0 : -1;
    front_.SearchListToGrid();
}

void TSearchEngine::SaveOnClose() {
    if (SelectedSearch() == nullptr) return;
    if (JobsModified) SaveCurrentList();
    SaveIndex();
}

void TSearchEngine::SaveIndex() {
    const std::string path = SearchesIndexPath(ProgramDir);
    if (indexDamaged_) {
        // The searches it lost may still be read from it by hand.
        std::string copy = path + ".damaged";
        for (int n = 2; PathExists(copy); ++n)
            copy = path + ".damaged" + IntToStr(n);
        WriteFileAtomic(copy, ReadFileBytes(path));
        indexDamaged_ = false;
        Prompts().ShowError("The damaged index is kept as " + copy + ".");
    }
    Searches.SaveIndex(path);
}

void TSearchEngine::ReportDamagedBox(const std::string& error, const std::string& instead) {
    if (!reportedBoxes_.insert(error).second) return;
    Prompts().ShowError(error + "; " + instead + ".");
}

bool TSearchEngine::TableDamaged(const TVelaSearch* search) const {
    return search != nullptr && damagedTables_.count(search->TableFile) > 0;
}

void TSearchEngine::NoteDamaged(const std::string& table, const std::string& error) {
    damagedTables_.insert(table);
    Prompts().ShowError(error + "\nThe job table " + table +
                        " cannot be read; it is left as it is and nothing is saved over it.");
}

bool TSearchEngine::RefuseDamaged(const TVelaSearch* search, const std::string& what) {
    if (!TableDamaged(search)) return false;
    Prompts().ShowError("The job table " + search->TableFile + " is damaged: " + what +
                        " would write over it, so it is not done.");
    return true;
}

bool TSearchEngine::AnySiteTakesPart() const {
    const bool campus = StartsWith(edition_, "CCN");
    for (int i = 0; i < Sources.Count(); ++i) {
        const TVelaSource& site = Sources[i];
        if (TakesPart(site) || (campus && StartsWith(site.Title, kCampusSiteTitle))) return true;
    }
    return false;
}

void TSearchEngine::SaveMerged() {
    if (runSearch_ == nullptr) {
        SaveOnClose();
        return;
    }
    TVelaJobsList& list = RunList();
    runSearch_->JobCount = list.Count();
    if (!damagedTables_.count(runSearch_->TableFile))
        SaveJobTable(list, runSearch_->TableFile, ProgramDir);
    SaveIndex();
}

void TSearchEngine::ClearTemp() {
    const std::string temp = JoinPath(ProgramDir, "temp");
    for (const std::string& name : ListDirectory(temp)) {
        const std::string path = JoinPath(temp, name);
        if (FileExists(path)) DeleteFile(path);
    }
}

void TSearchEngine::SaveCurrentList() {
    if (jobs_->FileName.empty()) return;
    SaveJobTable(*jobs_, jobs_->FileName, ProgramDir);
    JobsModified = false;
}

// ---- Values read from the boxes ----------------------------------------------------

std::string TSearchEngine::PreferredSources() const {
    return Config.ReadString("Features", "PreferedSources");
}

bool TSearchEngine::IsPreferred(const TVelaSource& site) const {
    return PreferredSources().find(site.Title) != std::string::npos;
}

bool TSearchEngine::TakesPart(const TVelaSource& site) const {
    return site.Enabled && options::SiteChosen(Options, site.Title);
}

int TSearchEngine::MaxJobs() const {
    return ReadConnectionOptions(Options).MaxJobs;
}

bool TSearchEngine::GroupsOpenings() const {
    return options::GroupsCrossPosts(Options);
}

void TSearchEngine::ShowPopupIf(const std::string& moment) {
    if (Config.ReadString("Popup", "Mode") == moment) front_.ShowPopupMessage();
}

// ---- Selection and the grid timer ----------------------------------------------------

TVelaSearch* TSearchEngine::SelectedSearch() {
    if (selected_ < 0 || selected_ >= Searches.Count()) return nullptr;
    return &Searches[selected_];
}

void TSearchEngine::SelectSearch(int position) {
    if (position < -1 || position >= Searches.Count()) position = -1;
    if (position == selected_) return;
    selected_ = position;
    StartGridTimer();
}

void TSearchEngine::StartGridTimer() {
    gridTimer_.SetInterval(GridTimerMs);
    gridTimer_.SetEnabled(false);
    gridTimer_.SetEnabled(true);
}

void TSearchEngine::GridTimerTimer() {
    gridTimer_.SetEnabled(false);
    front_.TableLoading(true);
    struct TLoaded {
        TSearchFrontEnd& front;
        ~TLoaded() { front.TableLoading(false); }
    } loaded{front_};
    try {
        if (JobsModified) SaveCurrentList();
    } catch (const std::exception& e) {
        Prompts().ShowError(e.what());
    }
    TVelaSearch* search = SelectedSearch();
    const bool searchRun = runSearch_ != nullptr;
    if (searchRun && search == runSearch_ && side_) {
        // Back on the running search: its jobs in memory are newer than its table.
        jobs_ = std::move(side_);
    } else if (searchRun && search == runSearch_ && jobs_->FileName == search->TableFile) {
        // The running search's list is already here, with this run's marks and merges
        // that its table does not hold yet: show it, do not read it back.
    } else {
        if (searchRun && search != runSearch_ && jobs_->FileName == runSearch_->TableFile) {
            // Leaving the running search: keep its merged jobs for the rest of the run.
            side_ = std::move(jobs_);
            jobs_ = std::make_unique<TVelaJobsList>();
        }
        if (search == nullptr) {
            jobs_->ClearJobs();
            jobs_->FileName.clear();
            front_.JobListToGrid(true);
            return;
        }
        try {
            LoadWholeJobTable(*jobs_, search->TableFile);
            jobs_->FileName = search->TableFile;
            damagedTables_.erase(search->TableFile);
        } catch (const std::exception& e) {
            // A damaged table is left alone on disk: with no file name nothing saves over it.
            jobs_->ClearJobs();
            jobs_->FileName.clear();
            NoteDamaged(search->TableFile, e.what());
        }
    }
    jobs_->SortJobs(SortColumn);
    if (SortDescending) jobs_->ReverseJobs();
    if (search != nullptr) search->JobCount = jobs_->Count();
    front_.JobListToGrid(true);
}

TVelaJobsList& TSearchEngine::RunList() {
    if (runSearch_ == nullptr || jobs_->FileName == runSearch_->TableFile) return *jobs_;
    if (!side_) {
        side_ = std::make_unique<TVelaJobsList>();
        try {
            LoadWholeJobTable(*side_, runSearch_->TableFile);
        } catch (const std::exception& e) {
            side_->ClearJobs();
            NoteDamaged(runSearch_->TableFile, e.what());
        }
        side_->FileName = runSearch_->TableFile;
    }
    return *side_;
}

// ---- Connection settings -------------------------------------------------------------

void TSearchEngine::InitMachine() {
    const TConnectionOptions o = ReadConnectionOptions(Options);
    Machine.SetEnabled(false);
    Machine.MaxThreads = o.MaxThreads;
    Machine.TimeOut = o.TimeOut;
    Machine.Proxy.clear();
    Machine.ProxyPort.clear();
    Machine.ProxyUsername.clear();
    Machine.ProxyPassword.clear();
    if (o.UseProxy) {
        Machine.Proxy = o.ProxyIP;
        Machine.ProxyPort = o.ProxyPort;
        if (o.UseProxyAuthenticate) {
            Machine.ProxyUsername = o.ProxyUsername;
            Machine.ProxyPassword = o.ProxyPassword;
        }
    }
    Machine.CAFile = options::CAFile.Read(Options);
    Machine.SetEnabled(true);
}

// ---- Stop ----------------------------------------------------------------------------

void TSearchEngine::MMStopClick() {
    if (RunState == rsIdle || RunState == rsStarting || RunState == rsStopping) return;
    RunState = rsStopping;
    front_.ButtonsState();
    Machine.StopAll();
}

// ---- Clearing and deleting -------------------------------------------------------------

void TSearchEngine::MMDeleteGrabbedClick() {
    TVelaSearch* search = SelectedSearch();
    if (search == nullptr || RunState != rsIdle) return;
    if (RefuseDamaged(search, "clearing its grabbed pages")) return;
    const std::string folder = SearchFolder(*search);
    if (!folder.empty() && DirectoryExists(folder)) {
        for (const std::string& name : ListDirectory(folder))
            DeleteFile(JoinPath(folder, name));
        ::rmdir(folder.c_str());
    }
    for (int i = 0; i < jobs_->Count(); ++i) {
        (*jobs_)[i].LocalFile.clear();
        (*jobs_)[i].Status = kStatusWhite;
    }
    JobsModified = true;
    front_.JobListToGrid(false);
}

void TSearchEngine::MMDeleteAllClick() {
    TVelaSearch* search = SelectedSearch();
    if (search == nullptr || RunState != rsIdle) return;
    if (RefuseDamaged(search, "deleting the search")) return;
    gridTimer_.SetEnabled(false);
    MMDeleteGrabbedClick();
    DeleteFile(search->TableFile);
    DeleteFile(SearchFeedPath(ProgramDir, *search));
    jobs_->ClearJobs();
    jobs_->FileName.clear();
    JobsModified = false;
    Searches.DeleteSearch(selected_);
    SaveIndex();
    if (selected_ >= Searches.Count()) selected_ = Searches.Count() - 1;
    front_.SearchListToGrid();
    StartGridTimer();
    front_.ButtonsState();
}

}  // namespace tessaly
