// Fixture ladder for the tests: a quiet main loop installed for the test, a sandbox
// directory per test, and WaitFor for conditions that other threads bring about.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/Prompts.h"

namespace tessaly::test {

// A scratch directory removed at destruction.
class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

// Collects what the core says to the user.
class TRecordingPrompts : public TPrompts {
  public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Beep() override { ++beeps; }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    int beeps = 0;
    bool answer = false;
};

// Installs a fresh basic main loop (on the real clock or a test clock), recording
// prompts and a sandbox directory for every test.
class TLoopTest : public ::testing::Test {
  protected:
    explicit TLoopTest(bool testClock = false);
    ~TLoopTest() override;

    // Runs the loop until `done` or `timeoutMs` of real time; returns done().
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000);

    TBasicMainLoop& Loop() { return *loop_; }
    TTestClock& FakeClock() { return fakeClock_; }
    TRecordingPrompts& Said() { return prompts_; }
    const TTempDir& Sandbox() const { return sandbox_; }

  private:
    TTestClock fakeClock_;
    std::unique_ptr<TBasicMainLoop> loop_;
    TRecordingPrompts prompts_;
    TTempDir sandbox_;
};

std::string FixturePath(const std::string& name);

}  // namespace tessaly::test
