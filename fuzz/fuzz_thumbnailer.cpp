// libFuzzer target over the thumbnailer's whole path in memory: the reader
// over its source hook (with and without seeks), every row converted to
// RGBA, the area filter to a thumbnail of a size the input chooses, the PNG
// written row by row to /dev/null. Every result must be 0 or a code, and
// nothing may stay held (LeakSanitizer).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "ilbm/picture_reader.h"
#include "thumbnailer/thumbnail.h"

using namespace lanterna;

namespace {

// The harness's own limit on the work per input: larger pictures are
// opened, not decoded.
constexpr uint64_t MAX_PIXELS = uint64_t(1) << 18;

struct Memory {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
};

int32_t Read(void* user, void* buffer, int32_t count) {
    auto* m = static_cast<Memory*>(user);
    const size_t n = std::min(size_t(count), m->size - m->at);
    std::memcpy(buffer, m->data + m->at, n);
    m->at += n;
    return int32_t(n);
}

int32_t Seek(void* user, int64_t distance) {
    auto* m = static_cast<Memory*>(user);
    const int64_t to = int64_t(m->at) + distance;
    if (to < 0 || to > int64_t(m->size)) return -1;
    m->at = size_t(to);
    return 0;
}

FILE* sink = nullptr;

int32_t OpenSink(void*, os::ImageOutput* output) {
    output->file = sink;
    output->path = nullptr;  // never removed: standard-output semantics
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (sink == nullptr) sink = std::fopen("/dev/null", "wb");
    if (sink == nullptr || size < 2) return 0;
    // The last two bytes choose the thumbnail's size and the seeking, so the
    // writer's pictures stay pictures (cut by two bytes at most).
    const uint8_t a = data[size - 1];
    const uint8_t b = data[size - 2];
    const uint32_t thumbSize = 1u + (uint32_t(a) | uint32_t(b & 0x3) << 8);
    const bool seekable = (b & 0x80) != 0;
    Memory memory{data, size - 2, 0};
    PictureSource source;
    source.read = &Read;
    source.seek = seekable ? &Seek : nullptr;
    source.user = &memory;

    PictureReader* reader = nullptr;
    if (OpenPictureReaderFrom(source, PictureReadOptions{}, &reader) == 0) {
        const BitMapHeader& h = PictureReaderInfo(reader).header;
        if (uint64_t{h.w} * h.h <= MAX_PIXELS) {
            ThumbnailOutput output;
            output.open = &OpenSink;
            const int32_t result = WriteThumbnail(reader, thumbSize, output);
            if (result < 0) __builtin_trap();  // a code is never negative
        }
    }
    ClosePictureReader(reader);
    return 0;
}
