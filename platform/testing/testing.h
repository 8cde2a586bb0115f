// Fault injection for tests: make the Nth allocation, open, read or seek of
// the platform fail, or a named library, port, request or device. Counting
// starts at 1 from the moment the switch is set; only the Nth use fails, and
// the switch is off again afterwards; 0 switches it off. ResetFaults()
// switches everything off. Thread-safe.
//
// What an injected failure looks like to the caller:
//   FailNthAlloc        AllocVec returns null (only AllocVec is counted).
//   FailNthOpen         dos Open returns null, IoErr 218 (the I/O error).
//   FailNthRead         the Nth ACTION_READ packet is replied with dp_Res1 -1
//                       and dp_Res2 218, without reading.
//   FailNthSeek         dos Seek returns -1, IoErr 219 (seek error).
//   FailLibrary         OpenLibrary of that name returns null.
//   FailInterface       GetInterface on that library returns null.
//   FailCreateMsgPort   CreateMsgPort returns null.
//   FailCreateIORequest CreateIORequest returns null.
//   FailOpenDevice      OpenDevice returns IOERR_OPENFAIL (io_Device stays null).
//
// Relies on nothing else in the platform: exec, dos and the libraries call its
// hooks (testing_internal.h) wherever a failure can be injected. Memory files
// for the fuzzers live beside it (memory_file.h).
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

// Makes Info() report this many bytes per block (0: what the file system
// says), for tests of block-size dependent buffering.
void SetBlockSizeOverride(int32_t bytes);

// Number of AllocVec blocks not yet freed; for leak checks.
int64_t LiveAllocations();

// What was opened and closed, in order, one line each, every line ended by
// '\n'. The lines, with <name> the library's name as given to OpenLibrary
// (e.g. "intuition.library"):
//   "open <name>"        OpenLibrary succeeded
//   "interface <name>"   GetInterface on that library succeeded
//   "drop <name>"        DropInterface of that library's interface
//   "close <name>"       CloseLibrary
//   "create port"        CreateMsgPort succeeded
//   "delete port"        DeleteMsgPort of such a port
//   "create request"     CreateIORequest succeeded
//   "delete request"     DeleteIORequest
//   "open timer.device"  OpenDevice succeeded
//   "close timer.device" CloseDevice of an opened request
// Failed operations write nothing. The platform's own service threads
// (timer, file system) write nothing either.
// Cleared by ClearServiceLog(). Nothing is recorded (and nothing is kept)
// until a test switches recording on; the program never does, so its log
// costs neither time nor memory however long it runs.
void RecordServiceLog(bool on);
std::string ServiceLog();
void ClearServiceLog();

}  // namespace os::testing
