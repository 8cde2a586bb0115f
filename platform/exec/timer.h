// timer.device: one service thread completes TR_ADDREQUEST requests on a
// monotonic clock by replying them to their ports.
#pragma once

#include "platform/exec/exec.h"

namespace os {

constexpr uint32_t UNIT_MICROHZ = 0;
constexpr uint32_t UNIT_VBLANK = 1;
constexpr uint16_t TR_ADDREQUEST = 9;

struct TimeVal {
    uint32_t tv_secs = 0;
    uint32_t tv_micro = 0;
};

struct TimeRequest {
    IORequest tr_node;
    TimeVal tr_time;
};

// What CreateIORequest is given for a timer request.
constexpr size_t TIMEREQUEST_SIZE = sizeof(TimeRequest);

}  // namespace os
