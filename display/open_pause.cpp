// The pause after a new screen has opened (WAITAFTEROPEN), before drawing.
//
// The pause is made of short timer waits rather than one sleep, so that it
// stays a wait the user can end: Ctrl-C (SIGINT, SIGTERM) stops the run at
// once, a stop in the window (Esc, the right button, closing it) stops it, a
// click ends the picture, and the display backend serves the window (expose,
// repaint, close) at every one of these waits. The window's own signal is not
// waited for: scripted input that answers waits for window input belongs to
// the finished picture, not to its pause.
#include <cstdint>

#include "display/display.h"
#include "driver/result_codes.h"
#include "driver/services.h"
#include "platform/dos.h"
#include "platform/exec.h"

namespace lanterna {

namespace {

constexpr uint32_t SLICE_MICROSECONDS = 20'000;  // one timer wait of the pause
constexpr int64_t SLICES_PER_SECOND = 1'000'000 / SLICE_MICROSECONDS;

}  // namespace

int32_t PauseAfterOpen(os::Window* window, int32_t seconds) {
    if (seconds <= 0 || gServices.timerPort == nullptr || gServices.timerRequest == nullptr) {
        return 0;
    }
    const uint32_t timerSignal = 1u << gServices.timerPort->mp_SigBit;
    int32_t code = 0;
    for (int64_t left = int64_t{seconds} * SLICES_PER_SECOND; left > 0 && code == 0; --left) {
        StartTimer(0, SLICE_MICROSECONDS);
        const uint32_t got = os::Wait(timerSignal | os::SIGBREAKF_CTRL_C);
        if ((got & os::SIGBREAKF_CTRL_C) != 0) {
            code = CODE_STOP;
        } else {
            code = PollWindowInput(window, nullptr);
        }
    }
    StopTimer();
    return code;
}

}  // namespace lanterna
