// The colour-load table in the form LoadRGB32 takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "records/colour_load_table.h"
#include "tests/support/colour_maps.h"

namespace lanterna {
namespace {

using test_support::ColourMap;

TEST(ColourLoadTable, HoldsCountComponentsAndTerminator) {
    const auto map = ColourMap({0x12, 0x34, 0x56, 0xFF, 0x00, 0x80});
    const uint32_t* table = BuildColourLoadTable(map.data(), 2);
    const uint32_t expected[] = {0x00020000, 0x12121212, 0x34343434, 0x56565656,
                                 0xFFFFFFFF, 0x00000000, 0x80808080, 0x00000000};
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(table[i], expected[i]) << "word " << i;
    }

    // Nothing to load: only the header word (count 0) and the terminator.
    for (int32_t count : {0, -5}) {
        table = BuildColourLoadTable(map.data(), count);
        EXPECT_EQ(table[0], 0u);
        EXPECT_EQ(table[1], 0u);
    }
    table = BuildColourLoadTable(nullptr, 4);
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[1], 0u);

    // More than the table holds is cut at 256 colours.
    std::vector<uint8_t> big(768, 0x11);
    table = BuildColourLoadTable(big.data(), 300);
    EXPECT_EQ(table[0], 256u << 16);
    EXPECT_EQ(table[768], 0x11111111u);
    EXPECT_EQ(table[769], 0u);
}

}  // namespace
}  // namespace lanterna
