// The HTTP machine against scripted loopback servers and a real proxy: scheduling and
// limits, time-outs, stop and abort, redirections, cookies and the order of events. Every
// test checks on the way out that each request it sent ended with exactly one meDone or
// meFailed and that its events came in a possible order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include "net/HttpMachine.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "support/TestTls.h"
#include "support/TinyProxy.h"

namespace tessaly {
namespace {

using test::TTestHttpServer;
using TAnswer = TTestHttpServer::TAnswer;
using TRequest = TTestHttpServer::TRequest;

const char* Name(THTTPMachineEventType t) {
    static const char* names[] = {"Started", "DocBegin", "DocData", "TimeOut",
                                  "Failed",  "DocEnd",   "Done"};
    return names[t];
}

// What one request went through, copied during its events.
struct TTrace {
    std::vector<THTTPMachineEventType> events;
    std::string docBeginUrl;
    std::vector<int32_t> bytes;  // BytesReceived at each meDocData
    std::string url, header, data, cookie;
    int32_t status = -1;                            // at meFailed
    std::string reason;                             // at meFailed
    THttpOutcome outcome = THttpOutcome::Answered;  // at meFailed

    int Finals() const {
        return static_cast<int>(std::count(events.begin(), events.end(), meDone) +
                                std::count(events.begin(), events.end(), meFailed));
    }
    bool Ended() const { return Finals() > 0; }
    bool Has(THTTPMachineEventType t) const {
        return std::find(events.begin(), events.end(), t) != events.end();
    }
    std::string Text() const {
        std::string s;
        for (auto e : events)
            s += std::string(s.empty() ? "" : " ") + Name(e);
        return s;
    }
};

// "" when the sequence is one a request can produce, else what is wrong with it.
std::string OrderFault(const TTrace& t) {
    const auto& e = t.events;
    if (t.Finals() != 1) return "not exactly one final event";
    if (e.back() != meDone && e.back() != meFailed) return "final event is not last";
    bool started = false, begun = false, ended = false, timedOut = false;
    for (size_t i = 0; i < e.size(); ++i) {
        switch (e[i]) {
            case meStarted:
                if (i != 0) return "meStarted not first";
                started = true;
                break;
            case meDocBegin:
                if (begun || !started) return "meDocBegin out of place";
                if (i + 1 >= e.size() || e[i + 1] != meDocData) return "meDocBegin without data";
                begun = true;
                break;
            case meDocData:
                if (!begun || ended || timedOut) return "meDocData out of place";
                break;
            case meDocEnd:
                if (!begun || ended) return "meDocEnd out of place";
                ended = true;
                break;
            case meTimeOut:
                if (timedOut || i + 2 != e.size() || e.back() != meFailed)
                    return "meTimeOut not followed by meFailed";
                timedOut = true;
                break;
            case meDone:
                if (!started) return "meDone without meStarted";
                if (begun && !ended) return "meDone without meDocEnd";
                break;
            case meFailed:
                break;
        }
    }
    for (size_t i = 1; i < t.bytes.size(); ++i)
        if (t.bytes[i] <= t.bytes[i - 1]) return "BytesReceived did not grow";
    return "";
}

class HttpMachineTest : public test::TLoopTest {
  protected:
    explicit HttpMachineTest(bool fakeClock = false) : TLoopTest(fakeClock) {
        machine = std::make_unique<THTTPMachine>();
        machine->Timing = {10, 5, 2, 100};
    }

    void TearDown() override {
        // A request left running is aborted with its machine; its thread must still end.
        machine.reset();
        EXPECT_TRUE(WaitFor([] { return THTTPMachine::LiveWorkers() == 0; }, 20000));
        for (const auto& [id, trace] : traces) {
            std::string fault = OrderFault(trace);
            if (!fault.empty() && (expectEveryEnd || trace.Ended()))
                ADD_FAILURE() << "request " << id << ": " << fault << " [" << trace.Text() << "]";
        }
        if (expectEveryEnd) {
            for (int32_t id : sent)
                EXPECT_TRUE(traces.count(id)) << "request " << id << " had no event";
        }
    }

