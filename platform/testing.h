// Fault injection for tests: make the Nth allocation, open, read or seek of
// the platform fail, or a named library, port, request or device. Counting
// starts at 1 from the moment the switch is set; 0 switches it off.
// ResetFaults() switches everything off. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace os::testing {

void FailNthAlloc(uint32_t n);
void FailNthOpen(uint32_t n);
void FailNthRead(uint32_t n);    // a file-system read packet fails (dp_Res1 -1)
void FailNthSeek(uint32_t n);
void FailLibrary(const std::string& name);   // OpenLibrary fails for it
void FailInterface(const std::string& libraryName);  // GetInterface fails
void FailCreateMsgPort(uint32_t n);
void FailCreateIORequest(uint32_t n);
void FailOpenDevice(uint32_t n);
void ResetFaults();

// Number of AllocVec blocks not yet freed; for leak checks.
int64_t LiveAllocations();

// What was opened and closed, in order, as "open intuition.library",
// "close intuition.library", "drop intuition.library", "delete port", ...
// Cleared by ClearServiceLog().
std::string ServiceLog();
void ClearServiceLog();

}  // namespace os::testing
