// The picture the decoding-ahead tests share (the reader's and the
// driver's), and a file of it that is removed again.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ilbm/decode_ahead.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna::test_support {

using namespace ilbmw;

struct TempFile {
    std::string path = TempPath("lanterna-ahead");
    explicit TempFile(const Bytes& data) { EXPECT_TRUE(WriteFile(path, data)); }
    ~TempFile() { std::filesystem::remove(path); }
};

// An odd width, a mask plane, rows enough to go round the ring many times
// and a BODY over several of the stream's buffers; ByteRun1 with runs that
// cross the ends of plane rows.
inline IlbmPicture AheadPicture() {
    IlbmPicture picture;
    picture.header = SimpleHeader(1203, 12 * DECODE_AHEAD_ROWS + 5, 5, cmpByteRun1, mskHasMask);
    for (int32_t i = 0; i < 32; ++i) picture.colours.push_back({uint8_t(i * 8), uint8_t(255 - i * 8), uint8_t(i)});
    const int32_t pixels = int32_t{picture.header.w} * picture.header.h;
    for (int32_t i = 0; i < pixels; ++i) {
        const int32_t y = i / picture.header.w;
        picture.pixels.push_back(uint32_t(y % 3 == 0 ? 7 : (i * 13 + y) % 32));  // runs and literals
        picture.mask.push_back(uint8_t((i / 5) % 2));
    }
    return picture;
}

}  // namespace lanterna::test_support