    THTTPMachineEvent Recorder() {
        return [this](THTTPResult& r, THTTPMachineEventType type) {
            TTrace& t = traces[r.ID];
            t.events.push_back(type);
            switch (type) {
                case meStarted:
                    startOrder.push_back(r.ID);
                    break;
                case meDocBegin:
                    t.docBeginUrl = r.URL;
                    break;
                case meDocData:
                    t.bytes.push_back(r.BytesReceived);
                    break;
                case meFailed:
                    t.status = r.Status;
                    t.reason = r.Reason;
                    t.outcome = r.Outcome;
                    break;
                case meDone:
                    t.url = r.URL;
                    t.header = r.Header;
                    t.data = r.Data;
                    t.cookie = r.Cookie;
                    break;
                default:
                    break;
            }
            maxRunning = std::max(maxRunning, machine ? machine->RunningCount() : 0);
            if (extra) extra(r, type);
        };
    }

    std::unique_ptr<THTTPQuery> Query(const std::string& url) {
        auto q = machine->NewQuery();
        q->URL = url;
        q->OnEvent = Recorder();
        return q;
    }
    int32_t Add(std::unique_ptr<THTTPQuery> q) {
        int32_t id = q->ID;
        sent.insert(id);
        machine->AddQuery(std::move(q));
        return id;
    }
    int32_t Get(const std::string& url, int32_t timeOut = 30) {
        auto q = Query(url);
        q->TimeOut = timeOut;
        return Add(std::move(q));
    }

    bool Ended(int32_t id) { return traces.count(id) && traces[id].Ended(); }
    // Runs the loop until every request sent so far has ended.
    bool WaitAllEnded(int timeoutMs = 20000) {
        return WaitFor(
            [&] {
                for (int32_t id : sent)
                    if (!Ended(id)) return false;
                return true;
            },
            timeoutMs);
    }
    bool WaitStarted(int32_t id) {
        return WaitFor([&] { return traces.count(id) && traces[id].Has(meStarted); });
    }

    std::unique_ptr<THTTPMachine> machine;
    std::map<int32_t, TTrace> traces;
    std::set<int32_t> sent;
    std::vector<int32_t> startOrder;
    size_t maxRunning = 0;
    bool expectEveryEnd = true;
    THTTPMachineEvent extra;
};

// --- Queries and a plain request ---

TEST_F(HttpMachineTest, NewQueryNumbersFromOneAndCopiesTheTimeOut) {
    auto a = machine->NewQuery();
    auto b = machine->NewQuery();
    machine->TimeOut = 7;
    auto c = machine->NewQuery();
    EXPECT_EQ(a->ID, 1);
    EXPECT_EQ(b->ID, 2);
    EXPECT_EQ(c->ID, 3);
    EXPECT_EQ(a->TimeOut, 30);
    EXPECT_EQ(c->TimeOut, 7);
    EXPECT_FALSE(machine->Enabled());
    EXPECT_FALSE(machine->IsBusy());
}

TEST_F(HttpMachineTest, GetDeliversDocumentHeaderCookieAndEventsInOrder) {
    TTestHttpServer server([](const TRequest& r) {
        TAnswer a = TTestHttpServer::Normal("<p>" + r.requestLine + "</p>",
                                            "Set-Cookie: sid=abc; path=/\r\n");
        return a;
    });
    machine->Agent = "Tessaly Jobs/98 [en]";
    machine->SetEnabled(true);
    auto q = Query(server.Url("/find"));
    q->Parameters = "?kw=c%2B%2B";
    q->Cookie = "visit=1";
    int32_t id = Add(std::move(q));
    ASSERT_TRUE(WaitAllEnded());
    const TTrace& t = traces[id];
    ASSERT_TRUE(t.Has(meDone)) << t.Text();
    EXPECT_EQ(t.events.front(), meStarted);
    EXPECT_EQ(t.data, "<p>GET /find?kw=c%2B%2B HTTP/1.0</p>");
    EXPECT_EQ(t.bytes.back(), static_cast<int32_t>(t.data.size()));
    EXPECT_EQ(t.docBeginUrl, server.Url("/find"));
    EXPECT_EQ(t.url, server.Url("/find"));
    EXPECT_EQ(t.header,
              "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: sid=abc; path=/\r\n");
    EXPECT_EQ(t.cookie, "sid=abc; path=/");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].Header("User-Agent"), "Tessaly Jobs/98 [en]");
    EXPECT_EQ(server.Requests()[0].Header("Cookie"), "visit=1");
    EXPECT_FALSE(machine->IsBusy());
}

