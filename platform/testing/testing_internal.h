// The platform's side of fault injection and the service log.
#pragma once

#include <string>

namespace os::internal {

enum class FaultPoint { Alloc, Open, Read, Seek, CreateMsgPort, CreateIORequest, OpenDevice };

// Counts one use of `point`; true when this use is the one that must fail.
bool ShouldFail(FaultPoint point);
bool LibraryShouldFail(const std::string& name);
bool InterfaceShouldFail(const std::string& libraryName);

// Appends one line to the service log.
void LogService(const std::string& line);

// AllocVec's book-keeping of live blocks.
void CountAllocation(int delta);

}  // namespace os::internal
