#include "ui/VelaAgent.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <iostream>

#include "data/VelaSearches.h"
#include "platform/ByteString.h"
#include "platform/Prompts.h"
#include "platform/Utf8.h"
#include "platform/WindowChannel.h"
#include "ui/VelaMain.h"

namespace tessaly::ui {

namespace {

// How often a check looks whether the window is free for its next search.
constexpr int kPollMs = 200;
constexpr qint64 kHourMs = qint64{60} * 60 * 1000;

std::string Count(size_t n, const char* one, const char* many) {
    return IntToStr(static_cast<int64_t>(n)) + " " + (n == 1 ? one : many);
}

}  // namespace

// While a search of the check runs nobody watches it: its end is told in the status bar
// and the notification, not by a box and a beep per search. Everything else (errors, the
// user's own questions meanwhile) still reaches the user.
class TVelaAgent::TQuietPrompts final : public TPrompts {
  public:
    explicit TQuietPrompts(TPrompts& outer) : outer_(outer) {}
    TPrompts& Outer() { return outer_; }
    void ShowMessage(const std::string& text) override {
        // An update's end names its new jobs after these words.
        if (!StartsWith(text, "Search Completed.") && !StartsWith(text, "Search Aborted."))
            outer_.ShowMessage(text);
    }
    void ShowError(const std::string& text) override { outer_.ShowError(text); }
    void Beep() override {}
    bool AskYesNo(const std::string& text) override { return outer_.AskYesNo(text); }

