// Serving a window's input the way the program does, for the tests of the
// real window: wait for the window's signal (or a ticker's Ctrl-F, so the
// loop also looks at the clock), and reply every message.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"

namespace window_test {

struct Event {
    uint32_t imClass;
    uint16_t code;
    bool operator==(const Event&) const = default;
};

// For `ms`, or until `until` holds for what arrived; returns the messages.
template <typename Until>
std::vector<Event> Serve(os::Window* window, int ms, Until until) {
    std::vector<Event> got;
    os::Task* me = os::FindTask(nullptr);
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            os::Signal(me, os::SIGBREAKF_CTRL_F);
        }
    });
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    const uint32_t mask = (1u << window->UserPort->mp_SigBit) | os::SIGBREAKF_CTRL_F;
    while (std::chrono::steady_clock::now() < end && !until(got)) {
        os::Wait(mask);
        while (auto* m = reinterpret_cast<os::IntuiMessage*>(os::GetMsg(window->UserPort))) {
            got.push_back({m->Class, m->Code});
            os::ReplyMsg(&m->ExecMessage);
        }
    }
    stop = true;
    ticker.join();
    os::SetSignal(0, os::SIGBREAKF_CTRL_F);
    return got;
}

inline std::vector<Event> Serve(os::Window* window, int ms) {
    return Serve(window, ms, [](const std::vector<Event>&) { return false; });
}

}  // namespace window_test
