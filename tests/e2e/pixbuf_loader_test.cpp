// The gdk-pixbuf loader as the desktop uses it: registered in a scratch
// loaders cache with the MIME package in a scratch data folder,
// gdk-pixbuf-thumbnailer makes of every sample form what the viewer shows
// (its headless snapshot), at full size and scaled; a GdkPixbufLoader fed in
// random pieces gives the same; a cycling picture is an animation whose
// frames move; a file that is no picture fails with the program's message;
// eog under Xvfb shows a picture and plays a picture's cycling and an
// animation.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <random>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/anim_writer.h"
#include "tests/support/xvfb_support.h"

namespace e2e {
namespace {

using namespace lanterna::ilbmw;

// Set once for the whole process, before gdk-pixbuf reads its modules.
struct Registration {
    fs::path dir;
    bool ok = false;
    Registration() {
        dir = fs::temp_directory_path() / ("lanterna-loader-" + std::to_string(::getpid()));
        fs::create_directories(dir / "data" / "mime" / "packages");
        fs::copy_file(std::string(LANTERNA_SOURCE_DIR) + "/data/lanterna-ilbm.xml",
                      dir / "data" / "mime" / "packages" / "lanterna-ilbm.xml", fs::copy_options::overwrite_existing);
        const std::string cache = (dir / "loaders.cache").string();
        ok = std::system(("update-mime-database " + Quote((dir / "data" / "mime").string()) + " 2>/dev/null").c_str()) == 0 &&
             std::system(("env " PIXBUF_TOOL_ENV + Quote(PIXBUF_QUERY_LOADERS) + " " + Quote(PIXBUF_LOADER_MODULE) + " > " + Quote(cache)).c_str()) == 0;
        setenv("GDK_PIXBUF_MODULE_FILE", cache.c_str(), 1);
        setenv("XDG_DATA_DIRS", ((dir / "data").string() + ":/usr/share").c_str(), 1);
    }
    ~Registration() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

Registration& Registered() {
    static Registration registration;
    return registration;
}

std::vector<fs::path> Samples() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(std::string(LANTERNA_BINARY_DIR) + "/samples")) {
        if (entry.path().extension() == ".iff") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

Image FromPixbuf(GdkPixbuf* pixbuf) {
    Image image;
    if (pixbuf == nullptr || gdk_pixbuf_get_n_channels(pixbuf) != 3) return image;
    image.width = gdk_pixbuf_get_width(pixbuf);
    image.height = gdk_pixbuf_get_height(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int y = 0; y < image.height; ++y) {
        const guchar* row = pixels + size_t(y) * gdk_pixbuf_get_rowstride(pixbuf);
        image.rgb.insert(image.rgb.end(), row, row + size_t(image.width) * 3);
    }
    return image;
}

struct Loaded {
    Image image;
    int prepared = 0;
    bool rowsInside = true;  // every updated area lies in the picture
    bool ok = false;
    std::string message;
    GdkPixbufAnimation* animation = nullptr;  // kept
};

void OnPrepared(GdkPixbufLoader*, gpointer user) { ++static_cast<Loaded*>(user)->prepared; }
void OnUpdated(GdkPixbufLoader* loader, int x, int y, int w, int h, gpointer user) {
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    static_cast<Loaded*>(user)->rowsInside &= x == 0 && y >= 0 && h > 0 && w == gdk_pixbuf_get_width(pixbuf) &&
                                              y + h <= gdk_pixbuf_get_height(pixbuf);
}

// Hands the bytes to a GdkPixbufLoader in pieces of 1 to maxPiece bytes.
Loaded LoadInPieces(const Bytes& data, size_t maxPiece, uint32_t seed) {
    Loaded loaded;
    std::mt19937 random(seed);
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    g_signal_connect(loader, "area-prepared", G_CALLBACK(OnPrepared), &loaded);
    g_signal_connect(loader, "area-updated", G_CALLBACK(OnUpdated), &loaded);
    GError* error = nullptr;
    bool ok = true;
    for (size_t at = 0; ok && at < data.size();) {
        const size_t n = std::min(data.size() - at, size_t(random() % maxPiece) + 1);
        ok = gdk_pixbuf_loader_write(loader, data.data() + at, n, &error);
        at += n;
    }
    ok = gdk_pixbuf_loader_close(loader, ok ? &error : nullptr) && ok;
    loaded.ok = ok;
    if (error != nullptr) {
        loaded.message = error->message;
        g_error_free(error);
    }
    if (ok) {
        loaded.image = FromPixbuf(gdk_pixbuf_loader_get_pixbuf(loader));
        loaded.animation = GDK_PIXBUF_ANIMATION(g_object_ref(gdk_pixbuf_loader_get_animation(loader)));
    }
    g_object_unref(loader);
    return loaded;
}

Bytes ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

class PixbufLoaderTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (!Registered().ok) GTEST_SKIP() << "gdk-pixbuf-query-loaders or update-mime-database failed";
    }
    // The viewer's snapshot of every sample, in the order of Samples().
    std::vector<Image> Snapshots() {
        const RunResult run = Lanterna({std::string(LANTERNA_BINARY_DIR) + "/samples"});
        EXPECT_EQ(run.result, 0) << run.output << run.errors;
        std::vector<Image> images;
        for (int i = 1; i <= SnapshotCount(); ++i) images.push_back(Snapshot(i));
        return images;
    }
    // gdk-pixbuf-thumbnailer's thumbnail of a file as an image.
    Image Thumbnail(const fs::path& file, int size, const std::string& name) {
        const fs::path png = Path(name + ".png");
        const std::string command = "env " PIXBUF_TOOL_ENV "gdk-pixbuf-thumbnailer -s " + std::to_string(size) + " " +
                                    Quote(file.string()) + " " + Quote(png.string()) + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return {};
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
        const Image image = FromPixbuf(pixbuf);
        if (pixbuf != nullptr) g_object_unref(pixbuf);
        return image;
    }
};

TEST_F(PixbufLoaderTest, ThumbnailsOfEveryFormAreTheViewersPicture) {
    const std::vector<fs::path> samples = Samples();
    const std::vector<Image> shown = Snapshots();
    ASSERT_EQ(shown.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(samples[i].filename().string());
        ASSERT_TRUE(shown[i].Valid());
        // At the picture's own size: the viewer's pixels exactly.
        EXPECT_EQ(Difference(Thumbnail(samples[i], std::max(shown[i].width, shown[i].height), "full"), shown[i]), "");
        // Scaled down: what the same filter makes of the snapshot.
        char snapshot[32];
        std::snprintf(snapshot, sizeof snapshot, "%03d.png", int(i + 1));
        const Image small = Thumbnail(samples[i], 96, "small");
        ASSERT_TRUE(small.Valid());
        EXPECT_EQ(Difference(small, Thumbnail(Path("snapshots") / snapshot, 96, "small-snapshot")), "");
    }
}

TEST_F(PixbufLoaderTest, BytesInRandomPiecesGiveTheViewersPicture) {
    const std::vector<fs::path> samples = Samples();
    const std::vector<Image> shown = Snapshots();
    ASSERT_EQ(shown.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(samples[i].filename().string());
        const Bytes data = ReadBytes(samples[i]);
        for (size_t maxPiece : {size_t(7), size_t(300), size_t(70000)}) {
            Loaded loaded = LoadInPieces(data, maxPiece, uint32_t(i * 31 + maxPiece));
            ASSERT_TRUE(loaded.ok) << loaded.message;
            EXPECT_EQ(loaded.prepared, 1);
            EXPECT_TRUE(loaded.rowsInside);
            EXPECT_EQ(Difference(loaded.image, shown[i]), "");
            g_object_unref(loaded.animation);
        }
    }
}

TEST_F(PixbufLoaderTest, ACyclingPictureIsAnAnimationOfItsCycling) {
    const Bytes data = ReadBytes(std::string(LANTERNA_BINARY_DIR) + "/samples/14-colour-cycling.iff");
    Loaded loaded = LoadInPieces(data, 4096, 1);
    ASSERT_TRUE(loaded.ok) << loaded.message;
    ASSERT_FALSE(gdk_pixbuf_animation_is_static_image(loaded.animation));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GTimeVal time = {1000, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(loaded.animation, &time);
    EXPECT_EQ(Difference(FromPixbuf(gdk_pixbuf_animation_iter_get_pixbuf(iter)), loaded.image), "");
    const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
    EXPECT_GT(delay, 0);
    EXPECT_LT(delay, 1000);
    time.tv_sec += 1;  // a second later the ranges have moved
    EXPECT_TRUE(gdk_pixbuf_animation_iter_advance(iter, &time));
    EXPECT_NE(Difference(FromPixbuf(gdk_pixbuf_animation_iter_get_pixbuf(iter)), loaded.image), "");
    // Ten years later (a suspended desktop, a clock set right) it goes on
    // at once, not after stepping every tick in between.
    time.tv_sec += 10 * 365 * 24 * 3600;
    const auto start = std::chrono::steady_clock::now();
    gdk_pixbuf_animation_iter_advance(iter, &time);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(iter);
    g_object_unref(loaded.animation);
    // A picture without ranges is a still.
    Loaded still = LoadInPieces(ReadBytes(std::string(LANTERNA_BINARY_DIR) + "/samples/03-sixteen-colours.iff"), 4096, 2);
    ASSERT_TRUE(still.ok);
    EXPECT_TRUE(gdk_pixbuf_animation_is_static_image(still.animation));
    g_object_unref(still.animation);
}

// The pixels of a frame through its colours.
Image FrameImage(int width, int height, const std::vector<uint32_t>& pixels, const std::vector<Rgb>& colours) {
    Image image{width, height, {}};
    for (uint32_t v : pixels) image.rgb.insert(image.rgb.end(), {colours[v].r, colours[v].g, colours[v].b});
    return image;
}

TEST_F(PixbufLoaderTest, AnAnimationPlaysItsFramesAtTheirTimes) {
    AnimFile anim;
    anim.first.header = SimpleHeader(48, 32, 3, lanterna::cmpByteRun1);
    for (int i = 0; i < 8; ++i) anim.first.colours.push_back({uint8_t(i * 30), uint8_t(200 - i * 20), uint8_t(i * 9)});
    auto frame = [](int k) {
        std::vector<uint32_t> pixels;
        for (int i = 0; i < 48 * 32; ++i) pixels.push_back(uint32_t((i % 48 / 6 + k) % 8));
        return pixels;
    };
    anim.first.pixels = frame(0);
    for (int k = 1; k <= 3; ++k) {
        AnimFrameInput input;
        input.pixels = frame(k);
        input.relTime = 6;  // a tenth of a second
        anim.frames.push_back(input);
    }
    Loaded loaded = LoadInPieces(MakeAnim(anim), 100, 4);
    ASSERT_TRUE(loaded.ok) << loaded.message;
    EXPECT_EQ(Difference(loaded.image, FrameImage(48, 32, frame(0), anim.first.colours)), "");
    ASSERT_FALSE(gdk_pixbuf_animation_is_static_image(loaded.animation));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GTimeVal time = {5000, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(loaded.animation, &time);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
        EXPECT_NEAR(delay, 100, 1);
        time.tv_usec += delay * 1000 / 2;  // half-way: still the frame before
        EXPECT_FALSE(gdk_pixbuf_animation_iter_advance(iter, &time));
        time.tv_usec += delay * 1000 / 2 + 1000;
        EXPECT_TRUE(gdk_pixbuf_animation_iter_advance(iter, &time));
        EXPECT_EQ(Difference(FromPixbuf(gdk_pixbuf_animation_iter_get_pixbuf(iter)),
                             FrameImage(48, 32, frame(k), anim.first.colours)), "");
    }
    // And on round: the animation loops.
    time.tv_sec += 10;
    EXPECT_TRUE(gdk_pixbuf_animation_iter_advance(iter, &time));
    EXPECT_GT(gdk_pixbuf_animation_iter_get_delay_time(iter), 0);
    g_object_unref(iter);
    g_object_unref(loaded.animation);
    // A frame due in 2^32 - 1 jiffies (two years) is a long delay, not a
    // negative one.
    anim.frames[0].relTime = 0xFFFFFFFFu;
    Loaded slow = LoadInPieces(MakeAnim(anim), 100, 5);
    ASSERT_TRUE(slow.ok) << slow.message;
    iter = gdk_pixbuf_animation_get_iter(slow.animation, &time);
    EXPECT_GT(gdk_pixbuf_animation_iter_get_delay_time(iter), 1000000000);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(iter);
    g_object_unref(slow.animation);
}

TEST_F(PixbufLoaderTest, FilesThatAreNoPictureFailWithTheProgramsMessage) {
    IlbmPicture picture;
    picture.header = SimpleHeader(40, 30, 4, lanterna::cmpByteRun1);
    for (int i = 0; i < 16; ++i) picture.colours.push_back({uint8_t(i * 16), 0, 0});
    picture.pixels.assign(40 * 30, 3);
    const Bytes good = MakeIlbm(picture);
    Bytes badCompression = good;
    badCompression[8 + 12 + 10] = 9;  // BMHD compression
    const struct {
        const char* name;
        Bytes data;
        bool loads;  // otherwise it fails with the message the viewer prints
    } cases[] = {
        {"cut in its BODY", Truncated(good, good.size() - 20), true},
        {"cut before its BODY", Truncated(good, 40), false},
        {"unknown compression", badCompression, false},
        {"not IFF", Bytes{'F', 'O', 'R', 'X', 0, 0, 0, 4, 'I', 'L', 'B', 'M'}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded loaded = LoadInPieces(c.data, 16, 3);
        EXPECT_EQ(loaded.ok, c.loads) << loaded.message;
        if (!c.loads) {
            ASSERT_TRUE(WriteFile(Path("failing.iff").string(), c.data));
            const RunResult run = Lanterna({"failing.iff"});
            EXPECT_EQ(run.output, Showing("failing.iff") + loaded.message + "\n");
        }
        if (loaded.animation != nullptr) g_object_unref(loaded.animation);
    }
    // Not an IFF picture at all: gdk-pixbuf's own loaders never see it as ours.
    const fs::path text = Path("notes.iff");
    std::ofstream(text) << "FORM is a word, not a picture\n";
    EXPECT_FALSE(Thumbnail(text, 64, "none").Valid());
    EXPECT_FALSE(fs::exists(Path("none.png")));
}

// How many pixels of the screenshot have exactly this colour.
int Count(const xvfb_test::Image& shot, const Rgb& colour) {
    int n = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) n += shot.Is(x, y, colour.r, colour.g, colour.b) ? 1 : 0;
    return n;
}

TEST_F(PixbufLoaderTest, EogShowsAPictureAndPlaysCyclingAndAnimations) {
    if (!HaveProgram("eog") || !HaveProgram("Xvfb") || !HaveProgram("xwd")) GTEST_SKIP() << "needs eog, Xvfb, xwd";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A whole GTK viewer does not start with a sanitized module loaded into
    // it; the sanitizers see the loader through gdk-pixbuf's own tools and
    // the loads in this process, the viewer is the plain build's test.
    GTEST_SKIP() << "the plain build runs eog";
#endif
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    // Four blocks of four colours.
    IlbmPicture blocks;
    blocks.header = SimpleHeader(240, 160, 2, lanterna::cmpByteRun1);
    blocks.colours = {{200, 30, 40}, {20, 180, 60}, {30, 60, 210}, {230, 220, 20}};
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x) blocks.pixels.push_back(uint32_t((y >= 80 ? 2 : 0) + (x >= 120 ? 1 : 0)));
    ASSERT_TRUE(WriteFile(Path("blocks.iff").string(), MakeIlbm(blocks)));
    const std::string cycling = std::string(LANTERNA_BINARY_DIR) + "/samples/14-colour-cycling.iff";
    // An animation: the blocks moving a column a frame, ten frames a second.
    AnimFile anim;
    anim.first = blocks;
    for (int k = 1; k <= 8; ++k) {
        AnimFrameInput frame;
        for (int i = 0; i < 240 * 160; ++i) frame.pixels.push_back(blocks.pixels[(i / 240) * 240 + (i % 240 + k * 15) % 240]);
        anim.frames.push_back(frame);
    }
    ASSERT_TRUE(WriteFile(Path("moving.anim").string(), MakeAnim(anim)));
    for (const std::string& file : {Path("blocks.iff").string(), cycling, Path("moving.anim").string()}) {
        const bool moves = file != Path("blocks.iff").string();
        SCOPED_TRACE(file);
        const std::string pidFile = Path("eog.pid").string();
        const std::string command = xvfb_test::OnDisplay("env GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 " PIXBUF_TOOL_ENV
                                                         "eog --new-instance " + Quote(file) +
                                                         " >/dev/null 2>&1 & echo $! > " + Quote(pidFile));
        ASSERT_EQ(std::system(command.c_str()), 0);
        const long pid = std::atol(ReadText(pidFile).c_str());
        ASSERT_GT(pid, 0);
        bool shown = false;
        xvfb_test::Image first;
        xvfb_test::WaitUntil([&] {
            first = xvfb_test::Screenshot();
            if (file != cycling) {
                shown = true;  // the blocks (an animation's first frames too)
                for (const Rgb& colour : blocks.colours) shown = shown && Count(first, colour) > 3000;
            } else {
                shown = Count(first, Rgb{0, 0, 0}) < first.width * first.height * 9 / 10;
            }
            return shown;
        }, 20000, 200);
        EXPECT_TRUE(shown);
        if (moves && shown) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            const xvfb_test::Image later = xvfb_test::Screenshot();
            EXPECT_TRUE(later.rgb != first.rgb) << "it does not play";
        }
        kill(pid_t(pid), SIGTERM);
        xvfb_test::WaitUntil([&] { return xvfb_test::ProcessGone(pid); }, 5000);
    }
}

}  // namespace
}  // namespace e2e
