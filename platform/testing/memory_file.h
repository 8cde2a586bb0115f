// A file that lives only in memory but can be opened by name like any other,
// for harnesses that feed generated file images through the real file path
// (Open, the file-system handler, Seek) without leaving files behind.
#pragma once

#include <cstddef>

namespace os::testing {

struct MemoryFile;

// Null when the system offers no such files.
MemoryFile* CreateMemoryFile(const char* label);
// Replaces the whole contents; false on failure.
bool SetMemoryFileContents(MemoryFile* file, const void* data, size_t size);
// A name that Open accepts for the file while it exists.
const char* MemoryFileName(const MemoryFile* file);
void DeleteMemoryFile(MemoryFile* file);  // null is ignored

}  // namespace os::testing