TEST_F(HttpMachineTest, PostSendsParametersAsBodyAndEmptyDocumentHasNoDocEvents) {
    TTestHttpServer server([](const TRequest& r) {
        TAnswer a;
        a.bytes = "HTTP/1.0 204 No Content\r\nX-Body: " + r.body + "\r\n\r\n";
        return a;
    });
    machine->SetEnabled(true);
    auto q = Query(server.Url("/cgi-bin/referal.asp"));
    q->IsPost = true;
    q->Parameters = "to=friend%40example.org&job=7";
    int32_t id = Add(std::move(q));
    ASSERT_TRUE(WaitAllEnded());
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].requestLine, "POST /cgi-bin/referal.asp HTTP/1.0");
    EXPECT_EQ(server.Requests()[0].body, "to=friend%40example.org&job=7");
    EXPECT_EQ(traces[id].Text(), "Started Done");
    EXPECT_EQ(traces[id].data, "");
}

TEST_F(HttpMachineTest, QueriesWithoutHandlerGoToTheMachinesHandler) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Normal("x"); });
    std::vector<THTTPMachineEventType> seen;
    machine->OnEvent = [&](THTTPResult&, THTTPMachineEventType t) { seen.push_back(t); };
    machine->SetEnabled(true);
    auto q = machine->NewQuery();
    q->URL = server.Url();
    machine->AddQuery(std::move(q));
    ASSERT_TRUE(WaitFor([&] { return !seen.empty() && seen.back() == meDone; }));
    EXPECT_EQ(seen, (std::vector<THTTPMachineEventType>{meStarted, meDocBegin, meDocData, meDocEnd,
                                                        meDone}));
    // Without any handler a request still runs to its end and is cleaned up.
    machine->OnEvent = nullptr;
    auto silent = machine->NewQuery();
    silent->URL = server.Url();
    machine->AddQuery(std::move(silent));
    ASSERT_TRUE(WaitFor([&] {
        return server.Requests().size() == 2 && !machine->IsBusy() && machine->QueuedCount() == 0;
    }));
    EXPECT_EQ(seen.size(), 5u);
}

// --- Failures ---

TEST_F(HttpMachineTest, FailuresCarryTheClientsStatus) {
    TTestHttpServer server(
        [](const TRequest&) { return TTestHttpServer::Status(404, "Not Found", "gone"); });
    TTestHttpServer dropper([](const TRequest&) { return TTestHttpServer::Drop(); });
    machine->SetEnabled(true);
    int32_t missing = Get(server.Url("/missing"));
    int32_t refused =
        Get("http://127.0.0.1:" + std::to_string(TTestHttpServer::UnusedPort()) + "/");
    int32_t unknown = Get("http://no-such-host.invalid/");
    int32_t dropped = Get(dropper.Url());
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[missing].Text(), "Started Failed");
    EXPECT_EQ(traces[missing].status, 404);
    EXPECT_EQ(traces[missing].reason, "Not Found");
    EXPECT_EQ(traces[unknown].reason, "can't resolve hostname to IP address");
    EXPECT_EQ(traces[refused].status, 404);
    EXPECT_EQ(traces[unknown].status, 404);
    // A connection dropped before any answer is a failure, not an empty document.
    EXPECT_EQ(traces[dropped].Text(), "Started Failed");
    EXPECT_EQ(traces[dropped].status, 404);
    EXPECT_EQ(traces[dropped].reason, "Connection closed by the server without an answer");
}

TEST_F(HttpMachineTest, BrokenOrOversizedAnswersFailWithTheirOwnReason) {
    TTestHttpServer server([](const TRequest& r) {
        if (r.requestLine.find(" /long ") != std::string::npos)
            return TTestHttpServer::Normal("jobs", "X-Long: " + std::string(9000, 'a') + "\r\n");
        TAnswer a;
        a.bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8000000\r\n";
        a.stallMs = 20000;
        return a;
    });
    machine->SetEnabled(true);
    int32_t longLine = Get(server.Url("/long"));
    int32_t huge = Get(server.Url("/huge"));
    ASSERT_TRUE(WaitAllEnded());
    // Not "done, nothing found": the request failed.
    EXPECT_EQ(traces[longLine].Text(), "Started Failed");
    EXPECT_EQ(traces[longLine].status, 404);
    EXPECT_EQ(traces[longLine].reason, "HTTP line too long");
    EXPECT_EQ(traces[longLine].outcome, THttpOutcome::BadAnswer);
    EXPECT_EQ(traces[huge].Text(), "Started Failed");
    EXPECT_EQ(traces[huge].status, 404);
    EXPECT_EQ(traces[huge].reason, "Document too large");
    EXPECT_EQ(traces[huge].outcome, THttpOutcome::TooLarge);
}

