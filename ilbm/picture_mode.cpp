#include "ilbm/picture_mode.h"

#include <algorithm>

#include "records/row_buffers.h"

namespace lanterna {

namespace {
constexpr int32_t MAX_COLOURS = 256;
}

uint8_t FindDarkestColour(const uint8_t* colours, int32_t count) {
    if (colours == nullptr || count <= 1) {
        return 0;
    }
    count = std::min(count, MAX_COLOURS);
    auto luminance = [colours](int32_t i) {
        const uint8_t* c = colours + 3 * i;
        return (30 * c[0] + 59 * c[1] + 11 * c[2]) / 100;
    };
    int32_t best = 0;
    int32_t bestL = luminance(0);
    for (int32_t i = 1; i < count; ++i) {
        const int32_t l = luminance(i);
        if (l < bestL) {  // strictly: the lowest index wins a tie
            best = i;
            bestL = l;
        }
    }
    return static_cast<uint8_t>(best);
}

void ExtendHalfBrite(uint8_t* colours, int32_t& colourCount) {
    if (colours == nullptr) {
        return;
    }
    // Pixel values 32..63 of a half-brite picture show colours 0..31 at half
    // brightness; those entries are built whatever the file put there.
    for (int32_t i = 0; i < 32 * 3; ++i) {
        colours[32 * 3 + i] = colours[i] >> 1;
    }
    // Pixel values 32..63 exist whatever the map holds, so the screen gets
    // at least 64 colours: with fewer than 32 in the file, the missing ones
    // are black (the table is zero-filled) and so are their halves, as the
    // display hardware shows them. The map holds 256 colours: a doubled
    // count never goes beyond that.
    colourCount = std::clamp(colourCount, 32, MAX_COLOURS / 2) * 2;
}

void SettlePictureMode(PictureInfo& picture, bool halfBriteWithoutMode) {
    const BitMapHeader& header = picture.header;
    if (!picture.hasMode) {
        uint32_t mode = 0;
        if (header.w > 639) {
            mode |= HIRES;
        }
        if (header.h > 399) {
            mode |= LACE;
        }
        if (header.nPlanes == 6) {
            mode |= halfBriteWithoutMode ? EXTRA_HALFBRITE : HAM;
        }
        picture.modeId = mode;
    }
    // A PBM row holds colour indices, and RGB8 and RGBN rows hold colours,
    // never HAM codes or half-brite values: only the aspect bits of their
    // mode mean anything.
    if (picture.formType == ID_PBM || IsTrueColourForm(picture.formType)) {
        picture.modeId &= ~(HAM | EXTRA_HALFBRITE);
    }
    picture.darkestColour = FindDarkestColour(picture.colours, picture.colourCount);
    if ((picture.modeId & EXTRA_HALFBRITE) != 0 && header.nPlanes == 6) {
        ExtendHalfBrite(picture.colours, picture.colourCount);
    }
}

}  // namespace lanterna
