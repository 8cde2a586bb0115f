// When the window shows what was drawn: the first rows of a picture without
// a wait (they bring the window; also after the screen is cleared for the
// next one), later rows once a frame while drawing goes on, and everything
// drawn as soon as the program waits. Read from LANTERNA_TRACE (a line per
// present that shows new rows), so this test runs in a process of its own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"
#include "tests/support/xvfb_support.h"

namespace {

// The real backend with a trace, whatever the test runner asked for.
const std::string kTracePath = [] {
    unsetenv("LANTERNA_DISPLAY");
    char name[] = "/tmp/lanterna-present-test.XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    setenv("LANTERNA_TRACE", name, 1);
    return std::string(name);
}();

// The bottom of every traced present.
std::vector<uint32_t> PresentedBottoms() {
    std::vector<uint32_t> bottoms;
    std::ifstream in(kTracePath);
    int64_t ns = 0;
    uint32_t top = 0, bottom = 0;
    while (in >> ns >> top >> bottom) bottoms.push_back(bottom);
    return bottoms;
}

// The presents once there are more than `count`, or after a second.
std::vector<uint32_t> PresentedAfter(size_t count) {
    std::vector<uint32_t> bottoms = PresentedBottoms();
    for (int i = 0; i < 200 && bottoms.size() <= count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        bottoms = PresentedBottoms();
    }
    return bottoms;
}

void WriteRow(os::Window* window, uint16_t y) {
    std::vector<uint8_t> row(64, 5);
    os::WritePixelArray(row.data(), 0, 0, 64, window->RPort, 0, y, 64, 1, os::RECTFMT_LUT8);
}

TEST(WindowPresents, FirstRowsAtOnceTheRestByFrameAndAllBeforeAWait) {
    if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    ASSERT_TRUE(os::DisplayAvailable()) << "SDL could not start on the virtual X server";
    const uint32_t mode = os::BestCModeIDTags(
        {{os::CYBRBIDTG_NominalWidth, 64}, {os::CYBRBIDTG_NominalHeight, 48}, {os::CYBRBIDTG_Depth, 8}});
    os::Screen* screen = os::OpenScreenTags(nullptr, {{os::SA_DisplayID, mode}, {os::SA_Depth, 8}});
    ASSERT_NE(screen, nullptr);
    os::Window* window = os::OpenWindowTags(nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(screen)},
                                                      {os::WA_IDCMP, os::IDCMP_MOUSEBUTTONS}});
    ASSERT_NE(window, nullptr);

    // No window yet: the first row brings it, and is shown without a wait.
    WriteRow(window, 0);
    std::vector<uint32_t> bottoms = PresentedAfter(0);
    ASSERT_EQ(bottoms.size(), 1u);
    EXPECT_EQ(bottoms[0], 1u);

    // Rows within the same frame wait for it...
    WriteRow(window, 1);
    WriteRow(window, 2);
    bottoms = PresentedBottoms();
    const bool frameDue = bottoms.size() > 1;  // only on a machine too slow to write two rows in 16 ms

    // ...unless the program waits first: then they are shown before it
    // sleeps. A break 5 ms later ends the wait, well before the next frame.
    os::Task* self = os::FindTask(nullptr);
    std::thread breaker([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        os::Signal(self, os::SIGBREAKF_CTRL_C);
    });
    os::Wait((1u << window->UserPort->mp_SigBit) | os::SIGBREAKF_CTRL_C);
    breaker.join();
    bottoms = PresentedBottoms();
    ASSERT_GE(bottoms.size(), 2u) << "the rows drawn before the wait were not shown";
    EXPECT_EQ(bottoms.back(), 3u);
    if (!frameDue) {
        EXPECT_EQ(bottoms.size(), 2u);
    }

    // The screen cleared for the next picture: its first row is again shown
    // at once (the fill itself is no picture row).
    const size_t before = bottoms.size();
    os::SetRast(window->RPort, 3);
    WriteRow(window, 10);
    bottoms = PresentedAfter(before);
    ASSERT_EQ(bottoms.size(), before + 1);
    EXPECT_EQ(bottoms.back(), 11u);
    os::CloseWindow(window);
    os::CloseScreen(screen);
    unlink(kTracePath.c_str());
}

}  // namespace
