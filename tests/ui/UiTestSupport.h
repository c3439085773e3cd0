// Helpers of the window tests: a sample home directory with definitions, searches and
// job tables, and a quiet Qt main loop installed per test.
#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/VelaJobs.h"

class QWidget;

namespace tessaly::ui::test {

// A window's child by its object name; throws when there is none, so a renamed widget
// fails the test that looks for it.
template <typename T>
T* Child(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) throw std::runtime_error(std::string("no child named ") + name);
    return child;
}

// Shows `window`, resized first when `size` is valid, and waits until it is on screen;
// false when it never got there.
bool ShowExposed(QWidget& window, QSize size = {});

// A job of the sample tables.
struct TSampleJob {
    std::string Title, Company, Location, Source, Notes, URL, LocalFile;
    uint8_t Relevancy = 4;
    uint8_t Status = kStatusWhite;
    bool High = false;
    bool Visited = false;
    std::vector<TAlsoOn> AlsoOn;
};

// A home directory in a temporary folder: id.box, sources.def from the test fixtures, and
// the searches given, each with its job table.
class TSampleHome {
  public:
    TSampleHome();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const;
    // Adds a search and writes its table and the index.
    void AddSearch(const std::string& keywords, const std::string& region,
                   const std::string& category, const std::vector<TSampleJob>& jobs);
    // Rewrites id.box with these edition values.
    void WriteId(const std::string& edition, const std::string& editionName);
    void RemoveFile(const std::string& name);

  private:
    QTemporaryDir dir_;
    std::string path_;
    int searches_ = 0;
};

// Jobs for a listing: varied statuses, highlights, notes and texts.
std::vector<TSampleJob> SampleJobs();

}  // namespace tessaly::ui::test

#include <QDialog>
#include <QString>
#include <functional>

#include "platform/Prompts.h"

namespace tessaly::ui {
class TQtMainLoop;
class TVelaMainForm;
}  // namespace tessaly::ui

namespace tessaly::ui::test {

// Collects what the core and the window say, instead of message boxes.
class TRecordedPrompts : public TPrompts {
  public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Beep() override { ++beeps; }
    bool AskYesNo(const std::string& text) override {
        messages.push_back(text);
        return false;
    }
    std::vector<std::string> messages;
    int beeps = 0;
};

// A main window on a sample home, started as the program starts it, with every outside
// effect recorded: messages, opened addresses, and modal dialogs answered by `answer`.
class TWindow {
  public:
    explicit TWindow(TSampleHome& home, bool start = true) : TWindow(home.Path(), start) {}
    explicit TWindow(const std::string& home, bool start = true);
    ~TWindow();
    TVelaMainForm& Form() { return *form_; }
    TVelaMainForm* operator->() { return form_.get(); }

    // Runs the loop until `done` or `ms` of real time; true when done.
    bool WaitFor(const std::function<bool()>& done, int ms = 20000);
    // The job grid's cell text by header.
    QString JobCell(int row, const char* header) const;
    QString SearchCell(int row, const char* header) const;
    // The titles of the listing from top to bottom.
    QStringList Titles() const;

    std::vector<QString> messages;  // the window's own message boxes
    std::vector<std::pair<std::string, bool>> opened;
    // Fills and closes a modal dialog; without one a dialog is cancelled.
    std::function<void(QDialog*)> answer;
    TRecordedPrompts prompts;

  private:
    std::unique_ptr<TQtMainLoop> loop_;
    std::unique_ptr<TVelaMainForm> form_;
};

}  // namespace tessaly::ui::test
