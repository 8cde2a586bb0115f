// Writing one converted row into the window: colour indices for an 8-bit
// screen, RGB for HAM and deep pictures, clipped to the screen.
#include <cstddef>

#include "display/display_state.h"
#include "display/pixel_transfer.h"
#include "display/pixels/row_pixels.h"

namespace lanterna {

void WriteRow(int32_t left, int32_t y, bool doubleWidth, RowBuffers* rows, const uint8_t* colours) {
    if (rows == nullptr) return;
    WriteRowSpan(left, y, doubleWidth, rows, colours, 0, rows->width);
}

void WriteRowSpan(int32_t left, int32_t y, bool doubleWidth, RowBuffers* rows, const uint8_t* colours,
                  uint32_t firstPixel, uint32_t endPixel) {
    if (rows == nullptr || gDisplay.screen == nullptr || gDisplay.window == nullptr) {
        return;
    }
    // Clip to the screen's bitmap on every side: a row above or below it is
    // skipped, pixels left of it are dropped from the start of the line, and
    // the line is cut at the right edge. The bitmap is the screen, or the
    // larger area a screen keeps of a picture larger than its page.
    const int32_t screenWidth =
        static_cast<int32_t>(os::GetBitMapAttr(gDisplay.window->RPort, os::BMA_WIDTH));
    const int32_t screenHeight =
        static_cast<int32_t>(os::GetBitMapAttr(gDisplay.window->RPort, os::BMA_HEIGHT));
    if (y < 0 || y >= screenHeight) {
        return;
    }
    if (endPixel > rows->width) {
        endPixel = rows->width;
    }
    if (firstPixel >= endPixel) {
        return;
    }
    // The span's place in the line (in screen pixels, twice as many with
    // doubleWidth), [lineStart, lineEnd), cut to what reaches the screen.
    const int64_t scale = doubleWidth ? 2 : 1;
    int64_t lineStart = scale * int64_t{firstPixel};
    int64_t lineEnd = scale * int64_t{endPixel};
    if (left + lineStart < 0) {
        lineStart = -int64_t{left};
    }
    if (left + lineEnd > screenWidth) {
        lineEnd = int64_t{screenWidth} - left;
    }
    if (lineEnd <= lineStart) {
        return;
    }

    // The source pixels that reach the screen.
    const size_t first = static_cast<size_t>(lineStart / scale);
    const size_t end = static_cast<size_t>((lineEnd + scale - 1) / scale);

    const size_t bytesPerPixel = ConvertRowPixels(rows, colours, first, end, doubleWidth);
    if (bytesPerPixel == 0) {
        return;
    }
    const uint8_t format = bytesPerPixel == 1 ? os::RECTFMT_LUT8 : os::RECTFMT_RGB;
    const size_t count = static_cast<size_t>(lineEnd - lineStart);
    os::WritePixelArray(rows->lineBuffer + static_cast<size_t>(lineStart) * bytesPerPixel, 0, 0,
                        static_cast<uint16_t>(count * bytesPerPixel), gDisplay.window->RPort,
                        static_cast<uint16_t>(left + lineStart), static_cast<uint16_t>(y),
                        static_cast<uint16_t>(count), 1, format);
}

}  // namespace lanterna
