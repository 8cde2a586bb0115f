// Modes, screens, colours, pixel writes, windows and pointers on the headless
// backend.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/exec/exec.h"
#include "platform/graphics/tests/graphics_test_support.h"
#include "platform/testing/testing.h"

namespace {

using graphics_test::ColourTable;
using graphics_test::Display;

uint32_t Mode(uintptr_t w, uintptr_t h, uintptr_t depth) {
    return os::BestCModeIDTags(
        {{os::CYBRBIDTG_NominalWidth, w}, {os::CYBRBIDTG_NominalHeight, h}, {os::CYBRBIDTG_Depth, depth}, {os::TAG_DONE, 0}});
}

TEST(DisplayModes, ExactSizeForDepths8And24AndNothingElse) {
    EXPECT_NE(Mode(320, 200, 8), os::INVALID_ID);
    EXPECT_NE(Mode(16384, 16384, 24), os::INVALID_ID);
    EXPECT_NE(Mode(320, 200, 8), Mode(320, 200, 24));
    EXPECT_NE(Mode(320, 200, 8), Mode(200, 320, 8));
    EXPECT_EQ(Mode(0, 200, 8), os::INVALID_ID);
    EXPECT_EQ(Mode(320, 0, 24), os::INVALID_ID);
    EXPECT_EQ(Mode(16385, 200, 8), os::INVALID_ID);
    EXPECT_EQ(Mode(320, 16385, 8), os::INVALID_ID);
    EXPECT_EQ(Mode(uintptr_t{1} << 32 | 320, 200, 8), os::INVALID_ID);  // no truncation to 320
    EXPECT_EQ(Mode(320, 200, 16), os::INVALID_ID);
    EXPECT_EQ(Mode(320, 200, 0), os::INVALID_ID);

    // The screen of a mode has exactly the nominal size and depth.
    for (auto [w, h, d] : {std::tuple{1, 1, 8}, std::tuple{641, 479, 24}, std::tuple{16384, 2, 8}}) {
        Display display(w, h, d);
        ASSERT_NE(display.screen, nullptr);
        EXPECT_EQ(display.screen->Width, w);
        EXPECT_EQ(display.screen->Height, h);
        EXPECT_EQ(display.screen->priv->depth, d);
        EXPECT_EQ(display.window->Width, w);
        EXPECT_EQ(display.window->Height, h);
    }
}

TEST(Screens, RefuseBadModesAndDepths) {
    EXPECT_EQ(os::OpenScreenTags(nullptr, {{os::SA_DisplayID, os::INVALID_ID}, {os::TAG_DONE, 0}}), nullptr);
    EXPECT_EQ(os::OpenScreenTags(nullptr, {{os::SA_Depth, 8}, {os::TAG_DONE, 0}}), nullptr);
    EXPECT_EQ(os::OpenScreenTags(nullptr, {{os::SA_DisplayID, 12345}, {os::TAG_DONE, 0}}), nullptr);
    EXPECT_EQ(os::OpenScreenTags(nullptr, {{os::SA_DisplayID, Mode(64, 64, 24)}, {os::SA_Depth, 8}, {os::TAG_DONE, 0}}),
              nullptr);
    // Tags after TAG_DONE are not read.
    EXPECT_EQ(os::OpenScreenTags(nullptr, {{os::TAG_DONE, 0}, {os::SA_DisplayID, Mode(8, 8, 8)}}), nullptr);
    os::CloseScreen(nullptr);
    os::CloseWindow(nullptr);
}

TEST(Screens, Colours32TableAndDefaultColours) {
    auto table = ColourTable(0, {{0x12, 0x34, 0x56}, {0xFF, 0x00, 0x80}});
    Display loaded(16, 4, 8, table.data());
    ASSERT_NE(loaded.screen, nullptr);
    os::Rgb p[256];
    os::gfx::CopyPalette(loaded.screen, p);
    EXPECT_EQ(p[0].r, 0x12);
    EXPECT_EQ(p[0].g, 0x34);
    EXPECT_EQ(p[0].b, 0x56);
    EXPECT_EQ(p[1].r, 0xFF);
    EXPECT_EQ(p[1].b, 0x80);

    Display plain(16, 4, 8);
    os::Rgb d[256];
    os::gfx::CopyPalette(plain.screen, d);
    // Entries the table did not name keep the default colours.
    EXPECT_EQ(std::memcmp(&p[2], &d[2], sizeof(os::Rgb) * 254), 0);
    EXPECT_EQ(d[0].r + d[0].g + d[0].b, 0);          // black paper
    EXPECT_EQ(d[1].r & d[1].g & d[1].b, 255);        // white ink
    int distinct = 0;
    for (int i = 1; i < 256; ++i) distinct += std::memcmp(&d[i], &d[i - 1], sizeof(os::Rgb)) != 0;
    EXPECT_GT(distinct, 200);
}

TEST(Colours, LoadRGB32RunsAndSetRGB4) {
    Display display(8, 2, 8);
    ASSERT_NE(display.screen, nullptr);
    os::ViewPort* vp = &display.screen->ViewPort;
    // Two runs in one table; an entry past 255 is not stored.
    std::vector<uint32_t> t = {2u << 16 | 254, 0x11000000, 0x22000000, 0x33000000, 0x44FFFFFF, 0x55000000,
                               0x66000000,     1u << 16 | 10, 0xA5A5A5A5, 0x01010101, 0xFEFEFEFE, 0};
    uint32_t serial = display.screen->priv->paletteSerial.load();
    os::LoadRGB32(vp, t.data());
    os::SetRGB4(vp, 3, 15, 8, 0);
    os::SetRGB4(vp, 256, 1, 1, 1);
    os::SetRGB4(vp, -1, 1, 1, 1);
    os::Rgb p[256];
    os::gfx::CopyPalette(display.screen, p);
    EXPECT_EQ(p[254].r, 0x11);
    EXPECT_EQ(p[254].b, 0x33);
    EXPECT_EQ(p[255].r, 0x44);  // top byte only
    EXPECT_EQ(p[10].r, 0xA5);
    EXPECT_EQ(p[10].g, 0x01);
    EXPECT_EQ(p[10].b, 0xFE);
    EXPECT_EQ(p[3].r, 255);
    EXPECT_EQ(p[3].g, 136);
    EXPECT_EQ(p[3].b, 0);
    EXPECT_GT(display.screen->priv->paletteSerial.load(), serial);
    // An empty table changes nothing.
    serial = display.screen->priv->paletteSerial.load();
    uint32_t empty[2] = {0, 0};
    os::LoadRGB32(vp, empty);
    EXPECT_EQ(display.screen->priv->paletteSerial.load(), serial);
}

TEST(Pixels, WritePixelArrayCopiesAndClipsToTheScreen) {
    Display display(10, 6, 8);
    ASSERT_NE(display.screen, nullptr);
    os::RastPort* rp = display.window->RPort;
    // A 6x4 source with a modulo of 8; the block starts at source (1, 1).
    uint8_t src[8 * 4];
    for (int i = 0; i < 32; ++i) src[i] = static_cast<uint8_t>(i + 1);
    EXPECT_EQ(os::WritePixelArray(src, 1, 1, 8, rp, 2, 1, 3, 2, os::RECTFMT_LUT8), 6u);
    EXPECT_EQ(display.Row(1)[1], 0);
    EXPECT_EQ(display.Row(1)[2], 10);
    EXPECT_EQ(display.Row(1)[4], 12);
    EXPECT_EQ(display.Row(1)[5], 0);
    EXPECT_EQ(display.Row(2)[2], 18);
    EXPECT_EQ(display.Row(3)[2], 0);

    // Cut at the right and bottom edges.
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, rp, 7, 4, 6, 4, os::RECTFMT_LUT8), 3u * 2u);
    EXPECT_EQ(display.Row(4)[7], 1);
    EXPECT_EQ(display.Row(4)[9], 3);
    EXPECT_EQ(display.Row(5)[9], 11);
    // Wholly outside, empty, or without a source: nothing.
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, rp, 10, 0, 2, 1, os::RECTFMT_LUT8), 0u);
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, rp, 0, 6, 2, 1, os::RECTFMT_LUT8), 0u);
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, rp, 65535, 65535, 65535, 65535, os::RECTFMT_LUT8), 0u);
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, rp, 0, 0, 0, 1, os::RECTFMT_LUT8), 0u);
    EXPECT_EQ(os::WritePixelArray(nullptr, 0, 0, 8, rp, 0, 0, 2, 1, os::RECTFMT_LUT8), 0u);
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, nullptr, 0, 0, 2, 1, os::RECTFMT_LUT8), 0u);
    // RGB pixels have no place on an 8-bit screen; unknown formats neither.
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, rp, 0, 0, 2, 1, os::RECTFMT_RGB), 0u);
    EXPECT_EQ(os::WritePixelArray(src, 0, 0, 8, rp, 0, 0, 2, 1, 7), 0u);
}

