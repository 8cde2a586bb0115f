#include "pixbuf_loader/row_rgb.h"

#include <cstring>

#include "display/pixels/row_pixels.h"

namespace lanterna {

bool RowsAreMappedIndices(const PictureInfo& info) {
    if (info.formType == ID_PBM) {
        return true;
    }
    return (info.formType == ID_ILBM || info.formType == ID_ACBM) && info.header.nPlanes <= 8 &&
           (info.modeId & HAM) == 0 && !HasLinePalettes(info);
}

void RowToRgb(const PictureInfo& info, const PictureRow& row, bool doubleWidth, uint8_t* rgb, uint8_t* indices) {
    RowBuffers* rows = row.rows;
    const size_t bytesPerPixel = ConvertRowPixels(rows, row.colours, 0, rows->width, doubleWidth);
    const size_t width = size_t(rows->width) * (doubleWidth ? 2 : 1);
    const uint8_t* line = rows->lineBuffer;
    if (bytesPerPixel == 3) {
        std::memcpy(rgb, line, width * 3);
        return;
    }
    if (bytesPerPixel != 1) {
        std::memset(rgb, 0, width * 3);
        return;
    }
    const uint8_t* colours = row.colours != nullptr ? row.colours : info.colours;
    for (size_t x = 0; x < width; ++x) {
        if (colours != nullptr) {
            std::memcpy(rgb + 3 * x, colours + 3 * size_t(line[x]), 3);
        } else {
            std::memset(rgb + 3 * x, 0, 3);
        }
    }
    if (indices != nullptr) {
        std::memcpy(indices, line, width);
    }
}

}  // namespace lanterna
