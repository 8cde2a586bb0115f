// Which part of a colour-mapped screen a palette change reaches: from the
// first to the last row and column that hold a changed entry, nothing when
// no shown entry changed, and rows written since are read again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/graphics/sdl/palette_damage.h"

namespace {

struct Screen8 {
    os::ScreenPrivate sp;
    std::vector<uint8_t> pixels;
    Screen8(uint32_t width, uint32_t height) : pixels(size_t(width) * height, 0) {
        sp.width = width;
        sp.height = height;
        sp.bitmapWidth = width;
        sp.bitmapHeight = height;
        sp.stride = width;
        sp.bytesPerPixel = 1;
        sp.pixels = pixels.data();
    }
    void Put(uint32_t x, uint32_t y, uint8_t index) {
        pixels[size_t(y) * sp.stride + x] = index;
        sp.allZero = false;
    }
};

// "rows TOP-BOTTOM columns LEFT-RIGHT", to compare a rectangle at once.
std::string Text(const os::sdl::DamageRect& r) {
    return "rows " + std::to_string(r.top) + "-" + std::to_string(r.bottom) + " columns " + std::to_string(r.left) +
           "-" + std::to_string(r.right);
}

struct Palettes {
    os::Rgb before[256];
    os::Rgb after[256];
    Palettes() {
        for (int i = 0; i < 256; ++i) before[i] = after[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
    }
    void Change(int index) { after[index].g = uint8_t(after[index].g + 1); }
};

TEST(PaletteDamage, TheBandOfRowsHoldingAChangedColour) {
    Screen8 screen(40, 100);
    screen.Put(3, 20, 7);
    screen.Put(39, 55, 7);
    screen.Put(0, 70, 9);
    os::sdl::PaletteDamage damage;
    Palettes p;

    p.Change(7);
    os::sdl::DamageRect span = damage.Changed(screen.sp, p.before, p.after);
    EXPECT_EQ(Text(span), "rows 20-56 columns 3-40");

    Palettes q;
    q.Change(7);
    q.Change(9);
    span = damage.Changed(screen.sp, q.before, q.after);
    EXPECT_EQ(Text(span), "rows 20-71 columns 0-40");

    // One colour in a corner: only that corner, whichever rows lie between.
    Palettes corner;
    corner.Change(9);
    span = damage.Changed(screen.sp, corner.before, corner.after);
    EXPECT_EQ(Text(span), "rows 70-71 columns 0-1");

    // An entry no pixel uses, or no change at all: nothing to redraw.
    Palettes unused;
    unused.Change(200);
    span = damage.Changed(screen.sp, unused.before, unused.after);
    EXPECT_EQ(span.top, span.bottom);
    Palettes same;
    span = damage.Changed(screen.sp, same.before, same.after);
    EXPECT_EQ(span.top, span.bottom);

    // Index 0 is everywhere else: every row and column.
    Palettes background;
    background.Change(0);
    span = damage.Changed(screen.sp, background.before, background.after);
    EXPECT_EQ(Text(span), "rows 0-100 columns 0-40");
}

TEST(PaletteDamage, RowsWrittenSinceAreReadAgain) {
    Screen8 screen(16, 50);
    os::sdl::PaletteDamage damage;
    Palettes p;
    p.Change(5);
    EXPECT_EQ(damage.Changed(screen.sp, p.before, p.after).top, damage.Changed(screen.sp, p.before, p.after).bottom);

    // Written without telling: the sets made before do not know it.
    screen.Put(8, 30, 5);
    EXPECT_EQ(damage.Changed(screen.sp, p.before, p.after).bottom, 0u);

    damage.Written(30, 31);
    os::sdl::DamageRect span = damage.Changed(screen.sp, p.before, p.after);
    EXPECT_EQ(Text(span), "rows 30-31 columns 8-9");

    // Moved along its row: the column it left may still be redrawn, the
    // one it went to must be.
    screen.Put(8, 30, 0);
    screen.Put(12, 30, 5);
    damage.Written(30, 31);
    span = damage.Changed(screen.sp, p.before, p.after);
    EXPECT_LE(span.left, 12u);
    EXPECT_EQ(span.right, 13u);

    // Every row written again: the columns are made afresh.
    damage.Written(0, 50);
    span = damage.Changed(screen.sp, p.before, p.after);
    EXPECT_EQ(span.left, 12u);
    EXPECT_EQ(span.right, 13u);

    // Overwritten with another colour: no longer reached.
    screen.Put(12, 30, 6);
    damage.Written(0, 50);
    span = damage.Changed(screen.sp, p.before, p.after);
    EXPECT_EQ(span.top, span.bottom);
}

TEST(PaletteDamage, AScreenWithNothingDrawnIsIndexZeroEverywhereWithoutReadingIt) {
    // The model says every byte is 0; the rows are not read to find out
    // (what they hold here would say otherwise).
    Screen8 screen(30, 20);
    std::fill(screen.pixels.begin(), screen.pixels.end(), uint8_t{7});
    os::sdl::PaletteDamage damage;
    Palettes seven;
    seven.Change(7);
    os::sdl::DamageRect span = damage.Changed(screen.sp, seven.before, seven.after);
    EXPECT_EQ(span.top, span.bottom);
    Palettes zero;
    zero.Change(0);
    span = damage.Changed(screen.sp, zero.before, zero.after);
    EXPECT_EQ(Text(span), "rows 0-20 columns 0-30");

    // Once drawn, the rows written are read.
    screen.Put(4, 9, 7);
    damage.Written(0, 20);
    span = damage.Changed(screen.sp, seven.before, seven.after);
    EXPECT_EQ(span.top, 0u);
    EXPECT_EQ(span.bottom, 20u);

    // A new screen's rows are known to be zeros; after its first row is
    // drawn only that row is read.
    Screen8 fresh(30, 20);
    std::fill(fresh.pixels.begin(), fresh.pixels.end(), uint8_t{7});
    os::sdl::PaletteDamage next;
    next.Fresh(fresh.sp);
    fresh.Put(0, 0, 7);
    next.Written(0, 1);
    span = next.Changed(fresh.sp, seven.before, seven.after);
    EXPECT_EQ(span.top, 0u);
    EXPECT_EQ(span.bottom, 1u);
}

}  // namespace