TEST(Pixels, RgbAndIndicesOnA24BitScreen) {
    Display display(4, 3, 24);
    ASSERT_NE(display.screen, nullptr);
    os::RastPort* rp = display.window->RPort;
    const uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    EXPECT_EQ(os::WritePixelArray(rgb, 1, 0, 15, rp, 2, 0, 4, 1, os::RECTFMT_RGB), 2u);
    EXPECT_EQ(std::memcmp(display.Row(0) + 6, rgb + 3, 6), 0);
    EXPECT_EQ(display.Row(0)[5], 0);
    // Indices go through the screen's palette.
    auto table = ColourTable(7, {{200, 100, 50}});
    os::LoadRGB32(&display.screen->ViewPort, table.data());
    const uint8_t idx[] = {7, 0};
    EXPECT_EQ(os::WritePixelArray(idx, 0, 0, 2, rp, 0, 2, 2, 1, os::RECTFMT_LUT8), 2u);
    EXPECT_EQ(display.Row(2)[0], 200);
    EXPECT_EQ(display.Row(2)[1], 100);
    EXPECT_EQ(display.Row(2)[2], 50);
    EXPECT_EQ(display.Row(2)[3] + display.Row(2)[4] + display.Row(2)[5], 0);
}

TEST(Pixels, SetRastFillsWithThePen) {
    Display deep(5, 2, 24);
    ASSERT_NE(deep.screen, nullptr);
    auto table = ColourTable(3, {{9, 8, 7}});
    os::LoadRGB32(&deep.screen->ViewPort, table.data());
    os::SetRast(deep.window->RPort, 3);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(deep.Row(y)[3 * x], 9);
            EXPECT_EQ(deep.Row(y)[3 * x + 2], 7);
        }
    os::SetRGB4(&deep.screen->ViewPort, 0, 0, 0, 0);
    os::SetRast(deep.window->RPort, 0);
    EXPECT_EQ(deep.Row(1)[14], 0);

    Display mapped(5, 2, 8);
    os::SetRast(mapped.window->RPort, 42);
    EXPECT_EQ(mapped.Row(0)[0], 42);
    EXPECT_EQ(mapped.Row(1)[4], 42);
    os::SetRast(nullptr, 1);
}

