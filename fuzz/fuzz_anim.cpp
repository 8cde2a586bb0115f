// libFuzzer target over the delta operations of FORM ANIM: every operation
// (and its bits) on frames of random sizes and depths. The frame buffer is
// allocated to its exact size, so a store outside it is a finding under
// AddressSanitizer; a result other than 0, ERR_CORRUPT or ERR_COMPRESSION is
// one too.
//
// Input: 16 bytes of set-up, then the chunk:
//   0 operation (index into the list below), 1 bits, 2-3 width, 4 rows,
//   5 planes, 6 coding (bit 0 ByteRun1, bit 1 mask), 7 op 1's plane mask,
//   8-15 op 1's rectangle (x, y, w, h as big-endian words).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ilbm/anim_deltas.h"
#include "records/ilbm_records.h"
#include "records/result_codes.h"

using namespace lanterna;

namespace {

constexpr uint8_t OPS[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 'J', 9};

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16 || size > (1 << 20)) return 0;
    AnimHeader header;
    header.operation = OPS[data[0] % sizeof(OPS)];
    header.bits = data[1] & 0x3F;
    AnimPlanes frame;
    frame.width = 1 + Be16(data + 2) % 720;
    frame.rows = 1 + data[4] % 160;
    // Mostly colour-mapped depths; now and then HAM8, 12 or 24 planes.
    frame.planes = (data[5] & 0x80) ? 9 + data[5] % 16 : 1 + data[5] % 8;
    frame.bytesPerRow = ((frame.width + 15) / 16) * 2;
    AnimBodyCoding coding;
    coding.compression = (data[6] & 1) ? cmpByteRun1 : cmpNone;
    coding.hasMask = data[6] & 2;
    header.mask = data[7];
    header.x = int16_t(Be16(data + 8));
    header.y = int16_t(Be16(data + 10));
    header.w = Be16(data + 12);
    header.h = Be16(data + 14);
    std::vector<uint8_t> planes(size_t(frame.rows) * frame.planes * frame.bytesPerRow, 0x5A);
    frame.data = planes.data();
    // The chunk in a buffer of its own size, so that a read past it is seen.
    std::vector<uint8_t> chunk(data + 16, data + size);
    const int32_t r = ApplyAnimDelta(header, coding, chunk.data(), int32_t(chunk.size()), frame);
    if (r != 0 && r != ERR_CORRUPT && r != ERR_COMPRESSION) abort();
    return 0;
}
