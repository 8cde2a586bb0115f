// Running build/lanterna from the end-to-end tests: a scratch directory per
// test, the program run through the shell with its environment, its output
// and result captured, and pictures read back as PPM through netpbm.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/ilbm_writer/ilbm_writer.h"

namespace e2e {

namespace fs = std::filesystem;

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool HaveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct RunResult {
    int result = -1;        // the process result
    std::string output;     // standard output
    std::string errors;     // standard error
    int64_t milliseconds = 0;
};

// An RGB picture.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    bool Valid() const { return width > 0 && height > 0 && rgb.size() == size_t(width) * height * 3; }
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// Reads a binary PPM (P6); samples are scaled to 0..255 when the maximum is
// another (a 12-plane picture comes out of ilbmtoppm with maximum 15, a
// 48-plane one with 65535 in two bytes a sample), to the nearest level.
inline Image ReadPpm(const fs::path& path) {
    Image image;
    const std::string data = ReadText(path);
    std::istringstream in(data);
    std::string magic;
    int maxval = 0;
    in >> magic >> image.width >> image.height >> maxval;
    if (magic != "P6" || maxval <= 0 || maxval > 65535 || image.width <= 0 || image.height <= 0) return {};
    in.get();
    const size_t count = size_t(image.width) * image.height * 3;
    const size_t bytes = maxval > 255 ? 2 : 1;
    const size_t start = size_t(in.tellg());
    if (data.size() < start + count * bytes) return {};
    image.rgb.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* at = reinterpret_cast<const uint8_t*>(data.data()) + start + i * bytes;
        const int64_t v = bytes == 2 ? (at[0] << 8 | at[1]) : at[0];
        image.rgb[i] = uint8_t((v * 255 + maxval / 2) / maxval);
    }
    return image;
}

// The first differing pixel, or "" when the two are the same.
// Row y of HAM6 `pixels` (width a row) as the screen shows it from
// `palette`, appended to `image`: each row starts from colour 0, a base
// value loads the palette's colour as it is, and a modify repeats its four
// bits, as the display hardware does.
inline void AppendHamRow(Image& image, const std::vector<uint32_t>& pixels, int y, int width,
                         const std::vector<lanterna::ilbmw::Rgb>& palette) {
    lanterna::ilbmw::Rgb c = palette.empty() ? lanterna::ilbmw::Rgb{} : palette[0];
    for (int x = 0; x < width; ++x) {
        const uint32_t v = pixels[size_t(y) * size_t(width) + size_t(x)];
        const uint8_t level = uint8_t((v & 15) * 17);
        switch (v >> 4) {
            case 0: c = (v & 15) < palette.size() ? palette[v & 15] : lanterna::ilbmw::Rgb{}; break;
            case 1: c.b = level; break;
            case 2: c.r = level; break;
            default: c.g = level; break;
        }
        image.rgb.insert(image.rgb.end(), {c.r, c.g, c.b});
    }
}

inline std::string Difference(const Image& got, const Image& want) {
    if (got.width != want.width || got.height != want.height) {
        return "size " + std::to_string(got.width) + "x" + std::to_string(got.height) + ", expected " +
               std::to_string(want.width) + "x" + std::to_string(want.height);
    }
    for (int y = 0; y < got.height; ++y) {
        for (int x = 0; x < got.width; ++x) {
            const uint8_t* a = got.At(x, y);
            const uint8_t* b = want.At(x, y);
            if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) {
                std::ostringstream text;
                text << "pixel (" << x << "," << y << ") is " << int(a[0]) << "," << int(a[1]) << ","
                     << int(a[2]) << ", expected " << int(b[0]) << "," << int(b[1]) << "," << int(b[2]);
                return text.str();
            }
        }
    }
    return "";
}

// A small ILBM whose pixel values count up through its colours, each colour
// its own, for tests that care about what the program prints and returns.
inline lanterna::ilbmw::IlbmPicture CountingPicture(int width, int height, int planes, uint8_t compression) {
    lanterna::ilbmw::IlbmPicture picture;
    picture.header = lanterna::ilbmw::SimpleHeader(width, height, planes, compression);
    for (int i = 0; i < width * height; ++i) picture.pixels.push_back(uint32_t(i % (1 << planes)));
    for (int i = 0; i < (1 << planes); ++i) picture.colours.push_back({uint8_t(i * 30), 80, uint8_t(255 - i * 30)});
    return picture;
}

