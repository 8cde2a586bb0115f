// The F1 overlay's text and layout: the keys before the facts, the box
// first and everything inside the surface, twice the size where it fits,
// one character for each UTF-8 sequence.
#include <gtest/gtest.h>

#include <vector>

#include "platform/graphics/sdl/overlay.h"
#include "platform/graphics/sdl/overlay_font.h"

namespace {

using namespace os::sdl;

struct Drawn {
    std::vector<OverlayRect> boxes, ink;
    int inkPixels = 0;
};

Drawn Lay(const std::string& text, int w, int h) {
    Drawn d;
    LayOutOverlay(text, w, h, [&](const OverlayRect& r, bool isText) {
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.w, w);
        EXPECT_LE(r.y + r.h, h);
        EXPECT_GT(r.w, 0);
        EXPECT_GT(r.h, 0);
        if (isText) {
            EXPECT_FALSE(d.boxes.empty()) << "text before the box";
            d.ink.push_back(r);
            d.inkPixels += r.w * r.h;
        } else {
            d.boxes.push_back(r);
        }
    });
    return d;
}

TEST(Overlay, KeysThenFacts) {
    const std::string text = OverlayText("File: a.iff\nPlanes: 5");
    EXPECT_EQ(text.rfind("Keys and mouse\n", 0), 0u);
    EXPECT_NE(text.find("F1 "), std::string::npos);
    EXPECT_NE(text.find("Home "), std::string::npos);
    EXPECT_LT(text.find("F11"), text.find("\n\nFile: a.iff\nPlanes: 5"));
    EXPECT_EQ(OverlayText("").find("File"), std::string::npos);
    // Then the zoom: a whole scale, or the fraction of a fit that shrinks.
    EXPECT_NE(text.find("Planes: 5\nZoom: 1x"), std::string::npos) << text;
    EXPECT_NE(OverlayText("", Scale{3, 1}).find("\nZoom: 3x"), std::string::npos);
    EXPECT_NE(OverlayText("", Scale{480, 860}).find("\nZoom: 0.56x (fitted)"), std::string::npos);
}

TEST(Overlay, BoxFirstTextInsideTwiceAsLargeWhereItFits) {
    // "I": the glyph's set pixels, counted from the font.
    int glyphPixels = 0;
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < kGlyphWidth; ++x) glyphPixels += (Glyph('I')[y] & (0x80 >> x)) != 0;
    ASSERT_GT(glyphPixels, 0);
    const Drawn large = Lay("I", 1280, 800);
    ASSERT_EQ(large.boxes.size(), 1u);
    EXPECT_EQ(large.inkPixels, 4 * glyphPixels);
    for (const OverlayRect& r : large.ink) {
        EXPECT_GE(r.x, large.boxes[0].x);
        EXPECT_LE(r.x + r.w, large.boxes[0].x + large.boxes[0].w);
        EXPECT_LE(r.y + r.h, large.boxes[0].y + large.boxes[0].h);
    }
    // In a small window, at its own size and cut at the edges.
    const std::string text = OverlayText("File: a rather long name for a picture file.iff");
    const Drawn small = Lay(text, 200, 100);
    ASSERT_EQ(small.boxes.size(), 1u);
    EXPECT_EQ(small.boxes[0].w, 200 - small.boxes[0].x);
    const Drawn once = Lay("I", 40, 30);
    EXPECT_EQ(once.inkPixels, glyphPixels);
    // A name beyond ASCII: one '?' for each character, not for each byte.
    EXPECT_EQ(Lay("\xC3\xA9", 1280, 800).inkPixels, Lay("?", 1280, 800).inkPixels);
    EXPECT_EQ(Lay("\xE2\x80\x94", 1280, 800).boxes[0].w, Lay("?", 1280, 800).boxes[0].w);
    // Nothing to draw into.
    EXPECT_TRUE(Lay(text, 0, 0).boxes.empty());
}

}  // namespace
