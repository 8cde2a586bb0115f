// timer.device: one service thread keeps the pending TR_ADDREQUEST requests
// ordered by their due time on the monotonic clock and replies each when it
// is due. Requests with the same due time complete in the order they came.
// Both units behave alike (the platform's clock is finer than either).
#include <chrono>
#include <map>
#include <new>
#include <system_error>
#include <thread>

#include "platform/exec/devices_internal.h"
#include "platform/exec/exec_internal.h"
#include "platform/exec/timer.h"

namespace os {
namespace {

using Clock = std::chrono::steady_clock;

struct TimerService {
    std::mutex mutex;
    std::condition_variable changed;
    std::multimap<Clock::time_point, IORequest*> pending;
    bool running = false;
};

// Never destroyed: the service thread lives until the process ends.
TimerService& Service() {
    static TimerService* service = new TimerService;
    return *service;
}

void ServiceLoop() {
    TimerService& s = Service();
    std::unique_lock lock(s.mutex);
    for (;;) {
        if (s.pending.empty()) {
            s.changed.wait(lock);
            continue;
        }
        const Clock::time_point due = s.pending.begin()->first;
        if (Clock::now() < due) {
            s.changed.wait_until(lock, due);
            continue;
        }
        IORequest* request = s.pending.begin()->second;
        s.pending.erase(s.pending.begin());
        lock.unlock();
        ReplyMsg(&request->io_Message);
        lock.lock();
    }
}

void Complete(IORequest* request, int8_t error) {
    request->io_Error = error;
    ReplyMsg(&request->io_Message);
}

void BeginIO(IORequest* request) {
    if (request->io_Command != TR_ADDREQUEST) {
        Complete(request, IOERR_NOCMD);
        return;
    }
    if (request->io_Message.mn_Length < sizeof(TimeRequest)) {
        Complete(request, IOERR_NOCMD);  // too small to hold a time
        return;
    }
    const TimeVal& time = reinterpret_cast<TimeRequest*>(request)->tr_time;
    const Clock::time_point due = Clock::now() + std::chrono::seconds(time.tv_secs) +
                                  std::chrono::microseconds(time.tv_micro);
    TimerService& s = Service();
    {
        std::lock_guard lock(s.mutex);
        if (!s.running) {
            try {
                std::thread(ServiceLoop).detach();
                s.running = true;
            } catch (const std::system_error&) {
                Complete(request, IOERR_OPENFAIL);
                return;
            }
        }
        try {
            s.pending.emplace(due, request);
        } catch (const std::bad_alloc&) {
            Complete(request, IOERR_OPENFAIL);
            return;
        }
    }
    // After the lock is given back, so that the service thread does not
    // wake only to wait for it (the service lives as long as the process).
    s.changed.notify_all();
}

void AbortIO(IORequest* request) {
    TimerService& s = Service();
    {
        std::lock_guard lock(s.mutex);
        auto it = s.pending.begin();
        while (it != s.pending.end() && it->second != request) ++it;
        if (it == s.pending.end()) return;  // already done or being replied
        s.pending.erase(it);
        s.changed.notify_all();
    }
    Complete(request, IOERR_ABORTED);
}

Device timerDevice{"timer.device", BeginIO, AbortIO};
Unit timerUnits[2] = {{UNIT_MICROHZ}, {UNIT_VBLANK}};

}  // namespace

namespace internal {

Device* TimerDevice() { return &timerDevice; }

Unit* TimerUnit(uint32_t unit) { return unit < 2 ? &timerUnits[unit] : nullptr; }

}  // namespace internal
}  // namespace os
