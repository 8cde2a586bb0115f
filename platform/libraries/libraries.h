// Libraries and their interfaces. A library opens when the part of the
// platform behind it can start: the display libraries (intuition, graphics,
// cybergraphics) need a display backend; the others always open. Versions
// above what the platform offers fail, as they would on the real system.
//
// Relies on: graphics (whether a display backend can start) and
// platform/testing (the named library and interface faults).
#pragma once

#include <cstdint>

namespace os {

struct Library;
struct Interface;

Library* OpenLibrary(const char* name, uint32_t version);
void CloseLibrary(Library* library);  // null is ignored
Interface* GetInterface(Library* library, const char* name, uint32_t version, const void* tags);
void DropInterface(Interface* interface);  // null is ignored

}  // namespace os
