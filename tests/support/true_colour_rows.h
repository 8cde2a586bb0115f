// A body reader at the body chunk of a one-chunk FORM in memory, with the
// rows a true-colour decoder writes into; Row() reads the decoded row back
// as 0xRRGGBB values. Shared by the tests of the RGBN and DEEP decoders.
#pragma once

#include <cstdint>
#include <vector>

#include "ilbm/body_decoding.h"
#include "records/row_buffers.h"
#include "tests/support/memory_iff.h"

namespace lanterna::test_support {

struct TrueColourRows {
    MemoryIff iff;
    BodyReader* reader = nullptr;
    RowBuffers* rows = nullptr;
    TrueColourRows(const char* form, const char* chunk, const Bytes& body, const BitMapHeader& header)
        : iff(ilbmw::MakeGroup("FORM", form, ilbmw::MakeChunk(chunk, body))) {
        iff.Stop(form, chunk);
        EXPECT_EQ(os::ParseIFF(iff.iff, os::IFFPARSE_SCAN), 0);
        reader = OpenBodyReader(iff.iff, os::CurrentChunk(iff.iff)->cn_Size);
        rows = AllocRowBuffers(header, 0, os::MakeId(form[0], form[1], form[2], form[3]));
    }
    ~TrueColourRows() {
        CloseBodyReader(reader);
        FreeRowBuffers(rows);
    }
    TrueColourRows(const TrueColourRows&) = delete;
    TrueColourRows& operator=(const TrueColourRows&) = delete;
    std::vector<uint32_t> Row() const {
        std::vector<uint32_t> out;
        const uint8_t* p = rows->planeView.Planes[0];
        for (uint32_t x = 0; x < rows->width; ++x, p += 3) out.push_back(uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
        return out;
    }
};

}  // namespace lanterna::test_support
