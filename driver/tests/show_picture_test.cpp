// ShowPicture on pictures made by the ILBM writer, shown by the headless
// backend: the result of every way a picture can end, what stays open
// afterwards, and that nothing leaks on any path.
#include <gtest/gtest.h>

#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "display/display.h"
#include "driver/services.h"
#include "driver/show_picture.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/exec/wait_hooks.h"
#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/headless/headless.h"
#include "platform/testing/testing.h"
#include "records/result_codes.h"
#include "records/view_options.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna {
namespace {

using namespace ilbmw;

std::vector<Rgb> Palette(int32_t count) {
    std::vector<Rgb> colours;
    for (int32_t i = 0; i < count; ++i) {
        colours.push_back({uint8_t(40 + i * 7), uint8_t(200 - i * 3), uint8_t(i * 11)});
    }
    return colours;
}

IlbmPicture Picture(int32_t width, int32_t height, int32_t planes, uint8_t compression) {
    IlbmPicture picture;
    picture.header = SimpleHeader(width, height, planes, compression);
    picture.colours = Palette(1 << (planes > 8 ? 0 : planes));
    for (int32_t i = 0; i < width * height; ++i) {
        picture.pixels.push_back(uint32_t((i * 7 + i / width) % (1 << planes)));
    }
    return picture;
}

Bytes Chunk(const char* id, const Bytes& data) { return MakeChunk(id, data); }

class ShowPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        Script("", "");
        os::testing::ResetFaults();
        os::SetSignal(0, os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_F);
        gViewOptions = ViewOptions{};
        ASSERT_EQ(OpenServices(), 0);
        baseline_ = os::testing::LiveAllocations();
    }
    void TearDown() override {
        CloseServices();
        os::testing::ResetFaults();
        gViewOptions = ViewOptions{};
        for (const std::string& path : files_) std::remove(path.c_str());
        unsetenv("LANTERNA_INPUT");
        unsetenv("LANTERNA_DRAW_INPUT");
        os::headless::ReloadHeadlessSettings();
    }

    // The input the headless window gives while viewing and while drawing.
    static void Script(const std::string& viewing, const std::string& drawing) {
        setenv("LANTERNA_DISPLAY", "headless", 1);
        unsetenv("LANTERNA_SNAPSHOTS");
        setenv("LANTERNA_INPUT", viewing.c_str(), 1);
        setenv("LANTERNA_DRAW_INPUT", drawing.c_str(), 1);
        os::headless::ReloadHeadlessSettings();
    }

    std::string Write(const Bytes& data) {
        const std::string path = TempPath("show");
        EXPECT_TRUE(WriteFile(path, data));
        files_.push_back(path);
        return path;
    }

    // Runs one picture and checks that only the display may outlive it.
    int32_t Show(const Bytes& data) {
        const int32_t result = ShowPicture(Write(data).c_str());
        EXPECT_FALSE(gServices.timerPending);
        const bool displayOpen = gDisplay.screen != nullptr;
        const int64_t live = os::testing::LiveAllocations();
        CloseDisplay();
        EXPECT_EQ(os::testing::LiveAllocations(), baseline_) << "display open: " << displayOpen
                                                            << ", live before closing: " << live;
        lastDisplayOpen_ = displayOpen;
        return result;
    }

    int64_t baseline_ = 0;
    bool lastDisplayOpen_ = false;
    std::vector<std::string> files_;
};

