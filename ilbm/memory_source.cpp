#include "ilbm/memory_source.h"

#include <algorithm>
#include <cstring>

namespace lanterna {

namespace {

int32_t MemoryRead(void* user, void* buffer, int32_t count) {
    auto* memory = static_cast<MemoryBytes*>(user);
    const size_t n = std::min(size_t(count), memory->count - memory->at);
    if (n == 0) return 0;
    std::memcpy(buffer, memory->bytes + memory->at, n);
    memory->at += n;
    return int32_t(n);
}

int32_t MemorySeek(void* user, int64_t distance) {
    auto* memory = static_cast<MemoryBytes*>(user);
    const int64_t to = int64_t(memory->at) + distance;
    if (to < 0 || to > int64_t(memory->count)) return -1;
    memory->at = size_t(to);
    return 0;
}

}  // namespace

PictureSource MemorySource(MemoryBytes& memory, bool seeks) {
    return PictureSource{MemoryRead, seeks ? MemorySeek : nullptr, &memory};
}

}  // namespace lanterna