TEST(Windows, OneBackdropWindowPerScreenWithItsPort) {
    Display display(32, 16, 8);
    ASSERT_NE(display.window, nullptr);
    EXPECT_EQ(display.window->WScreen, display.screen);
    EXPECT_EQ(display.window->RPort, &display.screen->RastPort);
    ASSERT_NE(display.window->UserPort, nullptr);
    EXPECT_EQ(display.window->UserPort->mp_SigTask, os::FindTask(nullptr));
    // A second window on the same screen, or one without a screen, fails.
    EXPECT_EQ(os::OpenWindowTags(nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(display.screen)},
                                           {os::TAG_DONE, 0}}),
              nullptr);
    EXPECT_EQ(os::OpenWindowTags(nullptr, {{os::WA_IDCMP, os::IDCMP_VANILLAKEY}, {os::TAG_DONE, 0}}), nullptr);
    // A screen with its window still open stays open.
    os::CloseScreen(display.screen);
    EXPECT_NE(display.screen->priv, nullptr);
    EXPECT_EQ(display.screen->Width, 32);
}

TEST(Windows, MessagesAreFreedWhenRepliedOrWhenTheWindowCloses) {
    // Run under the sanitizers this also shows that nothing leaks.
    Display display(8, 8, 8);
    ASSERT_NE(display.window, nullptr);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(os::gfx::PostInput(display.window, os::IDCMP_VANILLAKEY, static_cast<uint16_t>('a' + i % 26)));
        auto* m = reinterpret_cast<os::IntuiMessage*>(os::GetMsg(display.window->UserPort));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->Class, os::IDCMP_VANILLAKEY);
        EXPECT_EQ(m->Code, 'a' + i % 26);
        EXPECT_EQ(m->IDCMPWindow, display.window);
        os::ReplyMsg(&m->ExecMessage);
    }
    auto* wp = static_cast<os::WindowPrivate*>(display.window->priv);
    os::gfx::PostInput(display.window, os::IDCMP_MOUSEBUTTONS, os::SELECTDOWN);
    EXPECT_LE(wp->messages.size(), 2u);  // replied ones were taken back
    // A class the window did not ask for is not delivered.
    EXPECT_FALSE(os::gfx::PostInput(display.window, 0x00000400, 0));
    // One queued, one taken and never replied: both go with the window.
    os::gfx::PostInput(display.window, os::IDCMP_MOUSEBUTTONS, os::SELECTUP);
    ASSERT_NE(os::GetMsg(display.window->UserPort), nullptr);
}