TEST_F(ShowPictureTest, FilesThatAreNotPicturesAreReportedWithoutADisplay) {
    EXPECT_EQ(ShowPicture("/nonexistent/lanterna/picture.iff"), os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(gDisplay.screen, nullptr);

    EXPECT_EQ(Show({'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4, 5, 6, 7, 8}), ERR_NOT_IFF);
    EXPECT_FALSE(lastDisplayOpen_);
    EXPECT_NE(Show({}), 0);  // an empty file holds no picture
    // Files shorter than an IFF header (group id, size, type) are no IFF
    // files, whatever their first bytes: the stream did not fail.
    const Bytes header = MakeGroup("FORM", "ILBM", {});
    for (size_t length : {0, 1, 4, 7, 8, 11}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(Show(Truncated(header, length)), ERR_NOT_IFF);
    }
    EXPECT_EQ(Show(header), ERR_NOT_ILBM);  // a whole header, and nothing in it

    // Another FORM type, even with chunks named like an ILBM's.
    const IlbmPicture good = Picture(16, 4, 2, cmpNone);
    EXPECT_EQ(Show(MakeGroup("FORM", "8SVX",
                             Concat({Chunk("BMHD", EncodeBitMapHeader(good.header)),
                                     Chunk("BODY", MakeBodyData(good))}))),
              ERR_NOT_ILBM);
    EXPECT_FALSE(lastDisplayOpen_);

    // A BODY before any BMHD is passed over; without a later one, no picture.
    EXPECT_EQ(Show(MakeGroup("FORM", "ILBM",
                             Concat({Chunk("BODY", MakeBodyData(good)),
                                     Chunk("BMHD", EncodeBitMapHeader(good.header)),
                                     Chunk("CMAP", EncodeColourMap(good.colours))}))),
              ERR_NOT_ILBM);
    EXPECT_FALSE(lastDisplayOpen_);

    // No BODY at all.
    EXPECT_EQ(Show(MakeGroup("FORM", "ILBM", Concat({Chunk("BMHD", EncodeBitMapHeader(good.header))}))),
              ERR_NOT_ILBM);

    // A BMHD too short for its record.
    EXPECT_EQ(Show(MakeGroup("FORM", "ILBM", Chunk("BMHD", Bytes(12, 0)))), ERR_CORRUPT);
}

TEST_F(ShowPictureTest, BodyAfterAnEarlyBodyIsShown) {
    const IlbmPicture good = Picture(16, 4, 2, cmpNone);
    EXPECT_EQ(Show(MakeGroup("FORM", "ILBM",
                             Concat({Chunk("BODY", Bytes(3, 0xFF)),
                                     Chunk("BMHD", EncodeBitMapHeader(good.header)),
                                     Chunk("CMAP", EncodeColourMap(good.colours)),
                                     Chunk("BODY", MakeBodyData(good))}))),
              0);
}

TEST_F(ShowPictureTest, GoodPicturesOfEveryKindEndWithZeroAndCloseTheirDisplay) {
    std::vector<IlbmPicture> pictures = {
        Picture(1, 1, 1, cmpNone),      Picture(321, 7, 8, cmpByteRun1),
        Picture(33, 5, 5, cmpNone),     Picture(40, 3, 24, cmpByteRun1),
        Picture(17, 9, 12, cmpNone),    Picture(50, 4, 6, cmpByteRun1),  // HAM6 without CAMG
    };
    IlbmPicture masked = Picture(30, 6, 4, cmpByteRun1);
    masked.header.masking = mskHasMask;
    masked.mask.assign(30 * 6, 1);
    pictures.push_back(masked);
    IlbmPicture ehb = Picture(24, 4, 6, cmpNone);
    ehb.colours = Palette(32);
    ehb.hasCamg = true;
    ehb.camg = EXTRA_HALFBRITE;
    pictures.push_back(ehb);
    IlbmPicture hires = Picture(700, 3, 3, cmpByteRun1);  // rows drawn twice
    pictures.push_back(hires);
    IlbmPicture offset = Picture(20, 20, 3, cmpNone);  // placed partly off the screen
    offset.header.x = -7;
    offset.header.y = 12;
    pictures.push_back(offset);

    for (size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Show(MakeIlbm(pictures[i])), 0);
        EXPECT_FALSE(lastDisplayOpen_);
    }
}

TEST_F(ShowPictureTest, BodiesThatEndEarly) {
    IlbmPicture plain = Picture(40, 6, 3, cmpNone);
    const Bytes full = MakeBodyData(plain);
    const size_t rowBytes = size_t(PlaneRowBytes(40)) * 3;

    // Data ending at a row boundary: later rows repeat the last one read.
    plain.body.assign(full.begin(), full.begin() + long(rowBytes * 2));
    EXPECT_EQ(Show(MakeIlbm(plain)), 0);
    // ... also at a plane-row boundary inside a picture row.
    plain.body.assign(full.begin(), full.begin() + long(rowBytes * 2 + PlaneRowBytes(40)));
    EXPECT_EQ(Show(MakeIlbm(plain)), 0);
    // Data ending inside a plane row is corrupt.
    plain.body.assign(full.begin(), full.begin() + long(rowBytes * 2 + 3));
    EXPECT_EQ(Show(MakeIlbm(plain)), ERR_CORRUPT);
    EXPECT_TRUE(lastDisplayOpen_);  // a picture that ends early keeps its display
    // An empty BODY.
    plain.body.clear();
    plain.body.push_back(0);
    EXPECT_EQ(Show(MakeIlbm(plain)), ERR_CORRUPT);

    // A packed BODY that runs out is viewed as far as it got.
    IlbmPicture packed = Picture(40, 6, 3, cmpByteRun1);
    const Bytes packedFull = MakeBodyData(packed);
    packed.body.assign(packedFull.begin(), packedFull.begin() + long(packedFull.size() / 2));
    EXPECT_EQ(Show(MakeIlbm(packed)), 0);
    EXPECT_FALSE(lastDisplayOpen_);
    // A run that would pass the end of a plane row ends the decoding the same way.
    packed.body = {0x81, 0x00, 0x81, 0x00};  // two runs of 128 bytes in a 6-byte row
    EXPECT_EQ(Show(MakeIlbm(packed)), 0);

    // Files cut short anywhere never crash or leak; the picture either shows
    // what it could or fails with a code.
    const Bytes file = MakeIlbm(Picture(24, 5, 4, cmpByteRun1));
    for (size_t length = 0; length < file.size(); length += 7) {
        SCOPED_TRACE(length);
        const int32_t result = Show(Truncated(file, length));
        EXPECT_TRUE(result == 0 || (result >= 30016 && result <= 30028)) << result;
    }
}

TEST_F(ShowPictureTest, UnknownCompressionAfterTheDisplayIsPrepared) {
    IlbmPicture picture = Picture(16, 4, 2, cmpNone);
    picture.header.compression = 2;
    picture.body = Bytes(64, 0x55);
    EXPECT_EQ(Show(MakeIlbm(picture)), ERR_COMPRESSION);
    EXPECT_TRUE(lastDisplayOpen_);
}

// A plane count that no screen shows is a missing screen mode, told before
// any display is touched; it is no lack of memory.
TEST_F(ShowPictureTest, UnsupportedDepthsGiveNoScreenModeBeforeAnyDisplay) {
    for (int32_t planes : {9, 10, 11, 13, 14, 23, 25, 27, 31, 33, 47, 63, 65}) {
        SCOPED_TRACE(planes);
        IlbmPicture picture = Picture(8, 2, 1, cmpNone);
        picture.header.nPlanes = uint8_t(planes);
        picture.body = Bytes(size_t(2 * 2 * planes), 0);
        EXPECT_EQ(Show(MakeIlbm(picture)), ERR_NO_SCREEN_MODE);
        EXPECT_FALSE(lastDisplayOpen_);
    }
}

// Deep pictures whose masking is a transparent colour or a lasso are shown
// as they are; a mask plane is read and not shown; 32 planes are RGBA.
TEST_F(ShowPictureTest, DeepPicturesWithMasksAndAlphaAreShown) {
    for (int32_t planes : {12, 24, 32}) {
        for (uint8_t masking : {mskHasMask, mskHasTransparentColor, mskLasso}) {
            for (uint8_t compression : {cmpNone, cmpByteRun1}) {
                SCOPED_TRACE(::testing::Message() << planes << " planes, masking " << int{masking}
                                                  << ", compression " << int{compression});
                IlbmPicture picture = Picture(19, 3, 1, compression);
                picture.header.nPlanes = uint8_t(planes);
                picture.header.masking = masking;
                picture.colours.clear();
                for (uint32_t& p : picture.pixels) p *= 0x01030507u;
                EXPECT_EQ(Show(MakeIlbm(picture)), 0);
            }
        }
    }
}

// The other picture forms end as ILBM does on their own kinds of bad data:
// a compression they do not know, data that runs out or ends in a run of no
// pixels (viewed as far as drawn), a BODY of the wrong kind (passed over).
TEST_F(ShowPictureTest, OtherPictureFormsAndTheirBadData) {
    IlbmPicture rgb8;
    rgb8.formType = "RGB8";
    rgb8.header = SimpleHeader(20, 6, 25, cmpRgbn);
    for (int i = 0; i < 120; ++i) rgb8.pixels.push_back(uint32_t(i * 0x030507));
    EXPECT_EQ(Show(MakeIlbm(rgb8)), 0);
    IlbmPicture rgbn = rgb8;
    rgbn.formType = "RGBN";
    rgbn.header.nPlanes = 13;
    EXPECT_EQ(Show(MakeIlbm(rgbn)), 0);
    // Runs that pass the end of the picture and a BODY cut short: viewed as
    // far as drawn. A run of no pixels first, or a BODY that is empty, draw
    // no row at all: nothing to view, the data is corrupt.
    const struct {
        Bytes body;
        int32_t result;
    } bodies[] = {{Bytes{1, 2, 3, 0, 0, 0, 0, 9, 9, 9, 5}, ERR_CORRUPT},
                  {Bytes{1, 2, 3, 0, 0xFF, 0xFF, 4, 4, 4, 0x7F}, 0},
                  {Truncated(MakeBodyData(rgb8), 97), 0},  // in the second row
                  {Bytes{}, ERR_CORRUPT}};
    for (const auto& c : bodies) {
        IlbmPicture bad = rgb8;
        bad.body = c.body;
        if (c.body.empty()) bad.extraChunks.push_back(Chunk("BODY", {}));  // the first BODY counts
        EXPECT_EQ(Show(MakeIlbm(bad)), c.result);
        // A failure while drawing leaves the screen for the next picture.
        EXPECT_EQ(lastDisplayOpen_, c.result != 0);
    }
    for (uint8_t compression : {cmpNone, cmpByteRun1, uint8_t(7)}) {
        IlbmPicture other = rgbn;
        other.header.compression = compression;
        other.body = MakeBodyData(rgbn);
        EXPECT_EQ(Show(MakeIlbm(other)), ERR_COMPRESSION);
    }

    IlbmPicture acbm = Picture(30, 7, 3, cmpNone);
    acbm.formType = "ACBM";
    EXPECT_EQ(Show(MakeIlbm(acbm)), 0);
    // An ABIT shorter than its planes: the rows whose planes are all there.
    const Bytes abit = MakeBodyData(acbm);
    acbm.body = Truncated(abit, abit.size() - 1);
    EXPECT_EQ(Show(MakeIlbm(acbm)), 0);
    acbm.body = {};
    acbm.header.compression = cmpByteRun1;
    EXPECT_EQ(Show(MakeIlbm(acbm)), ERR_COMPRESSION);
    // A BODY in an ACBM and an ABIT in an ILBM are not their pictures.
    const IlbmPicture ilbm = Picture(30, 7, 3, cmpNone);
    EXPECT_EQ(Show(MakeGroup("FORM", "ACBM", Concat({Chunk("BMHD", EncodeBitMapHeader(ilbm.header)),
                                                     Chunk("BODY", MakeBodyData(ilbm))}))),
              ERR_NOT_ILBM);
    EXPECT_EQ(Show(MakeGroup("FORM", "ILBM", Concat({Chunk("BMHD", EncodeBitMapHeader(ilbm.header)),
                                                     Chunk("ABIT", MakeBodyData(ilbm))}))),
              ERR_NOT_ILBM);
    // Files cut short anywhere: what could be drawn, or a code; never a crash or a leak.
    for (const IlbmPicture& picture : {rgb8, rgbn, Picture(24, 5, 4, cmpNone)}) {
        IlbmPicture whole = picture;
        if (whole.formType == "ILBM") whole.formType = "ACBM";  // the planar one as ACBM
        const Bytes file = MakeIlbm(whole);
        for (size_t length = 0; length < file.size(); length += 5) {
            SCOPED_TRACE(length);
            const int32_t result = Show(Truncated(file, length));
            EXPECT_TRUE(result == 0 || (result >= 30016 && result <= 30028)) << result;
        }
    }
}

// SHAM and CTBL: bounded by the picture's rows whatever the chunk says,
// corrupt when a SHAM is too short for its version word, and their memory
// is given back on every path.
TEST_F(ShowPictureTest, LinePalettesAreBoundedAndFreed) {
    IlbmPicture picture = Picture(16, 3, 4, cmpByteRun1);
    const Bytes palettes = EncodeLinePalettes(std::vector<std::vector<Rgb>>(3, Palette(16)), false);
    for (const char* id : {"SHAM", "CTBL"}) {
        SCOPED_TRACE(id);
        IlbmPicture p = picture;
        p.extraChunks.push_back(Chunk(id, palettes));
        EXPECT_EQ(Show(MakeIlbm(p)), 0);
        // A chunk of 5000 palettes for 3 rows: 3 are read, the rest skipped.
        p.extraChunks.assign(1, Chunk(id, Bytes(5000 * 32 + 2, 0x0F)));
        EXPECT_EQ(Show(MakeIlbm(p)), 0);
        // Less than one palette: none.
        p.extraChunks.assign(1, Chunk(id, Bytes(20, 0x0F)));
        EXPECT_EQ(Show(MakeIlbm(p)), 0);
        // Two chunks: the second replaces the first.
        p.extraChunks = {Chunk(id, palettes), Chunk(id, palettes)};
        EXPECT_EQ(Show(MakeIlbm(p)), 0);
    }
    IlbmPicture shortSham = picture;
    shortSham.extraChunks.push_back(Chunk("SHAM", Bytes{0}));
    EXPECT_EQ(Show(MakeIlbm(shortSham)), ERR_CORRUPT);
    // Every allocation failing in turn: a code or the picture, never a leak
    // (Show checks that only the display outlives the picture).
    IlbmPicture sham = picture;
    sham.header.nPlanes = 6;
    sham.hasCamg = true;
    sham.camg = HAM;
    sham.extraChunks.push_back(Chunk("SHAM", EncodeLinePalettes(std::vector<std::vector<Rgb>>(3, Palette(16)), true)));
    const Bytes file = MakeIlbm(sham);
    bool sawSuccess = false;
    for (uint32_t n = 1; n <= 40; ++n) {
        SCOPED_TRACE(n);
        os::testing::ResetFaults();
        os::testing::FailNthAlloc(n);
        const int32_t result = Show(file);
        os::testing::ResetFaults();
        EXPECT_NE(result, CODE_STOP);
        if (result == 0) sawSuccess = true;
    }
    EXPECT_TRUE(sawSuccess);
}

TEST_F(ShowPictureTest, HeightZeroAndNineRangesAreViewedNormally) {
    IlbmPicture empty = Picture(16, 1, 2, cmpNone);
    empty.header.h = 0;
    empty.pixels.clear();
    empty.body.clear();
    EXPECT_EQ(Show(MakeIlbm(empty)), 0);

    IlbmPicture ranged = Picture(32, 4, 4, cmpByteRun1);
    for (int i = 0; i < 9; ++i) {
        ranged.extraChunks.push_back(Chunk("CRNG", EncodeColourRange(0, 8192, RNG_ACTIVE, 1, 5)));
    }
    ranged.extraChunks.push_back(Chunk("CCRT", EncodeCycleTiming(1, 2, 6, 0, 50000)));
    gViewOptions.cycle = true;
    EXPECT_EQ(Show(MakeIlbm(ranged)), 0);
    Script("tab,tab,click", "");
    EXPECT_EQ(Show(MakeIlbm(ranged)), 0);
}

TEST_F(ShowPictureTest, TheUserEndsOrStopsAPicture) {
    const Bytes picture = MakeIlbm(Picture(24, 12, 3, cmpByteRun1));
    struct Case {
        const char* viewing;
        const char* drawing;
        int32_t result;
        bool displayKept;
    };
    const Case cases[] = {
        {"click", "", 0, false},          {"middle", "", 0, false},
        {"key:x", "", 0, false},          {"esc", "", CODE_STOP, false},
        {"ctrl-c", "", CODE_STOP, false}, {"right", "", CODE_STOP, false},
        {"", "3:click", CODE_NEXT, true}, {"", "1:key:q", CODE_NEXT, true},
        {"", "5:esc", CODE_STOP, true},   {"", "2:right", CODE_STOP, true},
        {"", "11:ctrl-c", CODE_STOP, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.viewing) + "/" + c.drawing);
        Script(c.viewing, c.drawing);
        EXPECT_EQ(Show(picture), c.result);
        EXPECT_EQ(lastDisplayOpen_, c.displayKept);
    }
}

using Clock = std::chrono::steady_clock;

TEST_F(ShowPictureTest, WaitTimeOutAndBreakSignals) {
    const Bytes picture = MakeIlbm(Picture(24, 12, 3, cmpNone));

    // Nobody clicks: the picture ends by its time-out, counted after drawing.
    Script("none", "");
    gViewOptions.waitSeconds = 1;
    auto start = Clock::now();
    EXPECT_EQ(Show(picture), 0);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(elapsed, 950);
    EXPECT_LT(elapsed, 3000);

    // Ctrl-F brings the screen to the front and viewing goes on; Ctrl-C stops.
    Script("none,none,none", "");
    gViewOptions.waitSeconds = 0;
    os::Task* self = os::FindTask(nullptr);
    std::thread sender([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        os::Signal(self, os::SIGBREAKF_CTRL_F);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        os::Signal(self, os::SIGBREAKF_CTRL_C);
    });
    start = Clock::now();
    EXPECT_EQ(Show(picture), CODE_STOP);
    elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    sender.join();
    EXPECT_GE(elapsed, 250);
    EXPECT_FALSE(lastDisplayOpen_);

    // A break pending before drawing stops at the first row.
    Script("", "");
    os::Signal(self, os::SIGBREAKF_CTRL_C);
    EXPECT_EQ(Show(picture), CODE_STOP);
    EXPECT_EQ(os::SetSignal(0, 0) & os::SIGBREAKF_CTRL_C, 0u);
}

// The wait hook of the test: holds the waiting task until its time-out has
// arrived, then sends it Ctrl-C, so that both are there in one wake-up.
os::internal::WaitHook gBackendHook = nullptr;
uint32_t gTimerBit = 0;

void TimeOutAndBreakTogether(uint32_t mask) {
    if (gTimerBit != 0 && (mask & gTimerBit) != 0) {
        while ((os::SetSignal(0, 0) & gTimerBit) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        os::Signal(os::FindTask(nullptr), os::SIGBREAKF_CTRL_C);
        return;
    }
    if (gBackendHook != nullptr) gBackendHook(mask);
}

TEST_F(ShowPictureTest, BreakArrivingWithTheTimeOutStopsTheRun) {
    const Bytes picture = MakeIlbm(Picture(24, 12, 3, cmpNone));
    Script("none", "");
    gViewOptions.waitSeconds = 1;
    ASSERT_NE(gServices.timerPort, nullptr);
    gTimerBit = 1u << gServices.timerPort->mp_SigBit;
    gBackendHook = os::internal::GetWaitHook();
    os::internal::SetWaitHook(&TimeOutAndBreakTogether);
    const int32_t result = Show(picture);
    os::internal::SetWaitHook(gBackendHook);
    gTimerBit = 0;
    EXPECT_EQ(result, CODE_STOP);
}

// The wait hook of the pause tests: once the picture's window is open, the
// given key or button arrives in it at the next wait (from the window's
// owner, as the backends deliver it).
uint32_t gPauseClass = 0;
uint16_t gPauseCode = 0;

void InputDuringThePause(uint32_t mask) {
    if (gPauseClass != 0 && gDisplay.window != nullptr) {
        os::gfx::PostInput(gDisplay.window, gPauseClass, gPauseCode);
        gPauseClass = 0;
        return;
    }
    if (gBackendHook != nullptr) gBackendHook(mask);
}

TEST_F(ShowPictureTest, PauseAfterOpeningEndsAtABreakOrAStopInTheWindow) {
    const Bytes picture = MakeIlbm(Picture(24, 12, 3, cmpNone));
    Script("", "");  // a finished picture is ended by a click
    os::Task* self = os::FindTask(nullptr);

    // Ctrl-C (SIGINT, SIGTERM) a moment into a 20 s pause stops the run at once.
    gViewOptions.waitAfterOpenSeconds = 20;
    std::thread sender([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        os::Signal(self, os::SIGBREAKF_CTRL_C);
    });
    auto start = Clock::now();
    EXPECT_EQ(Show(picture), CODE_STOP);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    sender.join();
    EXPECT_LT(elapsed, 2000);

    // The longest pause an icon can ask for: the window still answers, Esc
    // (also what closing the window sends) stops, a click ends the picture.
    gViewOptions.waitAfterOpenSeconds = INT32_MAX;
    gBackendHook = os::internal::GetWaitHook();
    os::internal::SetWaitHook(&InputDuringThePause);
    struct Case {
        uint32_t imClass;
        uint16_t code;
        int32_t result;
    };
    for (const Case& c : {Case{os::IDCMP_VANILLAKEY, 0x1B, CODE_STOP}, Case{os::IDCMP_MOUSEBUTTONS, os::MENUDOWN, CODE_STOP},
                          Case{os::IDCMP_MOUSEBUTTONS, os::SELECTDOWN, CODE_NEXT}}) {
        SCOPED_TRACE(c.code);
        gPauseClass = c.imClass;
        gPauseCode = c.code;
        start = Clock::now();
        EXPECT_EQ(Show(picture), c.result);
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_LT(elapsed, 2000);
        EXPECT_TRUE(lastDisplayOpen_);  // as after a picture ended while drawing
    }
    os::internal::SetWaitHook(gBackendHook);

    // Left alone, the pause lasts its time and the picture is drawn.
    gViewOptions.waitAfterOpenSeconds = 1;
    start = Clock::now();
    EXPECT_EQ(Show(picture), 0);
    elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(elapsed, 1000);
    EXPECT_LT(elapsed, 3000);
}

// The heap in use after a long run of pictures is what it was after the
// first of them: nothing (such as a record of every port and request the
// pictures opened) grows with the number of pictures shown.
TEST_F(ShowPictureTest, LongSlideshowKeepsAFlatHeap) {
    const Bytes data = MakeIlbm(Picture(32, 8, 4, cmpByteRun1));
    const std::string path = Write(data);
    auto showMany = [&](int count) {
        for (int i = 0; i < count; ++i) ASSERT_EQ(ShowPicture(path.c_str()), 0);
    };
    showMany(100);
    const size_t afterFirst = mallinfo2().uordblks;
    showMany(400);
    const size_t afterLast = mallinfo2().uordblks;
    EXPECT_LT(afterLast, afterFirst + 16 * 1024) << "grew by " << (afterLast - afterFirst) << " bytes";
    EXPECT_EQ(os::testing::ServiceLog(), "");  // no test asked for it
}

TEST_F(ShowPictureTest, CenterKeepsTheScreenForTheNextPictureThatFits) {
    gViewOptions.center = true;
    const std::string big = Write(MakeIlbm(Picture(64, 32, 4, cmpNone)));
    const std::string small = Write(MakeIlbm(Picture(20, 10, 4, cmpByteRun1)));
    const std::string deep = Write(MakeIlbm(Picture(20, 10, 24, cmpByteRun1)));

    EXPECT_EQ(ShowPicture(big.c_str()), 0);
    os::Screen* screen = gDisplay.screen;
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(ShowPicture(small.c_str()), 0);
    EXPECT_EQ(gDisplay.screen, screen);
    EXPECT_EQ(gDisplay.depth, 8);
    // Another depth needs a screen of its own.
    EXPECT_EQ(ShowPicture(deep.c_str()), 0);
    ASSERT_NE(gDisplay.screen, nullptr);
    EXPECT_EQ(gDisplay.depth, 24);
    CloseDisplay();
    EXPECT_EQ(os::testing::LiveAllocations(), baseline_);
}

TEST_F(ShowPictureTest, AllocationFailuresAtEveryStepNeverLeak) {
    IlbmPicture picture = Picture(40, 6, 5, cmpByteRun1);
    picture.extraChunks.push_back(Chunk("CRNG", EncodeColourRange(0, 8192, RNG_ACTIVE, 1, 9)));
    const Bytes data = MakeIlbm(picture);
    gViewOptions.cycle = true;
    bool sawSuccess = false;
    for (uint32_t n = 1; n <= 60; ++n) {
        SCOPED_TRACE(n);
        os::testing::ResetFaults();
        os::testing::FailNthAlloc(n);
        const int32_t result = Show(data);
        os::testing::ResetFaults();
        EXPECT_NE(result, CODE_STOP);
        if (result == 0) sawSuccess = true;
    }
    EXPECT_TRUE(sawSuccess);
}

}  // namespace
}  // namespace lanterna
