#include "net/HttpMachine.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <sstream>
#include <thread>

#include "net/HttpClient.h"
#include "platform/ByteString.h"

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

// A redirection loop ends after this many hops when no time-out would end it.
constexpr int kMaxRedirections = 20;

// The status of a request ended by an error other than the client's own.
constexpr int kInternalFailure = 404;

}  // namespace

// What a machine shares with its workers: the machine itself while it lives. Only the main
// thread reads or clears it (reports run there), so a report arriving after the machine
// is gone finds nullptr and is dropped.
struct THTTPMachineShared {
    THTTPMachine* machine = nullptr;
    // Cleared with `machine`; lets a worker skip reports nobody will take.
    std::atomic<bool> alive{true};
};

// One request on its own thread. The fields below the "main thread" line are touched only
// while the worker waits inside a report (Invoke hands them over both ways), or from the
// main thread alone.
class THTTPThread : public std::enable_shared_from_this<THTTPThread> {
  public:
    // Copied at dispatch.
    int32_t ID = 0;
    int32_t TimeOut = 0;
    std::string URL;  // the new location after a redirection
    std::string Parameters;
    bool IsPost = false;
    std::string Cookie;
    std::string Proxy, ProxyPort, ProxyUsername, ProxyPassword, Agent, CAFile;
    int SecondMs = 1000;
    TMainLoop* Loop = nullptr;
    std::shared_ptr<THTTPMachineShared> Shared;

    // Written by the worker before a report, read by the main thread during it.
    TReport Code = rpFinished;
    bool Success = false;
    int32_t Status = 0;
    std::string Reason;
    int32_t BytesReceived = 0;
    std::string Received;
    TStrings ReceivedHeader;

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
    void Request(THttpClient& client);
    void Report(TReport code);
    void LocationChanged(THttpClient& client);

    TMutex clientLock_;
    THttpClient* client_ GUARDED_BY(clientLock_) = nullptr;
    std::atomic<bool> aborted_{false};

