// build/lanterna-convert against independent readers: its PNGs against
// netpbm's ilbmtoppm, its GIFs as ffmpeg decodes them, its WebPs as
// libwebp's demuxer decodes them, and its refusals and results.
#include <gif_lib.h>
#include <webp/demux.h>

#include <algorithm>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"
#include "tools/ilbm_writer/anim_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;
using e2e::Image;
namespace fs = std::filesystem;

class ConvertTest : public e2e::NetpbmTest {
protected:
    // pipedIn: a file of the directory piped into standard input.
    e2e::RunResult Convert(const std::vector<std::string>& arguments, const std::string& pipedIn = "") {
        const std::string binary = std::string(LANTERNA_BINARY_DIR) + "/lanterna-convert";
        std::string command = "cd " + e2e::Quote(dir_.string()) + " && ";
        if (!pipedIn.empty()) command += "cat " + e2e::Quote(pipedIn) + " | ";
        command += e2e::Quote(binary);
        for (const std::string& a : arguments) command += " " + e2e::Quote(a);
        command += " > out.txt 2> err.txt; echo $? > rc.txt";
        EXPECT_EQ(std::system(command.c_str()), 0);
        e2e::RunResult run;
        run.output = e2e::ReadText(Path("out.txt"));
        run.errors = e2e::ReadText(Path("err.txt"));
        run.result = std::atoi(e2e::ReadText(Path("rc.txt")).c_str());
        return run;
    }
    Image Png(const std::string& name) {
        const std::string ppm = Path(name + ".ppm").string();
        if (std::system(("pngtopnm " + e2e::Quote(Path(name).string()) + " > " + e2e::Quote(ppm)).c_str()) != 0) {
            return {};
        }
        return e2e::ReadPpm(ppm);
    }
    // The PNG's colour type (3: palette), from its header.
    int PngColourType(const std::string& name) {
        const std::string data = e2e::ReadText(Path(name));
        return data.size() > 25 ? uint8_t(data[25]) : -1;
    }
    // ffmpeg's frames of an animation, one a stored frame.
    std::vector<Image> FfmpegFrames(const std::string& name, int width, int height) {
        const std::string raw = Path(name + ".rgb").string();
        const std::string command = "ffmpeg -v error -i " + e2e::Quote(Path(name).string()) +
                                    " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -y " + e2e::Quote(raw);
        if (std::system(command.c_str()) != 0) return {};
        return Split(e2e::ReadText(raw), width, height, 3);
    }
    static std::vector<Image> Split(const std::string& data, int width, int height, int bytes) {
        std::vector<Image> frames;
        const size_t size = size_t(width) * height * bytes;
        for (size_t at = 0; at + size <= data.size(); at += size) {
            Image image{width, height, {}};
            for (size_t i = 0; i < size; i += bytes) image.rgb.insert(image.rgb.end(), &data[at + i], &data[at + i + 3]);
            frames.push_back(image);
        }
        return frames;
    }
};

// A GIF's frames as giflib reads them: each one's rectangle and delay.
struct GifFrameFacts {
    int left, top, width, height, delay;
    bool operator==(const GifFrameFacts&) const = default;
};
std::vector<GifFrameFacts> GifFrames(const fs::path& path) {
    std::vector<GifFrameFacts> frames;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (gif == nullptr) return frames;
    if (DGifSlurp(gif) == GIF_OK) {
        for (int i = 0; i < gif->ImageCount; ++i) {
            GraphicsControlBlock control{};
            DGifSavedExtensionToGCB(gif, i, &control);
            const GifImageDesc& d = gif->SavedImages[i].ImageDesc;
            frames.push_back({d.Left, d.Top, d.Width, d.Height, control.DelayTime});
        }
    }
    DGifCloseFile(gif, &error);
    return frames;
}

