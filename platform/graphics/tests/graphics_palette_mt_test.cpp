// Colours loaded by another task while the owner draws and takes snapshots:
// every snapshot shows one whole palette, never a mix of two loads.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/exec/exec.h"
#include "platform/graphics/tests/graphics_test_support.h"

namespace {

namespace fs = std::filesystem;
using graphics_test::ColourTable;
using graphics_test::Display;

TEST(PaletteFromAnotherTask, SnapshotsSeeWholeLoads) {
    fs::path dir = fs::temp_directory_path() / ("lanterna-palette-" + std::to_string(getpid()));
    fs::remove_all(dir);
    setenv("LANTERNA_SNAPSHOTS", dir.c_str(), 1);
    os::headless::ReloadHeadlessSettings();

    // Two palettes of 256 colours: all entries (k, k, k) for k = 1 and 2.
    std::vector<os::Rgb> a(256, os::Rgb{1, 1, 1}), b(256, os::Rgb{2, 2, 2});
    auto tableA = ColourTable(0, a);
    auto tableB = ColourTable(0, b);
    constexpr int kPictures = 40;
    {
        Display display(256, 4, 8, tableA.data());
        ASSERT_NE(display.window, nullptr);
        std::atomic<bool> stop{false};
        std::atomic<int> loads{0};
        std::thread cycler([&] {
            for (int i = 0; !stop.load(); ++i) {
                os::LoadRGB32(&display.screen->ViewPort, (i & 1) ? tableB.data() : tableA.data());
                loads.fetch_add(1);
            }
        });
        uint8_t row[256];
        for (int i = 0; i < 256; ++i) row[i] = static_cast<uint8_t>(i);
        for (int p = 0; p < kPictures; ++p) {
            // Each picture waits for a load of its own, so the two tasks
            // really interleave even when the machine is busy (40 pictures
            // take a few milliseconds, less than a thread may wait to run).
            const int before = loads.load();
            for (uint16_t y = 0; y < 4; ++y)
                os::WritePixelArray(row, 0, 0, 256, display.window->RPort, 0, y, 256, 1, os::RECTFMT_LUT8);
            while (loads.load() == before) std::this_thread::yield();
            os::SetRast(display.window->RPort, 0);  // snapshot while the other task loads
        }
        stop = true;
        cycler.join();
    }
    int mixed = 0;
    for (int p = 1; p <= kPictures; ++p) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.png", p);
        auto png = graphics_test::ReadPng((dir / name).string());
        ASSERT_TRUE(png.ok) << name;
        uint8_t first = png.rgb[0];
        EXPECT_TRUE(first == 1 || first == 2);
        for (uint8_t v : png.rgb) mixed += v != first;
    }
    EXPECT_EQ(mixed, 0);
    fs::remove_all(dir);
    unsetenv("LANTERNA_SNAPSHOTS");
    os::headless::ReloadHeadlessSettings();
}

}  // namespace
