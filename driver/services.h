// The program-wide services: libraries, the timer port and request, opened
// once at start and released once at the end; the WAIT timer.
#pragma once

#include <cstdint>

#include "platform/exec/exec.h"
#include "platform/exec/timer.h"
#include "platform/libraries/libraries.h"

namespace lanterna {

struct Services {
    os::Library* intuitionBase = nullptr;
    os::Interface* intuition = nullptr;
    os::Library* graphicsBase = nullptr;
    os::Interface* graphics = nullptr;
    os::Library* utilityBase = nullptr;
    os::Interface* utility = nullptr;
    os::Library* iffparseBase = nullptr;
    os::Interface* iffparse = nullptr;
    os::Library* cybergraphicsBase = nullptr;
    os::Interface* cybergraphics = nullptr;
    os::Library* iconBase = nullptr;
    os::Interface* icon = nullptr;
    os::Library* aslBase = nullptr;
    os::Interface* asl = nullptr;
    os::MsgPort* timerPort = nullptr;
    os::TimeRequest* timerRequest = nullptr;
    bool timerPending = false;
};

extern Services gServices;

int32_t OpenServices();
void CloseServices();
void StartTimer(uint32_t seconds, uint32_t microseconds);
void StopTimer();

}  // namespace lanterna