    // Worker thread only.
    std::istringstream post_;
    TStrings hopHeader_;  // the header of the answer being read
    bool relocation_ = false;
    int redirections_ = 0;
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

void THTTPThread::Run() {
    THttpClient client;
    client.MultiThreaded = true;
    client.ReceiveStream = &Received;
    client.SendStream = &post_;
    client.Proxy = Proxy;
    if (!ProxyPort.empty()) client.ProxyPort = ProxyPort;
    client.ProxyUsername = ProxyUsername;
    client.ProxyPassword = ProxyPassword;
    client.Agent = Agent;
    client.CAFile = CAFile;
    client.TickMs = SecondMs;
    client.OnHeaderBegin = [this] { hopHeader_.clear(); };
    client.OnHeaderData = [this](const std::string& line) { hopHeader_.push_back(line); };
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
    client.OnLocationChange = [this, &client] { LocationChanged(client); };
    client.OnStateChange = [this, &client](THttpClient::TState state) {
        // An abort that arrived while the client was still idle.
        if (state == THttpClient::TState::NotConnected && aborted_) client.Abort();
    };
    client.OnTick = [this] {
        if (!timerOn_) return;
        if (++seconds_ == TimeOut) {
            timerOn_ = false;
            Abort();
            Report(rpTimeOut);
        }
    };
    {
        TLock guard(clientLock_);
        client_ = &client;
    }

    timerOn_ = true;
    seconds_ = 0;
    try {
        Report(rpStarted);
        Received.clear();
        BytesReceived = 0;
        if (!Cookie.empty()) client.Cookie = Cookie;
        if (Cancel)
            Reason = "Request cancelled";
        else
            Request(client);
    } catch (std::exception& e) {
        // An error other than the client's own (or a report that could not be made) still
        // ends the request with its final report.
        Success = false;
        Status = kInternalFailure;
        Reason = std::string("Request failed: ") + e.what();
    } catch (...) {
        Success = false;
        Status = kInternalFailure;
        Reason = "Request failed";
    }
    ReceivedHeader = client.ReceivedHeader();
    timerOn_ = false;
    try {
        Report(rpFinished);
    } catch (...) {
    }
    TLock guard(clientLock_);
    client_ = nullptr;
}

void THTTPThread::Request(THttpClient& client) {
    Success = false;
    Status = 0;
    Reason.clear();
    try {
        if (IsPost) {
            client.URL = URL;
            post_.str(Parameters);
            post_.clear();
            client.Post();
        } else {
            client.URL = URL + Parameters;
            client.Get();
        }
        Success = true;
        Status = client.StatusCode();
        Reason = client.ReasonPhrase();
    } catch (EHttpException& e) {
        // The client followed a redirection and then failed: fetch the new location again
        // (always GET). Not after an abort: a stop, an abort or a time-out ends the request.
        Status = e.ErrorCode();
        Reason = e.what();
        while (relocation_ && !aborted_) {
            relocation_ = false;
            client.URL = URL;
            try {
                client.Get();
                Success = true;
                Status = client.StatusCode();
                Reason = client.ReasonPhrase();
            } catch (EHttpException& again) {
                Status = again.ErrorCode();
                Reason = again.what();
            }
        }
    }
}

// The client follows the redirection by itself; this keeps the worker's URL in step with it.
void THTTPThread::LocationChanged(THttpClient& client) {
    std::string header;
    for (const std::string& line : hopHeader_)
        header += line + "\r\n";
    std::string location;
    if (int64_t at = Pos("LOCATION: ", UpperCase(header)); at > 0) {
        int64_t from = at + 10;
        int64_t end = Pos("\r\n", header, from);
        location = Copy(header, from, end - from);
        std::string scheme = "http://";
        if (Pos(".", location) == 0) {
            // A path on the current host keeps the current scheme.
            bool secure = Pos("https://", LowerCase(client.URL)) == 1;
            if (secure) scheme = "https://";
            std::string host =
                Copy(client.URL, secure ? 9 : 8, static_cast<int64_t>(client.URL.size()));
            if (int64_t slash = Pos("/", host); slash > 0) host = Copy(host, 1, slash - 1);
            location = host + location;
        }
        // The first scheme named wins, so an "http:" location reads as before.
        int64_t plain = Pos("http:", location);
        int64_t secureAt = Pos("https:", location);
        if (secureAt > 0 && (plain == 0 || secureAt < plain))
            location = "https://" + Copy(location, 7, static_cast<int64_t>(location.size()));
        else if (plain > 0)
            location = "http://" + Copy(location, 6, static_cast<int64_t>(location.size()));
        else
            location = scheme + location;
        while (int64_t triple = Pos("///", location))
            Delete(location, triple, 1);
        location = Trim(location);
    } else {
        // A "Location:" without its blank is still followed by the client.
        location = client.CurrentUrl();
    }
    URL = location;
    relocation_ = true;
    // Without a time-out nothing else would end a redirection loop.
    if (TimeOut <= 0 && ++redirections_ > kMaxRedirections) Abort();
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
    shared_->machine = nullptr;
    shared_->alive = false;
    timer_.reset();
    TLock guard(workerLock_);
    for (auto& worker : workers_)
        worker->Abort();
}

int THTTPMachine::LiveWorkers() {
    return gLiveWorkers.load();
}

void THTTPMachine::SetEnabled(bool on) {
    if (enabled_ && !on) StopAll();
    enabled_ = on;
    if (on && !dispatched_) timer_->SetInterval(Timing.FirstTickMs);
    timer_->SetEnabled(on);
}

std::unique_ptr<THTTPQuery> THTTPMachine::NewQuery() {
    auto query = std::make_unique<THTTPQuery>();
    query->ID = ++counter_;
    query->TimeOut = TimeOut;
    return query;
}

void THTTPMachine::AddQuery(std::unique_ptr<THTTPQuery> query) {
    if (!query) return;
    TLock guard(queueLock_);
    queue_.push_back(std::move(query));
}

void THTTPMachine::InsertQuery(std::unique_ptr<THTTPQuery> query) {
    if (!query) return;
    TLock guard(queueLock_);
    queue_.push_front(std::move(query));
}

void THTTPMachine::StopAll() {
    Stopping = true;
    TLock guard(workerLock_);
    for (auto& worker : workers_)
        worker->Abort();
}

void THTTPMachine::AbortQuery(int32_t id) {
    TLock guard(workerLock_);
    for (auto& worker : workers_)
        if (worker->ID == id) worker->Abort();
}

bool THTTPMachine::IsBusy() const {
    TLock guard(workerLock_);
    return !workers_.empty();
}

size_t THTTPMachine::QueuedCount() const {
    TLock guard(queueLock_);
    return queue_.size();
}

size_t THTTPMachine::RunningCount() const {
    TLock guard(workerLock_);
    return workers_.size();
}

void THTTPMachine::Dispatch() {
    timer_->SetEnabled(false);
    dispatched_ = true;
    {
        TLock queue(queueLock_);
        TLock results(resultLock_);
        TLock workers(workerLock_);
        if (Stopping && queue_.empty() && results_.empty() && workers_.empty()) Stopping = false;
        if (!queue_.empty() && static_cast<int>(workers_.size()) < MaxThreads) {
            std::unique_ptr<THTTPQuery> query = std::move(queue_.front());
            queue_.pop_front();
            StartWorker(std::move(query));
        }
    }
    // Events of other requests and user actions run here; one of them may free the machine.
    std::shared_ptr<THTTPMachineShared> shared = shared_;
    loop_->ProcessMessages();
    if (shared->machine != this) return;
    bool draining;
    {
        TLock queue(queueLock_);
        draining = Stopping && !queue_.empty();
    }
    timer_->SetInterval(draining ? Timing.StopTickMs : Timing.TickMs);
    if (enabled_) timer_->SetEnabled(true);
}

void THTTPMachine::StartWorker(std::unique_ptr<THTTPQuery> query) {
    auto result = std::make_unique<THTTPResult>();
    result->ID = query->ID;
    result->OnEvent = query->OnEvent ? query->OnEvent : OnEvent;

    auto worker = std::make_shared<THTTPThread>();
    worker->ID = query->ID;
    worker->TimeOut = query->TimeOut;
    worker->URL = query->URL;
    worker->Parameters = query->Parameters;
    worker->IsPost = query->IsPost;
    worker->Cookie = query->Cookie;
    worker->Proxy = Proxy;
    worker->ProxyPort = ProxyPort;
    worker->ProxyUsername = ProxyUsername;
    worker->ProxyPassword = ProxyPassword;
    worker->Agent = Agent;
    worker->CAFile = CAFile;
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
        worker.HandlerReason = std::string("Event handler failed: ") + e.what();
    } catch (...) {
        worker.HandlerReason = "Event handler failed";
    }
    // A failing handler ends its request as failed; the final report still comes.
    worker.HandlerFailed = true;
    worker.Cancel = true;
    worker.Abort();
}

