// Shared inner workings of the DOS files: the lock record, the file-system
// handler's table of open files, and DOS error helpers.
#pragma once

#include <cstdint>

#include "platform/dos/dos.h"

namespace os {

// A lock is a descriptor opened for its path only (O_PATH): it names a
// directory or file without reading it.
struct FileLock {
    int fd = -1;
};

namespace internal {

// The file-system handler's port (its thread starts on first use); null when
// the handler cannot be started.
MsgPort* FileSystemPort();

// Registers an open descriptor with the handler; returns the handler's
// reference (fh_Arg1), 0 on failure.
intptr_t RegisterFile(int fd);
// Forgets the reference, waiting for a read the handler is doing on it.
void UnregisterFile(intptr_t reference);

// Sets IoErr from errno and returns the DOS code.
int32_t SetIoErrFromErrno();

}  // namespace internal
}  // namespace os
