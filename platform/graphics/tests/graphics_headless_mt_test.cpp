// The headless backend: scripted input at waits and while drawing, and the
// snapshots of discarded pictures read back with libpng.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/exec/exec.h"
#include "platform/graphics/tests/graphics_test_support.h"

namespace {

using graphics_test::ColourTable;
using graphics_test::Display;
using graphics_test::ReadPng;
namespace fs = std::filesystem;

struct Event {
    uint32_t imClass;
    uint16_t code;
    bool operator==(const Event&) const = default;
};

std::vector<Event> Drain(os::Window* window) {
    std::vector<Event> out;
    while (auto* m = reinterpret_cast<os::IntuiMessage*>(os::GetMsg(window->UserPort))) {
        out.push_back({m->Class, m->Code});
        os::ReplyMsg(&m->ExecMessage);
    }
    return out;
}

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("LANTERNA_INPUT");
        unsetenv("LANTERNA_DRAW_INPUT");
        unsetenv("LANTERNA_SNAPSHOTS");
        dir_ = fs::temp_directory_path() / ("lanterna-snap-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        unsetenv("LANTERNA_INPUT");
        unsetenv("LANTERNA_DRAW_INPUT");
        unsetenv("LANTERNA_SNAPSHOTS");
        os::headless::ReloadHeadlessSettings();
    }
    void Use(const char* name, const std::string& value) {
        setenv(name, value.c_str(), 1);
        os::headless::ReloadHeadlessSettings();
    }
    fs::path dir_;
};

constexpr uint32_t kClick = os::IDCMP_MOUSEBUTTONS;
constexpr uint32_t kKey = os::IDCMP_VANILLAKEY;

TEST(InputTokens, EveryTokenAndItsEvents) {
    using os::headless::InputEvent;
    std::vector<InputEvent> e;
    auto events = [&](const char* token) {
        std::vector<Event> out;
        if (!os::headless::ParseInputToken(token, e)) return std::vector<Event>{{0xFFFF, 0xFFFF}};
        for (const InputEvent& i : e) out.push_back({i.imClass, i.code});
        return out;
    };
    EXPECT_EQ(events("click"), (std::vector<Event>{{kClick, os::SELECTDOWN}, {kClick, os::SELECTUP}}));
    EXPECT_EQ(events("middle"), (std::vector<Event>{{kClick, os::MIDDLEDOWN}, {kClick, os::MIDDLEUP}}));
    EXPECT_EQ(events("right"), (std::vector<Event>{{kClick, os::MENUDOWN}, {kClick, os::MENUUP}}));
    EXPECT_EQ(events("esc"), (std::vector<Event>{{kKey, 0x1B}}));
    EXPECT_EQ(events("ctrl-c"), (std::vector<Event>{{kKey, 0x03}}));
    EXPECT_EQ(events("tab"), (std::vector<Event>{{kKey, 0x09}}));
    EXPECT_EQ(events("key:q"), (std::vector<Event>{{kKey, 'q'}}));
    EXPECT_EQ(events("key:0x2C"), (std::vector<Event>{{kKey, ','}}));
    EXPECT_TRUE(events("none").empty());
    EXPECT_EQ(events("pageup"), (std::vector<Event>{{os::IDCMP_RAWKEY, os::RAWKEY_PAGEUP}}));
    EXPECT_EQ(events("pagedown"), (std::vector<Event>{{os::IDCMP_RAWKEY, os::RAWKEY_PAGEDOWN}}));
    for (const char* bad : {"", "clack", "key:", "key:ab", "key:0x100", "key:0xZ1", "Click", "PageUp", "page-up"})
        EXPECT_FALSE(os::headless::ParseInputToken(bad, e)) << bad;
}

