// build/lanterna-thumbnailer against the viewer: the thumbnail of every
// form equals the viewer's headless snapshot of the same file scaled down by
// an independent scaler (netpbm's pamscale, box filter, the same exact area
// averaging), within the filter's rounding. Also: pictures too small to
// scale keep their size, the first frame of an animation, a cut file gives
// the rows it holds, a file that holds no picture leaves no output, and the
// program works inside the file manager's bubblewrap sandbox, where it
// starts no process and opens only its input, its output and libraries.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/anim_writer.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;
using e2e::Image;
using e2e::CountingPicture;
using e2e::Quote;
namespace fs = std::filesystem;

class ThumbnailerTest : public e2e::NetpbmTest {
protected:
    void SetUp() override {
        e2e::NetpbmTest::SetUp();
        if (IsSkipped()) return;
        if (!e2e::HaveProgram("pamscale")) GTEST_SKIP() << "netpbm's pamscale is needed";
        ASSERT_TRUE(fs::exists(Thumbnailer())) << Thumbnailer() << " is not built";
    }
    static std::string Thumbnailer() { return std::string(LANTERNA_BINARY_DIR) + "/lanterna-thumbnailer"; }
    static fs::path Samples() { return fs::path(LANTERNA_BINARY_DIR) / "samples"; }

