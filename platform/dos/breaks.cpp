// Break signals, delays and number conversion.
//
// The Unix signals that mean "stop" are turned into AmigaDOS break signals
// of the main task: SIGINT and SIGTERM are Ctrl-C, SIGUSR1 is Ctrl-F. No
// handler runs in signal context; the signals are blocked in the main thread
// before any other thread exists (threads inherit the mask) and one small
// thread takes them with sigwait and signals the main task like any other
// task would. SIGPIPE is ignored.
//
// A run asked to stop stops within moments. If it has not (a call into the
// display that never returns, say), a second stop signal, coming a while
// after the first, ends the process as the signal itself would have: no
// call can keep the user from stopping the program.
#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <mutex>
#include <thread>

#include <pthread.h>

#include "platform/dos/dos.h"

namespace os {

uint32_t CheckSignal(uint32_t mask) { return SetSignal(0, mask) & mask; }

void Delay(int32_t ticks) {
    if (ticks <= 0) return;
    timespec left{ticks / 50, static_cast<long>(ticks % 50) * 20'000'000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

namespace {

// Long enough for any teardown the program does after a stop; shorter than
// a user's patience with a program that ignores them.
constexpr int64_t STOP_GRACE_NS = 2'000'000'000;

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void BreakThread(Task* mainTask, sigset_t set) {
    int64_t firstStop = -1;
    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) continue;
        if (sig == SIGUSR1) {
            Signal(mainTask, SIGBREAKF_CTRL_F);
            continue;
        }
        const int64_t now = MonotonicNs();
        if (firstStop >= 0 && now - firstStop >= STOP_GRACE_NS) {
            // The run did not stop when asked: the signal's own action ends it.
            std::signal(sig, SIG_DFL);
            sigset_t only;
            sigemptyset(&only);
            sigaddset(&only, sig);
            pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
            raise(sig);
        }
        if (firstStop < 0) firstStop = now;
        Signal(mainTask, SIGBREAKF_CTRL_C);
    }
}

}  // namespace

void InstallBreakHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A reader of the output that goes away must not end the run: a write
        // to it fails with EPIPE instead, and the pictures and the teardown
        // go on.
        std::signal(SIGPIPE, SIG_IGN);
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        Task* mainTask = FindTask(nullptr);
        try {
            std::thread(BreakThread, mainTask, set).detach();
        } catch (...) {
            // Without the thread the signals keep their default action.
            pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        }
    });
}

int32_t StrToLong(const char* text, int32_t* value) {
    int32_t dummy = 0;
    int32_t& out = value != nullptr ? *value : dummy;
    out = 0;
    if (text == nullptr) return -1;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') return -1;
    // Accumulate as a negative number so INT32_MIN itself fits.
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 - (*p - '0');
        if (v < INT32_MIN) return -1;  // too large for 32 bits: not a usable number
        ++p;
    }
    if (!negative) {
        if (-v > INT32_MAX) return -1;
        v = -v;
    }
    out = static_cast<int32_t>(v);
    return static_cast<int32_t>(p - text);
}

}  // namespace os
