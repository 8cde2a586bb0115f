// Colour maps for tests. Palette: the colour map of a picture the ILBM
// writer makes; every component steps by an odd amount, so up to 256 colours
// are all distinct, and their low bits differ, so nothing is hidden by a
// rescale; the seed shifts them. ColourMap: a full 256-entry table of RGB
// bytes, as the program keeps a picture's colours, that starts with the
// given bytes and is black after them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "tools/ilbm_writer/ilbm_writer.h"

namespace test_support {

inline std::vector<lanterna::ilbmw::Rgb> Palette(int count, int seed) {
    std::vector<lanterna::ilbmw::Rgb> colours;
    for (int i = 0; i < count; ++i) {
        colours.push_back({uint8_t(17 + i * 41 + seed), uint8_t(190 - i * 23 + seed * 5), uint8_t(i * 67 + 9)});
    }
    return colours;
}

inline std::vector<uint8_t> ColourMap(std::initializer_list<uint8_t> triplets) {
    std::vector<uint8_t> map(768, 0);
    std::copy(triplets.begin(), triplets.end(), map.begin());
    return map;
}

}  // namespace test_support
