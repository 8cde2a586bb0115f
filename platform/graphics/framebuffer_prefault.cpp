#include "platform/graphics/framebuffer_prefault.h"

#include <sys/mman.h>

namespace os::gfx {

namespace {

// One huge page at a time: small enough that Stop is never kept waiting.
constexpr size_t kStep = size_t(2) << 20;

}  // namespace

bool FramebufferPrefault::Start(uint8_t* base, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    if (base == nullptr || bytes < kMinBytes || worker_.joinable()) return false;
    stop_.store(false, std::memory_order_relaxed);
    finished_.store(false, std::memory_order_relaxed);
    worker_ = std::thread([this, base, bytes] {
        for (size_t done = 0; done < bytes && !stop_.load(std::memory_order_relaxed); done += kStep) {
            const size_t n = bytes - done < kStep ? bytes - done : kStep;
            // Advice only: an old kernel (EINVAL) or no memory left (ENOMEM)
            // leaves the rest to the writers' own faults.
            if (madvise(base + done, n, MADV_POPULATE_WRITE) != 0) break;
        }
        finished_.store(true, std::memory_order_release);
    });
    return true;
#else
    (void)base;
    (void)bytes;
    return false;
#endif
}

void FramebufferPrefault::Stop() {
    stop_.store(true, std::memory_order_relaxed);
    if (worker_.joinable()) worker_.join();
}

}  // namespace os::gfx
