// A screen as a person sees it, as an 8-bit RGB PNG written row by row, so
// no second copy of the picture is made.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/headless/headless.h"

namespace os::headless {

namespace {

// libpng reports errors by longjmp; nothing with a destructor lives in the
// frame that calls setjmp.
bool WriteRows(FILE* file, Screen* screen, const Rgb* palette, png_bytep row) {
    ScreenPrivate* sp = screen->priv;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 1);  // snapshots are for tests: fast over small
    png_set_IHDR(png, info, sp->width, sp->height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < sp->height; ++y) {
        const uint8_t* src = sp->pixels + y * sp->stride;
        png_bytep out = row;
        if (sp->depth == 8) {
            for (uint32_t x = 0; x < sp->width; ++x) {
                const Rgb& c = palette[src[x]];
                row[3 * x] = c.r;
                row[3 * x + 1] = c.g;
                row[3 * x + 2] = c.b;
            }
        } else {
            out = const_cast<png_bytep>(src);
        }
        png_write_row(png, out);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WriteScreenPng(Screen* screen, const std::string& path) {
    if (screen == nullptr || screen->priv == nullptr) return false;
    ScreenPrivate* sp = screen->priv;
    Rgb palette[256];
    gfx::CopyPalette(screen, palette);
    auto* row = static_cast<png_bytep>(std::malloc(static_cast<size_t>(sp->width) * 3));
    if (row == nullptr) return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::free(row);
        return false;
    }
    bool ok = WriteRows(file, screen, palette, row);
    if (std::fclose(file) != 0) ok = false;
    std::free(row);
    if (!ok) std::remove(path.c_str());
    return ok;
}

}  // namespace os::headless
