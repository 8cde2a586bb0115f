// DOS files over descriptors. Open registers the file with the file-system
// handler, so read packets can be sent to fh_Type with fh_Arg1; Read, Write
// and Seek work on the descriptor directly. MODE_OLDFILE opens an existing
// file for reading; MODE_NEWFILE creates or empties one for reading and
// writing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/dos/dos.h"
#include "platform/dos/dos_internal.h"
#include "platform/testing/testing_internal.h"

namespace os {

namespace {

// Read and Write: an open file, and a buffer for a length that is not negative.
bool TransferArgumentsValid(const FileHandle* file, const void* buffer, int32_t length) {
    if (file == nullptr || file->fd < 0) {
        SetIoErr(ERROR_INVALID_LOCK);
        return false;
    }
    if (length < 0 || (buffer == nullptr && length > 0)) {
        SetIoErr(ERROR_BAD_NUMBER);
        return false;
    }
    return true;
}

}  // namespace

FileHandle* Open(const char* name, int32_t mode) {
    if (internal::ShouldFail(internal::FaultPoint::Open)) {
        SetIoErr(ErrnoToDos(EIO));
        return nullptr;
    }
    if (name == nullptr) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return nullptr;
    }
    int flags;
    if (mode == MODE_OLDFILE) {
        // Non-blocking only for the open itself: a pipe with no writer would
        // otherwise hang here. Only regular files are read (below).
        flags = O_RDONLY | O_NONBLOCK;
    } else if (mode == MODE_NEWFILE) {
        flags = O_RDWR | O_CREAT | O_TRUNC;
    } else {
        SetIoErr(ERROR_ACTION_NOT_KNOWN);
        return nullptr;
    }
    const int fd = ::open(name, flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        internal::SetIoErrFromErrno();
        return nullptr;
    }
    struct stat st {};
    // A directory, a pipe or a device is not a file to read pictures or icons
    // from: reading a pipe or a terminal could wait for ever.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        (mode == MODE_OLDFILE && ::fcntl(fd, F_SETFL, O_RDONLY) != 0)) {
        ::close(fd);
        SetIoErr(ERROR_OBJECT_WRONG_TYPE);
        return nullptr;
    }
    auto* file = new (std::nothrow) FileHandle;
    const intptr_t reference = file != nullptr ? internal::RegisterFile(fd) : 0;
    if (reference == 0) {
        delete file;
        ::close(fd);
        SetIoErr(ERROR_NO_FREE_STORE);
        return nullptr;
    }
    file->fd = fd;
    file->fh_Arg1 = reference;
    file->fh_Type = internal::FileSystemPort();  // null: no packet I/O possible
    return file;
}

int32_t Close(FileHandle* file) {
    if (file == nullptr) return -1;  // nothing to close is not a failure
    if (file->fh_Arg1 == 0) {
        // Not opened by Open (for example the standard streams): not ours to close.
        SetIoErr(ERROR_INVALID_LOCK);
        return 0;
    }
    internal::UnregisterFile(file->fh_Arg1);
    const int result = ::close(file->fd);
    const int error = errno;
    delete file;
    if (result != 0 && error != EINTR) {
        SetIoErr(ErrnoToDos(error));
        return 0;
    }
    return -1;
}

int32_t Read(FileHandle* file, void* buffer, int32_t length) {
    if (!TransferArgumentsValid(file, buffer, length)) return -1;
    auto* bytes = static_cast<unsigned char*>(buffer);
    int32_t done = 0;
    while (done < length) {
        const ssize_t n = ::read(file->fd, bytes + done, static_cast<size_t>(length - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            internal::SetIoErrFromErrno();
            return -1;
        }
        if (n == 0) break;
        done += static_cast<int32_t>(n);
    }
    return done;
}

int32_t Write(FileHandle* file, const void* buffer, int32_t length) {
    if (!TransferArgumentsValid(file, buffer, length)) return -1;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    int32_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(file->fd, bytes + done, static_cast<size_t>(length - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            internal::SetIoErrFromErrno();
            return -1;
        }
        done += static_cast<int32_t>(n);
    }
    return done;
}

int32_t Seek(FileHandle* file, int32_t position, int32_t mode) {
    if (internal::ShouldFail(internal::FaultPoint::Seek)) {
        SetIoErr(ERROR_SEEK_ERROR);
        return -1;
    }
    if (file == nullptr || file->fd < 0) {
        SetIoErr(ERROR_INVALID_LOCK);
        return -1;
    }
    int whence;
    switch (mode) {
        case OFFSET_BEGINNING: whence = SEEK_SET; break;
        case OFFSET_CURRENT: whence = SEEK_CUR; break;
        case OFFSET_END: whence = SEEK_END; break;
        default: SetIoErr(ERROR_SEEK_ERROR); return -1;
    }
    const off_t old = ::lseek(file->fd, 0, SEEK_CUR);
    if (old < 0) {
        internal::SetIoErrFromErrno();
        return -1;
    }
    if (old > INT32_MAX) {
        SetIoErr(ERROR_OBJECT_TOO_LARGE);
        return -1;
    }
    // The target must be a position the 32-bit interface can report later.
    off_t base = old;
    if (whence == SEEK_SET) {
        base = 0;
    } else if (whence == SEEK_END) {
        struct stat st {};
        if (::fstat(file->fd, &st) != 0) {
            internal::SetIoErrFromErrno();
            return -1;
        }
        base = st.st_size;
    }
    const off_t target = base + position;
    if (target < 0 || target > INT32_MAX) {
        SetIoErr(ERROR_SEEK_ERROR);
        return -1;
    }
    if (::lseek(file->fd, target, SEEK_SET) < 0) {
        internal::SetIoErrFromErrno();
        return -1;
    }
    return static_cast<int32_t>(old);
}

}  // namespace os
