// The processors the program may run on, and brief spinning for the
// hand-overs between tasks on two of them.
#include <sched.h>

#include <chrono>

#include "platform/exec/exec.h"

namespace os {

namespace {

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

}  // namespace

int32_t ProcessorsAvailable() {
    static const int32_t count = [] {
        cpu_set_t set;
        return sched_getaffinity(0, sizeof set, &set) == 0 ? int32_t{CPU_COUNT(&set)} : 1;
    }();
    return count;
}

bool SpinUntil(bool (*ready)(const void* context), const void* context, uint32_t microseconds) {
    if (ready(context)) return true;
    if (ProcessorsAvailable() < 2) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
    for (;;) {
        for (int i = 0; i < 16; ++i) CpuRelax();
        if (ready(context)) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
    }
}

}  // namespace os
