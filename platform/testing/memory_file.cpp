// Memory files are anonymous memfd files, named through /proc/self/fd so that
// each Open gets a file description of its own (its own offset).
#include "platform/testing/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <new>

namespace os::testing {

struct MemoryFile {
    int fd = -1;
    char name[64] = {};
};

MemoryFile* CreateMemoryFile(const char* label) {
    const int fd = ::memfd_create(label ? label : "lanterna", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    auto* file = new (std::nothrow) MemoryFile;
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    file->fd = fd;
    std::snprintf(file->name, sizeof file->name, "/proc/self/fd/%d", fd);
    return file;
}

bool SetMemoryFileContents(MemoryFile* file, const void* data, size_t size) {
    if (!file || ::ftruncate(file->fd, 0) != 0) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(file->fd, bytes + done, size - done, off_t(done));
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

const char* MemoryFileName(const MemoryFile* file) { return file ? file->name : ""; }

void DeleteMemoryFile(MemoryFile* file) {
    if (!file) return;
    ::close(file->fd);
    delete file;
}

}  // namespace os::testing
