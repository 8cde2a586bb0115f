// Row buffers and pixel transfer: planar rows converted to colour indices,
// HAM and deep RGB, doubled, clipped and written into a headless screen.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "display/display.h"
#include "display/pixel_transfer.h"
#include "platform/graphics/graphics_internal.h"
#include "platform/testing/testing.h"

namespace lanterna {
namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << int{c.r} << ", " << int{c.g} << ", " << int{c.b} << ")";
}

// Puts one pixel value per pixel into the plane rows: bit i into plane i,
// bit 7 of byte 0 the leftmost pixel.
void SetRow(RowBuffers* rows, const std::vector<uint32_t>& values, int planes) {
    const size_t bytes = rows->planeView.BytesPerRow;
    for (int i = 0; i < planes; ++i) {
        uint8_t* plane = rows->planeView.Planes[i];
        std::memset(plane, 0, bytes);
        for (size_t p = 0; p < values.size(); ++p) {
            if ((values[p] >> i) & 1u) {
                plane[p / 8] |= static_cast<uint8_t>(0x80u >> (p % 8));
            }
        }
    }
}

BitMapHeader Header(uint16_t w, uint8_t planes, uint8_t masking = mskNone) {
    BitMapHeader h;
    h.w = w;
    h.h = 1;
    h.nPlanes = planes;
    h.masking = masking;
    h.pageWidth = static_cast<uint16_t>(w);
    h.pageHeight = 1;
    return h;
}

struct RowsDeleter {
    void operator()(RowBuffers* rows) const { FreeRowBuffers(rows); }
};
using RowsPtr = std::unique_ptr<RowBuffers, RowsDeleter>;

class PixelTransfer : public ::testing::Test {
protected:
    void OpenScreen(uint16_t width, uint16_t height, int32_t depth, uint8_t pen = 0,
                    const uint8_t* colours = nullptr, int32_t count = 0) {
        ASSERT_EQ(OpenDisplay(width, height, depth, pen, colours, count), 0);
        ASSERT_NE(gDisplay.screen, nullptr);
        ASSERT_EQ(gDisplay.screen->Width, width);
        ASSERT_EQ(gDisplay.screen->Height, height);
    }
    void TearDown() override { CloseDisplay(); }

    const uint8_t* At(int x, int y) const {
        const os::ScreenPrivate* s = gDisplay.screen->priv;
        return s->pixels + static_cast<size_t>(y) * s->stride + static_cast<size_t>(x) * s->bytesPerPixel;
    }
    uint8_t Index(int x, int y) const { return *At(x, y); }
    Rgb Colour(int x, int y) const {
        const uint8_t* p = At(x, y);
        return {p[0], p[1], p[2]};
    }
};

TEST_F(PixelTransfer, ColourMappedRowsLeaveTheMaskOut) {
    OpenScreen(128, 4, 8, 255);
    std::mt19937 random(7);
    for (uint8_t planes : {1, 4, 5, 8}) {
        for (uint8_t masking : {mskNone, mskHasMask}) {
            SCOPED_TRACE(::testing::Message() << int{planes} << " planes, masking " << int{masking});
            // A width of 100 pads the plane rows to 14 bytes, 112 pixels.
            RowsPtr rows(AllocRowBuffers(Header(100, planes, masking), 0));
            ASSERT_NE(rows, nullptr);
            EXPECT_EQ(rows->pixelKind, PIXEL_COLOUR_MAPPED);
            EXPECT_EQ(rows->planeView.BytesPerRow, 14);
            std::vector<uint32_t> values(112);
            for (auto& v : values) {
                v = random() & ((1u << planes) - 1);
            }
            SetRow(rows.get(), values, planes);
            if (masking == mskHasMask) {
                ASSERT_NE(rows->planeView.Planes[planes], rows->blankRow);
                std::memset(rows->planeView.Planes[planes], 0xFF, 14);  // all opaque
            } else if (planes < 8) {
                EXPECT_EQ(rows->planeView.Planes[planes], rows->blankRow);
            }
            WriteRow(3, 2, false, rows.get(), nullptr);
            for (int x = 0; x < 128; ++x) {
                const uint8_t expected = (x >= 3 && x < 103) ? values[x - 3] : 255;
                ASSERT_EQ(Index(x, 2), expected) << "x " << x;
            }
        }
    }
}

