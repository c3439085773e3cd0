#include "net/HttpMachine.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <sstream>
#include <thread>

#include "net/HttpClient.h"
#include "net/Url.h"
#include "platform/ByteString.h"
#include "platform/ThreadAnnotations.h"

namespace tessaly {

namespace {

std::atomic<int> gLiveWorkers{0};

// What a worker reports to the main thread.
enum TReport {
    rpFinished = 0,
    rpDocBegin = 1,
    rpDocData = 2,
    rpTimeOut = 4,
    rpStarted = 5,
    rpDocEnd = 6
};

}  // namespace

// What a machine shares with its workers: the machine itself while it lives. Only the main
// thread reads or clears it (reports run there), so a report arriving after the machine
// is gone finds nullptr and is dropped.
struct THTTPMachineShared {
    THTTPMachine* machine = nullptr;
    // Cleared with `machine`; lets a worker skip reports nobody will take.
    std::atomic<bool> alive{true};
};

// One request on its own thread. Everything it needs is handed over at dispatch: the query
// itself (the machine is done with it) and a copy of the machine's settings. The fields
// written by the worker are read by the main thread only while the worker waits inside a
// report (Invoke hands them over both ways).
class THTTPThread : public std::enable_shared_from_this<THTTPThread> {
  public:
    // Set at dispatch, read-only afterwards.
    std::unique_ptr<const THTTPQuery> Query;
    THttpSettings Settings;
    int SecondMs = 1000;
    TMainLoop* Loop = nullptr;
    std::shared_ptr<THTTPMachineShared> Shared;
    int32_t ID() const { return Query->ID; }

    // Written by the worker before a report, read by the main thread during it.
    TReport Code = rpFinished;
    std::string URL;  // the URL being fetched: the new location after a redirection
    THttpOutcome Outcome = THttpOutcome::Cancelled;
    int32_t Status = 0;
    std::string Reason;
    int32_t BytesReceived = 0;
    std::string Received;
    TStrings ReceivedHeader;
    std::string AnswerHost;  // the host of the last hop

    // Main thread only.
    THTTPResult* Result = nullptr;
    bool HandlerFailed = false;
    std::string HandlerReason;

    // Written by the main thread in answer to the started report.
    std::atomic<bool> Cancel{false};

    // Any thread: ends the request at once with the client's abort error. An abort that
    // comes before the client has begun is kept and applied when it does.
    void Abort() {
        TLock guard(clientLock_);
        aborted_ = true;
        if (client_) client_->Abort();
    }

    void Start() {
        ++gLiveWorkers;
        std::thread([self = shared_from_this()]() mutable {
            self->Run();
            self.reset();
            --gLiveWorkers;
        }).detach();
    }

  private:
    void Run();
    void Hook(THttpClient& client);
    void Request(THttpClient& client);
    void End(THttpOutcome outcome, const std::string& detail);
    void Report(TReport code);

    TMutex clientLock_;
    THttpClient* client_ GUARDED_BY(clientLock_) = nullptr;
    std::atomic<bool> aborted_{false};

