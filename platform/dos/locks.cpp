// Locks, the current directory and volume information. A lock is a
// descriptor opened with O_PATH. The process has one current directory, as
// DOS gives each process one: CurrentDir moves the kernel's working directory
// there with fchdir, so every relative name is resolved against it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "platform/dos/dos.h"
#include "platform/dos/dos_internal.h"
#include "platform/testing/testing.h"

namespace os {
namespace {

constexpr int32_t kDiskValidated = 82;          // ID_VALIDATED
constexpr int32_t kDosDiskType = 0x444F5300;    // ID_DOS_DISK, "DOS\0"
constexpr int32_t kFallbackBlockSize = 512;

std::atomic<int32_t> blockSizeOverride{0};

struct CurrentDirectory {
    std::mutex mutex;
    int startFd = -1;             // where the process started
    FileLock* current = nullptr;  // null: the start directory
};

CurrentDirectory& Cwd() {
    static CurrentDirectory* cwd = new CurrentDirectory;  // never destroyed
    return *cwd;
}

FileLock* WrapDescriptor(int fd) {
    auto* lock = new (std::nothrow) FileLock;
    if (lock == nullptr) {
        ::close(fd);
        SetIoErr(ERROR_NO_FREE_STORE);
        return nullptr;
    }
    lock->fd = fd;
    return lock;
}

// The path a descriptor names, from the kernel's own record of it.
bool DescriptorPath(int fd, std::string& path) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof target);
    if (n < 0) {
        internal::SetIoErrFromErrno();
        return false;
    }
    if (n >= static_cast<ssize_t>(sizeof target)) {
        SetIoErr(ERROR_LINE_TOO_LONG);
        return false;
    }
    path.assign(target, static_cast<size_t>(n));
    if (path.empty() || path[0] != '/') {
        SetIoErr(ERROR_OBJECT_WRONG_TYPE);  // a pipe or socket has no directory
        return false;
    }
    return true;
}

}  // namespace

FileLock* Lock(const char* name, int32_t /*mode*/) {
    if (name == nullptr) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return nullptr;
    }
    // An empty name is the current directory, as in DOS.
    const int fd = ::open(name[0] == '\0' ? "." : name, O_PATH | O_CLOEXEC);
    if (fd < 0) {
        internal::SetIoErrFromErrno();
        return nullptr;
    }
    return WrapDescriptor(fd);
}

void UnLock(FileLock* lock) {
    if (lock == nullptr) return;
    ::close(lock->fd);
    delete lock;
}

FileLock* DupLock(FileLock* lock) {
    if (lock == nullptr) return nullptr;
    const int fd = ::fcntl(lock->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        internal::SetIoErrFromErrno();
        return nullptr;
    }
    return WrapDescriptor(fd);
}

FileLock* ParentOfFH(FileHandle* file) {
    if (file == nullptr || file->fd < 0) {
        SetIoErr(ERROR_INVALID_LOCK);
        return nullptr;
    }
    std::string path;
    if (!DescriptorPath(file->fd, path)) return nullptr;
    const size_t slash = path.rfind('/');
    path.resize(slash == 0 ? 1 : slash);
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        internal::SetIoErrFromErrno();
        return nullptr;
    }
    return WrapDescriptor(fd);
}

FileLock* CurrentDir(FileLock* lock) {
    CurrentDirectory& cwd = Cwd();
    std::lock_guard guard(cwd.mutex);
    if (cwd.startFd < 0) {
        cwd.startFd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    const int target = lock != nullptr ? lock->fd : cwd.startFd;
    if (target < 0 || ::fchdir(target) != 0) {
        // The directory stays what it was; so does the record of it.
        if (target < 0) SetIoErr(ERROR_INVALID_LOCK); else internal::SetIoErrFromErrno();
        return cwd.current;
    }
    FileLock* previous = cwd.current;
    cwd.current = lock;
    return previous;
}

bool NameFromLock(FileLock* lock, char* buffer, int32_t length) {
    if (buffer == nullptr || length <= 0) {
        SetIoErr(ERROR_LINE_TOO_LONG);
        return false;
    }
    std::string path;
    if (lock == nullptr) {
        char here[PATH_MAX];
        if (::getcwd(here, sizeof here) == nullptr) {
            internal::SetIoErrFromErrno();
            return false;
        }
        path = here;
    } else if (!DescriptorPath(lock->fd, path)) {
        return false;
    }
    if (path.size() + 1 > static_cast<size_t>(length)) {
        SetIoErr(ERROR_LINE_TOO_LONG);
        return false;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

int32_t Info(FileLock* lock, InfoData* info) {
    if (info == nullptr) {
        SetIoErr(ERROR_BAD_NUMBER);
        return 0;
    }
    const int fd = lock != nullptr ? lock->fd : AT_FDCWD;
    struct statvfs vfs {};
    struct stat st {};
    const bool haveVfs = fd == AT_FDCWD ? ::statvfs(".", &vfs) == 0 : ::fstatvfs(fd, &vfs) == 0;
    const bool haveStat = fd == AT_FDCWD ? ::stat(".", &st) == 0 : ::fstat(fd, &st) == 0;
    if (!haveVfs && !haveStat) {
        internal::SetIoErrFromErrno();
        return 0;
    }
    *info = InfoData{};
    int64_t blockSize = 0;
    if (haveVfs && vfs.f_bsize > 0 && vfs.f_bsize <= INT32_MAX) blockSize = static_cast<int64_t>(vfs.f_bsize);
    if (blockSize == 0 && haveStat && st.st_blksize > 0 && st.st_blksize <= INT32_MAX) blockSize = st.st_blksize;
    if (blockSize == 0) blockSize = kFallbackBlockSize;
    const int32_t forced = blockSizeOverride.load(std::memory_order_relaxed);
    if (forced > 0) blockSize = forced;
    info->id_BytesPerBlock = static_cast<int32_t>(blockSize);
    if (haveVfs) {
        // Counted in f_frsize units by the kernel; clamped to what 32 bits hold.
        const auto clamp = [](unsigned long long v) {
            return static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : v);
        };
        info->id_NumBlocks = clamp(vfs.f_blocks);
        info->id_NumBlocksUsed = clamp(vfs.f_blocks - (vfs.f_bfree <= vfs.f_blocks ? vfs.f_bfree : 0));
    }
    info->id_DiskState = kDiskValidated;
    info->id_DiskType = kDosDiskType;
    return -1;  // DOSTRUE
}

namespace testing {

void SetBlockSizeOverride(int32_t bytes) {
    blockSizeOverride.store(bytes > 0 ? bytes : 0, std::memory_order_relaxed);
}

}  // namespace testing
}  // namespace os