// Hold-and-modify as the format describes it, one pixel at a time, from
// colour 0 of the palette.
std::vector<Rgb> ReferenceHam(const std::vector<uint32_t>& codes, const uint8_t* palette, int planes) {
    const int dataBits = planes == 6 ? 4 : 6;
    Rgb current = palette ? Rgb{palette[0], palette[1], palette[2]} : Rgb{0, 0, 0};
    std::vector<Rgb> out;
    for (uint32_t v : codes) {
        const uint32_t d = v & ((1u << dataBits) - 1);
        const uint32_t control = (v >> dataBits) & 3;
        // The level's bits repeated below it fill the 8-bit component.
        const uint8_t level = static_cast<uint8_t>(dataBits == 4 ? (d << 4) | d : (d << 2) | (d >> 4));
        if (control == 0) {
            current = palette ? Rgb{palette[3 * d], palette[3 * d + 1], palette[3 * d + 2]} : Rgb{0, 0, 0};
        } else if (control == 1) {
            current.b = level;
        } else if (control == 2) {
            current.r = level;
        } else {
            current.g = level;
        }
        out.push_back(current);
    }
    return out;
}

TEST_F(PixelTransfer, HamRowsStartFromColourZero) {
    OpenScreen(64, 2, 24);
    std::vector<uint8_t> palette(768, 0);
    // Colour 0 is not black: a row that begins by modifying one component
    // keeps the other two of colour 0.
    palette[0] = 10;
    palette[1] = 20;
    palette[2] = 30;
    RowsPtr ham6(AllocRowBuffers(Header(3, 6), HAM));
    ASSERT_NE(ham6, nullptr);
    EXPECT_EQ(ham6->pixelKind, PIXEL_HAM6);
    SetRow(ham6.get(), {0x2F, 0x11, 0x00}, 6);  // red 15, blue 1, colour 0
    WriteRow(0, 0, false, ham6.get(), palette.data());
    EXPECT_EQ(Colour(0, 0), (Rgb{255, 20, 30}));
    EXPECT_EQ(Colour(1, 0), (Rgb{255, 20, 17}));
    EXPECT_EQ(Colour(2, 0), (Rgb{10, 20, 30}));

    // Without a colour map the palette counts as black.
    WriteRow(0, 1, false, ham6.get(), nullptr);
    EXPECT_EQ(Colour(0, 1), (Rgb{255, 0, 0}));
    EXPECT_EQ(Colour(1, 1), (Rgb{255, 0, 17}));
    EXPECT_EQ(Colour(2, 1), (Rgb{0, 0, 0}));

    RowsPtr ham8(AllocRowBuffers(Header(2, 8), HAM));
    ASSERT_NE(ham8, nullptr);
    EXPECT_EQ(ham8->pixelKind, PIXEL_HAM8);
    SetRow(ham8.get(), {0xFF, 0x60}, 8);  // green 63, blue 32
    WriteRow(0, 0, false, ham8.get(), palette.data());
    EXPECT_EQ(Colour(0, 0), (Rgb{10, 255, 30}));
    EXPECT_EQ(Colour(1, 0), (Rgb{10, 255, 0x82}));
}

