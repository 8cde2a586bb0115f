#include "convert/picture_lines.h"

#include <algorithm>
#include <cstring>

#include "display/pixels/row_pixels.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

// The largest side written: what a GIF holds; a PNG or WebP of a bigger
// picture would not be shown by most programs anyway.
constexpr uint64_t MAX_SIDE = 65535;
constexpr uint64_t MAX_PIXELS = uint64_t(1) << 28;

// Indexed rows: the picture's colours, every value its planes can make
// (colours past the map are black, as on its screen); grey levels when the
// file has no map.
void SettlePalette(const PictureInfo& info, PictureLines* lines) {
    // A chunky row's bytes may hold any value whatever its plane count says.
    const int32_t planes = info.formType == ID_PBM ? 8 : std::min<int32_t>(info.header.nPlanes, 8);
    lines->paletteCount = std::min(COLOUR_TABLE_ENTRIES, std::max(info.colourCount, 1 << planes));
    lines->palette.assign(size_t(lines->paletteCount) * 3, 0);
    for (int32_t i = 0; i < lines->paletteCount; ++i) {
        for (int32_t c = 0; c < 3; ++c) {
            lines->palette[3 * i + c] = info.colours != nullptr
                                            ? info.colours[3 * i + c]
                                            : uint8_t(lines->paletteCount > 1 ? i * 255 / (lines->paletteCount - 1) : 0);
        }
    }
}

}  // namespace

void WidenLine(const uint8_t* row, uint32_t pixels, size_t bytes, int32_t repeat, uint8_t* out) {
    if (repeat == 1) {
        std::memcpy(out, row, pixels * bytes);
        return;
    }
    for (uint32_t x = 0; x < pixels; ++x) {
        for (int32_t r = 0; r < repeat; ++r) {
            std::memcpy(out, row + x * bytes, bytes);
            out += bytes;
        }
    }
}

int32_t StartPictureLines(PictureReader* reader, int32_t xRepeat, int32_t yRepeat, PictureLines* lines) {
    const PictureInfo& info = PictureReaderInfo(reader);
    lines->reader = reader;
    lines->width = info.header.w;
    lines->height = info.header.h;
    lines->xRepeat = xRepeat;
    lines->yRepeat = yRepeat;
    const uint64_t outWidth = uint64_t(lines->width) * uint64_t(xRepeat);
    const uint64_t outHeight = uint64_t(lines->height) * uint64_t(yRepeat);
    if (outWidth == 0 || outHeight == 0 || outWidth > MAX_SIDE || outHeight > MAX_SIDE ||
        outWidth * outHeight > MAX_PIXELS) {
        return ERR_SCREEN_SIZE;
    }
    lines->outWidth = uint32_t(outWidth);
    lines->outHeight = uint32_t(outHeight);
    lines->raw.assign(size_t(lines->width) * 3, 0);
    lines->line.assign(size_t(outWidth) * 3, 0);
    return BeginPictureRows(reader);
}

std::string CutNote(const PictureLines& lines) {
    if (!lines.cut) return "";
    return "the file ends after row " + std::to_string(lines.rowsInFile) + " of " + std::to_string(lines.height) +
           ": the rest is in the background colour";
}

int32_t NextPictureLine(PictureLines* lines) {
    if (lines->nextRow >= lines->height) return PICTURE_ROWS_END;
    ++lines->nextRow;
    if (!lines->cut) {
        PictureRow row;
        const int32_t code = ReadPictureRow(lines->reader, &row);
        if (code == PICTURE_ROWS_END && lines->bytes != 0) {
            // A cut file is shown as far as it goes, the rest in the
            // background colour, as on the screen.
            lines->cut = true;
            lines->rowsInFile = lines->nextRow - 1;
            const PictureInfo& info = PictureReaderInfo(lines->reader);
            if (lines->bytes == 1) std::fill(lines->raw.begin(), lines->raw.end(), info.darkestColour);
            else std::fill(lines->raw.begin(), lines->raw.end(), 0);
        } else if (code != 0) {
            return code == PICTURE_ROWS_END ? ERR_CORRUPT : code;
        } else {
            const size_t bytes = ConvertRowPixels(row.rows, row.colours, 0, lines->width, false);
            if (bytes == 0 || (lines->bytes != 0 && bytes != lines->bytes)) return ERR_CORRUPT;
            if (lines->bytes == 0) {
                lines->bytes = bytes;
                if (bytes == 1) SettlePalette(PictureReaderInfo(lines->reader), lines);
            }
            std::memcpy(lines->raw.data(), row.rows->lineBuffer, size_t(lines->width) * bytes);
        }
    }
    WidenLine(lines->raw.data(), lines->width, lines->bytes, lines->xRepeat, lines->line.data());
    return 0;
}

}  // namespace lanterna