TEST_F(Headless, ScriptAnswersWaitsForWindowInputThenClicksForever) {
    Use("LANTERNA_INPUT", " esc , none,key:x,tab");
    Display display(8, 8, 8);
    ASSERT_NE(display.window, nullptr);
    os::Task* me = os::FindTask(nullptr);
    const uint32_t mask = display.WindowMask() | os::SIGBREAKF_CTRL_F;

    EXPECT_EQ(os::Wait(mask), display.WindowMask());
    EXPECT_EQ(Drain(display.window), (std::vector<Event>{{kKey, 0x1B}}));

    // "none": nothing arrives; only the other signal ends this wait.
    std::thread later([me] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        os::Signal(me, os::SIGBREAKF_CTRL_F);
    });
    EXPECT_EQ(os::Wait(mask), os::SIGBREAKF_CTRL_F);
    later.join();
    EXPECT_TRUE(Drain(display.window).empty());

    // A wait without the window's signal takes no token.
    os::Signal(me, os::SIGBREAKF_CTRL_E);
    EXPECT_EQ(os::Wait(os::SIGBREAKF_CTRL_E), os::SIGBREAKF_CTRL_E);

    // Input still queued: the wait returns at once and takes no token.
    os::gfx::PostInput(display.window, kKey, 'z');
    EXPECT_EQ(os::Wait(mask), display.WindowMask());
    EXPECT_EQ(Drain(display.window), (std::vector<Event>{{kKey, 'z'}}));

    EXPECT_EQ(os::Wait(mask), display.WindowMask());
    EXPECT_EQ(Drain(display.window), (std::vector<Event>{{kKey, 'x'}}));
    EXPECT_EQ(os::Wait(mask), display.WindowMask());
    EXPECT_EQ(Drain(display.window), (std::vector<Event>{{kKey, 0x09}}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(os::Wait(mask), display.WindowMask());
        EXPECT_EQ(Drain(display.window), (std::vector<Event>{{kClick, os::SELECTDOWN}, {kClick, os::SELECTUP}}));
    }
}

TEST_F(Headless, OtherTasksWaitsAreNotAnswered) {
    Use("LANTERNA_INPUT", "esc");
    Display display(8, 8, 8);
    ASSERT_NE(display.window, nullptr);
    const uint32_t windowMask = display.WindowMask();
    os::Task* main = os::FindTask(nullptr);
    std::atomic<os::Task*> helper{nullptr};
    uint32_t got = 0;
    std::thread other([&] {
        helper = os::FindTask(nullptr);
        os::Signal(main, os::SIGBREAKF_CTRL_D);
        // The same bit number, but the port is not this task's.
        got = os::Wait(windowMask | os::SIGBREAKF_CTRL_C);
    });
    os::Wait(os::SIGBREAKF_CTRL_D);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(Drain(display.window).empty());
    os::Signal(helper.load(), os::SIGBREAKF_CTRL_C);
    other.join();
    EXPECT_EQ(got, os::SIGBREAKF_CTRL_C);
    // The script's token is still there for the owner.
    EXPECT_EQ(os::Wait(windowMask), windowMask);
    EXPECT_EQ(Drain(display.window), (std::vector<Event>{{kKey, 0x1B}}));
}

TEST_F(Headless, DrawInputArrivesAtTheNthPixelWrite) {
    Use("LANTERNA_DRAW_INPUT", "3:esc, 5:key:n, 0:tab, x:tab, 6");
    Display display(4, 8, 8);
    ASSERT_NE(display.window, nullptr);
    const uint8_t row[4] = {1, 2, 3, 4};
    std::vector<std::vector<Event>> seen;
    for (uint16_t y = 0; y < 8; ++y) {
        os::WritePixelArray(row, 0, 0, 4, display.window->RPort, 0, y, 4, 1, os::RECTFMT_LUT8);
        seen.push_back(Drain(display.window));
    }
    for (size_t i = 0; i < seen.size(); ++i) {
        if (i == 2)
            EXPECT_EQ(seen[i], (std::vector<Event>{{kKey, 0x1B}}));
        else if (i == 4)
            EXPECT_EQ(seen[i], (std::vector<Event>{{kKey, 'n'}}));
        else
            EXPECT_TRUE(seen[i].empty()) << i;
    }
}

