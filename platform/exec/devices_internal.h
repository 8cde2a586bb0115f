// What a device offers exec: starting a request and aborting a pending one.
// A device completes a request with ReplyMsg on io_Message.
#pragma once

#include <cstdint>

#include "platform/exec/exec.h"

namespace os {

struct Device {
    const char* name;
    void (*beginIO)(IORequest* request);   // io_Error is 0 on entry
    void (*abortIO)(IORequest* request);   // completes it at once if still pending
};

struct Unit {
    uint32_t number;
};

namespace internal {

Device* TimerDevice();
Unit* TimerUnit(uint32_t unit);  // null for a unit the timer does not have

}  // namespace internal
}  // namespace os
