// The colour-load table and its builder.
#include "records/colour_load_table.h"

#include <algorithm>

namespace lanterna {

uint32_t gColourLoadTable[COLOUR_LOAD_WORDS];

uint32_t* BuildColourLoadTable(const uint8_t* colours, int32_t count) {
    if (colours == nullptr || count < 0) {
        count = 0;
    }
    count = std::min(count, 256);
    uint32_t* word = gColourLoadTable;
    *word++ = static_cast<uint32_t>(count) << 16;  // count, first index 0
    for (int32_t i = 0; i < count * 3; ++i) {
        // LoadRGB32 takes left-justified 32-bit components: repeat the byte.
        *word++ = colours[i] * 0x01010101u;
    }
    *word = 0;
    return gColourLoadTable;
}

}  // namespace lanterna
