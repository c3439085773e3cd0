#include "support/TestSupport.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tessaly::test {

TTempDir::TTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tessaly-test-XXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TTempDir::File(const std::string& name) const {
    return path_ + "/" + name;
}

TLoopTest::TLoopTest(bool testClock)
    : loop_(std::make_unique<TBasicMainLoop>(testClock ? &fakeClock_ : nullptr)) {
    TMainLoop::SetCurrent(loop_.get());
    TPrompts::SetCurrent(&prompts_);
}

TLoopTest::~TLoopTest() {
    TPrompts::SetCurrent(nullptr);
    TMainLoop::SetCurrent(nullptr);
}

bool TLoopTest::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    loop_->RunUntil([&] { return done() || std::chrono::steady_clock::now() >= deadline; });
    return done();
}

std::string FixturePath(const std::string& name) {
    return std::string(TESSALY_FIXTURES) + "/" + name;
}

}  // namespace tessaly::test
