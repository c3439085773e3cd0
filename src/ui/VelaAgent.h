// The agent of the window: while the window is open it updates every saved search every
// so many hours (the option "Check for new jobs every N hours"), one search after the
// other whenever nothing else runs, and tells what was new as the command line's
// `update --all --notify` does. The window's channel hands it the update of a command-line
// run that found the home in use.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services/NewJobs.h"

class QLocalServer;
class QSocketNotifier;

namespace tessaly {
class TPrompts;
}

namespace tessaly::ui {

class TVelaMainForm;

class TVelaAgent : public QObject {
  public:
    // Follows the live settings of `main` for its period.
    explicit TVelaAgent(TVelaMainForm& main);
    ~TVelaAgent() override;

    // Every `hours` hours from now; 0 (or less) turns the check off.
    void SetPeriodHours(int hours);
    // Starts a check of every search (from the event loop, at once), or queues one after
    // the check that runs.
    void CheckNow();
    // True from the start of a check to its notification.
    bool Checking() const { return next_ >= 0; }
    // The period; inactive when the check is off.
    const QTimer& Period() const { return period_; }
    // What the last check found, search by search (those with new jobs only).
    const std::vector<TSearchNews>& LastNews() const { return news_; }

  private:
    class TQuietPrompts;
    // One step of a check: waits while anything runs, takes in the search that ran,
    // starts the next one or ends.
    void Step();
    void StartNext();
    void TakeInRun();
    void Finish();
    // The position of the search whose table is `table`; -1 when it was deleted meanwhile.
    int PositionOf(const std::string& table) const;
    void Quiet(bool on);
    // Sends `n`, whose click shows the search whose table is `table`.
    void Tell(const TDesktopNotification& n, const std::string& table);
    // Handles what the notification service sent and watches for more.
    void ServeBus();
    void TellFailure(const std::string& why);

    TVelaMainForm& main_;
    QTimer period_;
    QTimer poll_;                      // while a check runs: is the window free again?
    std::vector<std::string> tables_;  // the searches of the check, by their tables
    bool listed_ = false;              // tables_ holds them
    int next_ = -1;                    // the next of tables_ to run; -1 when no check runs
    std::string running_;              // the table of the search running for the check
    std::string userTable_;            // the search the user had selected
    bool queued_ = false;
    bool stepping_ = false;
    int checked_ = 0;
    std::vector<TSearchNews> news_;
    std::unique_ptr<TQuietPrompts> quiet_;
    bool notifyFailureTold_ = false;
    // One connection to the notification service for the window's life, watched by the
    // loop: a click on a notification it sent shows that search.
    std::unique_ptr<TDesktopNotifier> bus_;
    bool busAlive_ = false;
    bool serving_ = false;
    std::unique_ptr<QSocketNotifier> busRead_, busWrite_;
    QTimer busTimer_;
    std::map<uint32_t, std::string> shownTables_;  // notification id -> a search's table
};

// The window's channel (see platform/WindowChannel.h): "raise" brings the window to the
// front, "show N" too after selecting search N, "update" starts a check and is answered
// "ok" once the window has taken it.
class TWindowChannel : public QObject {
  public:
    // `show` gets the search's number, 0 for "raise". `update` returns false when no
    // window can take the update (yet): no answer then.
    TWindowChannel(std::function<void(int)> show, std::function<bool()> update);
    ~TWindowChannel() override;
    // Listens at the channel of `home`, replacing a crashed run's leftover socket.
    bool Listen(const std::string& home);

  private:
    std::unique_ptr<QLocalServer> server_;
    std::function<void(int)> show_;
    std::function<bool()> update_;
};

}  // namespace tessaly::ui
