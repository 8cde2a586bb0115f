#include "platform/imagefile/image_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/dos/dos.h"

namespace os {

int32_t OpenImageOutput(const char* path, bool replace, ImageOutput* out) {
    *out = ImageOutput{};
    if (path == nullptr || path[0] == '\0') return ERROR_OBJECT_NOT_FOUND;
    if (std::strcmp(path, "-") == 0) {
        out->file = stdout;
        return 0;
    }
    out->path = strdup(path);
    if (out->path == nullptr) return ERROR_NO_FREE_STORE;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
    const int fd = open(path, flags, 0666);
    if (fd < 0) {
        const int32_t code = ErrnoToDos(errno);
        std::free(out->path);
        out->path = nullptr;
        return code;
    }
    out->file = fdopen(fd, "wb");
    if (out->file == nullptr) {
        const int32_t code = ErrnoToDos(errno);
        close(fd);
        unlink(path);
        std::free(out->path);
        out->path = nullptr;
        return code;
    }
    return 0;
}

int32_t CloseImageOutput(ImageOutput* out, bool keep) {
    if (out->file == nullptr) return 0;
    int32_t code = 0;
    if (out->path == nullptr) {
        if (std::fflush(out->file) != 0) code = ErrnoToDos(errno);
    } else {
        if (std::fclose(out->file) != 0) code = ErrnoToDos(errno);
        if (!keep || code != 0) unlink(out->path);
        std::free(out->path);
    }
    *out = ImageOutput{};
    return code;
}

bool IsSameFile(const char* a, const char* b) {
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace os