TEST_F(HttpMachineTest, ChunkedAnswerArrivesDecodedWithAllItsEvents) {
    TTestHttpServer server([](const TRequest&) {
        return TTestHttpServer::Chunked({"<ul>", "<li>C++</li>", "</ul>"});
    });
    machine->SetEnabled(true);
    int32_t id = Get(server.Url("/list"));
    ASSERT_TRUE(WaitAllEnded());
    ASSERT_TRUE(traces[id].Has(meDone)) << traces[id].Text();
    EXPECT_TRUE(traces[id].Has(meDocEnd));
    EXPECT_EQ(traces[id].data, "<ul><li>C++</li></ul>");
    EXPECT_EQ(traces[id].bytes.back(), static_cast<int32_t>(traces[id].data.size()));
}

// --- Scheduling and limits (on the test clock, so every tick is the test's) ---

class HttpMachineScheduleTest : public HttpMachineTest {
  protected:
    HttpMachineScheduleTest() : HttpMachineTest(true) { machine->Timing = {}; }

    // Moves the clock by `ms` and, if that dispatched a query, waits for its start report.
    void Advance(int ms) {
        size_t queued = machine->QueuedCount();
        size_t started = startOrder.size() + cancelled();
        FakeClock().Advance(ms);
        Loop().ProcessMessages();
        if (machine->QueuedCount() < queued) {
            ASSERT_TRUE(WaitFor([&] { return startOrder.size() + cancelled() > started; }));
        }
    }
    size_t cancelled() {
        size_t n = 0;
        for (auto& [id, t] : traces)
            n += !t.Has(meStarted) && t.Ended();
        return n;
    }
};

TEST_F(HttpMachineScheduleTest, OneDispatchPerTickAtTheProgramsPace) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Normal("x"); }, true);
    machine->SetEnabled(true);
    for (int i = 0; i < 3; ++i)
        Get(server.Url());
    Advance(499);
    EXPECT_EQ(machine->QueuedCount(), 3u);
    Advance(1);
    EXPECT_EQ(machine->QueuedCount(), 2u);
    Advance(249);
    EXPECT_EQ(machine->QueuedCount(), 2u);
    Advance(1);
    EXPECT_EQ(machine->QueuedCount(), 1u);
    Advance(250);
    EXPECT_EQ(machine->QueuedCount(), 0u);
    ASSERT_TRUE(WaitAllEnded());
}

TEST_F(HttpMachineScheduleTest, AtMostMaxThreadsRunAndQueriesStartInQueueOrder) {
    // Each answer trickles for a while, so the requests overlap.
    TTestHttpServer server(
        [](const TRequest&) {
            return TTestHttpServer::Trickle({"a", "b", "c"}, 30);
        },
        true);
    machine->MaxThreads = 2;
    machine->SetEnabled(true);
    std::vector<int32_t> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(Get(server.Url("/" + std::to_string(i))));
    auto first = Query(server.Url("/preferred"));
    int32_t preferred = first->ID;
    sent.insert(preferred);
    machine->InsertQuery(std::move(first));
    for (int tick = 0; tick < 4000 && !WaitAllEnded(5); ++tick)
        Advance(tick == 0 ? 500 : 250);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(startOrder, (std::vector<int32_t>{preferred, ids[0], ids[1], ids[2], ids[3]}));
    EXPECT_LE(maxRunning, 2u);
    EXPECT_LE(server.PeakConnections(), 2);
    for (int32_t id : sent)
        EXPECT_EQ(traces[id].data, "abc");
}

TEST_F(HttpMachineScheduleTest, StopDrainsTheQueueAtTheStopPace) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::StallAfterHeader(20000); },
                           true);
    machine->MaxThreads = 1;
    machine->SetEnabled(true);
    int32_t running = Get(server.Url());
    int32_t queued1 = Get(server.Url());
    int32_t queued2 = Get(server.Url());
    Advance(500);
    ASSERT_TRUE(WaitStarted(running));
    machine->StopAll();
    ASSERT_TRUE(WaitFor([&] { return Ended(running); }));
    // The worker is gone once its final report is handled; the next tick finds room.
    Advance(250);
    EXPECT_EQ(machine->QueuedCount(), 1u);
    ASSERT_TRUE(WaitFor([&] { return Ended(queued1) && !machine->IsBusy(); }));
    Advance(49);
    EXPECT_EQ(machine->QueuedCount(), 1u);
    Advance(1);
    EXPECT_EQ(machine->QueuedCount(), 0u);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[running].status, 404);
    EXPECT_EQ(traces[queued1].Text(), "Failed");
    EXPECT_EQ(traces[queued2].status, 0);
    EXPECT_TRUE(machine->Stopping);
    Advance(250);
    EXPECT_FALSE(machine->Stopping);
}

