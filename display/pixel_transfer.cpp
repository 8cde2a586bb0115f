// Writing one converted row into the window: colour indices for an 8-bit
// screen, RGB for HAM and deep pictures, clipped to the screen.
#include <cstddef>

#include "display/display_state.h"
#include "display/pixel_transfer.h"
#include "display/pixels/row_pixels.h"

namespace lanterna {

void WriteRow(int32_t left, int32_t y, bool doubleWidth, RowBuffers* rows, const uint8_t* colours) {
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
    const int64_t total = doubleWidth ? 2 * int64_t{rows->width} : int64_t{rows->width};
    const int64_t skip = left < 0 ? -int64_t{left} : 0;
    const int32_t destX = left < 0 ? 0 : left;
    int64_t n = total - skip;
    if (n > screenWidth - destX) {
        n = screenWidth - destX;
    }
    if (n < 1) {
        return;
    }

    // The source pixels that reach the screen, [firstPixel, endPixel).
    const size_t firstPixel = static_cast<size_t>(doubleWidth ? skip / 2 : skip);
    const size_t endPixel = static_cast<size_t>(doubleWidth ? (skip + n + 1) / 2 : skip + n);

    const size_t bytesPerPixel = ConvertRowPixels(rows, colours, firstPixel, endPixel, doubleWidth);
    if (bytesPerPixel == 0) {
        return;
    }
    const uint8_t format = bytesPerPixel == 1 ? os::RECTFMT_LUT8 : os::RECTFMT_RGB;
    const size_t count = static_cast<size_t>(n);
    os::WritePixelArray(rows->lineBuffer + static_cast<size_t>(skip) * bytesPerPixel, 0, 0,
                        static_cast<uint16_t>(count * bytesPerPixel), gDisplay.window->RPort,
                        static_cast<uint16_t>(destX), static_cast<uint16_t>(y),
                        static_cast<uint16_t>(count), 1, format);
}

}  // namespace lanterna
