// The "Cycle Task": one tick every 16666 microseconds of timer.device while
// cycling is on, each tick advancing the phases of the active ranges and
// rotating those that reach a step; the whole palette is loaded into the
// screen once per tick in which something moved. The tick is re-armed after
// the tick's work, so ticks come about 60 times a second.
#include <atomic>
#include <cstring>

#include "cycle/cycle_hooks.h"
#include "records/cycle_steps.h"
#include "cycle/cycling.h"
#include "platform/exec/exec.h"
#include "platform/exec/timer.h"
#include "platform/graphics/graphics.h"
#include "records/colour_load_table.h"

namespace lanterna {

namespace {

std::atomic<const CycleObserver*> gObserver{nullptr};

constexpr uint32_t BREAK_SIGNALS = os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_D |
                                   os::SIGBREAKF_CTRL_E | os::SIGBREAKF_CTRL_F;

// The task's end, on success and failure alike: the handle's task is cleared
// and the owner told under Forbid, and the task returns inside it, so the
// owner resumes (and may free the handle) only after the task has gone.
void EndTask(CycleHandle* handle) {
    os::Task* owner = handle->owner;
    os::Forbid();
    handle->task = nullptr;
    if (owner != nullptr) {
        os::Signal(owner, os::SIGF_SINGLE);
    }
}

void Acknowledge(const CycleHandle* handle) {
    os::Signal(handle->owner, os::SIGF_SINGLE);
}

// The whole palette in one LoadRGB32, through the program's colour-load table
// filled exactly as for a screen being opened.
void LoadPalette(CycleHandle* handle) {
    const uint32_t* table = BuildColourLoadTable(handle->workColours, handle->colourCount);
    os::LoadRGB32(&handle->screen->ViewPort, table);
    const CycleObserver* observer = gObserver.load(std::memory_order_acquire);
    if (observer != nullptr && observer->load != nullptr) {
        observer->load(observer->context, handle, table);
    }
}

// Advances every active range by its rate; true when any of them rotated.
bool StepRanges(CycleHandle* handle) {
    bool changed = false;
    for (CycleRange& range : handle->ranges) {
        if ((range.flags & RNG_ACTIVE) == 0) {
            continue;
        }
        if (AdvancePhase(range)) {
            StepRange(handle->workColours, range, handle->halfBrite != 0);
            changed = true;
        }
    }
    const CycleObserver* observer = gObserver.load(std::memory_order_acquire);
    if (observer != nullptr && observer->tick != nullptr) {
        observer->tick(observer->context, handle, changed);
    }
    return changed;
}

void ArmTick(os::TimeRequest* request, uint32_t tickMask) {
    request->tr_node.io_Command = os::TR_ADDREQUEST;
    request->tr_time.tv_secs = 0;
    request->tr_time.tv_micro = CYCLE_TICK_MICROS;
    os::SetSignal(0, tickMask);
    os::SendIO(&request->tr_node);
}

}  // namespace

void SetCycleObserver(const CycleObserver* observer) {
    gObserver.store(observer, std::memory_order_release);
}

void CycleTaskMain() {
    os::Task* self = os::FindTask(nullptr);
    auto* handle = static_cast<CycleHandle*>(self->tc_UserData);
    if (handle == nullptr) {
        return;
    }

    // Set-up: a reply port and a timer request of our own.
    os::MsgPort* port = os::CreateMsgPort();
    os::TimeRequest* request = nullptr;
    if (port != nullptr) {
        request = reinterpret_cast<os::TimeRequest*>(
            os::CreateIORequest(port, os::TIMEREQUEST_SIZE));
    }
    if (request == nullptr ||
        os::OpenDevice("timer.device", os::UNIT_VBLANK, &request->tr_node, 0) != 0) {
        os::DeleteIORequest(request != nullptr ? &request->tr_node : nullptr);
        os::DeleteMsgPort(port);
        EndTask(handle);
        return;
    }

    const uint32_t tickMask = 1u << port->mp_SigBit;
    const uint32_t waitMask = tickMask | BREAK_SIGNALS;
    bool pending = false;
    bool tickNow = false;
    handle->task = self;
    Acknowledge(handle);

    for (;;) {
        const uint32_t received = os::Wait(waitMask);
        if (received & os::SIGBREAKF_CTRL_C) {
            break;  // the other bits of this wake-up are not acted on
        }
        if (received & os::SIGBREAKF_CTRL_D) {
            handle->running.store(0);
            Acknowledge(handle);
        }
        if (received & os::SIGBREAKF_CTRL_E) {
            handle->running.store(1);
            tickNow = true;
            Acknowledge(handle);
        }

        bool changed = false;
        if ((received & tickMask) || tickNow) {
            if (pending) {
                // For a tick-now this waits for the outstanding tick, at most one.
                os::WaitIO(&request->tr_node);
                pending = false;
            }
            tickNow = false;
            if (handle->running.load() != 0) {
                changed = StepRanges(handle);
                ArmTick(request, tickMask);
                pending = true;
            }
        }

        if (received & os::SIGBREAKF_CTRL_F) {
            std::memcpy(handle->workColours, handle->startColours,
                        size_t(handle->colourCount) * 3);
            for (int32_t i = 0; i < MAX_CYCLE_RANGES; ++i) {
                handle->ranges[i].pad1 = handle->startPhases[i];
            }
            Acknowledge(handle);  // before the load, so the viewer is not held up by it
            LoadPalette(handle);
        } else if (changed) {
            LoadPalette(handle);
        }
    }

    if (pending) {
        if (os::CheckIO(&request->tr_node) == nullptr) {
            os::AbortIO(&request->tr_node);
        }
        os::WaitIO(&request->tr_node);
    }
    os::CloseDevice(&request->tr_node);
    os::DeleteIORequest(&request->tr_node);
    os::DeleteMsgPort(port);
    EndTask(handle);
}

}  // namespace lanterna