    // Runs the thumbnailer (through `around`, "$T" standing for it): its result.
    int Thumbnail(const std::string& input, int size, const std::string& output, const std::string& around = "$T") {
        std::string program = Quote(Thumbnailer()) + " -s " + std::to_string(size) + " " + Quote(input) + " " +
                              Quote(output);
        std::string command = around;
        command.replace(command.find("$T"), 2, program);
        const int status = std::system(("cd " + Quote(dir_.string()) + " && " + command + " 2>>thumb.log").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    Image Png(const fs::path& png) {
        const fs::path ppm = png.string() + ".ppm";
        if (std::system(("pngtopnm " + Quote(png.string()) + " > " + Quote(ppm.string()) + " 2>/dev/null").c_str()) != 0)
            return {};
        return e2e::ReadPpm(ppm);
    }
    // Snapshot n scaled to width x height by pamscale's box filter.
    Image Scaled(int n, int width, int height) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d", n);
        const fs::path png = dir_ / "snapshots" / (std::string(name) + ".png");
        const fs::path ppm = dir_ / (std::string("scaled-") + name + ".ppm");
        const std::string command = "pngtopnm " + Quote(png.string()) + " | pamscale -filter=box -width " +
                                    std::to_string(width) + " -height " + std::to_string(height) + " > " +
                                    Quote(ppm.string()) + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return {};
        return e2e::ReadPpm(ppm);
    }
    // The largest difference of a component; -1 when the sizes differ.
    static int Largest(const Image& a, const Image& b) {
        if (!a.Valid() || a.width != b.width || a.height != b.height) return -1;
        int most = 0;
        for (size_t i = 0; i < a.rgb.size(); ++i) most = std::max(most, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
        return most;
    }
};

// Every sample picture the writer makes (each form, aspect, palette change
// and masking), at a size with whole and one with fractional coverage.
TEST_F(ThumbnailerTest, EveryFormMatchesTheViewerScaledDown) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(Samples())) {
        if (entry.path().extension() == ".iff") files.push_back(entry.path().string());
    }
    if (files.empty()) GTEST_SKIP() << "no sample pictures in " << Samples();
    std::sort(files.begin(), files.end());
    const e2e::RunResult run = Lanterna(files);
    ASSERT_EQ(run.result, 0) << run.output << run.errors;
    ASSERT_EQ(SnapshotCount(), int(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        const Image shown = Snapshot(int(i) + 1);
        for (int size : {128, 93}) {
            SCOPED_TRACE(files[i] + " at " + std::to_string(size));
            const std::string out = "thumb-" + std::to_string(i) + "-" + std::to_string(size) + ".png";
            ASSERT_EQ(Thumbnail(files[i], size, out), 0) << e2e::ReadText(Path("thumb.log"));
            const Image got = Png(Path(out));
            ASSERT_TRUE(got.Valid());
            EXPECT_EQ(std::max(got.width, got.height), size);
            // The snapshot is the picture's page: the samples' pages are
            // their pictures, shown in their aspect.
            const double shape = double(shown.width) / shown.height;
            EXPECT_NEAR(double(got.width) / got.height, shape, 2.0 / std::min(got.width, got.height));
            if (files[i].find("masked") != std::string::npos) continue;  // alpha: below
            EXPECT_LE(Largest(got, Scaled(int(i) + 1, got.width, got.height)), 1);
        }
    }
}

// A mask plane and a transparent colour become alpha; a picture smaller
// than the size keeps its own; the first picture of an animation.
TEST_F(ThumbnailerTest, AlphaSmallPicturesAndAnimations) {
    IlbmPicture picture = CountingPicture(40, 20, 4, cmpByteRun1);
    picture.header.masking = mskHasMask;
    for (int i = 0; i < 40 * 20; ++i) picture.mask.push_back(uint8_t((i % 40) >= 20));
    Save("masked.iff", picture);
    picture.header.masking = mskHasTransparentColor;
    picture.header.transparentColor = 0;
    Save("transparent.iff", picture);
    for (const char* name : {"masked.iff", "transparent.iff"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Thumbnail(name, 256, "alpha.png"), 0);
        ASSERT_EQ(std::system(("pngtopnm -alpha " + Quote(Path("alpha.png").string()) + " > " +
                               Quote(Path("alpha.pgm").string())).c_str()), 0);
        std::istringstream pgm(e2e::ReadText(Path("alpha.pgm")));
        std::string magic;
        int width = 0, height = 0, maxval = 0;
        pgm >> magic >> width >> height >> maxval;
        pgm.get();
        EXPECT_EQ(width, 40);  // its own size: never enlarged
        EXPECT_EQ(height, 20);
        const std::string values((std::istreambuf_iterator<char>(pgm)), std::istreambuf_iterator<char>());
        ASSERT_EQ(values.size(), size_t(40 * 20));
        const auto hidden = std::count(values.begin(), values.end(), '\0');
        EXPECT_GT(hidden, 0);
        EXPECT_LT(hidden, 40 * 20);
    }

    AnimFile anim;
    anim.first = CountingPicture(64, 48, 5, cmpByteRun1);
    AnimFrameInput frame;
    frame.pixels.assign(64 * 48, 3);
    anim.frames.push_back(frame);
    Save("anim.anim", MakeAnim(anim));
    Save("first.iff", anim.first);
    ASSERT_EQ(Thumbnail("anim.anim", 32, "anim.png"), 0) << e2e::ReadText(Path("thumb.log"));
    ASSERT_EQ(Thumbnail("first.iff", 32, "first.png"), 0);
    EXPECT_EQ(e2e::Difference(Png(Path("anim.png")), Png(Path("first.png"))), "");
}

// A cut file: the rows it holds, the rest as the viewer clears its screen.
// Anything that is no picture: a failure and no output.
TEST_F(ThumbnailerTest, CutFilesAndFilesThatAreNoPicture) {
    const Bytes whole = MakeIlbm(CountingPicture(120, 90, 5, cmpByteRun1));
    Save("cut.iff", Bytes(whole.begin(), whole.begin() + long(whole.size() * 2 / 3)));
    const e2e::RunResult run = Lanterna({"cut.iff"});
    ASSERT_EQ(run.result, 0) << run.output;
    ASSERT_EQ(Thumbnail("cut.iff", 60, "cut.png"), 0) << e2e::ReadText(Path("thumb.log"));
    EXPECT_LE(Largest(Png(Path("cut.png")), Scaled(1, 60, 45)), 1);

    std::ofstream(Path("text.iff")) << "not a picture at all";
    std::ofstream(Path("empty.iff"));
    Save("sound.iff", MakeChunk("FORM", Bytes{'8', 'S', 'V', 'X', 'V', 'H', 'D', 'R', 0, 0, 0, 0}));
    Save("header-only.iff", Bytes(whole.begin(), whole.begin() + 60));
    for (const char* name : {"text.iff", "empty.iff", "sound.iff", "header-only.iff", "missing.iff"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(Thumbnail(name, 64, "none.png"), 0);
        EXPECT_FALSE(fs::exists(Path("none.png")));
    }
    EXPECT_NE(Thumbnail("cut.iff", 0, "none.png"), 0);  // no size
    EXPECT_FALSE(fs::exists(Path("none.png")));
}

// Inside bubblewrap as GNOME's file manager runs thumbnailers: /usr read
// only, the input bound read-only into /tmp under a name of its own, the
// output's folder the only writable place, every namespace unshared, no
// environment. Then under strace: no fork, no exec, no file opened but the
// input, the output and shared libraries.
TEST_F(ThumbnailerTest, RunsInTheFileManagersSandbox) {
    if (!e2e::HaveProgram("bwrap")) GTEST_SKIP() << "bubblewrap is needed (scripts/deps.sh)";
    if (std::system("bwrap --ro-bind /usr /usr --symlink usr/lib /lib --symlink usr/lib64 /lib64 "
                    "--unshare-all /usr/bin/true >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "bwrap cannot create namespaces on this machine";
    }
    Save("in.iff", CountingPicture(80, 50, 4, cmpByteRun1));
    fs::create_directories(Path("out"));
    std::string sandbox = "env -i bwrap --ro-bind /usr /usr --ro-bind /etc/ld.so.cache /etc/ld.so.cache";
    for (const char* dir : {"bin", "lib", "lib64", "sbin"}) {
        if (fs::is_symlink(std::string("/") + dir)) {
            sandbox += std::string(" --symlink usr/") + dir + " /" + dir;
        } else if (fs::exists(std::string("/") + dir)) {
            sandbox += std::string(" --ro-bind /") + dir + " /" + dir;
        }
    }
    sandbox += " --proc /proc --dev /dev --chdir / --setenv GIO_USE_VFS local --unshare-all --die-with-parent"
               " --ro-bind " + Quote(Thumbnailer()) + " /lanterna-thumbnailer"
               " --bind " + Quote(Path("out").string()) + " /tmp"
               " --ro-bind " + Quote(Path("in.iff").string()) + " /tmp/gnome-desktop-file-to-thumbnail.iff"
               " /lanterna-thumbnailer -s 64 /tmp/gnome-desktop-file-to-thumbnail.iff /tmp/out.png";
    const int status = std::system((sandbox + " 2>" + Quote(Path("bwrap.log").string())).c_str());
    ASSERT_EQ(status, 0) << e2e::ReadText(Path("bwrap.log"));
    const Image got = Png(Path("out") / "out.png");
    ASSERT_TRUE(got.Valid());
    EXPECT_EQ(got.width, 64);
    EXPECT_EQ(got.height, 40);

    if (!e2e::HaveProgram("strace")) return;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer's own leak check traces the program at its end and starts
    // a process of its own for it: under strace it cannot, and what it
    // starts is not the thumbnailer's doing.
    return;
#endif
    ASSERT_EQ(Thumbnail("in.iff", 64, "traced.png",
                        "strace -f -qq -e trace=%process,%file -o trace.txt $T"), 0);
    std::istringstream trace(e2e::ReadText(Path("trace.txt")));
    std::string line;
    int execs = 0;
    while (std::getline(trace, line)) {
        if (line.find("execve(") != std::string::npos) ++execs;
        EXPECT_EQ(line.find("fork("), std::string::npos) << line;
        EXPECT_EQ(line.find("vfork("), std::string::npos) << line;
        if (line.find("clone") != std::string::npos) {
            EXPECT_NE(line.find("CLONE_THREAD"), std::string::npos) << line;  // a thread, not a process
        }
        const size_t open = line.find("open");
        if (open == std::string::npos || line.find("= -1") != std::string::npos) continue;
        const bool allowed = line.find("in.iff") != std::string::npos || line.find("traced.png") != std::string::npos ||
                             line.find(".so") != std::string::npos || line.find("ld.so.cache") != std::string::npos;
        EXPECT_TRUE(allowed) << line;
    }
    EXPECT_EQ(execs, 1);  // strace starting the program
}

}  // namespace
