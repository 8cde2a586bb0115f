// Faulting in a large framebuffer ahead of the rows being drawn.
//
// The first write to each page of a fresh anonymous mapping makes the kernel
// find and clear a page; for a 24-bit 4096x4096 screen that is 48 MiB of
// clearing, more than decoding the picture costs. A worker thread asks the
// kernel to prepare the pages (MADV_POPULATE_WRITE, from the top down, as
// the rows are drawn) while the owner decodes and draws on its own core.
// Preparing a page never changes its contents, so the worker needs no lock
// with the writers; where it has not got to yet, the writer faults as it
// would without it. Where the kernel does not know the advice, nothing is
// done.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace os::gfx {

class FramebufferPrefault {
public:
    // Below this a framebuffer is prepared faster than a thread starts.
    static constexpr size_t kMinBytes = size_t(4) << 20;

    FramebufferPrefault() = default;
    FramebufferPrefault(const FramebufferPrefault&) = delete;
    FramebufferPrefault& operator=(const FramebufferPrefault&) = delete;
    ~FramebufferPrefault() { Stop(); }

    // Starts preparing [base, base + bytes) unless it is small; false when no
    // worker was started. At most one start per object.
    bool Start(uint8_t* base, size_t bytes);
    // Stops the worker and waits for it; the mapping may go after this.
    void Stop();
    // The worker has prepared every page (or given up).
    bool Finished() const { return finished_.load(std::memory_order_acquire); }

private:
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
};

}  // namespace os::gfx