Image Widened(const Image& image, int xs, int ys) {
    Image out{image.width * xs, image.height * ys, {}};
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* p = image.At(x / xs, y / ys);
            out.rgb.insert(out.rgb.end(), p, p + 3);
        }
    return out;
}

IlbmPicture Stripes(int width, int height, int planes, uint8_t compression) {
    IlbmPicture picture;
    picture.header = SimpleHeader(width, height, planes, compression);
    const uint64_t values = uint64_t(1) << planes;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.pixels.push_back(uint32_t((uint64_t(x) * 7 + y * 13 + x * y) % values));
    if (planes <= 8) picture.colours = test_support::Palette(1 << planes, planes);
    picture.hasCamg = true;
    return picture;
}

// Colour-mapped (palette PNGs) and deep pictures as ilbmtoppm reads them.
// HAM as the viewer's screen shows it: ilbmtoppm widens a modify value to
// 8 bits its own way, the hardware repeats its bits (pixels_test checks the
// viewer's HAM against that rule); where both agree, at base colours, the
// PNG equals ilbmtoppm's too.
TEST_F(ConvertTest, StillsAreThePicturesOwnPixels) {
    struct Case {
        int planes;
        uint32_t camg;
        int colourType;
    };
    const Case cases[] = {{1, 0, 3}, {4, 0, 3}, {6, EXTRA_HALFBRITE, 3}, {8, 0, 3}, {6, HAM, 2}, {8, HAM, 2}, {24, 0, 2}};
    for (const Case& c : cases) {
        IlbmPicture picture = Stripes(53, 17, c.planes, c.planes % 2 ? cmpNone : cmpByteRun1);
        picture.camg = c.camg;
        if (c.camg == EXTRA_HALFBRITE) picture.colours.resize(32);  // the halved 32 come from the screen
        if (c.camg == HAM) {
            // Components ilbmtoppm's 4- and 6-bit HAM levels hold exactly.
            picture.colours = test_support::Palette(1 << (c.planes - 2), c.planes);
            for (Rgb& colour : picture.colours) colour = {uint8_t(colour.r / 17 * 17), uint8_t(colour.g / 17 * 17), uint8_t(colour.b / 17 * 17)};
            for (uint32_t& v : picture.pixels) v %= 1u << (c.planes - 2);
            for (int x = 30; x < 53; ++x) picture.pixels[size_t(5) * 53 + size_t(x)] = uint32_t(x) << (c.planes - 6);
        }
        const std::string name = "p" + std::to_string(c.planes) + "-" + std::to_string(c.camg);
        Save(name + ".iff", picture);
        SCOPED_TRACE(name);
        const e2e::RunResult run = Convert({name + ".iff"});
        ASSERT_EQ(run.result, 0) << run.errors;
        EXPECT_EQ(PngColourType(name + ".png"), c.colourType);
        const Image png = Png(name + ".png");
        if (c.camg == HAM) {
            ASSERT_EQ(Lanterna({name + ".iff"}).result, 0);
            EXPECT_EQ(e2e::Difference(png, Snapshot(1)), "");
            Image bases = png;  // row 5 has modify codes
            const Image reference = Reference(name + ".iff");
            ASSERT_TRUE(reference.Valid());
            std::copy(reference.rgb.begin() + 5 * 53 * 3, reference.rgb.begin() + 6 * 53 * 3, bases.rgb.begin() + 5 * 53 * 3);
            EXPECT_EQ(e2e::Difference(bases, reference), "");
        } else {
            EXPECT_EQ(e2e::Difference(png, Reference(name + ".iff")), "");
        }
    }
}

