// Standard input and output as DOS file handles, formatted printing, and the
// DOS error texts.
//
// Printf goes through the C library's stdout stream, so its output keeps its
// order with anything else printed there; FFlush(Output()) pushes it out.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/dos/dos.h"
#include <stdio_ext.h>
#include <unistd.h>

#include "platform/dos/dos.h"

namespace os {
namespace {

FileHandle& StandardOutput() {
    static FileHandle handle{nullptr, 0, 1};
    return handle;
}

FileHandle& StandardInput() {
    static FileHandle handle{nullptr, 0, 0};
    return handle;
}

struct FaultText {
    int32_t code;
    const char* text;
};

// The texts DOS gives for its error numbers.
constexpr FaultText FAULT_TEXTS[] = {
    {103, "not enough memory available"},
    {105, "process table full"},
    {114, "bad template"},
    {115, "bad number"},
    {116, "required argument missing"},
    {117, "value after keyword missing"},
    {118, "wrong number of arguments"},
    {119, "unmatched quotes"},
    {120, "argument line invalid or too long"},
    {121, "file is not executable"},
    {122, "invalid resident library"},
    {202, "object is in use"},
    {203, "object already exists"},
    {204, "directory not found"},
    {205, "object not found"},
    {206, "invalid window description"},
    {207, "object too large"},
    {209, "packet request type unknown"},
    {210, "object name invalid"},
    {211, "invalid object lock"},
    {212, "object is not of required type"},
    {213, "disk not validated"},
    {214, "disk is write-protected"},
    {215, "rename across devices attempted"},
    {216, "directory not empty"},
    {217, "too many levels"},
    {218, "device (or volume) is not mounted"},
    {219, "seek error"},
    {220, "comment is too long"},
    {221, "disk is full"},
    {222, "object is protected from deletion"},
    {223, "file is write protected"},
    {224, "file is read protected"},
    {225, "not a valid DOS disk"},
    {226, "no disk in drive"},
    {232, "no more entries in directory"},
    {233, "object is soft link"},
    {234, "object is linked"},
    {235, "bad loadfile hunk"},
    {236, "function not implemented"},
    {303, "buffer overflow"},
    {304, "***Break"},
    {305, "file not executable"},
};

}  // namespace

FileHandle* Output() { return &StandardOutput(); }

FileHandle* Input() { return &StandardInput(); }

FileHandle* ErrorOutput() {
    static FileHandle handle{nullptr, 0, 2};
    return &handle;
}

bool IsInteractive(FileHandle* file) { return file != nullptr && file->fd >= 0 && isatty(file->fd) == 1; }

namespace {

// Once a write to standard output has failed (its reader went away, the disk
// is full) the output is given up: what is still buffered is dropped and
// nothing is written again, so a dead reader costs neither retries nor a
// growing buffer.
bool OutputFailed() {
    if (std::ferror(stdout) == 0) return false;
    __fpurge(stdout);
    return true;
}

}  // namespace

int32_t Printf(const char* format, ...) {
    if (format == nullptr) return -1;
    if (OutputFailed()) return -1;
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(stdout, format, args);
    va_end(args);
    if (OutputFailed()) return -1;
    return n < 0 ? -1 : n;
}

int32_t FFlush(FileHandle* file) {
    if (file == nullptr) return 0;
    // Only standard output is buffered on this side; other handles write
    // straight to their descriptor, so there is nothing to push out.
    if (file == &StandardOutput()) {
        if (OutputFailed()) return 0;
        const bool flushed = std::fflush(stdout) == 0;
        if (OutputFailed()) return 0;
        return flushed ? -1 : 0;
    }
    return -1;
}

// An unknown number gives "unknown error <number>", so the line still says
// which code it was.
int32_t Fault(int32_t code, const char* header, char* buffer, int32_t length) {
    if (buffer == nullptr || length <= 0) return 0;
    buffer[0] = '\0';
    if (code == 0) return 0;
    const char* text = nullptr;
    for (const FaultText& f : FAULT_TEXTS) {
        if (f.code == code) {
            text = f.text;
            break;
        }
    }
    char unknown[32];
    if (text == nullptr) {
        std::snprintf(unknown, sizeof unknown, "unknown error %d", static_cast<int>(code));
        text = unknown;
    }
    int n = (header != nullptr && header[0] != '\0')
                ? std::snprintf(buffer, static_cast<size_t>(length), "%s: %s", header, text)
                : std::snprintf(buffer, static_cast<size_t>(length), "%s", text);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return n >= length ? length - 1 : n;
}

}  // namespace os
