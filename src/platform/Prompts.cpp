#include "platform/Prompts.h"

#include <atomic>

namespace tessaly {

namespace {
class TNullPrompts final : public TPrompts {
  public:
    void ShowMessage(const std::string&) override {}
    void Beep() override {}
    bool AskYesNo(const std::string&) override { return false; }
};
std::atomic<TPrompts*> gPrompts{nullptr};
}  // namespace

TPrompts& TPrompts::Current() {
    static TNullPrompts none;
    TPrompts* p = gPrompts.load();
    return p ? *p : none;
}

void TPrompts::SetCurrent(TPrompts* prompts) {
    gPrompts.store(prompts);
}

}  // namespace tessaly