// --- Time-outs ---

TEST_F(HttpMachineTest, StallAfterHeaderTimesOutWith404) {
    TTestHttpServer server(
        [](const TRequest&) { return TTestHttpServer::StallAfterHeader(20000); });
    machine->SetEnabled(true);
    int32_t id = Get(server.Url(), 2);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[id].Text(), "Started TimeOut Failed");
    EXPECT_EQ(traces[id].status, 404);
    EXPECT_EQ(traces[id].reason, "Connection aborted on request");
}

TEST_F(HttpMachineTest, DataMoreOftenThanTheTimeOutNeverTimesOut) {
    std::vector<std::string> pieces(16, "data ");
    // 16 pieces 40 ms apart outlast a time-out of 5 steps of 100 ms several times over.
    TTestHttpServer server([&](const TRequest&) { return TTestHttpServer::Trickle(pieces, 40); });
    machine->SetEnabled(true);
    int32_t id = Get(server.Url(), 5);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_FALSE(traces[id].Has(meTimeOut)) << traces[id].Text();
    ASSERT_TRUE(traces[id].Has(meDone));
    EXPECT_EQ(traces[id].data.size(), 16u * 5);
}

TEST_F(HttpMachineTest, TimeOutZeroNeverExpires) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Trickle({"late"}, 800); },
                           true);
    machine->Timing.SecondMs = 10;
    machine->SetEnabled(true);
    int32_t id = Get(server.Url(), 0);
    int32_t negative = Get(server.Url(), -1);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[id].data, "late");
    EXPECT_EQ(traces[negative].data, "late");
}

// --- Stop and abort ---

TEST_F(HttpMachineTest, StopAllFailsRunningAndCancelsQueuedWithoutStarting) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::StallAfterHeader(20000); },
                           true);
    machine->MaxThreads = 2;
    machine->SetEnabled(true);
    int32_t a = Get(server.Url());
    int32_t b = Get(server.Url());
    std::vector<int32_t> queued = {Get(server.Url()), Get(server.Url()), Get(server.Url())};
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 2; }));
    machine->StopAll();
    EXPECT_TRUE(machine->Stopping);
    ASSERT_TRUE(WaitAllEnded());
    for (int32_t id : {a, b}) {
        EXPECT_EQ(traces[id].events.back(), meFailed);
        EXPECT_EQ(traces[id].status, 404);
    }
    for (int32_t id : queued) {
        EXPECT_EQ(traces[id].Text(), "Failed");
        EXPECT_EQ(traces[id].status, 0);
        EXPECT_EQ(traces[id].reason, "Request cancelled");
    }
    EXPECT_EQ(server.Requests().size(), 2u);
    ASSERT_TRUE(WaitFor([&] { return !machine->Stopping; }));
    EXPECT_FALSE(machine->IsBusy());
}

TEST_F(HttpMachineTest, AbortQueryEndsOnlyThatRequest) {
    TTestHttpServer server(
        [](const TRequest& r) {
            if (r.requestLine.find("/slow") != std::string::npos)
                return TTestHttpServer::StallAfterHeader(20000);
            return TTestHttpServer::Trickle({"1", "2", "3"}, 50);
        },
        true);
    machine->SetEnabled(true);
    int32_t slow = Get(server.Url("/slow"));
    int32_t other = Get(server.Url("/other"));
    ASSERT_TRUE(WaitStarted(slow));
    ASSERT_TRUE(WaitStarted(other));
    machine->AbortQuery(slow);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[slow].status, 404);
    EXPECT_EQ(traces[other].data, "123");
    EXPECT_FALSE(machine->Stopping);
}

