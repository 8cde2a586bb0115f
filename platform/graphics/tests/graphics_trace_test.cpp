// LANTERNA_TRACE: the rows a backend has presented, as the window benchmark
// reads them. The variable is set before anything asks for a backend, so
// this test runs in a process of its own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/graphics/tests/graphics_test_support.h"

namespace {

const std::string kTracePath = [] {
    char name[] = "/tmp/lanterna-trace-test.XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    setenv("LANTERNA_TRACE", name, 1);
    return std::string(name);
}();

struct Line {
    int64_t ns;
    uint32_t top;
    uint32_t bottom;
};

std::vector<Line> ReadTrace() {
    std::vector<Line> lines;
    std::ifstream in(kTracePath);
    Line l{};
    while (in >> l.ns >> l.top >> l.bottom) lines.push_back(l);
    return lines;
}

void WriteRows(os::Screen* screen, uint16_t top, uint16_t count) {
    std::vector<uint8_t> pixels(static_cast<size_t>(screen->Width) * count, 7);
    os::WritePixelArray(pixels.data(), 0, 0, static_cast<uint16_t>(screen->Width), &screen->RastPort, 0, top,
                        static_cast<uint16_t>(screen->Width), count, os::RECTFMT_LUT8);
}

TEST(Trace, EachPresentAfterWritesGivesTheirRowsWithAMonotonicTime) {
    graphics_test::Display display(32, 40, 8);
    ASSERT_NE(display.screen, nullptr);
    // Clearing the screen is no picture row: nothing to report.
    os::SetRast(&display.screen->RastPort, 3);
    os::gfx::NotePresented(display.screen);
    EXPECT_TRUE(ReadTrace().empty());

    WriteRows(display.screen, 0, 1);
    WriteRows(display.screen, 1, 9);
    os::gfx::NotePresented(display.screen);
    os::gfx::NotePresented(display.screen);  // nothing new: no line
    WriteRows(display.screen, 30, 10);
    WriteRows(display.screen, 20, 2);
    os::gfx::NotePresented(display.screen);

    const std::vector<Line> lines = ReadTrace();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].top, 0u);
    EXPECT_EQ(lines[0].bottom, 10u);
    EXPECT_EQ(lines[1].top, 20u);  // the span of both writes
    EXPECT_EQ(lines[1].bottom, 40u);
    EXPECT_GT(lines[0].ns, 0);
    EXPECT_LE(lines[0].ns, lines[1].ns);
    unlink(kTracePath.c_str());
}

}  // namespace
