// The program-wide services: every library with its "main" interface, the
// timer's reply port and request, opened once before any argument is looked
// at and released once at the very end, whatever happened in between.
#include "driver/services.h"

#include "display/display.h"
#include "platform/graphics/graphics.h"
#include "records/result_codes.h"

namespace lanterna {

Services gServices;

namespace {

constexpr uint32_t INTERFACE_VERSION = 1;

// Opens one library and takes its interface. A library whose interface cannot
// be had is closed again at once, so a failed step holds nothing.
bool OpenOne(const char* name, uint32_t version, os::Library*& base, os::Interface*& interface) {
    base = os::OpenLibrary(name, version);
    if (base == nullptr) {
        return false;
    }
    interface = os::GetInterface(base, "main", INTERFACE_VERSION, nullptr);
    if (interface == nullptr) {
        os::CloseLibrary(base);
        base = nullptr;
        return false;
    }
    return true;
}

void Drop(os::Interface*& interface) {
    if (interface != nullptr) {
        os::DropInterface(interface);
        interface = nullptr;
    }
}

void Close(os::Library*& base) {
    if (base != nullptr) {
        os::CloseLibrary(base);
        base = nullptr;
    }
}

}  // namespace

int32_t OpenServices() {
    Services& s = gServices;
    // The codes are not in step order: each step carries its own.
    if (!OpenOne("intuition.library", 39, s.intuitionBase, s.intuition)) return ERR_INTUITION;
    if (!OpenOne("graphics.library", 39, s.graphicsBase, s.graphics)) return ERR_GRAPHICS;
    if (!OpenOne("utility.library", 37, s.utilityBase, s.utility)) return ERR_UTILITY;
    if (!OpenOne("iffparse.library", 40, s.iffparseBase, s.iffparse)) return ERR_IFFPARSE;
    if (!OpenOne("cybergraphics.library", 40, s.cybergraphicsBase, s.cybergraphics)) {
        return ERR_CYBERGRAPHICS;
    }
    if (!OpenOne("icon.library", 37, s.iconBase, s.icon)) return ERR_ICON;
    if (!OpenOne("asl.library", 37, s.aslBase, s.asl)) return ERR_ASL;

    s.timerPort = os::CreateMsgPort();
    if (s.timerPort == nullptr) return ERR_MSGPORT;
    s.timerRequest = reinterpret_cast<os::TimeRequest*>(
        os::CreateIORequest(s.timerPort, os::TIMEREQUEST_SIZE));
    if (s.timerRequest == nullptr) return ERR_TIMER_REQUEST;
    if (os::OpenDevice("timer.device", os::UNIT_VBLANK, &s.timerRequest->tr_node, 0) != 0) {
        return ERR_TIMER_DEVICE;
    }
    return 0;
}

void CloseServices() {
    Services& s = gServices;
    CloseDisplay();
    os::ReleaseKeptWindows();  // the desktop's window goes with the run
    StopTimer();
    if (s.timerRequest != nullptr) {
        // io_Device is set only when the device was opened on this request.
        if (s.timerRequest->tr_node.io_Device != nullptr) {
            os::CloseDevice(&s.timerRequest->tr_node);
        }
        os::DeleteIORequest(&s.timerRequest->tr_node);
        s.timerRequest = nullptr;
    }
    if (s.timerPort != nullptr) {
        os::DeleteMsgPort(s.timerPort);
        s.timerPort = nullptr;
    }
    Drop(s.intuition);
    Drop(s.graphics);
    Drop(s.asl);
    Drop(s.utility);
    Drop(s.cybergraphics);
    Drop(s.iffparse);
    Drop(s.icon);
    Close(s.cybergraphicsBase);
    Close(s.iffparseBase);
    Close(s.aslBase);
    Close(s.iconBase);
    Close(s.utilityBase);
    Close(s.graphicsBase);
    Close(s.intuitionBase);
}

void StartTimer(uint32_t seconds, uint32_t microseconds) {
    Services& s = gServices;
    if (s.timerRequest == nullptr || s.timerPort == nullptr) {
        return;
    }
    if (s.timerPending) {
        StopTimer();
    }
    s.timerRequest->tr_node.io_Command = os::TR_ADDREQUEST;
    s.timerRequest->tr_time.tv_secs = seconds;
    s.timerRequest->tr_time.tv_micro = microseconds;
    // A signal left from an earlier request must not end this one early.
    os::SetSignal(0, 1u << s.timerPort->mp_SigBit);
    os::SendIO(&s.timerRequest->tr_node);
    s.timerPending = true;
}

void StopTimer() {
    Services& s = gServices;
    if (!s.timerPending) {
        return;
    }
    if (os::CheckIO(&s.timerRequest->tr_node) == nullptr) {
        os::AbortIO(&s.timerRequest->tr_node);
    }
    os::WaitIO(&s.timerRequest->tr_node);
    s.timerPending = false;
    os::SetSignal(0, 1u << s.timerPort->mp_SigBit);
}

}  // namespace lanterna
