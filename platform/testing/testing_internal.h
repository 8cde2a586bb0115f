// The platform's side of fault injection and the service log.
#pragma once

#include <string>

namespace os::internal {

enum class FaultPoint { Alloc, Open, Read, Seek, CreateMsgPort, CreateIORequest, OpenDevice };

// Counts one use of `point`; true when this use is the one that must fail.
bool ShouldFail(FaultPoint point);
bool LibraryShouldFail(const std::string& name);
bool InterfaceShouldFail(const std::string& libraryName);

// Appends "<what>" or "<what> <name>" to the service log while a test
// records it; otherwise returns at once, without building or keeping
// anything.
void LogService(const char* what, const char* name = nullptr);

// AllocVec's book-keeping of live blocks.
void CountAllocation(int delta);

}  // namespace os::internal