  private:
    TPrompts& outer_;
};

TVelaAgent::TVelaAgent(TVelaMainForm& main) : main_(main) {
    period_.setObjectName("CheckForJobsTimer");
    QObject::connect(&period_, &QTimer::timeout, this, [this] { CheckNow(); });
    busTimer_.setSingleShot(true);
    QObject::connect(&busTimer_, &QTimer::timeout, this, [this] { ServeBus(); });
    poll_.setInterval(kPollMs);
    QObject::connect(&poll_, &QTimer::timeout, this, [this] { Step(); });
    SetPeriodHours(main.Settings().Visual.CheckForJobsHours);
    main.Settings().Listen([this](const TVisualOptions&) {
        SetPeriodHours(main_.Settings().Visual.CheckForJobsHours);
    });
}

TVelaAgent::~TVelaAgent() {
    Quiet(false);
}

void TVelaAgent::SetPeriodHours(int hours) {
    if (hours <= 0) {
        period_.stop();
        return;
    }
    const int ms = static_cast<int>(std::min<qint64>(hours * kHourMs, INT32_MAX));
    // Applying the options again with the same period keeps the time already waited.
    if (period_.isActive() && period_.interval() == ms) return;
    period_.start(ms);
}

void TVelaAgent::CheckNow() {
    if (Checking()) {
        queued_ = true;
        return;
    }
    // The searches are listed once the window is free: a window still loading has none.
    tables_.clear();
    listed_ = false;
    next_ = 0;
    checked_ = 0;
    news_.clear();
    main_.SetStatusText(1, "Checking for new jobs...");
    // From the loop's poll, not from the caller: a run's start may wait in dialogs of its
    // own (the automatic job-source update), and the caller may be gone by then.
    poll_.start();
}

void TVelaAgent::Step() {
    // A run's start lets pending messages run, the poll among them.
    if (stepping_ || !Checking()) return;
    stepping_ = true;
    struct TDone {
        bool& flag;
        ~TDone() { flag = false; }
    } done{stepping_};
    // Never in the way of the user: not while anything runs, a table loads or a dialog
    // is open (a search the user is about to start from it among them).
    if (main_.Closing()) {
        poll_.stop();
        Quiet(false);
        next_ = -1;
        return;
    }
    if (main_.RunState() != rsIdle || main_.Hourglass() || QApplication::activeModalWidget())
        return;
    if (!listed_) {
        for (int i = 0; i < main_.Searches().Count(); ++i)
            tables_.push_back(main_.Searches()[i].TableFile);
        const TVelaSearch* selected = main_.Engine().SelectedSearch();
        userTable_ = selected ? selected->TableFile : "";
        listed_ = true;
    }
    if (!running_.empty()) {
        TakeInRun();
        // The user stopped the search of the check: the check stops with it.
        if (main_.Engine().LastRunStopped()) next_ = static_cast<int>(tables_.size());
    }
    StartNext();
}

void TVelaAgent::StartNext() {
    TSearchEngine& e = main_.Engine();
    while (next_ < static_cast<int>(tables_.size())) {
        const std::string table = tables_[next_++];
        const int position = PositionOf(table);
        if (position < 0 || e.TableDamaged(&main_.Searches()[position])) continue;
        // A search the user chose meanwhile is the one to come back to.
        const TVelaSearch* selected = e.SelectedSearch();
        if (selected && selected->TableFile != table) userTable_ = selected->TableFile;
        const TVelaSearch& s = main_.Searches()[position];
        const TNewSearchValues values{s.Region, s.Category, s.Keywords};
        // In the first panel: the run's own messages take the middle one.
        main_.SetStatusText(0, "Checking for new jobs: search " + IntToStr(next_) + " of " +
                                   IntToStr(static_cast<int64_t>(tables_.size())) + "...");
        Quiet(true);
        e.StartUpdate(position, values);
        if (main_.RunState() != rsIdle) {
            running_ = table;
            return;
        }
        // Refused (with its message): the next one; without any site taking part, the
        // others would be refused alike, each with a box.
        Quiet(false);
        if (!e.AnySiteTakesPart()) break;
    }
    Finish();
}

void TVelaAgent::TakeInRun() {
    Quiet(false);
    const std::string table = running_;
    running_.clear();
    const int position = PositionOf(table);
    if (position < 0) return;
    ++checked_;
    // Back to the search the user had selected, unless the user chose another meanwhile.
    const TVelaSearch* selected = main_.Engine().SelectedSearch();
    const int back = PositionOf(userTable_);
    if (back >= 0 && selected && selected->TableFile == table && back != position) {
        main_.Engine().SelectSearch(back);
        main_.SearchListToGrid();
    }
    // The table as the run saved it: only what is on disk is told.
    TVelaJobsList jobs;
    try {
        LoadJobTable(jobs, table);
    } catch (const std::exception&) {
        return;  // told when the save failed
    }
    const std::string name =
        DisplayUtf8(ReplaceAll(main_.Searches()[position].Keywords, "\r\n", " "));
    TSearchNews n = SearchNews(position + 1, name, table, jobs);
    if (!n.rows.empty()) news_.push_back(std::move(n));
}

void TVelaAgent::Finish() {
    poll_.stop();
    next_ = -1;
    main_.SetStatusText(0, "");
    size_t found = 0;
    for (const TSearchNews& n : news_)
        found += n.rows.size();
    main_.SetStatusText(
        1, "Checked " + Count(checked_, "search", "searches") + ": " +
               (found == 0 ? std::string("no new jobs") : Count(found, "new job", "new jobs")));
    // The runs saved their tables as they ended: the notification follows the saves.
    if (!news_.empty()) Tell(NewJobsNotification(news_), news_.front().table);
    if (queued_) {
        queued_ = false;
        CheckNow();
    }
}

void TVelaAgent::Tell(const TDesktopNotification& n, const std::string& table) {
    // A connection lost meanwhile (the session bus restarted) gives way to a new one.
    if (bus_ && !busAlive_) {
        busRead_.reset();
        busWrite_.reset();
        bus_.reset();
        shownTables_.clear();
    }
    if (!bus_) {
        auto connected = TDesktopNotifier::Connect();
        if (!connected) return TellFailure(connected.error());
        bus_ = std::move(connected.value());
        busAlive_ = true;
        bus_->OnAnswer = [this](const TNotificationAnswer& answer) {
            const auto it = shownTables_.find(answer.Id);
            if (it == shownTables_.end()) return;
            const int position = PositionOf(it->second);
            shownTables_.erase(it);
            if (answer.Action != "default") return;
            if (position >= 0) main_.ShowSearch(position + 1);
            main_.ComeToFront();
        };
        busRead_ = std::make_unique<QSocketNotifier>(bus_->Fd(), QSocketNotifier::Read);
        busWrite_ = std::make_unique<QSocketNotifier>(bus_->Fd(), QSocketNotifier::Write);
        busWrite_->setEnabled(false);
        QObject::connect(busRead_.get(), &QSocketNotifier::activated, this, [this] { ServeBus(); });
        QObject::connect(busWrite_.get(), &QSocketNotifier::activated, this,
                         [this] { ServeBus(); });
    }
    bus_->Send(n, [this, table](TResult<uint32_t> id) {
        if (!id) return TellFailure(id.error());
        if (!table.empty()) shownTables_[id.value()] = table;
    });
    ServeBus();
}

void TVelaAgent::ServeBus() {
    // Not again from within: what a click does may let pending events run.
    if (!bus_ || !busAlive_ || serving_) return;
    serving_ = true;
    busAlive_ = bus_->Process();
    serving_ = false;
    busRead_->setEnabled(busAlive_);
    busWrite_->setEnabled(busAlive_ && bus_->WantsWrite());
    const int ms = busAlive_ ? bus_->TimeoutMs() : -1;
    if (ms >= 0)
        busTimer_.start(ms);
    else
        busTimer_.stop();
}

void TVelaAgent::TellFailure(const std::string& why) {
    if (notifyFailureTold_) return;
    notifyFailureTold_ = true;
    std::cerr << "tessaly-jobs: no desktop notification (" << why << ")\n";
}

int TVelaAgent::PositionOf(const std::string& table) const {
    if (table.empty()) return -1;
    for (int i = 0; i < main_.Searches().Count(); ++i)
        if (main_.Searches()[i].TableFile == table) return i;
    return -1;
}

void TVelaAgent::Quiet(bool on) {
    if (on == (quiet_ != nullptr)) return;
    if (on) {
        quiet_ = std::make_unique<TQuietPrompts>(TPrompts::Current());
        TPrompts::SetCurrent(quiet_.get());
    } else {
        // Only when nobody installed other prompts meanwhile.
        if (&TPrompts::Current() == quiet_.get()) TPrompts::SetCurrent(&quiet_->Outer());
        quiet_.reset();
    }
}

// ---------------------------------------------------------------- the channel

TWindowChannel::TWindowChannel(std::function<void(int)> show, std::function<bool()> update)
    : server_(std::make_unique<QLocalServer>()),
      show_(std::move(show)),
      update_(std::move(update)) {
    QObject::connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            auto lines = [this, s] {
                while (s->canReadLine()) {
                    const QByteArray line = s->readLine().trimmed();
                    // The update is only queued here: the answer goes out at once.
                    if (line == "update") {
                        if (update_()) s->write("ok\n");
                    } else if (line == "raise") {
                        show_(0);
                    } else if (line.startsWith("show ")) {
                        bool number = false;
                        const int search = line.mid(5).toInt(&number);
                        if (number && search > 0) show_(search);
                    }
                }
            };
            QObject::connect(s, &QLocalSocket::readyRead, s, lines);
            lines();
        }
    });
}

TWindowChannel::~TWindowChannel() = default;

bool TWindowChannel::Listen(const std::string& home) {
    const QString path = QString::fromStdString(WindowChannelPath(home));
    QLocalServer::removeServer(path);  // a crashed run's leftover
    return server_->listen(path);
}

}  // namespace tessaly::ui