TEST_F(HttpMachineTest, AbortBeforeTheRequestIsSentStillEndsIt) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Normal("x"); });
    machine->SetEnabled(true);
    int32_t id = Get(server.Url());
    // Aborted from inside its start event: before the client has begun.
    extra = [&](THTTPResult& r, THTTPMachineEventType t) {
        if (t == meStarted) machine->AbortQuery(r.ID);
    };
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[id].Text(), "Started Failed");
    EXPECT_EQ(traces[id].status, 404);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpMachineTest, DisableAndEnableStopsEverythingInProgress) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::StallAfterHeader(20000); },
                           true);
    machine->MaxThreads = 1;
    machine->SetEnabled(true);
    int32_t running = Get(server.Url());
    int32_t waiting = Get(server.Url());
    ASSERT_TRUE(WaitStarted(running));
    machine->SetEnabled(false);
    machine->SetEnabled(true);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[running].status, 404);
    EXPECT_EQ(traces[waiting].Text(), "Failed");
    EXPECT_EQ(traces[waiting].status, 0);
    // Once everything is gone the machine fetches again.
    ASSERT_TRUE(WaitFor([&] { return !machine->Stopping; }));
    TTestHttpServer normal([](const TRequest&) { return TTestHttpServer::Normal("again"); });
    int32_t after = Get(normal.Url());
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[after].data, "again");
}

TEST_F(HttpMachineTest, DestroyedWithWorkersRunningDropsTheirReports) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::StallAfterHeader(20000); },
                           true);
    machine->SetEnabled(true);
    int32_t a = Get(server.Url());
    int32_t b = Get(server.Url());
    Get(server.Url());  // never dispatched
    ASSERT_TRUE(WaitStarted(a));
    ASSERT_TRUE(WaitStarted(b));
    expectEveryEnd = false;
    machine.reset();
    ASSERT_TRUE(WaitFor([] { return THTTPMachine::LiveWorkers() == 0; }, 20000));
    EXPECT_FALSE(traces[a].Ended());
    EXPECT_FALSE(traces[b].Ended());
}

// --- Handlers that throw ---

TEST_F(HttpMachineTest, ThrowingHandlerStillEndsEveryRequestOnce) {
    TTestHttpServer server(
        [](const TRequest&) {
            return TTestHttpServer::Trickle({"ab", "cd"}, 20);
        },
        true);
    machine->SetEnabled(true);
    int32_t onStart = Get(server.Url());
    int32_t onData = Get(server.Url());
    int32_t onEnd = Get(server.Url());
    int32_t onDone = Get(server.Url());
    extra = [&](THTTPResult& r, THTTPMachineEventType t) {
        if ((r.ID == onStart && t == meStarted) || (r.ID == onData && t == meDocData) ||
            (r.ID == onEnd && t == meDocEnd) || (r.ID == onDone && t == meDone))
            throw std::runtime_error("handler failed");
    };
    ASSERT_TRUE(WaitAllEnded());
    ASSERT_TRUE(WaitFor([&] { return !machine->IsBusy(); }));
    for (int32_t id : {onStart, onData, onEnd}) {
        EXPECT_EQ(traces[id].events.back(), meFailed) << traces[id].Text();
        EXPECT_EQ(traces[id].status, 404);
    }
    EXPECT_EQ(traces[onData].bytes.size(), 1u);
    EXPECT_EQ(traces[onEnd].reason, "Event handler failed: handler failed");
    // The final event itself threw: it stays the only one.
    EXPECT_EQ(traces[onDone].events.back(), meDone);
}

// --- Redirections ---

TEST_F(HttpMachineTest, RedirectedUrlIsTheOneTheClientFetched) {
    TTestHttpServer server([](const TRequest& r) {
        const std::string& line = r.requestLine;
        if (line.find(" /start ") != std::string::npos)
            return TTestHttpServer::Redirect("/next/page");
        if (line.find(" /dotted ") != std::string::npos)
            return TTestHttpServer::Redirect("/jobs/list.asp");
        return TTestHttpServer::Normal("at " + line);
    });
    machine->SetEnabled(true);
    std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());
    int32_t path = Get(server.Url("/start"));
    int32_t dotted = Get(server.Url("/dotted"));
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[path].data, "at GET /next/page HTTP/1.0");
    EXPECT_EQ(traces[path].url, "http://" + hostPort + "/next/page");
    EXPECT_EQ(traces[path].docBeginUrl, "http://" + hostPort + "/next/page");
    // A "." in the path names no other host: the page came from the same server.
    EXPECT_EQ(traces[dotted].data, "at GET /jobs/list.asp HTTP/1.0");
    EXPECT_EQ(traces[dotted].url, "http://" + hostPort + "/jobs/list.asp");
}

