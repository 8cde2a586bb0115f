// The picture shown is the same whether its rows were decoded ahead on the
// reader's second task or in place, whole and cut short.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "display/display.h"
#include "driver/services.h"
#include "driver/show_picture.h"
#include "ilbm/decode_ahead.h"
#include "platform/graphics/headless/headless.h"
#include "tests/support/ahead_picture.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna {
namespace {

using namespace ilbmw;

using test_support::TempFile;
const auto Picture = test_support::AheadPicture;

// The picture as the program shows it (its snapshot), its rows decoded in
// place or ahead.
Bytes Shown(const std::string& path, bool ahead) {
    const std::filesystem::path dir = TempPath("lanterna-ahead-shots");
    std::filesystem::create_directories(dir);
    setenv("LANTERNA_DISPLAY", "headless", 1);
    setenv("LANTERNA_SNAPSHOTS", dir.c_str(), 1);
    os::headless::ReloadHeadlessSettings();
    gDecodeAheadMinBytes = ahead ? 0 : INT64_MAX;
    EXPECT_EQ(OpenServices(), 0);
    EXPECT_EQ(ShowPicture(path.c_str()), 0);
    CloseDisplay();
    CloseServices();
    gDecodeAheadMinBytes = DECODE_AHEAD_MIN_BYTES;
    unsetenv("LANTERNA_SNAPSHOTS");
    os::headless::ReloadHeadlessSettings();
    std::ifstream png(dir / "001.png", std::ios::binary);
    const Bytes shot{std::istreambuf_iterator<char>(png), std::istreambuf_iterator<char>()};
    std::filesystem::remove_all(dir);
    return shot;
}

TEST(DecodeAhead, ThePictureShownIsTheSameWhicheverTaskDecodes) {
    // Where a second processor is free for it; elsewhere both runs decode
    // in place.
    IlbmPicture picture = Picture();
    picture.header.nPlanes = 7;  // with the mask, the most planes of an 8-bit screen
    for (int32_t i = 32; i < 128; ++i) picture.colours.push_back({uint8_t(i), uint8_t(i * 2), uint8_t(255 - i)});
    for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = uint32_t((i * 29 + i / 1203) % 128);
    const Bytes file = MakeIlbm(picture);
    for (size_t cut : {file.size(), file.size() * 2 / 3}) {
        SCOPED_TRACE(cut);
        const TempFile shown(Truncated(file, cut));
        const Bytes inPlace = Shown(shown.path, false);
        ASSERT_GT(inPlace.size(), 100u);
        EXPECT_TRUE(Shown(shown.path, true) == inPlace);
    }
}

}  // namespace
}  // namespace lanterna
