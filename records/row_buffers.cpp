// The per-picture row buffers: one row of bit planes as the BODY decoders
// leave it, views of its colour components, and the output line.
#include "records/row_buffers.h"

#include <cstddef>
#include <new>

#include "platform/exec/exec.h"

namespace lanterna {

namespace {

constexpr int32_t SMALL_PLANE_ROWS = 9;  // up to 8 colour planes and a mask
// The converters store whole words; a few spare bytes after the line keep
// the last store inside the buffer.
constexpr size_t LINE_SLACK = 8;

}  // namespace

void FillLevelTable(uint8_t* table, int32_t size, int32_t levels, int32_t maximum) {
    if (table == nullptr || size <= 0 || levels <= 0) {
        return;
    }
    for (int64_t i = 0; i < levels; ++i) {
        const int64_t first = i * size / levels;
        const int64_t end = (i + 1) * size / levels;
        const int64_t value = levels > 1 ? i * maximum / (levels - 1) : 0;
        for (int64_t e = first; e < end; ++e) {
            table[e] = static_cast<uint8_t>(value);
        }
    }
}

void FreeRowBuffers(RowBuffers* rows) {
    if (rows == nullptr) {
        return;
    }
    os::FreeVec(rows->blankRow);
    for (uint8_t* row : rows->planeRows) {
        os::FreeVec(row);
    }
    os::FreeVec(rows->lineBuffer);
    os::FreeVec(rows);
}

bool IsTrueColourForm(uint32_t formType) {
    return formType == ID_RGB8 || formType == ID_RGBN || formType == ID_DEEP;
}

bool RowsCanBeShown(const BitMapHeader& header, uint32_t formType) {
    const int32_t planes = header.nPlanes;
    if (IsTrueColourForm(formType)) {
        return true;
    }
    if (formType == ID_PBM) {
        return planes <= 8 && header.w < 0xFFFF;
    }
    return planes <= 8 || (planes >= 12 && planes <= 24 && planes % 3 == 0) || planes == 32 || planes == 48 ||
           planes == 64;
}

namespace {

// The buffers of a row the decoder writes whole into one "plane row" of
// `rowBytes`: the row itself, a line buffer for it (doubled for wide
// pixels) and a blank row of `blankBytes` behind every other plane pointer.
RowBuffers* AllocOneRow(RowBuffers* rows, size_t rowBytes, size_t blankBytes) {
    rows->blankRow = static_cast<uint8_t*>(os::AllocVec(blankBytes + LINE_SLACK, os::MEMF_CLEAR));
    rows->lineBuffer = static_cast<uint8_t*>(os::AllocVec(rowBytes * 2 + LINE_SLACK, os::MEMF_ANY));
    rows->planeRows[0] = static_cast<uint8_t*>(os::AllocVec(rowBytes + LINE_SLACK, os::MEMF_ANY));
    if (rows->blankRow == nullptr || rows->lineBuffer == nullptr || rows->planeRows[0] == nullptr) {
        FreeRowBuffers(rows);
        return nullptr;
    }
    for (uint8_t*& plane : rows->planeView.Planes) {
        plane = rows->blankRow;
    }
    rows->planeView.Planes[0] = rows->planeRows[0];
    return rows;
}

// A chunky row is its pixels, one byte each, padded to an even length; the
// decoders see it as a single "plane row" of that many bytes.
RowBuffers* AllocChunkyRows(RowBuffers* rows, const BitMapHeader& header) {
    const size_t rowBytes = size_t{header.w} + (header.w & 1u);
    rows->pixelKind = PIXEL_CHUNKY;
    rows->planeCount = header.nPlanes;
    rows->width = header.w;
    rows->planeView.BytesPerRow = static_cast<uint16_t>(rowBytes);
    rows->planeView.Rows = header.h;
    rows->planeView.Depth = 8;
    return AllocOneRow(rows, rowBytes, rowBytes);
}

// An RGB row: three bytes a pixel, written by the RGB8 / RGBN or DEEP decoder.
RowBuffers* AllocRgbRows(RowBuffers* rows, const BitMapHeader& header) {
    rows->pixelKind = PIXEL_RGB;
    rows->planeCount = header.nPlanes;
    rows->width = header.w;
    return AllocOneRow(rows, size_t{header.w} * 3, 0);
}

}  // namespace

RowBuffers* AllocRowBuffers(const BitMapHeader& header, uint32_t modeId, uint32_t formType, bool rgbRows) {
    if (!RowsCanBeShown(header, formType)) {
        return nullptr;
    }
    void* memory = os::AllocVec(sizeof(RowBuffers), os::MEMF_CLEAR);
    if (memory == nullptr) {
        return nullptr;
    }
    RowBuffers* rows = new (memory) RowBuffers{};
    if (formType == ID_PBM) {
        return AllocChunkyRows(rows, header);
    }
    if (IsTrueColourForm(formType)) {
        return AllocRgbRows(rows, header);
    }

    const int32_t planes = header.nPlanes;
    // The mask plane of a masked picture is read like a plane and shown
    // nowhere; the other masking values change nothing in the rows.
    const bool masked = header.masking == mskHasMask;
    size_t bytesPerPixel = 1;
    if (planes <= 8) {
        if ((modeId & HAM) == 0 && rgbRows) {
            rows->pixelKind = PIXEL_MAPPED_RGB;
            bytesPerPixel = 3;
        } else if ((modeId & HAM) == 0) {
            rows->pixelKind = PIXEL_COLOUR_MAPPED;
        } else {
            // Five planes are HAM6 with the sixth plane 0, as the display
            // hardware reads them: values 16..31 modify blue. Seven planes
            // are HAM8 with the eighth plane 0.
            rows->pixelKind = planes == 5 || planes == 6 ? PIXEL_HAM6 : PIXEL_HAM8;
            bytesPerPixel = 3;
        }
    } else if (planes == 48 || planes == 64) {
        rows->pixelKind = PIXEL_WIDE_PLANES;
        rows->componentBits = 16;
    } else {
        rows->pixelKind = PIXEL_DEEP;
        // 32 planes are 8 bits each of red, green, blue and alpha.
        rows->componentBits = planes == 32 ? 8u : static_cast<uint32_t>(planes / 3);
        bytesPerPixel = 3;
    }
    rows->planeCount = static_cast<uint32_t>(planes);
    rows->width = header.w;

    // Plane rows are whole 16-bit words, as a bitmap of the picture's width.
    const auto bytesPerRow16 = static_cast<uint16_t>(2 * ((uint32_t{header.w} + 15) / 16));
    rows->planeView.BytesPerRow = bytesPerRow16;
    rows->planeView.Rows = header.h;
    rows->planeView.Depth = 8;
    for (os::BitMap* view : {&rows->redView, &rows->greenView, &rows->blueView}) {
        view->BytesPerRow = bytesPerRow16;
        view->Rows = header.h;
        view->Flags = 0;
        view->Depth = 8;
    }

    const size_t bytesPerRow = bytesPerRow16;
    const size_t paddedWidth = bytesPerRow * 8;  // w rounded up to 16
    rows->blankRow = static_cast<uint8_t*>(os::AllocVec(bytesPerRow + LINE_SLACK, os::MEMF_CLEAR));
    rows->lineBuffer = static_cast<uint8_t*>(
        os::AllocVec(bytesPerPixel * paddedWidth * 2 + LINE_SLACK, os::MEMF_ANY));
    if (rows->blankRow == nullptr || rows->lineBuffer == nullptr) {
        FreeRowBuffers(rows);
        return nullptr;
    }

    for (uint8_t*& plane : rows->planeView.Planes) {
        plane = rows->blankRow;
    }
    for (os::BitMap* view : {&rows->redView, &rows->greenView, &rows->blueView}) {
        for (uint8_t*& plane : view->Planes) {
            plane = rows->blankRow;
        }
    }

    const int32_t owned = rows->pixelKind == PIXEL_DEEP || rows->pixelKind == PIXEL_WIDE_PLANES
                              ? planes + (masked ? 1 : 0)
                              : SMALL_PLANE_ROWS;
    for (int32_t i = 0; i < owned; ++i) {
        rows->planeRows[i] = static_cast<uint8_t*>(os::AllocVec(bytesPerRow + LINE_SLACK, os::MEMF_ANY));
        if (rows->planeRows[i] == nullptr) {
            FreeRowBuffers(rows);
            return nullptr;
        }
    }
    for (int32_t i = 0; i < planes; ++i) {
        rows->planeView.Planes[i] = rows->planeRows[i];
    }
    // The mask row of each BODY row is read into the plane after the colour
    // planes; it never becomes part of a pixel value.
    if (masked) {
        rows->planeView.Planes[planes] = rows->planeRows[planes];
    }
    if (rows->pixelKind != PIXEL_DEEP) {
        return rows;
    }

    // Deep: b red planes, then b green, then b blue, least significant first
    // (and, with 32 planes, 8 alpha planes that no colour is made of).
    const int32_t bits = static_cast<int32_t>(rows->componentBits);
    for (int32_t i = 0; i < bits; ++i) {
        rows->redView.Planes[i] = rows->planeRows[i];
        rows->greenView.Planes[i] = rows->planeRows[bits + i];
        rows->blueView.Planes[i] = rows->planeRows[2 * bits + i];
    }
    if (bits == 8) {
        for (int32_t i = 0; i < 256; ++i) {
            rows->levelTable[i] = static_cast<uint8_t>(i);
        }
    } else {
        FillLevelTable(rows->levelTable, 256, 1 << bits, 255);
    }
    return rows;
}

}  // namespace lanterna
