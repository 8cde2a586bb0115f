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
    if (seconds <= 0) {
        return 0;
    }
    // Without the program's timer (a display opened on its own) each slice
    // is a plain delay; breaks and the window are still looked at after each.
    const bool timed = gServices.timerPort != nullptr && gServices.timerRequest != nullptr;
    const uint32_t timerSignal = timed ? 1u << gServices.timerPort->mp_SigBit : 0;
    int32_t code = 0;
    for (int64_t left = int64_t{seconds} * SLICES_PER_SECOND; left > 0 && code == 0; --left) {
        uint32_t got = 0;
        if (timed) {
            StartTimer(0, SLICE_MICROSECONDS);
            got = os::Wait(timerSignal | os::SIGBREAKF_CTRL_C);
        } else {
            os::Delay(static_cast<int32_t>(SLICE_MICROSECONDS / 20'000));
            got = os::CheckSignal(os::SIGBREAKF_CTRL_C);
        }
        if ((got & os::SIGBREAKF_CTRL_C) != 0) {
            os::SetSignal(0, os::SIGBREAKF_CTRL_C);
            code = CODE_STOP;
        } else {
            code = PollWindowInput(window, nullptr);
        }
    }
    if (timed) {
        StopTimer();
    }
    return code;
}

}  // namespace lanterna
