// Signals: a 32-bit word per task under the task's own lock. Signal sets
// bits and wakes the task; Wait sleeps until a bit of its mask is set, then
// takes exactly those bits, giving up Forbid while it sleeps.
#include "platform/exec/exec.h"
#include "platform/exec/exec_internal.h"
#include "platform/exec/wait_hooks.h"

namespace os {

int8_t AllocSignal(int8_t signalNumber) {
    TaskPrivate* self = internal::CurrentTask()->priv;
    std::lock_guard lock(self->mutex);
    int bit = -1;
    if (signalNumber < 0) {
        // Any free bit: the user range 16..31, highest first.
        for (int b = 31; b >= 16; --b) {
            if ((self->allocated & (1u << b)) == 0) {
                bit = b;
                break;
            }
        }
    } else if (signalNumber < 32 && (self->allocated & (1u << signalNumber)) == 0) {
        bit = signalNumber;
    }
    if (bit < 0) return -1;
    self->allocated |= 1u << bit;
    self->signals &= ~(1u << bit);  // a new bit starts cleared
    return static_cast<int8_t>(bit);
}

void FreeSignal(int8_t signalNumber) {
    if (signalNumber < 16 || signalNumber > 31) return;  // 0..15 stay the system's
    TaskPrivate* self = internal::CurrentTask()->priv;
    std::lock_guard lock(self->mutex);
    self->allocated &= ~(1u << signalNumber);
}

void Signal(Task* task, uint32_t signals) {
    if (task == nullptr || signals == 0) return;
    TaskPrivate* p = task->priv;
    std::lock_guard lock(p->mutex);
    p->signals |= signals;
    // Notified under the lock: once the lock is given back this call no
    // longer touches the task, which may then end at once.
    p->wake.notify_all();
}

namespace {

// Wait and WaitUntil: without a deadline when `deadline` is null.
uint32_t WaitFor(uint32_t signalMask, const std::chrono::steady_clock::time_point* deadline) {
    Task* self = internal::CurrentTask();
    TaskPrivate* p = self->priv;
    const uint32_t nesting = internal::ReleaseForbid(self);
    bool pending;
    {
        std::lock_guard lock(p->mutex);
        pending = (p->signals & signalMask) != 0;
    }
    // The display backends serve their windows while the program waits.
    if (!pending) internal::RunWaitHook(signalMask);
    uint32_t received;
    {
        std::unique_lock lock(p->mutex);
        const auto arrived = [&] { return (p->signals & signalMask) != 0; };
        if (deadline == nullptr) {
            p->wake.wait(lock, arrived);
        } else {
            p->wake.wait_until(lock, *deadline, arrived);
        }
        received = p->signals & signalMask;
        p->signals &= ~received;
    }
    internal::RestoreForbid(self, nesting);
    return received;
}

}  // namespace

uint32_t Wait(uint32_t signalMask) {
    if (signalMask == 0) return 0;  // nothing could ever arrive
    return WaitFor(signalMask, nullptr);
}

uint32_t WaitUntil(uint32_t signalMask, std::chrono::steady_clock::time_point deadline) {
    return WaitFor(signalMask, &deadline);
}

uint32_t SetSignal(uint32_t newSignals, uint32_t signalMask) {
    TaskPrivate* p = internal::CurrentTask()->priv;
    std::lock_guard lock(p->mutex);
    const uint32_t old = p->signals;
    p->signals = (old & ~signalMask) | (newSignals & signalMask);
    if ((p->signals & ~old) != 0) p->wake.notify_all();
    return old;
}

}  // namespace os