// The snapshot of a screen as its pixels look through a palette.
void ExpectPixel(const graphics_test::Png& png, uint32_t x, uint32_t y, os::Rgb c) {
    const uint8_t* p = png.At(x, y);
    EXPECT_EQ(p[0], c.r) << x << "," << y;
    EXPECT_EQ(p[1], c.g) << x << "," << y;
    EXPECT_EQ(p[2], c.b) << x << "," << y;
}

TEST_F(Headless, SnapshotsOfDiscardedPicturesNumberedThroughTheRun) {
    Use("LANTERNA_SNAPSHOTS", dir_.string());
    auto colours = ColourTable(0, {{10, 20, 30}, {200, 0, 0}, {0, 0, 250}});
    {
        Display mapped(5, 3, 8, colours.data());
        ASSERT_NE(mapped.window, nullptr);
        os::SetRast(mapped.window->RPort, 0);  // a new screen cleared: nothing drawn, no file
        EXPECT_FALSE(fs::exists(dir_ / "001.png"));
        const uint8_t line[3] = {1, 2, 1};
        os::WritePixelArray(line, 0, 0, 3, mapped.window->RPort, 1, 1, 3, 1, os::RECTFMT_LUT8);
        // Colours changed after drawing are what a person sees.
        auto later = ColourTable(2, {{0, 255, 0}});
        os::LoadRGB32(&mapped.screen->ViewPort, later.data());
        os::SetRast(mapped.window->RPort, 1);  // reused for the next picture
        EXPECT_FALSE(fs::exists(dir_ / "002.png"));
        os::WritePixelArray(line, 0, 0, 3, mapped.window->RPort, 0, 2, 1, 1, os::RECTFMT_LUT8);
    }  // closed: the second picture
    {
        Display deep(2, 2, 24);
        ASSERT_NE(deep.window, nullptr);
        const uint8_t rgb[6] = {1, 2, 3, 250, 251, 252};
        os::WritePixelArray(rgb, 0, 0, 6, deep.window->RPort, 0, 1, 2, 1, os::RECTFMT_RGB);
    }
    {
        Display untouched(2, 2, 8);  // never drawn on: no file
    }
    auto first = ReadPng((dir_ / "001.png").string());
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.width, 5u);
    EXPECT_EQ(first.height, 3u);
    ExpectPixel(first, 0, 0, {10, 20, 30});
    ExpectPixel(first, 1, 1, {200, 0, 0});
    ExpectPixel(first, 2, 1, {0, 255, 0});
    ExpectPixel(first, 3, 1, {200, 0, 0});
    ExpectPixel(first, 4, 2, {10, 20, 30});

    auto second = ReadPng((dir_ / "002.png").string());
    ASSERT_TRUE(second.ok);
    ExpectPixel(second, 0, 0, {200, 0, 0});
    ExpectPixel(second, 0, 2, {200, 0, 0});
    ExpectPixel(second, 1, 1, {200, 0, 0});

    auto third = ReadPng((dir_ / "003.png").string());
    ASSERT_TRUE(third.ok);
    EXPECT_EQ(third.width, 2u);
    ExpectPixel(third, 0, 0, {0, 0, 0});
    ExpectPixel(third, 0, 1, {1, 2, 3});
    ExpectPixel(third, 1, 1, {250, 251, 252});
    EXPECT_FALSE(fs::exists(dir_ / "004.png"));
}

TEST_F(Headless, NoSnapshotDirectoryNoFilesAndUnwritableDirectoryIsHarmless) {
    {
        Display display(2, 2, 8);
        const uint8_t px = 1;
        os::WritePixelArray(&px, 0, 0, 1, display.window->RPort, 0, 0, 1, 1, os::RECTFMT_LUT8);
    }
    EXPECT_FALSE(fs::exists(dir_));
    Use("LANTERNA_SNAPSHOTS", "/proc/lanterna-no-such-place/x");
    {
        Display display(2, 2, 8);
        const uint8_t px = 1;
        os::WritePixelArray(&px, 0, 0, 1, display.window->RPort, 0, 0, 1, 1, os::RECTFMT_LUT8);
    }
}

}  // namespace