TEST_F(ConvertTest, AspectAndScaleWidenAsTheWindowDoes) {
    IlbmPicture hires = Stripes(40, 10, 4, cmpByteRun1);
    hires.camg = HIRES;
    IlbmPicture lace = Stripes(40, 10, 4, cmpByteRun1);
    lace.camg = LACE;
    Save("hires.iff", hires);
    Save("lace.iff", lace);
    ASSERT_EQ(Convert({"--aspect", "--scale", "3", "hires.iff", "lace.iff"}).result, 0);
    EXPECT_EQ(e2e::Difference(Png("hires.png"), Widened(Reference("hires.iff"), 3, 6)), "");
    EXPECT_EQ(e2e::Difference(Png("lace.png"), Widened(Reference("lace.iff"), 6, 3)), "");
    ASSERT_EQ(Convert({"--force", "--scale=2", "hires.iff"}).result, 0);
    EXPECT_EQ(e2e::Difference(Png("hires.png"), Widened(Reference("hires.iff"), 2, 2)), "");
}

// Four entries stepping every fourth tick: one period is 16 ticks, four
// frames, each the picture with its colours turned once more; GIF delays
// come from the running time (7, 6, 7, 7 hundredths).
TEST_F(ConvertTest, CyclingBecomesAnAnimationOfOnePeriod) {
    IlbmPicture picture = Stripes(24, 6, 3, cmpByteRun1);
    picture.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(0, 4096, 1, 2, 5)));
    Save("cycle.iff", picture);
    ASSERT_EQ(Convert({"--cycle", "cycle.iff"}).result, 0);
    ASSERT_EQ(Convert({"--cycle", "--frames", "cycle.iff"}).result, 0);
    ASSERT_EQ(Convert({"--cycle", "--format", "webp", "cycle.iff"}).result, 0);
    const std::vector<Image> gif = FfmpegFrames("cycle.gif", 24, 6);
    ASSERT_EQ(gif.size(), 4u);
    std::vector<Rgb> colours = picture.colours;
    for (int f = 0; f < 4; ++f) {
        SCOPED_TRACE(f);
        Image expected{24, 6, {}};
        for (uint32_t v : picture.pixels) expected.rgb.insert(expected.rgb.end(), {colours[v].r, colours[v].g, colours[v].b});
        EXPECT_EQ(e2e::Difference(gif[size_t(f)], expected), "");
        char name[32];
        std::snprintf(name, sizeof name, "cycle-%04d.png", f + 1);
        EXPECT_EQ(e2e::Difference(Png(name), expected), "");
        std::rotate(colours.begin() + 2, colours.begin() + 5, colours.begin() + 6);  // forward: up one, top to low
    }
    EXPECT_FALSE(fs::exists(Path("cycle-0005.png")));
    std::string durations;
    ASSERT_EQ(std::system(("ffprobe -v error -show_entries packet=duration -of csv=p=0 " +
                           e2e::Quote(Path("cycle.gif").string()) + " > " + e2e::Quote(Path("d.txt").string()))
                              .c_str()),
              0);
    EXPECT_EQ(e2e::ReadText(Path("d.txt")), "7\n6\n7\n7\n");

    // The WebP, frame for frame as libwebp decodes it, equals the PNGs.
    const std::string webp = e2e::ReadText(Path("cycle.webp"));
    WebPData data{reinterpret_cast<const uint8_t*>(webp.data()), webp.size()};
    WebPAnimDecoderOptions options;
    ASSERT_TRUE(WebPAnimDecoderOptionsInit(&options));
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    ASSERT_NE(decoder, nullptr);
    std::vector<int> times;
    for (int f = 1; WebPAnimDecoderHasMoreFrames(decoder); ++f) {
        uint8_t* rgba = nullptr;
        int time = 0;
        ASSERT_TRUE(WebPAnimDecoderGetNext(decoder, &rgba, &time));
        times.push_back(time);
        char name[32];
        std::snprintf(name, sizeof name, "cycle-%04d.png", f);
        const std::vector<Image> frame = Split(std::string(reinterpret_cast<char*>(rgba), 24 * 6 * 4), 24, 6, 4);
        EXPECT_EQ(e2e::Difference(frame.at(0), Png(name)), "") << f;
    }
    WebPAnimDecoderDelete(decoder);
    EXPECT_EQ(times, (std::vector<int>{67, 133, 200, 267}));  // each frame's end, in milliseconds

    // Eight entries a step a tick: 8 ticks, 13 hundredths. No GIF frame is
    // under 2 (browsers slow those to 10): frames 1 and 2, 4 and 5, 6 and 7
    // go together, each run shown as its last frame.
    picture.extraChunks = {MakeChunk("CRNG", EncodeColourRange(0, 16384, 1, 0, 7))};
    Save("fast.iff", picture);
    ASSERT_EQ(Convert({"--cycle", "fast.iff"}).result, 0);
    const std::vector<GifFrameFacts> fast = GifFrames(Path("fast.gif"));
    std::vector<int> delays;
    for (const GifFrameFacts& frame : fast) delays.push_back(frame.delay);
    EXPECT_EQ(delays, (std::vector<int>{2, 3, 2, 3, 3}));
    const std::vector<Image> shown = FfmpegFrames("fast.gif", 24, 6);
    ASSERT_EQ(shown.size(), 5u);
    const int steps[] = {0, 2, 3, 5, 6};
    for (int f = 0; f < 5; ++f) {
        colours = picture.colours;
        std::rotate(colours.begin(), colours.begin() + 8 - steps[f], colours.begin() + 8);
        Image expected{24, 6, {}};
        for (uint32_t v : picture.pixels) expected.rgb.insert(expected.rgb.end(), {colours[v].r, colours[v].g, colours[v].b});
        EXPECT_EQ(e2e::Difference(shown[size_t(f)], expected), "") << f;
    }
}