TEST_F(HttpMachineTest, AbsoluteRedirectKeepsItsUrl) {
    TTestHttpServer target([](const TRequest&) { return TTestHttpServer::Normal("there"); });
    std::string location = target.Url("/landed");
    TTestHttpServer server([&](const TRequest&) { return TTestHttpServer::Redirect(location); });
    machine->SetEnabled(true);
    int32_t id = Get(server.Url("/old"));
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[id].data, "there");
    EXPECT_EQ(traces[id].url, location);
}

TEST_F(HttpMachineTest, RedirectLoopEndsWithoutATimeOutAfterTwentyHops) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Redirect("/again"); });
    machine->SetEnabled(true);
    int32_t id = Get(server.Url("/again"), 0);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[id].Text(), "Started Failed");
    EXPECT_EQ(traces[id].status, 404);
    // The first request and twenty redirections.
    EXPECT_EQ(server.Requests().size(), 21u);
}

TEST_F(HttpMachineTest, RedirectLoopIsCappedWhateverTheTimeOut) {
    // A time-out never ends a loop on a fast server: every hop is progress.
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Redirect("/again"); });
    machine->SetEnabled(true);
    int32_t id = Get(server.Url("/again"), 30);
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[id].Text(), "Started Failed");
    EXPECT_EQ(traces[id].status, 404);
    EXPECT_EQ(traces[id].reason, "Too many redirections");
    EXPECT_EQ(server.Requests().size(), 21u);
}

TEST_F(HttpMachineTest, HttpsUsesTheCaFileAndKeepsItsSchemeAcrossRedirections) {
    TTestHttpServer server(
        [](const TRequest& r) {
            if (r.requestLine.find(" /start ") != std::string::npos)
                return TTestHttpServer::Redirect("/next");
            return TTestHttpServer::Normal("secure");
        },
        test::TestCertificates().localhost);
    machine->SetEnabled(true);
    int32_t untrusted = Get(server.Url("/start"));
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[untrusted].events.back(), meFailed);

    machine->CAFile = test::TestCertificates().caFile;
    int32_t trusted = Get(server.Url("/start"));
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[trusted].data, "secure");
    EXPECT_EQ(traces[trusted].url, server.Url("/next"));
}

// --- Cookies ---

TEST_F(HttpMachineTest, OnlyTheFirstSetCookieLineIsKept) {
    TTestHttpServer server([](const TRequest&) {
        return TTestHttpServer::Normal(
            "ok",
            "Set-Cookie: first=1; expires=Wed, 09 Jun 2027 10:18:14 GMT\r\n"
            "Set-Cookie: second=2\r\n");
    });
    TTestHttpServer none([](const TRequest&) { return TTestHttpServer::Normal("ok"); });
    machine->SetEnabled(true);
    int32_t two = Get(server.Url());
    int32_t zero = Get(none.Url());
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[two].cookie, "first=1; expires=Wed, 09 Jun 2027 10:18:14 GMT");
    EXPECT_EQ(traces[zero].cookie, "");
}

// --- Proxies ---

TEST_F(HttpMachineTest, ProxyCredentialsDecideBetweenThePageAnd407) {
    if (!test::TTinyProxy::Available()) GTEST_SKIP() << "tinyproxy is not installed";
    TTestHttpServer server([](const TRequest& r) { return TTestHttpServer::Normal(r.requestLine); },
                           true);
    test::TTinyProxy proxy({}, "user", "pass");
    machine->Proxy = "127.0.0.1";
    machine->ProxyPort = std::to_string(proxy.Port());
    machine->ProxyUsername = "user";
    machine->ProxyPassword = "pass";
    machine->SetEnabled(true);
    int32_t right = Get(server.Url("/through?x=1"));
    ASSERT_TRUE(WaitAllEnded());
    ASSERT_TRUE(traces[right].Has(meDone)) << traces[right].Text() << " " << traces[right].status;
    // The proxy took the absolute form and passed the path on.
    EXPECT_EQ(traces[right].data, "GET /through?x=1 HTTP/1.0");

    // Settings change the way the program does it: disable, copy, enable.
    machine->SetEnabled(false);
    machine->ProxyPassword = "wrong";
    machine->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return !machine->Stopping; }));
    int32_t wrong = Get(server.Url("/through"));
    ASSERT_TRUE(WaitAllEnded());
    machine->SetEnabled(false);
    machine->ProxyUsername.clear();
    machine->ProxyPassword.clear();
    machine->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return !machine->Stopping; }));
    int32_t none = Get(server.Url("/through"));
    ASSERT_TRUE(WaitAllEnded());
    // The proxy's own answer is the status: tinyproxy refuses a wrong password with 401 and
    // missing credentials with 407.
    EXPECT_EQ(traces[wrong].status, 401);
    EXPECT_EQ(traces[none].status, 407);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpMachineTest, ThroughAProxyTheTargetIsTheAbsoluteUrl) {
    // The loopback server plays the proxy and shows what it was sent.
    TTestHttpServer proxy([](const TRequest& r) { return TTestHttpServer::Echo(r); });
    machine->Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    machine->ProxyUsername = "user";
    machine->ProxyPassword = "pass";
    machine->SetEnabled(true);
    int32_t id = Get("http://jobs.example.invalid:8080/find?q=1");
    ASSERT_TRUE(WaitAllEnded());
    ASSERT_EQ(proxy.Requests().size(), 1u);
    const TRequest r = proxy.Requests()[0];
    EXPECT_EQ(r.requestLine, "GET http://jobs.example.invalid:8080/find?q=1 HTTP/1.0");
    EXPECT_EQ(r.Header("Host"), "jobs.example.invalid:8080");
    EXPECT_EQ(r.Header("Proxy-Authorization"), "Basic dXNlcjpwYXNz");
    EXPECT_TRUE(traces[id].Has(meDone));
}

