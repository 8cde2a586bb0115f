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
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/exec/timer.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr uint32_t SLICE_MICROSECONDS = 20'000;  // one timer wait of the pause
constexpr int64_t SLICES_PER_SECOND = 1'000'000 / SLICE_MICROSECONDS;

// The pause's own timer request, as the cycling task has its own: the
// program's WAIT timer belongs to the picture on view. Opened only for a
// pause and closed after it, on every path.
struct PauseTimer {
    os::MsgPort* port = nullptr;
    os::TimeRequest* request = nullptr;
    bool open = false;

    PauseTimer() {
        port = os::CreateMsgPort();
        if (port == nullptr) return;
        request = reinterpret_cast<os::TimeRequest*>(os::CreateIORequest(port, os::TIMEREQUEST_SIZE));
        if (request == nullptr) return;
        open = os::OpenDevice("timer.device", os::UNIT_VBLANK, &request->tr_node, 0) == 0;
    }
    ~PauseTimer() {
        if (request != nullptr) {
            if (open) os::CloseDevice(&request->tr_node);
            os::DeleteIORequest(&request->tr_node);
        }
        os::DeleteMsgPort(port);
    }
    PauseTimer(const PauseTimer&) = delete;
    PauseTimer& operator=(const PauseTimer&) = delete;

    // Waits one slice or until Ctrl-C; the signals that arrived.
    uint32_t WaitSlice() {
        const uint32_t timerSignal = 1u << port->mp_SigBit;
        request->tr_node.io_Command = os::TR_ADDREQUEST;
        request->tr_time.tv_secs = 0;
        request->tr_time.tv_micro = SLICE_MICROSECONDS;
        os::SetSignal(0, timerSignal);
        os::SendIO(&request->tr_node);
        const uint32_t got = os::Wait(timerSignal | os::SIGBREAKF_CTRL_C);
        if (os::CheckIO(&request->tr_node) == nullptr) os::AbortIO(&request->tr_node);
        os::WaitIO(&request->tr_node);
        os::SetSignal(0, timerSignal);
        return got;
    }
};

}  // namespace

int32_t PauseAfterOpen(os::Window* window, int32_t seconds, PictureStep* step) {
    if (seconds <= 0) {
        return 0;
    }
    // Without a timer (no memory for its port or request) each slice is a
    // plain delay; breaks and the window are still looked at after each.
    PauseTimer timer;
    int32_t code = 0;
    for (int64_t left = int64_t{seconds} * SLICES_PER_SECOND; left > 0 && code == 0; --left) {
        uint32_t got = 0;
        if (timer.open) {
            got = timer.WaitSlice();
        } else {
            os::Delay(static_cast<int32_t>(SLICE_MICROSECONDS / 20'000));
            got = os::CheckSignal(os::SIGBREAKF_CTRL_C);
        }
        if ((got & os::SIGBREAKF_CTRL_C) != 0) {
            os::SetSignal(0, os::SIGBREAKF_CTRL_C);
            code = CODE_STOP;
        } else {
            const UserRequest input = PollWindowInput(window);
            code = input.code;
            if (code != 0 && step != nullptr) *step = input.step;
        }
    }
    return code;
}

}  // namespace lanterna
