// The per-picture row buffers: one row of bit planes as the BODY decoders
// leave it, views of its colour components, and the output line.
#include "display/pixel_transfer.h"

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

RowBuffers* AllocRowBuffers(const BitMapHeader& header, uint32_t modeId) {
    void* memory = os::AllocVec(sizeof(RowBuffers), os::MEMF_CLEAR);
    if (memory == nullptr) {
        return nullptr;
    }
    RowBuffers* rows = new (memory) RowBuffers{};

    const int32_t planes = header.nPlanes;
    size_t bytesPerPixel = 1;
    if (planes <= 8) {
        if ((modeId & HAM) == 0) {
            rows->pixelKind = PIXEL_COLOUR_MAPPED;
        } else {
            rows->pixelKind = planes == 6 ? PIXEL_HAM6 : PIXEL_HAM8;
            bytesPerPixel = 3;
        }
    } else if (planes >= 12 && planes <= 24 && planes % 3 == 0 && header.masking == mskNone) {
        rows->pixelKind = PIXEL_DEEP;
        bytesPerPixel = 3;
    } else {
        FreeRowBuffers(rows);
        return nullptr;
    }
    rows->planeCount = static_cast<uint32_t>(planes);
    rows->width = header.w;

    os::BitMap layout;
    os::InitBitMap(&layout, 8, header.w, header.h);
    rows->planeView.BytesPerRow = layout.BytesPerRow;
    rows->planeView.Rows = layout.Rows;
    rows->planeView.Flags = layout.Flags;
    rows->planeView.Depth = layout.Depth;
    os::InitBitMap(&rows->redView, 8, header.w, header.h);
    os::InitBitMap(&rows->greenView, 8, header.w, header.h);
    os::InitBitMap(&rows->blueView, 8, header.w, header.h);

    const size_t bytesPerRow = layout.BytesPerRow;
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

    const int32_t owned = rows->pixelKind == PIXEL_DEEP ? MAX_PLANES : SMALL_PLANE_ROWS;
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

    if (rows->pixelKind != PIXEL_DEEP) {
        // The mask row of each BODY row is read into the plane after the
        // colour planes; it never becomes part of a pixel value.
        if (header.masking == mskHasMask) {
            rows->planeView.Planes[planes] = rows->planeRows[planes];
        }
        return rows;
    }

    // Deep: b red planes, then b green, then b blue, least significant first.
    const int32_t bits = planes / 3;
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