// --- HTTPS through the machine ---

using test::TestCertificates;

TEST_F(HttpMachineTest, HttpsWithTheCaFileAndAFailedVerification) {
    TTestHttpServer server([](const TRequest&) { return TTestHttpServer::Normal("secure"); },
                           TestCertificates().localhost);
    machine->SetEnabled(true);
    machine->CAFile = TestCertificates().caFile;
    int32_t good = Get(server.Url("/jobs"));
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_TRUE(traces[good].Has(meDone)) << traces[good].Text() << " " << traces[good].reason;
    EXPECT_EQ(traces[good].data, "secure");

    // Without the CA the test certificate is not trusted.
    machine->CAFile.clear();
    int32_t bad = Get(server.Url("/jobs"));
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[bad].Text(), "Started Failed");
    EXPECT_EQ(traces[bad].status, 404);
    EXPECT_NE(traces[bad].reason.find("certificate verify failed"), std::string::npos)
        << traces[bad].reason;
}

TEST_F(HttpMachineTest, RedirectsBetweenSchemesKeepTheSchemeInTheUrl) {
    TTestHttpServer plain([](const TRequest& r) {
        if (r.requestLine.find(" /back ") != std::string::npos)
            return TTestHttpServer::Normal("plain again");
        return TTestHttpServer::Normal("plain");
    });
    std::string plainBack = plain.Url("/back");
    TTestHttpServer secure(
        [&](const TRequest& r) {
            if (r.requestLine.find(" /to-plain ") != std::string::npos)
                return TTestHttpServer::Redirect(plainBack);
            if (r.requestLine.find(" /relative ") != std::string::npos)
                return TTestHttpServer::Redirect("/landed");
            return TTestHttpServer::Normal("secure");
        },
        TestCertificates().localhost);
    std::string secureUrl = secure.Url("/to-plain");
    TTestHttpServer up([&](const TRequest&) { return TTestHttpServer::Redirect(secureUrl); });
    machine->SetEnabled(true);
    machine->CAFile = TestCertificates().caFile;
    // http -> https -> http
    int32_t hops = Get(up.Url("/start"));
    // A path on the current host stays on https.
    int32_t relative = Get(secure.Url("/relative"));
    ASSERT_TRUE(WaitAllEnded());
    EXPECT_EQ(traces[hops].data, "plain again");
    EXPECT_EQ(traces[hops].url, plainBack);
    EXPECT_EQ(traces[relative].data, "secure");
    EXPECT_EQ(traces[relative].url, secure.Url("/landed"));
}

// --- Thread roles ---

TEST(HttpMachineDeathTest, MethodsRefuseWorkerThreads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            TBasicMainLoop loop;
            THTTPMachine machine(&loop);
            std::thread([&] { machine.AddQuery(machine.NewQuery()); }).join();
        },
        "THTTPMachine::NewQuery called outside the main thread");
    EXPECT_DEATH(
        {
            TBasicMainLoop loop;
            THTTPMachine machine(&loop);
            std::thread([&] { machine.StopAll(); }).join();
        },
        "THTTPMachine::StopAll called outside the main thread");
}

}  // namespace
}  // namespace tessaly
