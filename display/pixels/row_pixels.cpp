// Planes to pixels, row by row, over the SIMD kernels.
#include "display/pixels/row_pixels.h"

#include <algorithm>
#include <cstring>

#include "display/kernels/ham_kernels.h"
#include "display/kernels/planar_kernels.h"

namespace lanterna {

namespace {

// The byte columns of a row that are converted: only those that reach the
// screen, so a picture far wider than its screen costs what is shown. Pixel
// positions in the line buffer stay those of the whole row.
struct Columns {
    size_t first = 0;  // first byte column (8 pixels each)
    size_t count = 0;
};

// Plane pointers moved to the first converted column.
struct PlanesFrom {
    uint8_t* at[MAX_PLANES + 1] = {};
    PlanesFrom(uint8_t* const* planes, uint32_t count, size_t first) {
        for (uint32_t i = 0; i < count && i <= MAX_PLANES; ++i) at[i] = planes[i] + first;
    }
};

// One value per pixel over the given columns.
void PlanarToChunky(uint8_t* const* planes, uint32_t count, Columns columns, uint8_t* out) {
    const PlanesFrom from(planes, count, columns.first);
    PlanesToChunky(BestKernelSet(), from.at, count, columns.count, out + 8 * columns.first);
}

// Every pixel of a HAM row depends on the one before, so the row is
// converted from its first pixel up to the last one shown.
void ConvertHam(RowBuffers* rows, const uint8_t* colours, Columns columns) {
    const size_t bytesPerRow = rows->planeView.BytesPerRow;
    const size_t padded = bytesPerRow * 8;
    columns = Columns{0, columns.first + columns.count};
    // The pixel values go to the far end of the line buffer (6 x padded
    // bytes); the RGB line is written from the start and never catches up
    // with the values still to be read.
    uint8_t* values = rows->lineBuffer + 5 * padded;
    const uint32_t planeCount = rows->planeCount < 8 ? rows->planeCount : 8;
    PlanarToChunky(rows->planeView.Planes, planeCount, columns, values);

    const uint32_t width = std::min<uint32_t>(rows->width, static_cast<uint32_t>(8 * columns.count));
    HamToRgb(BestHamPath(), rows->pixelKind == PIXEL_HAM6, values, width, colours, rows->lineBuffer);
}

// Colour indices looked up in the row's colours (black without a map): for
// a picture whose colours change from line to line on a 24-bit screen.
void ConvertMappedToRgb(RowBuffers* rows, const uint8_t* colours, Columns columns) {
    const size_t bytesPerRow = rows->planeView.BytesPerRow;
    const size_t padded = bytesPerRow * 8;
    // As for HAM: the indices at the far end, the RGB line from the start.
    uint8_t* values = rows->lineBuffer + 5 * padded;
    const uint32_t planeCount = rows->planeCount < 8 ? rows->planeCount : 8;
    PlanarToChunky(rows->planeView.Planes, planeCount, columns, values);
    uint8_t* out = rows->lineBuffer;
    const uint32_t end = std::min<uint32_t>(rows->width, static_cast<uint32_t>(8 * (columns.first + columns.count)));
    for (uint32_t p = static_cast<uint32_t>(8 * columns.first); p < end; ++p) {
        const uint8_t* c = colours != nullptr ? colours + 3 * size_t{values[p]} : nullptr;
        out[3 * size_t{p}] = c != nullptr ? c[0] : 0;
        out[3 * size_t{p} + 1] = c != nullptr ? c[1] : 0;
        out[3 * size_t{p} + 2] = c != nullptr ? c[2] : 0;
    }
}

// With 8 bits per component the levels are the components themselves and the
// table is skipped. Plane i of a b-bit component goes to bit 8 - b + i: the
// gathered byte is the level v times 2^(8-b), the index of its entry in
// levelTable.
void ConvertDeep(RowBuffers* rows, Columns columns) {
    const uint32_t bits = rows->componentBits;
    const PlanesFrom red(rows->redView.Planes, bits, columns.first);
    const PlanesFrom green(rows->greenView.Planes, bits, columns.first);
    const PlanesFrom blue(rows->blueView.Planes, bits, columns.first);
    PlanesToRgb(BestKernelSet(), red.at, green.at, blue.at, bits, bits == 8 ? nullptr : rows->levelTable,
                columns.count, rows->lineBuffer + 24 * columns.first);
}

// Widens pixels [first, end) to twice as many, from the right end so that
// nothing is overwritten before it is read.
void DoubleLine(uint8_t* line, size_t first, size_t end, size_t bytesPerPixel) {
    if (bytesPerPixel == 1) {
        for (size_t p = end; p-- > first;) {
            const uint8_t v = line[p];
            line[2 * p] = v;
            line[2 * p + 1] = v;
        }
        return;
    }
    for (size_t p = end; p-- > first;) {
        const uint8_t r = line[3 * p];
        const uint8_t g = line[3 * p + 1];
        const uint8_t b = line[3 * p + 2];
        uint8_t* o = line + 6 * p;
        o[0] = r;
        o[1] = g;
        o[2] = b;
        o[3] = r;
        o[4] = g;
        o[5] = b;
    }
}

}  // namespace

size_t ConvertRowPixels(RowBuffers* rows, const uint8_t* colours, size_t firstPixel, size_t endPixel,
                        bool doubleWidth) {
    if (rows == nullptr || endPixel <= firstPixel) {
        return 0;
    }
    const Columns columns{firstPixel / 8, (endPixel + 7) / 8 - firstPixel / 8};
    size_t bytesPerPixel = 3;
    switch (rows->pixelKind) {
        case PIXEL_COLOUR_MAPPED: {
            bytesPerPixel = 1;
            const uint32_t planeCount = rows->planeCount < 8 ? rows->planeCount : 8;
            PlanarToChunky(rows->planeView.Planes, planeCount, columns, rows->lineBuffer);
            break;
        }
        case PIXEL_HAM6:
        case PIXEL_HAM8:
            ConvertHam(rows, colours, columns);
            break;
        case PIXEL_DEEP:
            ConvertDeep(rows, columns);
            break;
        case PIXEL_CHUNKY:
            // A PBM row already holds one colour index a pixel.
            bytesPerPixel = 1;
            std::memcpy(rows->lineBuffer + firstPixel, rows->planeView.Planes[0] + firstPixel,
                        endPixel - firstPixel);
            break;
        case PIXEL_MAPPED_RGB:
            ConvertMappedToRgb(rows, colours, columns);
            break;
        case PIXEL_RGB:
            // RGB8 and RGBN rows are decoded to RGB already.
            std::memcpy(rows->lineBuffer + 3 * firstPixel, rows->planeView.Planes[0] + 3 * firstPixel,
                        3 * (endPixel - firstPixel));
            break;
        default:
            return 0;
    }
    if (doubleWidth) {
        DoubleLine(rows->lineBuffer, firstPixel, endPixel, bytesPerPixel);
    }
    return bytesPerPixel;

}

}  // namespace lanterna
