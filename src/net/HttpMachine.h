// The HTTP machine: every page the program fetches goes through it. The main thread
// describes a request as a THTTPQuery and queues it; a dispatch timer starts one worker
// thread per request, at most MaxThreads at a time; each worker runs its own THttpClient
// synchronously and hands every report to the main thread with Invoke, where the machine
// turns it into an event on the request's THTTPResult. Every event handler therefore runs
// on the main thread, one at a time.
//
// A request ends with exactly one meDone or meFailed; the result is freed right after, so a
// handler that wants the document copies it during meDone.
//
// All operations are main-thread only, and checked to be: the queue, the results and the
// worker list are touched by the main thread alone (a worker reaches the machine only
// through a report, which Invoke runs on the main thread), so they need no locks. The main
// loop must outlive the workers: wait until IsBusy() is false (or, after destroying a
// machine, until LiveWorkers() is 0) before the loop goes away.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/HttpTypes.h"
#include "platform/MainLoop.h"

namespace tessaly {

enum THTTPMachineEventType {
    meStarted = 0,  // a worker started for the query and is about to connect; ID valid
    meDocBegin,     // the first piece of the document arrived (before its meDocData); URL
    meDocData,      // a piece of the document arrived; BytesReceived
    meTimeOut,      // the inactivity time-out expired; meFailed follows
    meFailed,       // the request ended without success; Status
    meDocEnd,       // the server closed after document data: the document is complete
    meDone          // the request ended with success; URL, Header, Data, Cookie
};

class THTTPResult;
using THTTPMachineEvent = std::function<void(THTTPResult& Sender, THTTPMachineEventType EventType)>;

// Created by NewQuery, filled by the caller, owned by the machine once queued.
struct THTTPQuery {
    int32_t ID = 0;
    std::string URL;         // without its parameters
    std::string Parameters;  // GET: appended to URL as it stands ("?" included); POST: the body
    bool IsPost = false;
    std::string Cookie;  // sent as "Cookie: " when not empty
    // The host Cookie belongs to; empty: the host of URL. No other host is sent the cookie,
    // neither as the URL's host nor after a redirection.
    std::string CookieHost;
    int32_t TimeOut = 0;        // seconds without progress; 0 or less: none
    THTTPMachineEvent OnEvent;  // when empty, the machine's OnEvent is used
};

// Created at dispatch, owned by the machine, freed after the request's final event.
class THTTPResult {
  public:
    int32_t ID = 0;
    int32_t BytesReceived = 0;  // updated before each meDocData
    std::string URL;     // set before meDocBegin and meDone; after a redirection, the new location
    std::string Header;  // received header lines, status line first, CR LF each; before meDone
    std::string Data;    // the document; before meDone
    std::string Cookie;  // rest of the first "Set-Cookie:" line; before meDone
    std::string CookieHost;  // the host that gave the answer, and so set Cookie; before meDone
    THTTPMachineEvent OnEvent;
    // Status code of a completed request, the client's error code of a failed one (404 after
    // an abort or a time-out), 0 when no request was sent. Set after meDone, before meFailed.
    int32_t Status = 0;
    // The words that go with Status: the server's reason phrase, or the client's message for
    // a failed request ("Connection aborted on request", ...). Set with Status.
    std::string Reason;
    // How the request ended, for callers that tell failures apart. Set with Status.
    THttpOutcome Outcome = THttpOutcome::Answered;
};

// Dispatch and inactivity steps. The defaults are the program's; tests and benchmarks
// shorten them.
struct THTTPMachineTiming {
    int FirstTickMs = 500;  // from creation to the first dispatch
    int TickMs = 250;       // between dispatches
    int StopTickMs = 50;    // between dispatches while a stop drains the queue
    int SecondMs = 1000;    // one step of a worker's inactivity counter
};

class THTTPThread;
struct THTTPMachineShared;

// The connection settings (Proxy, ProxyPort, ProxyUsername, ProxyPassword, Agent, CAFile)
// are the THttpSettings base: every worker takes a copy of them at dispatch.
class THTTPMachine : public THttpSettings {
  public:
    // `loop` defaults to MainLoop(); it runs the dispatch timer and every report.
    explicit THTTPMachine(TMainLoop* loop = nullptr);
    // Frees the queue and the results. Workers still running are aborted and not waited
    // for; their remaining reports are dropped.
    ~THTTPMachine();
    THTTPMachine(const THTTPMachine&) = delete;
    THTTPMachine& operator=(const THTTPMachine&) = delete;

    THTTPMachineEvent OnEvent;  // for queries that name no handler
    int MaxThreads = 8;
    int32_t TimeOut = 30;  // copied into new queries
    // Set by StopAll; cleared by the dispatch step once the queue, the results and the
    // workers are all gone, or by the owner.
    bool Stopping = false;
    // Read at every dispatch and copied into each worker; see THTTPMachineTiming.
    THTTPMachineTiming Timing;

    bool Enabled() const { return enabled_; }
    // Switching from true to false first runs StopAll; the dispatch timer follows the flag.
    void SetEnabled(bool on);

    // A query with the next ID (the first is 1) and the machine's TimeOut.
    std::unique_ptr<THTTPQuery> NewQuery();
    void AddQuery(std::unique_ptr<THTTPQuery> query);
    // At the head of the queue: dispatched before those already waiting.
    void InsertQuery(std::unique_ptr<THTTPQuery> query);
    // Sets Stopping and aborts every running request; queued ones end with Status 0.
    void StopAll();
    // Aborts the running requests of query `id`; nothing else changes.
    void AbortQuery(int32_t id);
    bool IsBusy() const;

    size_t QueuedCount() const;
    size_t RunningCount() const;
    // Worker threads of every machine that have not finished yet.
    static int LiveWorkers();

  private:
    friend class THTTPThread;
    void Dispatch();
    void StartWorker(std::unique_ptr<THTTPQuery> query);
    void HandleReport(THTTPThread& worker);
    // Runs the result's handler, if any; one that throws ends its request as failed.
    void Fire(THTTPThread& worker, THTTPResult& result, THTTPMachineEventType type);

    TMainLoop* loop_;
    std::unique_ptr<TTimer> timer_;
    std::shared_ptr<THTTPMachineShared> shared_;
    bool enabled_ = false;
    bool dispatched_ = false;  // the first dispatch comes after FirstTickMs
    int32_t counter_ = 0;

    // Main thread only (see the top of this file).
    std::deque<std::unique_ptr<THTTPQuery>> queue_;
    std::vector<std::unique_ptr<THTTPResult>> results_;
    std::vector<std::shared_ptr<THTTPThread>> workers_;
};

}  // namespace tessaly
