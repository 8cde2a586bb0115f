// Starting, commanding and ending the cycling task. The viewer talks to the
// task only through the four break signals; every command is acknowledged on
// SIGF_SINGLE, which the sender clears first and then waits for, so at most
// one command is ever outstanding. Creation and ending are bracketed by
// Forbid/Permit: the new task cannot run before its user data is set, and the
// handle is freed only after the task has gone.
#include "cycle/cycling.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/exec/exec.h"

namespace lanterna {

namespace {

constexpr int32_t MAX_PALETTE_COLOURS = 256;
constexpr const char* CYCLE_TASK_NAME = "Cycle Task";

void FreeHandle(CycleHandle* handle) {
    handle->~CycleHandle();
    os::FreeVec(handle);
}

void SendCommand(CycleHandle* handle, uint32_t command) {
    if (handle == nullptr || handle->task == nullptr) {
        return;
    }
    os::SetSignal(0, os::SIGF_SINGLE);
    os::Signal(handle->task, command);
    os::Wait(os::SIGF_SINGLE);
}

}  // namespace

CycleHandle* StartCycling(os::Screen* screen, int16_t halfBrite, const CycleRange* ranges,
                          const uint8_t* colours, int32_t colourCount) {
    // Without a screen, ranges or colours no range can be cycled.
    if (screen == nullptr || ranges == nullptr || colours == nullptr || colourCount <= 0) {
        return nullptr;
    }
    // The colour-load table holds 256 colours; a longer palette is cut to its
    // first 256 entries, which are all that a byte-sized range can reach.
    const int32_t count = std::min(colourCount, MAX_PALETTE_COLOURS);
    const size_t tableBytes = size_t(count) * 3;

    void* block = os::AllocVec(sizeof(CycleHandle) + 2 * tableBytes,
                               os::MEMF_PUBLIC | os::MEMF_CLEAR);
    if (block == nullptr) {
        return nullptr;
    }
    CycleHandle* handle = new (block) CycleHandle;
    handle->owner = os::FindTask(nullptr);
    handle->screen = screen;
    handle->halfBrite = halfBrite;
    handle->colourCount = count;
    std::copy(ranges, ranges + MAX_CYCLE_RANGES, handle->ranges);
    for (int32_t i = 0; i < MAX_CYCLE_RANGES; ++i) {
        handle->startPhases[i] = handle->ranges[i].pad1;
    }

    int32_t active = 0;
    for (CycleRange& range : handle->ranges) {
        if (!RangeUsable(range, count, halfBrite != 0)) {
            range.flags = int16_t(range.flags & ~RNG_ACTIVE);
        }
        if (range.flags & RNG_ACTIVE) {
            ++active;
        }
    }
    if (active == 0) {
        FreeHandle(handle);
        return nullptr;
    }

    uint8_t* tables = static_cast<uint8_t*>(block) + sizeof(CycleHandle);
    handle->startColours = tables;
    handle->workColours = tables + tableBytes;
    std::memcpy(handle->startColours, colours, tableBytes);
    std::memcpy(handle->workColours, colours, tableBytes);

    os::Forbid();
    os::Task* task = os::CreateTask(CYCLE_TASK_NAME, 0, CycleTaskMain, CYCLE_STACK_SIZE);
    if (task == nullptr) {
        os::Permit();
        FreeHandle(handle);
        return nullptr;
    }
    task->tc_UserData = handle;
    os::SetSignal(0, os::SIGF_SINGLE);
    os::Wait(os::SIGF_SINGLE);
    os::Permit();

    if (handle->task == nullptr) {
        // The task could not set itself up and has ended; only the handle is left.
        StopCycling(handle);
        return nullptr;
    }
    return handle;
}

void CycleOn(CycleHandle* handle) {
    SendCommand(handle, os::SIGBREAKF_CTRL_E);
}

void CycleOff(CycleHandle* handle) {
    SendCommand(handle, os::SIGBREAKF_CTRL_D);
}

void CycleRestore(CycleHandle* handle) {
    SendCommand(handle, os::SIGBREAKF_CTRL_F);
}

void StopCycling(CycleHandle* handle) {
    if (handle == nullptr) {
        return;
    }
    if (handle->task != nullptr) {
        // Nothing else runs between the signal and the wait, so clearing the
        // acknowledgement bit after signalling loses nothing; the task ends
        // inside its own Forbid, so this task resumes only once it is gone.
        os::Forbid();
        os::Signal(handle->task, os::SIGBREAKF_CTRL_C);
        os::SetSignal(0, os::SIGF_SINGLE);
        os::Wait(os::SIGF_SINGLE);
        os::Permit();
    }
    FreeHandle(handle);
}

void CycleSwitch(CycleHandle* handle) {
    if (handle == nullptr) {
        return;
    }
    if (handle->running.load() == 0) {
        CycleOn(handle);
    } else {
        CycleOff(handle);
        CycleRestore(handle);
    }
}

}  // namespace lanterna