TEST_F(ConvertTest, RefusalsAndFailuresLeaveTheRestGoingOn) {
    Save("a.iff", Stripes(8, 4, 2, cmpNone));
    Save("b.iff", Stripes(8, 4, 3, cmpNone));
    ASSERT_TRUE(WriteFile(Path("bad.iff").string(), Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 4, 'J', 'U', 'N', 'K'}));
    ASSERT_TRUE(WriteFile(Path("c.png").string(), MakeIlbm(Stripes(8, 4, 1, cmpNone))));  // a picture named .png
    std::ofstream(Path("b.png")) << "kept";

    const e2e::RunResult run = Convert({"bad.iff", "a.iff", "b.iff", "c.png"});
    EXPECT_EQ(run.result, 1);
    EXPECT_NE(run.errors.find("lanterna-convert: bad.iff: Not an IFF-ILBM file\n"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("lanterna-convert: b.png: exists (use --force to replace it)\n"), std::string::npos);
    EXPECT_NE(run.errors.find("lanterna-convert: c.png: would replace an input file\n"), std::string::npos);
    EXPECT_EQ(e2e::Difference(Png("a.png"), Reference("a.iff")), "");
    EXPECT_EQ(e2e::ReadText(Path("b.png")), "kept");
    EXPECT_FALSE(fs::exists(Path("bad.png")));

    const e2e::RunResult forced = Convert({"--force", "b.iff", "c.png"});
    EXPECT_EQ(forced.result, 1);
    EXPECT_EQ(e2e::Difference(Png("b.png"), Reference("b.iff")), "");
    EXPECT_EQ(Reference("c.png").width, 8);  // still the picture, --force or not

    EXPECT_EQ(Convert({"--scale", "0", "a.iff"}).result, 2);

    // A file cut in its BODY is written as far as it goes, as the screen
    // shows it, and said so.
    Bytes cut = MakeIlbm(Stripes(16, 8, 3, cmpNone));
    cut.resize(cut.size() - 20);
    ASSERT_TRUE(WriteFile(Path("cut.iff").string(), cut));
    const e2e::RunResult shortened = Convert({"cut.iff"});
    EXPECT_EQ(shortened.result, 0);
    EXPECT_NE(shortened.errors.find("cut.iff: the file ends after row 4 of 8: the rest is in the background colour"),
              std::string::npos) << shortened.errors;
    EXPECT_TRUE(fs::exists(Path("cut.png")));

    // An animation whose third frame points past its planes: the two before
    // are written, the file counts as failed.
    AnimFile anim;
    anim.first = Stripes(32, 8, 3, cmpByteRun1);
    for (int f = 0; f < 3; ++f) {
        AnimFrameInput frame;
        frame.pixels = anim.first.pixels;
        frame.pixels[size_t(f)] ^= 1;
        if (f == 1) frame.delta = Bytes(64, 0x7f);
        anim.frames.push_back(frame);
    }
    Save("broken.anim", MakeAnim(anim));
    const e2e::RunResult broken = Convert({"broken.anim"});
    EXPECT_EQ(broken.result, 1);
    EXPECT_NE(broken.errors.find("broken.anim: frame 3 cannot be decoded: the frames before it are in broken.gif"),
              std::string::npos) << broken.errors;
    EXPECT_EQ(FfmpegFrames("broken.gif", 32, 8).size(), 2u);
}