TEST_F(PixelTransfer, HamRowsMatchAReferenceDecoder) {
    constexpr uint16_t kWidth = 333;
    OpenScreen(kWidth, 1, 24);
    std::mt19937 random(11);
    std::vector<uint8_t> palette(768);
    for (auto& c : palette) {
        c = static_cast<uint8_t>(random());
    }
    // 5 HAM planes follow the 6-plane rules (the sixth plane is 0), 7 the
    // 8-plane rules, control in bits 6 and 7.
    for (uint8_t planes : {4, 5, 6, 7, 8}) {
        for (bool withPalette : {true, false}) {
            SCOPED_TRACE(::testing::Message() << int{planes} << " planes, palette " << withPalette);
            RowsPtr rows(AllocRowBuffers(Header(kWidth, planes, mskHasMask), HAM | LACE));
            ASSERT_NE(rows, nullptr);
            std::vector<uint32_t> codes(kWidth);
            for (auto& v : codes) {
                v = random() & ((1u << planes) - 1);
            }
            SetRow(rows.get(), codes, planes);
            std::memset(rows->planeView.Planes[planes], 0xFF, rows->planeView.BytesPerRow);
            const uint8_t* colours = withPalette ? palette.data() : nullptr;
            WriteRow(0, 0, false, rows.get(), colours);
            const auto expected = ReferenceHam(codes, colours, planes == 5 || planes == 6 ? 6 : 8);
            for (int x = 0; x < kWidth; ++x) {
                ASSERT_EQ(Colour(x, 0), expected[x]) << "x " << x << " code " << codes[x];
            }
        }
    }
}

TEST_F(PixelTransfer, DeepRowsScaleTheirLevels) {
    OpenScreen(40, 1, 24);
    std::mt19937 random(3);
    for (uint8_t planes : {24, 12, 15, 18, 21}) {
        SCOPED_TRACE(::testing::Message() << int{planes} << " planes");
        const int bits = planes / 3;
        const uint32_t top = (1u << bits) - 1;
        RowsPtr rows(AllocRowBuffers(Header(40, planes), 0));
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(rows->pixelKind, PIXEL_DEEP);
        std::vector<Rgb> levels(40);
        for (auto& l : levels) {
            l = {static_cast<uint8_t>(random() & top), static_cast<uint8_t>(random() & top),
                 static_cast<uint8_t>(random() & top)};
        }
        levels[0] = {static_cast<uint8_t>(top), 0, static_cast<uint8_t>(1u << (bits - 1))};
        std::vector<uint32_t> values;
        for (const Rgb& l : levels) {
            values.push_back(l.r | (uint32_t{l.g} << bits) | (uint32_t{l.b} << (2 * bits)));
        }
        SetRow(rows.get(), values, planes);
        WriteRow(0, 0, false, rows.get(), nullptr);
        for (int x = 0; x < 40; ++x) {
            const Rgb& l = levels[x];
            const Rgb expected{static_cast<uint8_t>(l.r * 255 / top), static_cast<uint8_t>(l.g * 255 / top),
                               static_cast<uint8_t>(l.b * 255 / top)};
            ASSERT_EQ(Colour(x, 0), expected) << "x " << x;
        }
        if (bits == 4) {  // 15 -> 255, 8 -> 136, 0 -> 0
            EXPECT_EQ(Colour(0, 0), (Rgb{255, 0, 136}));
        }
        if (bits == 8) {
            EXPECT_EQ(Colour(0, 0), (Rgb{255, 0, 128}));
        }
    }
}

// A deep picture's mask plane, and the masking values that only describe
// transparency, change no colour; 32 planes are red, green, blue and an
// alpha plane group that no colour is made of.
TEST_F(PixelTransfer, DeepRowsWithMasksAndAlphaKeepTheirColours) {
    OpenScreen(24, 1, 24);
    std::vector<uint32_t> values;
    for (uint32_t x = 0; x < 24; ++x) values.push_back((x * 10) | ((255 - x * 9) << 8) | ((x * 7 + 3) << 16));
    for (uint8_t masking : {mskHasMask, mskHasTransparentColor, mskLasso}) {
        SCOPED_TRACE(::testing::Message() << "masking " << int{masking});
        RowsPtr rows(AllocRowBuffers(Header(24, 24, masking), 0));
        ASSERT_NE(rows, nullptr);
        SetRow(rows.get(), values, 24);
        if (masking == mskHasMask) {
            // The mask row sits after the colour planes, apart from all of them.
            ASSERT_NE(rows->planeView.Planes[24], rows->blankRow);
            for (int i = 0; i < 24; ++i) ASSERT_NE(rows->planeView.Planes[24], rows->planeView.Planes[i]);
            std::memset(rows->planeView.Planes[24], 0xA5, rows->planeView.BytesPerRow);
        }
        WriteRow(0, 0, false, rows.get(), nullptr);
        for (int x = 0; x < 24; ++x) {
            const uint32_t v = values[size_t(x)];
            ASSERT_EQ(Colour(x, 0), (Rgb{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)})) << "x " << x;
        }
    }
    for (uint8_t masking : {mskNone, mskHasMask}) {
        SCOPED_TRACE(::testing::Message() << "32 planes, masking " << int{masking});
        RowsPtr rows(AllocRowBuffers(Header(24, 32, masking), 0));
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(rows->pixelKind, PIXEL_DEEP);
        EXPECT_EQ(rows->componentBits, 8u);
        std::vector<uint32_t> rgba = values;
        for (uint32_t x = 0; x < 24; ++x) rgba[x] |= (x * 11) << 24;  // opaque to clear
        SetRow(rows.get(), rgba, 32);
        WriteRow(0, 0, false, rows.get(), nullptr);
        for (int x = 0; x < 24; ++x) {
            const uint32_t v = values[size_t(x)];
            ASSERT_EQ(Colour(x, 0), (Rgb{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)})) << "x " << x;
        }
    }
}

