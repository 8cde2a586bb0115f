// AllocVec/FreeVec: each block carries its size in a header in front of it,
// so FreeVec needs no size and tests can count the blocks still alive.
#include <cstdlib>
#include <cstring>

#include "platform/exec/exec.h"
#include "platform/testing/testing_internal.h"

namespace os {
namespace {

// The header keeps the caller's block aligned as malloc would.
struct alignas(std::max_align_t) BlockHeader {
    size_t size;
};

}  // namespace

void* AllocVec(size_t size, uint32_t flags) {
    if (internal::ShouldFail(internal::FaultPoint::Alloc)) return nullptr;
    if (size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    const size_t total = sizeof(BlockHeader) + size;
    void* raw = (flags & MEMF_CLEAR) ? std::calloc(1, total) : std::malloc(total);
    if (raw == nullptr) return nullptr;
    auto* header = static_cast<BlockHeader*>(raw);
    header->size = size;
    internal::CountAllocation(1);
    return header + 1;
}

void FreeVec(void* memory) {
    if (memory == nullptr) return;
    auto* header = static_cast<BlockHeader*>(memory) - 1;
    internal::CountAllocation(-1);
    std::free(header);
}

void CopyMem(const void* source, void* destination, size_t count) {
    if (count == 0) return;
    std::memmove(destination, source, count);
}

}  // namespace os
