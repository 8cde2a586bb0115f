#include "platform/imagefile/image_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/dos/dos.h"

namespace os {

namespace {

// A new file beside `path` (same folder, so the rename stays within one file
// system), with the mode a new file of that name would get.
int OpenBeside(const char* path, char** written) {
    const size_t length = std::strlen(path);
    *written = static_cast<char*>(std::malloc(length + 8));
    if (*written == nullptr) {
        errno = ENOMEM;
        return -1;
    }
    std::memcpy(*written, path, length);
    std::memcpy(*written + length, ".XXXXXX", 8);
    const int fd = mkostemp(*written, O_CLOEXEC);
    if (fd < 0) {
        std::free(*written);
        *written = nullptr;
        return -1;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return fd;
}

void Release(ImageOutput* out) {
    std::free(out->path);
    std::free(out->written);
    *out = ImageOutput{};
}

}  // namespace

int32_t OpenImageOutput(const char* path, bool replace, ImageOutput* out) {
    *out = ImageOutput{};
    if (path == nullptr || path[0] == '\0') return ERROR_OBJECT_NOT_FOUND;
    if (std::strcmp(path, "-") == 0) {
        out->file = stdout;
        return 0;
    }
    out->path = strdup(path);
    if (out->path == nullptr) return ERROR_NO_FREE_STORE;
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST && replace) fd = OpenBeside(path, &out->written);
    if (fd >= 0) out->file = fdopen(fd, "wb");
    if (out->file == nullptr) {
        const int32_t code = ErrnoToDos(errno);
        if (fd >= 0) {
            close(fd);
            unlink(out->written != nullptr ? out->written : path);
        }
        Release(out);
        return code;
    }
    return 0;
}

int32_t CloseImageOutput(ImageOutput* out, bool keep) {
    if (out->file == nullptr) return 0;
    int32_t code = 0;
    if (out->path == nullptr) {
        if (std::fflush(out->file) != 0) code = ErrnoToDos(errno);
        *out = ImageOutput{};
        return code;
    }
    if (std::fclose(out->file) != 0) code = ErrnoToDos(errno);
    const char* written = out->written != nullptr ? out->written : out->path;
    if (keep && code == 0 && out->written != nullptr && rename(out->written, out->path) != 0) {
        code = ErrnoToDos(errno);
    }
    if (!keep || code != 0) unlink(written);
    Release(out);
    return code;
}

bool IsSameFile(const char* a, const char* b) {
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace os
