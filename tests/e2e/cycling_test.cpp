// Colour cycling seen from outside: build/lanterna headless, Tab and CYCLE
// from the input script, and the snapshot taken when the picture's screen
// closes shows which colours the cycling left on it. Each range is set to
// step exactly once while the picture is up: its phase starts one rate short
// of a step and its rate (37, the slowest accepted) would take about seven
// seconds for the next one, far beyond WAIT=1.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;
using e2e::Image;

const std::vector<Rgb> kColours = {{200, 16, 16}, {16, 200, 16}, {16, 16, 200}, {220, 220, 40},
                                   {90, 90, 90}, {250, 250, 250}, {0, 0, 0}, {120, 40, 160}};

// 32 x 4 pixels: column band b (4 pixels wide) shows colour b. Colours 1..4
// form a range that steps once; the others stay.
IlbmPicture OneStepPicture(int16_t flags) {
    IlbmPicture picture;
    picture.header = SimpleHeader(32, 4, 3, cmpByteRun1);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 32; ++x) {
            picture.pixels.push_back(uint32_t(x / 4));
        }
    }
    picture.colours = kColours;
    picture.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(16384 - 37, 37, flags, 1, 4)));
    return picture;
}

// For each band, which colour of kColours it shows.
std::vector<int> BandColours(const Image& image) {
    std::vector<int> bands;
    for (int b = 0; b < 8; ++b) {
        const uint8_t* p = image.At(b * 4 + 1, 1);
        int found = -1;
        for (size_t i = 0; i < kColours.size(); ++i) {
            if (kColours[i].r == p[0] && kColours[i].g == p[1] && kColours[i].b == p[2]) {
                found = int(i);
            }
        }
        bands.push_back(found);
    }
    return bands;
}

const std::vector<int> kStill = {0, 1, 2, 3, 4, 5, 6, 7};
const std::vector<int> kForward = {0, 4, 1, 2, 3, 5, 6, 7};  // every colour one index up
const std::vector<int> kReverse = {0, 2, 3, 4, 1, 5, 6, 7};  // every colour one index down

class CyclingTest : public e2e::ProgramTest {
protected:
    void SetUp() override {
        e2e::ProgramTest::SetUp();
        if (!e2e::HaveProgram("pngtopnm")) {
            GTEST_SKIP() << "netpbm is needed (scripts/deps.sh)";
        }
        ASSERT_TRUE(WriteFile(Path("forward.iff").string(), MakeIlbm(OneStepPicture(RNG_ACTIVE))));
        ASSERT_TRUE(WriteFile(Path("reverse.iff").string(),
                              MakeIlbm(OneStepPicture(RNG_ACTIVE | RNG_REVERSE))));
    }
    std::vector<std::vector<int>> Shown(int count) {
        std::vector<std::vector<int>> shown;
        for (int n = 1; n <= count; ++n) {
            const Image image = Snapshot(n);
            EXPECT_TRUE(image.Valid()) << "snapshot " << n;
            shown.push_back(image.Valid() ? BandColours(image) : std::vector<int>{});
        }
        return shown;
    }
};

TEST_F(CyclingTest, TabStepsOnceAndTabAgainBringsTheStartingColoursBack) {
    // Per picture: the first wait of the viewing gets the script's tab(s), the
    // next one nothing, and the picture ends by its time-out.
    const e2e::RunResult run =
        Lanterna({"forward.iff", "reverse.iff", "forward.iff", "forward.iff", "WAIT=1"},
                 {"LANTERNA_INPUT=tab,none,tab,none,tab,tab,none,none"});
    ASSERT_EQ(run.result, 0) << run.output << run.errors;
    ASSERT_EQ(SnapshotCount(), 4) << run.output;
    const auto shown = Shown(4);
    EXPECT_EQ(shown[0], kForward);
    EXPECT_EQ(shown[1], kReverse);
    EXPECT_EQ(shown[2], kStill);  // on, then off with the starting colours back
    EXPECT_EQ(shown[3], kStill);  // never switched on
}

TEST_F(CyclingTest, CycleSwitchesOnAtOnceAndTabSwitchesOff) {
    const e2e::RunResult run = Lanterna({"forward.iff", "reverse.iff", "forward.iff", "CYCLE", "WAIT=1"},
                                        {"LANTERNA_INPUT=none,tab,none,tab,tab,none"});
    ASSERT_EQ(run.result, 0) << run.output << run.errors;
    ASSERT_EQ(SnapshotCount(), 3) << run.output;
    const auto shown = Shown(3);
    EXPECT_EQ(shown[0], kForward);
    EXPECT_EQ(shown[1], kStill);
    // Off with the colours restored, then on again from the starting phases:
    // the range steps once more, from the starting colours.
    EXPECT_EQ(shown[2], kForward);
}

}  // namespace
