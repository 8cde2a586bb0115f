// I/O requests and devices. A request is outstanding while its message type
// is NT_MESSAGE; the device replies it (NT_REPLYMSG) to its reply port when
// done. A fresh request counts as done, so WaitIO on a request that was never
// sent returns at once.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/exec/devices_internal.h"
#include "platform/exec/exec.h"
#include "platform/exec/exec_internal.h"
#include "platform/exec/timer.h"
#include "platform/testing/testing_internal.h"

namespace os {
namespace {

bool Outstanding(IORequest* request) {
    std::lock_guard lock(internal::PortMutex());
    return request->io_Message.mn_Node.ln_Type == NT_MESSAGE;
}

}  // namespace

IORequest* CreateIORequest(MsgPort* replyPort, size_t size) {
    if (replyPort == nullptr) return nullptr;
    // Never smaller than the largest request a device here takes, so a
    // caller that under-counts cannot make the device write past the end.
    if (size < sizeof(TimeRequest)) size = sizeof(TimeRequest);
    if (size > UINT16_MAX) return nullptr;  // mn_Length must hold it
    if (internal::ShouldFail(internal::FaultPoint::CreateIORequest)) return nullptr;
    void* memory = std::calloc(1, size);
    if (memory == nullptr) return nullptr;
    auto* request = new (memory) IORequest;
    request->io_Message.mn_Node.ln_Type = NT_REPLYMSG;
    request->io_Message.mn_ReplyPort = replyPort;
    request->io_Message.mn_Length = static_cast<uint16_t>(size);
    internal::LogService("create request");
    return request;
}

void DeleteIORequest(IORequest* request) {
    if (request == nullptr) return;
    // A request still out would be completed into freed memory: finish it.
    if (request->io_Device != nullptr && Outstanding(request)) {
        AbortIO(request);
        WaitIO(request);
    }
    internal::LogService("delete request");
    std::free(request);
}

int8_t OpenDevice(const char* name, uint32_t unit, IORequest* request, uint32_t /*flags*/) {
    if (request == nullptr) return IOERR_OPENFAIL;
    request->io_Device = nullptr;
    request->io_Unit = nullptr;
    Device* device = nullptr;
    Unit* deviceUnit = nullptr;
    if (name != nullptr && std::strcmp(name, "timer.device") == 0) {
        device = internal::TimerDevice();
        deviceUnit = internal::TimerUnit(unit);
    }
    if (device == nullptr || deviceUnit == nullptr ||
        internal::ShouldFail(internal::FaultPoint::OpenDevice)) {
        request->io_Error = IOERR_OPENFAIL;
        return IOERR_OPENFAIL;
    }
    request->io_Device = device;
    request->io_Unit = deviceUnit;
    request->io_Error = 0;
    internal::LogService("open", device->name);
    return 0;
}

void CloseDevice(IORequest* request) {
    if (request == nullptr || request->io_Device == nullptr) return;
    if (Outstanding(request)) {
        AbortIO(request);
        WaitIO(request);
    }
    internal::LogService("close", request->io_Device->name);
    request->io_Device = nullptr;
    request->io_Unit = nullptr;
}

void SendIO(IORequest* request) {
    if (request == nullptr) return;
    {
        std::lock_guard lock(internal::PortMutex());
        if (request->io_Message.mn_Node.ln_Type == NT_MESSAGE) return;  // already out
        request->io_Message.mn_Node.ln_Type = NT_MESSAGE;
    }
    request->io_Error = 0;
    if (request->io_Device == nullptr) {
        request->io_Error = IOERR_OPENFAIL;
        ReplyMsg(&request->io_Message);
        return;
    }
    request->io_Device->beginIO(request);
}

IORequest* CheckIO(IORequest* request) {
    if (request == nullptr) return nullptr;
    return Outstanding(request) ? nullptr : request;
}

int32_t AbortIO(IORequest* request) {
    if (request == nullptr || request->io_Device == nullptr) return IOERR_NOCMD;
    request->io_Device->abortIO(request);
    return 0;
}

int8_t WaitIO(IORequest* request) {
    if (request == nullptr) return IOERR_NOCMD;
    MsgPort* port = request->io_Message.mn_ReplyPort;
    Task* self = internal::CurrentTask();
    std::unique_lock lock(internal::PortMutex());
    if (request->io_Message.mn_Node.ln_Type == NT_MESSAGE) {
        lock.unlock();
        const uint32_t nesting = internal::ReleaseForbid(self);
        lock.lock();
        // The reply goes to the request's reply port.
        internal::WaitOnPortLocked(lock, port, [&] { return request->io_Message.mn_Node.ln_Type != NT_MESSAGE; });
        // The reply's signal is used up, as the wait on the port's bit would take it.
        if (port != nullptr && port->mp_SigTask == self) SetSignal(0, 1u << port->mp_SigBit);
        lock.unlock();
        internal::RestoreForbid(self, nesting);
        lock.lock();
    }
    // Taken off the port whether or not the caller already has (GetMsg).
    internal::RemoveIfQueuedLocked(port, &request->io_Message);
    return request->io_Error;
}

int8_t DoIO(IORequest* request) {
    SendIO(request);
    return WaitIO(request);
}

}  // namespace os