    // Worker thread only.
    std::istringstream post_;
    bool timerOn_ = false;
    int seconds_ = 0;
};

void THTTPThread::Report(TReport code) {
    Code = code;
    if (!Shared->alive) return;
    Loop->Invoke([shared = Shared, self = shared_from_this()] {
        if (shared->machine) shared->machine->HandleReport(*self);
    });
}

void THTTPThread::End(THttpOutcome outcome, const std::string& detail) {
    Outcome = outcome;
    Status = OutcomeStatus(outcome, 0);
    Reason = OutcomeReason(outcome, detail);
}

void THTTPThread::Hook(THttpClient& client) {
    client.OnDocBegin = [this] {
        seconds_ = 0;
        Report(rpDocBegin);
    };
    client.OnDocData = [this](const char*, size_t size) {
        seconds_ = 0;
        BytesReceived += static_cast<int32_t>(size);
        Report(rpDocData);
    };
    client.OnDocEnd = [this] {
        seconds_ = 0;
        timerOn_ = false;
        Report(rpDocEnd);
    };
    // The client follows a redirection by itself; the URL reported is the one it fetches.
    client.OnLocationChange = [this, &client] { URL = client.CurrentUrl(); };
    client.OnStateChange = [this, &client](THttpClient::TState state) {
        // An abort that arrived while the client was still idle.
        if (state == THttpClient::TState::NotConnected && aborted_) client.Abort();
    };
    // The inactivity counter rides on the client's tick, in this thread.
    client.OnTick = [this] {
        if (!timerOn_) return;
        if (++seconds_ == Query->TimeOut) {
            timerOn_ = false;
            Abort();
            Report(rpTimeOut);
        }
    };
}

void THTTPThread::Run() {
    THttpClient client;
    static_cast<THttpSettings&>(client) = Settings;
    client.ReceiveStream = &Received;
    client.SendStream = &post_;
    client.TickMs = SecondMs;
    Hook(client);
    {
        TLock guard(clientLock_);
        client_ = &client;
    }

    URL = Query->URL;
    timerOn_ = true;
    seconds_ = 0;
    try {
        Report(rpStarted);
        Received.clear();
        BytesReceived = 0;
        client.Cookie = Query->Cookie;
        client.CookieHost = Query->CookieHost;
        if (Cancel)
            End(THttpOutcome::Cancelled, "");
        else
            Request(client);
    } catch (std::exception& e) {
        // An error other than the client's own (or a report that could not be made) still
        // ends the request with its final report.
        End(THttpOutcome::Failed, e.what());
    } catch (...) {
        End(THttpOutcome::Failed, "");
    }
    ReceivedHeader = client.ReceivedHeader();
    AnswerHost = SplitUrl(client.CurrentUrl()).host;
    timerOn_ = false;
    try {
        Report(rpFinished);
    } catch (...) {
    }
    TLock guard(clientLock_);
    client_ = nullptr;
}

void THTTPThread::Request(THttpClient& client) {
    // Addresses come from pages, definitions and templates: whatever they hold, it goes out
    // percent-encoded where it would break the request line.
    if (Query->IsPost) {
        client.URL = EncodeUnsafeAddressBytes(URL);
        post_.str(Query->Parameters);
        post_.clear();
        client.Post();
    } else {
        client.URL = EncodeUnsafeAddressBytes(URL + Query->Parameters);
        client.Get();
    }
    Outcome = client.Outcome();
    Status = client.StatusCode();
    Reason = client.ReasonPhrase();
}

// ---------------------------------------------------------------------------

THTTPMachine::THTTPMachine(TMainLoop* loop)
    : loop_(loop ? loop : &MainLoop()),
      timer_(std::make_unique<TTimer>(loop_)),
      shared_(std::make_shared<THTTPMachineShared>()) {
    shared_->machine = this;
    timer_->SetInterval(Timing.FirstTickMs);
    timer_->OnTimer = [this] { Dispatch(); };
}

THTTPMachine::~THTTPMachine() {
    CheckMainThread(*loop_, "THTTPMachine");
    shared_->machine = nullptr;
    shared_->alive = false;
    timer_.reset();
    for (auto& worker : workers_)
        worker->Abort();
}

int THTTPMachine::LiveWorkers() {
    return gLiveWorkers.load();
}

void THTTPMachine::SetEnabled(bool on) {
    CheckMainThread(*loop_, "THTTPMachine::SetEnabled");
    if (enabled_ && !on) StopAll();
    enabled_ = on;
    if (on && !dispatched_) timer_->SetInterval(Timing.FirstTickMs);
    timer_->SetEnabled(on);
}

std::unique_ptr<THTTPQuery> THTTPMachine::NewQuery() {
    CheckMainThread(*loop_, "THTTPMachine::NewQuery");
    auto query = std::make_unique<THTTPQuery>();
    query->ID = ++counter_;
    query->TimeOut = TimeOut;
    return query;
}

void THTTPMachine::AddQuery(std::unique_ptr<THTTPQuery> query) {
    CheckMainThread(*loop_, "THTTPMachine::AddQuery");
    if (!query) return;
    queue_.push_back(std::move(query));
}

void THTTPMachine::InsertQuery(std::unique_ptr<THTTPQuery> query) {
    CheckMainThread(*loop_, "THTTPMachine::InsertQuery");
    if (!query) return;
    queue_.push_front(std::move(query));
}

void THTTPMachine::StopAll() {
    CheckMainThread(*loop_, "THTTPMachine::StopAll");
    Stopping = true;
    for (auto& worker : workers_)
        worker->Abort();
}

void THTTPMachine::AbortQuery(int32_t id) {
    CheckMainThread(*loop_, "THTTPMachine::AbortQuery");
    for (auto& worker : workers_)
        if (worker->ID() == id) worker->Abort();
}

bool THTTPMachine::IsBusy() const {
    CheckMainThread(*loop_, "THTTPMachine::IsBusy");
    return !workers_.empty();
}

size_t THTTPMachine::QueuedCount() const {
    CheckMainThread(*loop_, "THTTPMachine::QueuedCount");
    return queue_.size();
}

size_t THTTPMachine::RunningCount() const {
    CheckMainThread(*loop_, "THTTPMachine::RunningCount");
    return workers_.size();
}

void THTTPMachine::Dispatch() {
    timer_->SetEnabled(false);
    dispatched_ = true;
    if (Stopping && queue_.empty() && results_.empty() && workers_.empty()) Stopping = false;
    if (!queue_.empty() && static_cast<int>(workers_.size()) < MaxThreads) {
        std::unique_ptr<THTTPQuery> query = std::move(queue_.front());
        queue_.pop_front();
        StartWorker(std::move(query));
    }
    // The dispatch is a step of the loop itself: the reports of other requests and the
    // user's actions run as soon as it returns, so it does not run the loop again inside
    // (where a handler could free the machine under it).
    const bool draining = Stopping && !queue_.empty();
    timer_->SetInterval(draining ? Timing.StopTickMs : Timing.TickMs);
    if (enabled_) timer_->SetEnabled(true);
}

void THTTPMachine::StartWorker(std::unique_ptr<THTTPQuery> query) {
    auto result = std::make_unique<THTTPResult>();
    result->ID = query->ID;
    result->OnEvent = query->OnEvent ? query->OnEvent : OnEvent;

    auto worker = std::make_shared<THTTPThread>();
    worker->Query = std::move(query);
    worker->Settings = *this;
    worker->SecondMs = Timing.SecondMs;
    worker->Loop = loop_;
    worker->Shared = shared_;
    worker->Result = result.get();

    results_.push_back(std::move(result));
    workers_.push_back(worker);
    worker->Start();
}

void THTTPMachine::Fire(THTTPThread& worker, THTTPResult& result, THTTPMachineEventType type) {
    if (!result.OnEvent) return;
    // A copy: the handler may free the result, or the machine with it.
    THTTPMachineEvent handler = result.OnEvent;
    try {
        handler(result, type);
        return;
    } catch (std::exception& e) {
        worker.HandlerReason = OutcomeReason(THttpOutcome::HandlerFailed, e.what());
    } catch (...) {
        worker.HandlerReason = OutcomeReason(THttpOutcome::HandlerFailed, "");
    }
    // A failing handler ends its request as failed; the final report still comes.
    worker.HandlerFailed = true;
    worker.Cancel = true;
    worker.Abort();
}

void THTTPMachine::HandleReport(THTTPThread& worker) {
    THTTPResult* result = nullptr;
    auto it = std::find_if(results_.begin(), results_.end(),
                           [&](const auto& r) { return r.get() == worker.Result; });
    if (it != results_.end()) result = it->get();
    assert(result && "a report from a worker the machine does not know");
    if (!result) return;
    // A handler may free the machine; keep what is needed to notice.
    std::shared_ptr<THTTPMachineShared> shared = shared_;

    switch (worker.Code) {
        case rpStarted:
            if (Stopping)
                worker.Cancel = true;
            else
                Fire(worker, *result, meStarted);
            return;
        case rpDocBegin:
            if (Stopping) {
                worker.Abort();
            } else {
                result->URL = worker.URL;
                Fire(worker, *result, meDocBegin);
            }
            return;
        case rpDocData:
            if (Stopping) {
                worker.Abort();
            } else {
                result->BytesReceived = worker.BytesReceived;
                Fire(worker, *result, meDocData);
            }
            return;
        case rpTimeOut:
            Fire(worker, *result, meTimeOut);
            return;
        case rpDocEnd:
            Fire(worker, *result, meDocEnd);
            return;
        case rpFinished:
            break;
    }

    if (worker.HandlerFailed) {
        worker.Outcome = THttpOutcome::HandlerFailed;
        worker.Status = OutcomeStatus(worker.Outcome, 0);
        worker.Reason = worker.HandlerReason;
    }
    const bool success = worker.Outcome == THttpOutcome::Answered;
    if (success) {
        result->URL = worker.URL;
        result->Header = HeaderText(worker.ReceivedHeader);
        // Moved, not copied: the worker frees its stream right after this report.
        result->Data = std::move(worker.Received);
        result->Cookie = FirstSetCookie(result->Header);
        result->CookieHost = worker.AnswerHost;
        Fire(worker, *result, meDone);
    }
    if (shared->machine == this) {
        result->Status = worker.Status;
        result->Reason = worker.Reason;
        result->Outcome = worker.Outcome;
        if (!success) Fire(worker, *result, meFailed);
    }
    if (shared->machine != this) return;
    results_.erase(std::remove_if(results_.begin(), results_.end(),
                                  [&](const auto& r) { return r.get() == result; }),
                   results_.end());
    workers_.erase(std::remove_if(workers_.begin(), workers_.end(),
                                  [&](const auto& w) { return w.get() == &worker; }),
                   workers_.end());
}

}  // namespace tessaly