TEST(Windows, FailingPortLeavesNothingBehind) {
    Display display(8, 8, 8);
    os::CloseWindow(display.window);
    display.window = nullptr;
    for (uint32_t n = 1; n <= 2; ++n) {
        os::testing::FailCreateMsgPort(n);
        os::Window* w = os::OpenWindowTags(nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(display.screen)},
                                                     {os::WA_IDCMP, os::IDCMP_VANILLAKEY},
                                                     {os::TAG_DONE, 0}});
        os::testing::ResetFaults();
        EXPECT_EQ(w, nullptr) << n;
        EXPECT_EQ(display.screen->priv->window, nullptr);
    }
}

TEST(Pointers, BlankPointerObjectAndWindowPointerStates) {
    static uint16_t image[2] = {0, 0};
    os::BitMap bitmap;
    os::InitBitMap(&bitmap, 2, 16, 1);
    EXPECT_EQ(bitmap.BytesPerRow, 2);
    bitmap.Planes[0] = reinterpret_cast<uint8_t*>(&image[0]);
    bitmap.Planes[1] = reinterpret_cast<uint8_t*>(&image[1]);
    os::Object* blank = os::NewObject(nullptr, "pointerclass",
                                      {{os::POINTERA_BitMap, reinterpret_cast<uintptr_t>(&bitmap)},
                                       {os::POINTERA_WordWidth, 1},
                                       {os::TAG_DONE, 0}});
    ASSERT_NE(blank, nullptr);
    EXPECT_TRUE(blank->blank);
    EXPECT_EQ(blank->width, 16u);

    static uint16_t arrow[2] = {0x00C0, 0};  // two pixels of pen 1 (bytes in memory order)
    bitmap.Planes[0] = reinterpret_cast<uint8_t*>(&arrow[0]);
    bitmap.Planes[1] = reinterpret_cast<uint8_t*>(&arrow[1]);
    os::Object* shape = os::NewObject(nullptr, "pointerclass",
                                      {{os::POINTERA_BitMap, reinterpret_cast<uintptr_t>(&bitmap)}, {os::TAG_DONE, 0}});
    ASSERT_NE(shape, nullptr);
    EXPECT_FALSE(shape->blank);
    EXPECT_EQ(os::NewObject(nullptr, "imageclass", {{os::TAG_DONE, 0}}), nullptr);

    Display display(8, 8, 8);
    auto* wp = static_cast<os::WindowPrivate*>(display.window->priv);
    EXPECT_EQ(wp->pointerKind, os::PointerKind::Busy);  // WA_BusyPointer at opening
    os::SetWindowPointer(display.window, {{os::WA_Pointer, reinterpret_cast<uintptr_t>(blank)}, {os::TAG_DONE, 0}});
    EXPECT_EQ(wp->pointerKind, os::PointerKind::Custom);
    EXPECT_EQ(wp->pointer, blank);
    os::SetWindowPointer(display.window, {{os::WA_BusyPointer, 1}, {os::TAG_DONE, 0}});
    EXPECT_EQ(wp->pointerKind, os::PointerKind::Busy);
    os::SetWindowPointer(display.window, {{os::TAG_DONE, 0}});
    EXPECT_EQ(wp->pointerKind, os::PointerKind::Normal);
    os::ScreenToFront(display.screen);
    os::DisposeObject(shape);
    os::DisposeObject(blank);
    os::DisposeObject(nullptr);
}

}  // namespace

namespace {

// Nothing beyond the first view is ever seen headless: a screen asked for a
// larger bitmap keeps only what it shows, so runs and snapshots stay as they are.
TEST(Screens, HeadlessKeepsOnlyTheVisibleScreen) {
    const uint32_t mode = Mode(64, 48, 8);
    os::Screen* screen =
        os::OpenScreenTags(nullptr, {{os::SA_DisplayID, mode}, {os::SA_Width, 100}, {os::SA_Height, 80}, {os::TAG_DONE, 0}});
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(os::GetBitMapAttr(&screen->RastPort, os::BMA_WIDTH), 64u);
    EXPECT_EQ(os::GetBitMapAttr(&screen->RastPort, os::BMA_HEIGHT), 48u);
    EXPECT_EQ(screen->priv->stride, 64u);
    os::CloseScreen(screen);
}

}  // namespace
