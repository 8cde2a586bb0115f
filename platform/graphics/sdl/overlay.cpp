#include "platform/graphics/sdl/overlay.h"

#include <algorithm>
#include <vector>

#include "platform/graphics/sdl/overlay_font.h"

namespace os::sdl {

namespace {

constexpr int kMargin = 8;        // surface pixels from the window's edge
constexpr int kPadding = 6;       // font pixels inside the box
constexpr int kCellWidth = kGlyphWidth + 1;
constexpr int kCellHeight = kGlyphHeight + 2;

// One character per byte of ASCII and per UTF-8 sequence beyond it.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            lines.emplace_back();
        } else if (c < 0x80) {
            lines.back() += static_cast<char>(c);
        } else if (c >= 0xC0) {
            lines.back() += '?';
        }  // continuation bytes belong to the '?' before them
    }
    return lines;
}

}  // namespace

std::string OverlayText(const std::string& facts) {
    std::string text =
        "Keys and mouse\n"
        "  click, any key     next picture\n"
        "  Page Up / Down     previous / next picture\n"
        "  Esc, right button  stop the run\n"
        "  Tab                colour cycling on or off\n"
        "  arrows, drag       move over the picture\n"
        "  wheel              zoom: 1:1 to fit\n"
        "  Home               the first view\n"
        "  F5                 animation: pause or play\n"
        "  F6 / F7            animation: a frame back / on\n"
        "  F11                full screen\n"
        "  F1                 this overlay on or off\n";
    if (!facts.empty()) text += "\n" + facts;
    return text;
}

void LayOutOverlay(const std::string& text, int surfaceW, int surfaceH,
                   const std::function<void(const OverlayRect&, bool text)>& fill) {
    const std::vector<std::string> lines = Lines(text);
    size_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, line.size());
    const int columns = static_cast<int>(std::min<size_t>(longest, 4096));
    const int rows = static_cast<int>(std::min<size_t>(lines.size(), 4096));
    auto boxW = [&](int scale) { return (columns * kCellWidth + 2 * kPadding) * scale; };
    auto boxH = [&](int scale) { return (rows * kCellHeight + 2 * kPadding) * scale; };
    const int scale = boxW(2) + 2 * kMargin <= surfaceW && boxH(2) + 2 * kMargin <= surfaceH ? 2 : 1;
    // Everything is clipped to the surface.
    auto clipped = [&](OverlayRect r, bool isText) {
        const int right = std::min(r.x + r.w, surfaceW), bottom = std::min(r.y + r.h, surfaceH);
        r.x = std::max(r.x, 0);
        r.y = std::max(r.y, 0);
        r.w = right - r.x;
        r.h = bottom - r.y;
        if (r.w > 0 && r.h > 0) fill(r, isText);
    };
    clipped(OverlayRect{kMargin, kMargin, boxW(scale), boxH(scale)}, false);
    const int left = kMargin + kPadding * scale, top = kMargin + kPadding * scale;
    for (int row = 0; row < rows; ++row) {
        const std::string& line = lines[static_cast<size_t>(row)];
        for (size_t col = 0; col < line.size() && col < static_cast<size_t>(columns); ++col) {
            const int x0 = left + static_cast<int>(col) * kCellWidth * scale;
            if (x0 >= surfaceW) break;
            const int y0 = top + row * kCellHeight * scale;
            if (y0 >= surfaceH) return;
            const uint8_t* glyph = Glyph(line[col]);
            for (int gy = 0; gy < kGlyphHeight; ++gy) {
                // Runs of set pixels in the glyph's row.
                for (int gx = 0; gx < kGlyphWidth;) {
                    if ((glyph[gy] & (0x80 >> gx)) == 0) {
                        ++gx;
                        continue;
                    }
                    int end = gx;
                    while (end < kGlyphWidth && (glyph[gy] & (0x80 >> end)) != 0) ++end;
                    clipped(OverlayRect{x0 + gx * scale, y0 + gy * scale, (end - gx) * scale, scale}, true);
                    gx = end;
                }
            }
        }
    }
}

}  // namespace os::sdl
