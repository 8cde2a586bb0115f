#include "platform/exec/wait_hooks.h"

#include <atomic>

namespace os::internal {

namespace {
std::atomic<WaitHook> gWaitHook{nullptr};
}

void SetWaitHook(WaitHook hook) { gWaitHook.store(hook, std::memory_order_release); }

WaitHook GetWaitHook() { return gWaitHook.load(std::memory_order_acquire); }

void RunWaitHook(uint32_t signalMask) {
    WaitHook hook = gWaitHook.load(std::memory_order_acquire);
    if (hook != nullptr) hook(signalMask);
}

}  // namespace os::internal