void THTTPMachine::HandleReport(THTTPThread& worker) {
    THTTPResult* result = nullptr;
    {
        TLock guard(resultLock_);
        auto it = std::find_if(results_.begin(), results_.end(),
                               [&](const auto& r) { return r.get() == worker.Result; });
        if (it != results_.end()) result = it->get();
    }
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
        worker.Success = false;
        if (worker.Status < 400) worker.Status = kInternalFailure;
        worker.Reason = worker.HandlerReason;
    }
    if (worker.Success) {
        result->URL = worker.URL;
        result->Header.clear();
        for (const std::string& line : worker.ReceivedHeader)
            result->Header += line + "\r\n";
        // Moved, not copied: the worker frees its stream right after this report.
        result->Data = std::move(worker.Received);
        result->Cookie.clear();
        if (int64_t at = Pos("Set-Cookie:", result->Header); at > 0) {
            int64_t from = at + 12;
            int64_t end = Pos("\r\n", result->Header, from);
            result->Cookie = Copy(result->Header, from, end - from);
        }
        Fire(worker, *result, meDone);
    }
    if (shared->machine == this) {
        result->Status = worker.Status;
        result->Reason = worker.Reason;
        if (!worker.Success) Fire(worker, *result, meFailed);
    }
    if (shared->machine != this) return;
    {
        TLock guard(resultLock_);
        results_.erase(std::remove_if(results_.begin(), results_.end(),
                                      [&](const auto& r) { return r.get() == result; }),
                       results_.end());
    }
    {
        TLock guard(workerLock_);
        workers_.erase(std::remove_if(workers_.begin(), workers_.end(),
                                      [&](const auto& w) { return w.get() == &worker; }),
                       workers_.end());
    }
}

}  // namespace tessaly
