// Program entry of the window front-end: home directory, single instance, windows, the
// error handler of last resort, and the message loop.
#pragma once

#include <QApplication>
#include <functional>
#include <string>
#include <utility>

namespace tessaly::ui {

class TVelaMainForm;

// Catches what escapes an event handler, so an unexpected error shuts the program down
// in order instead of aborting it.
class TVelaApplication : public QApplication {
  public:
    TVelaApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* e) override;

    // Handles an error raised in `senderClass` (an object named `senderName`).
    void HandleError(const std::string& senderClass, const std::string& senderName,
                     const std::string& message);
    TVelaMainForm* MainForm = nullptr;
    // Replaces the error box (tests).
    std::function<void(const QString&)> OnErrorBox;
};

// The text of the error box for an error in `senderClass`.
QString UnexpectedErrorText(const std::string& senderClass, const std::string& message);
// True for the senders whose errors are ignored: timers, animations, grids and the toolbar.
bool IsIgnoredErrorSender(const std::string& senderClass, const std::string& senderName);
// The class and name an error in an event of `receiver` is reported under. A grid's
// clicks, drawing and header arrive at its viewport or header: those stand for the grid.
std::pair<std::string, std::string> ErrorSender(const QObject* receiver);

// The full path of the local socket a running instance listens on (its channel).
QString InstanceServerName(const std::string& home);

int RunTessalyJobs(int argc, char** argv);

}  // namespace tessaly::ui