// A PBM row is one colour index a pixel, padded to an even length.
TEST_F(PixelTransfer, ChunkyRowsAreTheirOwnIndices) {
    OpenScreen(40, 1, 8);
    for (uint16_t width : {1, 7, 8, 33}) {
        SCOPED_TRACE(width);
        RowsPtr rows(AllocRowBuffers(Header(width, 8), 0, ID_PBM));
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(rows->pixelKind, PIXEL_CHUNKY);
        EXPECT_EQ(rows->planeView.BytesPerRow, width + (width & 1));
        for (int x = 0; x < width; ++x) rows->planeView.Planes[0][x] = uint8_t(200 + x);
        WriteRow(2, 0, true, rows.get(), nullptr);
        for (int x = 0; x < 2 * width && 2 + x < 40; ++x) ASSERT_EQ(Index(2 + x, 0), 200 + x / 2) << x;
    }
    // Rows that would not fit a 16-bit length are refused.
    EXPECT_EQ(AllocRowBuffers(Header(0xFFFF, 8), 0, ID_PBM), nullptr);
    EXPECT_FALSE(RowsCanBeShown(Header(0xFFFF, 8), ID_PBM));
    EXPECT_TRUE(RowsCanBeShown(Header(0xFFFF, 8), ID_ILBM));
    EXPECT_FALSE(RowsCanBeShown(Header(8, 12), ID_PBM));
}

TEST(FillLevelTable, SpreadsLevelsOverTheTable) {
    uint8_t table[256];
    FillLevelTable(table, 256, 16, 255);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(table[i], (i / 16) * 17) << i;
    }
    // Uneven split: entries floor(i * 10 / 3) ... get level i.
    uint8_t small[10];
    std::memset(small, 0xAA, sizeof small);
    FillLevelTable(small, 10, 3, 255);
    const uint8_t expected[10] = {0, 0, 0, 127, 127, 127, 255, 255, 255, 255};
    EXPECT_EQ(std::memcmp(small, expected, 10), 0);
    // One level cannot be divided by levels - 1: it is level 0.
    FillLevelTable(small, 10, 1, 255);
    for (uint8_t v : small) {
        EXPECT_EQ(v, 0);
    }
}

TEST_F(PixelTransfer, DoubledWidthRepeatsEveryPixel) {
    OpenScreen(640, 1, 8);
    RowsPtr rows(AllocRowBuffers(Header(320, 8), 0));
    ASSERT_NE(rows, nullptr);
    std::vector<uint32_t> values(320);
    for (size_t p = 0; p < values.size(); ++p) {
        values[p] = static_cast<uint32_t>((p * 7) & 0xFF);
    }
    SetRow(rows.get(), values, 8);
    WriteRow(0, 0, true, rows.get(), nullptr);
    for (int x = 0; x < 640; ++x) {
        ASSERT_EQ(Index(x, 0), values[x / 2]) << x;
    }
    CloseDisplay();

    OpenScreen(100, 1, 24);
    std::vector<uint8_t> palette(768, 0);
    RowsPtr deep(AllocRowBuffers(Header(50, 24), 0));
    ASSERT_NE(deep, nullptr);
    std::vector<uint32_t> rgb(50);
    for (size_t p = 0; p < rgb.size(); ++p) {
        rgb[p] = static_cast<uint32_t>(p | (p + 100) << 8 | (200 - p) << 16);
    }
    SetRow(deep.get(), rgb, 24);
    WriteRow(0, 0, true, deep.get(), palette.data());
    for (int x = 0; x < 100; ++x) {
        const uint32_t v = rgb[x / 2];
        ASSERT_EQ(Colour(x, 0), (Rgb{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)})) << x;
    }
}