// The start of the line printed for a picture being shown.
inline std::string Showing(const std::string& name) { return "Showing \"" + name + "\"... "; }

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("lanterna-e2e-") + info->test_suite_name() + "-" + info->name() + "-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_ / "snapshots");
        ASSERT_TRUE(fs::exists(Binary())) << Binary() << " is not built";
    }
    void TearDown() override {
        std::error_code ignored;
        if (!HasFailure()) fs::remove_all(dir_, ignored);
    }

    static std::string Binary() { return std::string(LANTERNA_BINARY_DIR) + "/lanterna"; }

    fs::path Path(const std::string& name) const { return dir_ / name; }

    // Runs the program in the scratch directory, headless, with snapshots
    // in snapshots/ (emptied first) and the given extra environment ("NAME=value" each).
    // `around` wraps the call for tests that signal the process: it gets the
    // command line and returns the shell text to run instead ("$LANTERNA"
    // marks where the program goes).
    RunResult Lanterna(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
                 const std::string& input = "", const std::string& around = "") {
        // Each run numbers its snapshots from 001 again.
        std::error_code ignored;
        fs::remove_all(dir_ / "snapshots", ignored);
        fs::create_directories(dir_ / "snapshots");
        std::string command = "cd " + Quote(dir_.string()) + " && env LANTERNA_DISPLAY=headless " +
                              "LANTERNA_SNAPSHOTS=" + Quote((dir_ / "snapshots").string()) + " ";
        for (const std::string& setting : environment) command += Quote(setting) + " ";
        std::string program = Quote(Binary());
        for (const std::string& argument : arguments) program += " " + Quote(argument);
        if (!around.empty()) {
            std::string wrapped = around;
            const size_t at = wrapped.find("$LANTERNA");
            wrapped.replace(at, 9, program);
            program = wrapped;
        }
        const std::string inputFile = (dir_ / "stdin.txt").string();
        std::ofstream(inputFile) << input;
        // The whole run is bounded, so a hang fails the test instead of
        // stalling the suite.
        command += "timeout 90 sh -c " +
                   Quote("{ " + program + "; } < " + Quote(inputFile) + " > out.txt 2> err.txt; echo $? > rc.txt");
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        RunResult run;
        run.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(status, 0) << command;
        run.output = ReadText(dir_ / "out.txt");
        run.errors = ReadText(dir_ / "err.txt");
        run.result = std::atoi(ReadText(dir_ / "rc.txt").c_str());
        return run;
    }

    // The Nth snapshot (from 1) as an image.
    Image Snapshot(int n) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d", n);
        const fs::path png = dir_ / "snapshots" / (std::string(name) + ".png");
        if (!fs::exists(png)) return {};
        const fs::path ppm = dir_ / (std::string("snapshot-") + name + ".ppm");
        const std::string command = "pngtopnm " + Quote(png.string()) + " > " + Quote(ppm.string()) + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return {};
        return ReadPpm(ppm);
    }

    int SnapshotCount() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(dir_ / "snapshots")) {
            if (entry.path().extension() == ".png") ++count;
        }
        return count;
    }

    // Shows every file in one run (each picture ended by the default click)
    // and compares snapshot i with what `expected(i)` says it must be; an
    // invalid expected image means the oracle could not read file i.
    void ShowAndCompare(const std::vector<std::string>& files, const std::function<Image(size_t)>& expected) {
        const RunResult run = Lanterna(files);
        ASSERT_EQ(run.result, 0) << run.output << run.errors;
        ASSERT_EQ(SnapshotCount(), int(files.size())) << run.output;
        for (size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(files[i]);
            const Image want = expected(i);
            ASSERT_TRUE(want.Valid()) << "no reference for " << files[i];
            const Image shown = Snapshot(int(i) + 1);
            ASSERT_TRUE(shown.Valid());
            EXPECT_EQ(Difference(shown, want), "");
        }
    }

    // The independent decoder's view of a file.
    Image Reference(const std::string& file) {
        const fs::path ppm = dir_ / (file + ".reference.ppm");
        const std::string command = "ilbmtoppm " + Quote(Path(file).string()) + " > " + Quote(ppm.string()) +
                                    " 2>" + Quote((dir_ / (file + ".reference.log")).string());
        if (std::system(command.c_str()) != 0) return {};
        return ReadPpm(ppm);
    }

    fs::path dir_;
};

// A program test that compares with netpbm's ilbmtoppm: skipped without
// netpbm; pictures are saved into the test's directory by name.
class NetpbmTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (!HaveProgram("ilbmtoppm") || !HaveProgram("pngtopnm")) {
            GTEST_SKIP() << "netpbm is needed (scripts/deps.sh)";
        }
    }
    std::string Save(const std::string& name, const lanterna::ilbmw::Bytes& data) {
        EXPECT_TRUE(lanterna::ilbmw::WriteFile(Path(name).string(), data));
        return name;
    }
    std::string Save(const std::string& name, const lanterna::ilbmw::IlbmPicture& picture) {
        return Save(name, lanterna::ilbmw::MakeIlbm(picture));
    }
};

}  // namespace e2e