// An animation of byte vertical deltas with a colour change: the GIF's
// frames and the PNG a frame equal ffmpeg's own decoding of the file, with
// the GIF's delays from the frame headers. HAM goes to WebP, frame for frame
// equal to the PNGs.
TEST_F(ConvertTest, AnimationsBecomeGifOrWebpFrameForFrame) {
    auto moving = [](int planes, int frame) {
        std::vector<uint32_t> px;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 48; ++x) {
                const bool square = x >= 3 * frame && x < 3 * frame + 10 && y >= 5 && y < 12;
                px.push_back(uint32_t(square ? 7 + frame : x / 6 + y) % (1u << planes));
            }
        return px;
    };
    for (const int planes : {4, 6}) {
        SCOPED_TRACE(planes);
        AnimFile anim;
        anim.first = Stripes(48, 20, planes, cmpByteRun1);
        anim.first.pixels = moving(planes, 0);
        anim.first.camg = planes == 6 ? HAM : 0;
        if (planes == 6) anim.first.colours.resize(16);
        for (int f = 1; f < 5; ++f) {
            AnimFrameInput frame;
            frame.pixels = moving(planes, f);
            frame.relTime = uint32_t(2 + f);
            if (f == 2) frame.colours = test_support::Palette(16, 9);
            anim.frames.push_back(frame);
        }
        const std::string name = "a" + std::to_string(planes);
        Save(name + ".anim", MakeAnim(anim));
        ASSERT_EQ(Convert({name + ".anim"}).result, 0);
        ASSERT_EQ(Convert({"--frames", name + ".anim"}).result, 0);
        std::vector<Image> pngs;
        for (int f = 1; fs::exists(Path(name + "-000" + std::to_string(f) + ".png")); ++f)
            pngs.push_back(Png(name + "-000" + std::to_string(f) + ".png"));
        ASSERT_EQ(pngs.size(), 5u);
        EXPECT_NE(e2e::Difference(pngs[0], pngs[4]), "");  // the square moved
        if (planes == 4) {
            const std::vector<Image> reference = FfmpegFrames(name + ".anim", 48, 20);
            const std::vector<Image> gif = FfmpegFrames(name + ".gif", 48, 20);
            ASSERT_EQ(reference.size(), 5u);
            ASSERT_EQ(gif.size(), 5u);
            for (size_t f = 0; f < 5; ++f) {
                EXPECT_EQ(e2e::Difference(pngs[f], reference[f]), "") << f;
                EXPECT_EQ(e2e::Difference(gif[f], reference[f]), "") << f;
            }
            ASSERT_EQ(std::system(("ffprobe -v error -show_entries packet=duration -of csv=p=0 " +
                                   e2e::Quote(Path(name + ".gif").string()) + " > " + e2e::Quote(Path("d.txt").string()))
                                      .c_str()),
                      0);
            // Ticks 0, 3, 7, 12, 18 and the loop's 3 more: 5, 7, 8, 10, 5 hundredths.
            EXPECT_EQ(e2e::ReadText(Path("d.txt")), "5\n7\n8\n10\n5\n");
            // After the first, a frame is the rectangle that changed: the
            // square's old and new places, all of it where the colours change.
            EXPECT_EQ(GifFrames(Path(name + ".gif")),
                      (std::vector<GifFrameFacts>{{0, 0, 48, 20, 5}, {0, 5, 13, 7, 7}, {0, 0, 48, 20, 8},
                                                  {6, 5, 13, 7, 10}, {9, 5, 13, 7, 5}}));

            // Through a pipe: held in memory, so read twice as the file is;
            // a still still streams through.
            fs::create_directory(Path("piped"));
            ASSERT_EQ(Convert({"-", "-o", "piped"}, name + ".anim").result, 0);
            EXPECT_EQ(e2e::ReadText(Path("piped/stdin.gif")), e2e::ReadText(Path(name + ".gif")));
            Save("still.iff", anim.first);
            ASSERT_EQ(Convert({"-", "-o", "piped"}, "still.iff").result, 0);
            EXPECT_EQ(e2e::Difference(Png("piped/stdin.png"), Reference("still.iff")), "");

            // A frame of 1/60 s goes with the next (shown as that one, drawn
            // over the first); a frame that changes nothing is one pixel
            // carrying its time. Ticks 0, 4, 5, 11 and the loop's 4.
            AnimFile quick;
            quick.first = anim.first;
            for (const auto& [at, relTime] : {std::pair{1, 4u}, {2, 1u}, {2, 6u}}) {
                AnimFrameInput frame;
                frame.pixels = moving(planes, at);
                frame.relTime = relTime;
                quick.frames.push_back(frame);
            }
            Save("quick.anim", MakeAnim(quick));
            ASSERT_EQ(Convert({"quick.anim"}).result, 0);
            ASSERT_EQ(Convert({"--frames", "quick.anim"}).result, 0);
            EXPECT_EQ(GifFrames(Path("quick.gif")),
                      (std::vector<GifFrameFacts>{{0, 0, 48, 20, 7}, {0, 5, 16, 7, 11}, {0, 0, 1, 1, 7}}));
            const std::vector<Image> quickGif = FfmpegFrames("quick.gif", 48, 20);
            ASSERT_EQ(quickGif.size(), 3u);
            for (size_t f = 0; f < 3; ++f) {
                const std::string png = "quick-000" + std::to_string(f == 0 ? 1 : f + 2) + ".png";
                EXPECT_EQ(e2e::Difference(quickGif[f], Png(png)), "") << f;
            }
            continue;
        }
        const std::string webp = e2e::ReadText(Path(name + ".webp"));
        WebPData data{reinterpret_cast<const uint8_t*>(webp.data()), webp.size()};
        WebPAnimDecoderOptions options;
        ASSERT_TRUE(WebPAnimDecoderOptionsInit(&options));
        options.color_mode = MODE_RGBA;
        WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
        ASSERT_NE(decoder, nullptr);
        size_t f = 0;
        for (; WebPAnimDecoderHasMoreFrames(decoder) && f < pngs.size(); ++f) {
            uint8_t* rgba = nullptr;
            int time = 0;
            ASSERT_TRUE(WebPAnimDecoderGetNext(decoder, &rgba, &time));
            const std::vector<Image> frame = Split(std::string(reinterpret_cast<char*>(rgba), 48 * 20 * 4), 48, 20, 4);
            EXPECT_EQ(e2e::Difference(frame.at(0), pngs[f]), "") << f;
        }
        WebPAnimDecoderDelete(decoder);
        EXPECT_EQ(f, 5u);
    }
}

}  // namespace