// Rows placed partly or wholly outside the screen: only what lies inside is
// drawn, and nothing around it changes.
TEST_F(PixelTransfer, RowsAreClippedAtAllFourEdges) {
    constexpr int kW = 64, kH = 16;
    constexpr uint8_t kPen = 200;
    OpenScreen(kW, kH, 8, kPen);
    RowsPtr rows(AllocRowBuffers(Header(40, 7), 0));
    ASSERT_NE(rows, nullptr);
    std::vector<uint32_t> values(40);
    for (size_t p = 0; p < values.size(); ++p) {
        values[p] = static_cast<uint32_t>(p + 1);
    }
    SetRow(rows.get(), values, 7);

    std::vector<uint8_t> expected(kW * kH, kPen);
    auto draw = [&](int32_t left, int32_t y, bool twice) {
        WriteRow(left, y, twice, rows.get(), nullptr);
        if (y < 0 || y >= kH) {
            return;
        }
        const int n = twice ? 80 : 40;
        for (int i = 0; i < n; ++i) {
            const int x = left + i;
            if (x >= 0 && x < kW) {
                expected[y * kW + x] = static_cast<uint8_t>(values[twice ? i / 2 : i]);
            }
        }
    };
    draw(-5, 0, false);     // cut on the left
    draw(50, 1, false);     // cut on the right
    draw(-30, 2, true);     // doubled, cut on both sides
    draw(-100, 3, false);   // wholly left of the screen
    draw(64, 4, false);     // wholly right of it
    draw(0, -1, false);     // above
    draw(0, -40000, false);
    draw(0, kH, false);     // below
    draw(0, kH + 1000, false);
    draw(24, kH - 1, false);  // the last row, up to the right edge
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            ASSERT_EQ(Index(x, y), expected[y * kW + x]) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(AllocRowBuffers, RejectsUnsupportedPlaneCountsWithoutLeaks) {
    const int64_t before = os::testing::LiveAllocations();
    struct Case {
        uint8_t planes;
        uint8_t masking;
    } rejected[] = {{9, mskNone}, {10, mskNone}, {11, mskNone}, {13, mskNone}, {25, mskNone},
                    {27, mskNone}, {31, mskNone}, {33, mskNone}, {255, mskHasMask}, {14, mskHasMask}};
    for (const Case& c : rejected) {
        EXPECT_FALSE(RowsCanBeShown(Header(320, c.planes, c.masking), ID_ILBM)) << int{c.planes};
        EXPECT_EQ(AllocRowBuffers(Header(320, c.planes, c.masking), 0), nullptr) << int{c.planes};
    }
    EXPECT_EQ(os::testing::LiveAllocations(), before);
    // Deep pictures with any masking, and 32 planes, have rows.
    for (const Case& c : {Case{24, mskHasMask}, Case{12, mskHasMask}, Case{18, mskLasso},
                          Case{21, mskHasTransparentColor}, Case{32, mskNone}, Case{32, mskHasMask}}) {
        RowBuffers* rows = AllocRowBuffers(Header(320, c.planes, c.masking), 0);
        EXPECT_NE(rows, nullptr) << int{c.planes} << " masking " << int{c.masking};
        FreeRowBuffers(rows);
    }
    EXPECT_EQ(os::testing::LiveAllocations(), before);
}

TEST(AllocRowBuffers, EveryFailedAllocationFreesWhatWasTaken) {
    const int64_t before = os::testing::LiveAllocations();
    for (uint8_t planes : {4, 24}) {
        for (uint32_t n = 1;; ++n) {
            os::testing::FailNthAlloc(n);
            RowBuffers* rows = AllocRowBuffers(Header(64, planes, mskNone), 0);
            os::testing::ResetFaults();
            if (rows != nullptr) {  // past the last allocation
                FreeRowBuffers(rows);
                break;
            }
            EXPECT_EQ(os::testing::LiveAllocations(), before) << "failing allocation " << n;
        }
    }
}

// A row far wider than its screen is converted only where it reaches the
// screen: every kind of row, cut on the left, the right or both, plain and
// doubled, shows exactly the pixels the same row shows drawn whole.
TEST(PixelTransferClipping, EveryKindOfRowShowsTheSamePixelsWhenOnlyItsShownColumnsAreConverted) {
    struct Kind {
        const char* name;
        uint8_t planes;
        uint32_t modeId;
        uint32_t form;
        bool rgbRows;
    };
    const Kind kinds[] = {
        {"colour-mapped", 5, 0, ID_ILBM, false}, {"HAM6", 6, HAM, ID_ILBM, false},
        {"HAM8", 8, HAM, ID_ILBM, false},        {"12-bit deep", 12, 0, ID_ILBM, false},
        {"24-bit deep", 24, 0, ID_ILBM, false},  {"line palettes", 4, 0, ID_ILBM, true},
        {"PBM", 8, 0, ID_PBM, false},            {"RGB8", 25, 0, ID_RGB8, false},
    };
    constexpr uint16_t kWidth = 203;  // not a whole number of bytes
    std::vector<uint8_t> colours(768);
    std::mt19937 random(7);
    for (uint8_t& c : colours) c = static_cast<uint8_t>(random());

    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        BitMapHeader header = Header(kWidth, kind.planes);
        RowsPtr rows(AllocRowBuffers(header, kind.modeId, kind.form, kind.rgbRows));
        ASSERT_NE(rows, nullptr);
        const bool chunkyRow = kind.form == ID_PBM || kind.form == ID_RGB8;
        const size_t bytes = kind.form == ID_RGB8 ? size_t{kWidth} * 3
                             : chunkyRow          ? size_t{kWidth} + 1
                                                  : size_t{rows->planeView.BytesPerRow};
        const int planeRows = chunkyRow ? 1 : kind.planes;
        for (int i = 0; i < planeRows; ++i) {
            for (size_t b = 0; b < bytes; ++b) rows->planeView.Planes[i][b] = static_cast<uint8_t>(random());
        }
        const int32_t depth = kind.planes <= 8 && kind.modeId == 0 && !kind.rgbRows ? 8 : 24;
        const size_t bpp = depth == 8 ? 1 : 3;

        for (bool twice : {false, true}) {
            const int32_t whole = twice ? 2 * kWidth : kWidth;
            ASSERT_EQ(OpenDisplay(static_cast<uint16_t>(whole), 1, depth, 0, colours.data(), 256), 0);
            WriteRow(0, 0, twice, rows.get(), colours.data());
            const os::ScreenPrivate* s = gDisplay.screen->priv;
            const std::vector<uint8_t> reference(s->pixels, s->pixels + size_t(whole) * bpp);
            CloseDisplay();

            constexpr int32_t kNarrow = 37;
            for (int32_t left : {0, -1, -7, -8, -9, -13, -64, -101, -(whole - kNarrow), -(whole - 5), 20}) {
                SCOPED_TRACE(testing::Message() << "left " << left << (twice ? ", doubled" : ""));
                ASSERT_EQ(OpenDisplay(kNarrow, 1, depth, 0, colours.data(), 256), 0);
                WriteRow(left, 0, twice, rows.get(), colours.data());
                const os::ScreenPrivate* narrow = gDisplay.screen->priv;
                for (int32_t x = 0; x < kNarrow; ++x) {
                    const int32_t source = x - left;
                    if (source < 0 || source >= whole) continue;
                    ASSERT_EQ(std::memcmp(narrow->pixels + size_t(x) * bpp, reference.data() + size_t(source) * bpp,
                                          bpp),
                              0)
                        << "x " << x;
                }
                CloseDisplay();
            }
        }
    }
}

}  // namespace
}  // namespace lanterna
