// PNG files as written read back through libpng's own reader, and the
// output's rules: an existing file kept unless replacing is allowed, an
// unfinished file removed, a file being replaced kept until the new one is
// finished.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dos/dos.h"
#include "platform/imagefile/png_writer.h"

namespace {

std::string TempPath(const char* name) { return ::testing::TempDir() + "png_writer_" + name + ".png"; }

// The file as RGBA through libpng's simplified reader.
std::vector<uint8_t> ReadRgba(const std::string& path, uint32_t* width, uint32_t* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    *width = image.width;
    *height = image.height;
    return pixels;
}

int32_t Write(const std::string& path, const os::PngFormat& format, const std::vector<std::vector<uint8_t>>& rows,
              bool replace = false) {
    os::ImageOutput out;
    if (int32_t e = os::OpenImageOutput(path.c_str(), replace, &out)) return e;
    os::PngWriter* writer = nullptr;
    int32_t code = os::OpenPngWriter(&out, format, &writer);
    for (size_t y = 0; code == 0 && y < rows.size(); ++y) code = os::WritePngRow(writer, rows[y].data());
    const int32_t closed = os::ClosePngWriter(writer);
    if (code == 0) code = closed;
    const int32_t ended = os::CloseImageOutput(&out, code == 0);
    return code != 0 ? code : ended;
}

TEST(PngWriter, RowsReadBackInEveryPixelForm) {
    // Palettes of 2, 5 and 256 colours take 1, 4 and 8 bits an index.
    for (int count : {2, 5, 256}) {
        std::vector<uint8_t> palette;
        for (int i = 0; i < count; ++i) palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
        os::PngFormat format{.width = 9, .height = 2, .pixels = os::PngPixels::Palette, .palette = palette.data(),
                             .paletteCount = count, .transparentIndex = 1};
        std::vector<std::vector<uint8_t>> rows(2, std::vector<uint8_t>(9));
        for (int x = 0; x < 9; ++x) rows[1][x] = uint8_t((x * 3) % count);
        const std::string path = TempPath("palette");
        ASSERT_EQ(Write(path, format, rows), 0) << count;
        uint32_t w = 0, h = 0;
        const auto rgba = ReadRgba(path, &w, &h);
        ASSERT_EQ(w, 9u);
        ASSERT_EQ(h, 2u);
        for (int x = 0; x < 9; ++x) {
            const int i = rows[1][x];
            const uint8_t* p = &rgba[4 * (9 + x)];
            EXPECT_EQ(p[0], palette[3 * i]) << count << " " << x;
            EXPECT_EQ(p[1], palette[3 * i + 1]);
            EXPECT_EQ(p[3], i == 1 ? 0 : 255);
        }
        unlink(path.c_str());
    }
    os::PngFormat rgb{.width = 2, .height = 1};
    const std::string path = TempPath("rgb");
    ASSERT_EQ(Write(path, rgb, {{1, 2, 3, 250, 251, 252}}), 0);
    uint32_t w = 0, h = 0;
    const auto rgba = ReadRgba(path, &w, &h);
    EXPECT_EQ(rgba, (std::vector<uint8_t>{1, 2, 3, 255, 250, 251, 252, 255}));
    unlink(path.c_str());
}

TEST(PngWriter, ExistingFilesStayAndUnfinishedOnesGo) {
    const std::string path = TempPath("rules");
    os::PngFormat format{.width = 1, .height = 2};
    ASSERT_EQ(Write(path, format, {{1, 2, 3}, {4, 5, 6}}), 0);
    EXPECT_EQ(Write(path, format, {{9, 9, 9}, {9, 9, 9}}), os::ERROR_OBJECT_EXISTS);
    uint32_t w = 0, h = 0;
    EXPECT_EQ(ReadRgba(path, &w, &h)[0], 1);
    // A row missing in a replacement: the file replaced stays as it was.
    EXPECT_NE(Write(path, format, {{9, 9, 9}}, true), 0);
    EXPECT_EQ(ReadRgba(path, &w, &h)[0], 1);
    // A finished replacement takes the name, and nothing is left beside it.
    ASSERT_EQ(Write(path, format, {{7, 7, 7}, {8, 8, 8}}, true), 0);
    EXPECT_EQ(ReadRgba(path, &w, &h)[0], 7);
    unlink(path.c_str());
    const std::string dir = ::testing::TempDir();
    EXPECT_EQ(system(("ls " + dir + " | grep -q 'png_writer_rules.png.'").c_str()) == 0, false);
    // A new file that fails is not left behind.
    EXPECT_EQ(Write(path, os::PngFormat{.width = 0, .height = 1}, {}), os::ERROR_BAD_NUMBER);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

}  // namespace
