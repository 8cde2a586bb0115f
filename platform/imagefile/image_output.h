// Where an image file goes: a new file by name, or standard output for "-".
// A file is created only when it does not exist, unless the caller allows
// replacing it; a file that is not finished is removed, so a failure never
// leaves half an image behind. A file being replaced stays as it was until
// the new one is finished: the new one is written beside it and takes its
// name only then.
#pragma once

#include <cstdint>
#include <cstdio>

namespace os {

struct ImageOutput {
    FILE* file = nullptr;
    char* path = nullptr;     // null for standard output
    char* written = nullptr;  // replacing: the file written beside `path`
};

// 0 with *out open, or a DOS error code (ERROR_OBJECT_EXISTS when the file
// exists and may not be replaced).
int32_t OpenImageOutput(const char* path, bool replace, ImageOutput* out);
// Closes the output: with keep, 0 or the DOS code of a failed final write
// (the file is then removed); without keep the file is removed. Idempotent.
int32_t CloseImageOutput(ImageOutput* out, bool keep);

// True when both names lead to one existing file (a link, another spelling):
// an output that would replace an input is refused by the caller.
bool IsSameFile(const char* a, const char* b);

}  // namespace os
