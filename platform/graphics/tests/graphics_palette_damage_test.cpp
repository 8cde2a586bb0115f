// Which parts of a colour-mapped screen a palette change reaches: the tiles
// that hold a changed entry, trimmed to its rows, as few rectangles; nothing
// when no shown entry changed; rows written since are read again.
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

// "rows TOP-BOTTOM columns LEFT-RIGHT" for each rectangle, "; " between
// them, "none" for none: to compare the whole answer at once.
std::string Text(const std::vector<os::sdl::DamageRect>& rects) {
    std::string text;
    for (const os::sdl::DamageRect& r : rects) {
        if (!text.empty()) text += "; ";
        text += "rows " + std::to_string(r.top) + "-" + std::to_string(r.bottom) + " columns " +
                std::to_string(r.left) + "-" + std::to_string(r.right);
    }
    return text.empty() ? "none" : text;
}

std::string Damage(os::sdl::PaletteDamage& damage, const os::ScreenPrivate& sp, const os::Rgb before[256],
                   const os::Rgb after[256]) {
    std::vector<os::sdl::DamageRect> rects;
    damage.Changed(sp, before, after, rects);
    return Text(rects);
}

struct Palettes {
    os::Rgb before[256];
    os::Rgb after[256];
    Palettes() {
        for (int i = 0; i < 256; ++i) before[i] = after[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
    }
    void Change(int index) { after[index].g = uint8_t(after[index].g + 1); }
};

TEST(PaletteDamage, TheTilesHoldingAChangedColourTrimmedToItsRows) {
    // Tiles of 64 columns: [0,64) [64,128) [128,192) [192,200); bands of 16 rows.
    Screen8 screen(200, 100);
    screen.Put(3, 20, 7);
    screen.Put(130, 22, 7);
    screen.Put(199, 90, 9);
    for (uint32_t y = 10; y <= 60; ++y) screen.Put(70, y, 8);
    os::sdl::PaletteDamage damage;

    Palettes seven;
    seven.Change(7);
    EXPECT_EQ(Damage(damage, screen.sp, seven.before, seven.after),
              "rows 20-23 columns 0-64; rows 20-23 columns 128-192");

    // One colour in a corner: only that corner, whichever rows lie between.
    Palettes corner;
    corner.Change(9);
    EXPECT_EQ(Damage(damage, screen.sp, corner.before, corner.after), "rows 90-91 columns 192-200");

    // Down through four bands in the same tiles: one rectangle.
    Palettes line;
    line.Change(8);
    EXPECT_EQ(Damage(damage, screen.sp, line.before, line.after), "rows 10-61 columns 64-128");

    // Two colours at once: the tiles of both, side by side in a band joined.
    Palettes both;
    both.Change(7);
    both.Change(8);
    EXPECT_EQ(Damage(damage, screen.sp, both.before, both.after),
              "rows 10-16 columns 64-128; rows 16-32 columns 0-192; rows 32-61 columns 64-128");

    // An entry no pixel uses, or no change at all: nothing to redraw.
    Palettes unused;
    unused.Change(200);
    EXPECT_EQ(Damage(damage, screen.sp, unused.before, unused.after), "none");
    Palettes same;
    EXPECT_EQ(Damage(damage, screen.sp, same.before, same.after), "none");

    // Index 0 is everywhere else: the whole screen, as one rectangle.
    Palettes background;
    background.Change(0);
    EXPECT_EQ(Damage(damage, screen.sp, background.before, background.after), "rows 0-100 columns 0-200");
}

TEST(PaletteDamage, ScatteredColoursPastAFewDozenRectanglesAreOneBox) {
    // Every other tile in ten bands, shifted by a tile from band to band, so
    // that no rectangle grows down: 100 of them, given as their box.
    Screen8 screen(64 * 20, 16 * 10);
    for (uint32_t band = 0; band < 10; ++band) {
        for (uint32_t tile = band % 2; tile < 20; tile += 2) screen.Put(tile * 64 + 5, band * 16 + 3, 42);
    }
    os::sdl::PaletteDamage damage;
    Palettes p;
    p.Change(42);
    EXPECT_EQ(Damage(damage, screen.sp, p.before, p.after), "rows 3-148 columns 0-1280");

    // A few are given as they are.
    Screen8 few(64 * 20, 16 * 10);
    for (uint32_t tile = 0; tile < 20; tile += 2) few.Put(tile * 64, 7, 42);
    os::sdl::PaletteDamage fewDamage;
    std::vector<os::sdl::DamageRect> rects;
    fewDamage.Changed(few.sp, p.before, p.after, rects);
    EXPECT_EQ(rects.size(), 10u);
}

TEST(PaletteDamage, RowsWrittenSinceAreReadAgain) {
    Screen8 screen(200, 50);
    os::sdl::PaletteDamage damage;
    Palettes p;
    p.Change(5);
    EXPECT_EQ(Damage(damage, screen.sp, p.before, p.after), "none");

    // Written without telling: the sets made before do not know it.
    screen.Put(8, 30, 5);
    EXPECT_EQ(Damage(damage, screen.sp, p.before, p.after), "none");

    damage.Written(30, 31);
    EXPECT_EQ(Damage(damage, screen.sp, p.before, p.after), "rows 30-31 columns 0-64");

    // Moved along its row: only the tile it went to.
    screen.Put(8, 30, 0);
    screen.Put(150, 30, 5);
    damage.Written(30, 31);
    EXPECT_EQ(Damage(damage, screen.sp, p.before, p.after), "rows 30-31 columns 128-192");

    // Another row of the same band written: the band is read again whole,
    // and what was there stays known.
    screen.Put(10, 17, 5);
    damage.Written(17, 18);
    EXPECT_EQ(Damage(damage, screen.sp, p.before, p.after),
              "rows 17-31 columns 0-64; rows 17-31 columns 128-192");

    // Overwritten with another colour: no longer reached.
    screen.Put(150, 30, 6);
    screen.Put(10, 17, 6);
    damage.Written(0, 50);
    EXPECT_EQ(Damage(damage, screen.sp, p.before, p.after), "none");
}

TEST(PaletteDamage, AScreenWithNothingDrawnIsIndexZeroEverywhereWithoutReadingIt) {
    // The model says every byte is 0; the rows are not read to find out
    // (what they hold here would say otherwise).
    Screen8 screen(30, 20);
    std::fill(screen.pixels.begin(), screen.pixels.end(), uint8_t{7});
    os::sdl::PaletteDamage damage;
    Palettes seven;
    seven.Change(7);
    EXPECT_EQ(Damage(damage, screen.sp, seven.before, seven.after), "none");
    Palettes zero;
    zero.Change(0);
    EXPECT_EQ(Damage(damage, screen.sp, zero.before, zero.after), "rows 0-20 columns 0-30");

    // Once drawn, the rows written are read.
    screen.Put(4, 9, 7);
    damage.Written(0, 20);
    EXPECT_EQ(Damage(damage, screen.sp, seven.before, seven.after), "rows 0-20 columns 0-30");

    // A new screen's rows are known to be zeros; after its first row is
    // drawn only the band of tiles that row lies in is read.
    Screen8 fresh(30, 20);
    std::fill(fresh.pixels.begin(), fresh.pixels.end(), uint8_t{7});
    os::sdl::PaletteDamage next;
    next.Fresh(fresh.sp);
    fresh.Put(0, 0, 7);
    next.Written(0, 1);
    EXPECT_EQ(Damage(next, fresh.sp, seven.before, seven.after), "rows 0-16 columns 0-30");
}

}  // namespace
