#include "platform/imagefile/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <new>

#include "platform/dos/dos.h"

namespace os {

struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    uint32_t rowsLeft = 0;
    int32_t failure = 0;
};

namespace {

// libpng reports errors by longjmp: the frames that call setjmp hold nothing
// with a destructor, and every libpng call is made inside one of them.
bool Start(PngWriter* w, FILE* file, const PngFormat& f) {
    if (setjmp(png_jmpbuf(w->png))) return false;
    png_init_io(w->png, file);
    png_set_compression_level(w->png, f.compressionLevel);
    const int type = f.pixels == PngPixels::Rgb    ? PNG_COLOR_TYPE_RGB
                     : f.pixels == PngPixels::Rgba ? PNG_COLOR_TYPE_RGBA
                                                   : PNG_COLOR_TYPE_PALETTE;
    int depth = 8;
    if (f.pixels == PngPixels::Palette) {
        png_color colours[256];
        for (int32_t i = 0; i < f.paletteCount; ++i) {
            colours[i] = {f.palette[3 * i], f.palette[3 * i + 1], f.palette[3 * i + 2]};
        }
        png_set_PLTE(w->png, w->info, colours, f.paletteCount);
        if (f.transparentIndex >= 0 && f.transparentIndex < f.paletteCount) {
            png_byte alpha[256];
            for (int32_t i = 0; i <= f.transparentIndex; ++i) alpha[i] = i == f.transparentIndex ? 0 : 255;
            png_set_tRNS(w->png, w->info, alpha, f.transparentIndex + 1, nullptr);
        }
        // The fewest bits that hold every index; libpng packs the bytes.
        depth = f.paletteCount <= 2 ? 1 : f.paletteCount <= 4 ? 2 : f.paletteCount <= 16 ? 4 : 8;
    }
    png_set_IHDR(w->png, w->info, f.width, f.height, depth, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w->png, w->info);
    if (depth < 8) png_set_packing(w->png);
    return true;
}

bool Row(PngWriter* w, const uint8_t* row) {
    if (setjmp(png_jmpbuf(w->png))) return false;
    png_write_row(w->png, const_cast<png_bytep>(row));
    return true;
}

bool End(PngWriter* w) {
    if (setjmp(png_jmpbuf(w->png))) return false;
    png_write_end(w->png, w->info);
    return true;
}

// libpng's own limit is 2^31 - 1 a side; a row must also fit in memory terms
// the caller already holds, so only the format is checked here.
bool FormatFits(const PngFormat& f) {
    if (f.width == 0 || f.height == 0 || f.width > 0x7fffffffu || f.height > 0x7fffffffu) return false;
    if (f.compressionLevel < 0 || f.compressionLevel > 9) return false;
    if (f.pixels == PngPixels::Palette) {
        return f.palette != nullptr && f.paletteCount >= 1 && f.paletteCount <= 256;
    }
    return true;
}

// libpng prints warnings and errors to standard error by default; a library
// that runs inside other programs keeps quiet and reports by result.
void Quiet(png_structp, png_const_charp) {}
void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

}  // namespace

int32_t OpenPngWriter(ImageOutput* output, const PngFormat& format, PngWriter** writer) {
    *writer = nullptr;
    if (output == nullptr || output->file == nullptr || !FormatFits(format)) return ERROR_BAD_NUMBER;
    auto* w = new (std::nothrow) PngWriter;
    if (w == nullptr) return ERROR_NO_FREE_STORE;
    w->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
    if (w->png != nullptr) w->info = png_create_info_struct(w->png);
    if (w->info == nullptr) {
        ClosePngWriter(w);
        return ERROR_NO_FREE_STORE;
    }
    if (!Start(w, output->file, format)) {
        ClosePngWriter(w);
        return ERROR_DISK_FULL;
    }
    w->rowsLeft = format.height;
    *writer = w;
    return 0;
}

int32_t WritePngRow(PngWriter* writer, const uint8_t* row) {
    if (writer->failure != 0) return writer->failure;
    if (writer->rowsLeft == 0) return writer->failure = ERROR_OBJECT_TOO_LARGE;
    if (!Row(writer, row)) return writer->failure = ERROR_DISK_FULL;
    --writer->rowsLeft;
    return 0;
}

int32_t ClosePngWriter(PngWriter* writer) {
    if (writer == nullptr) return 0;
    int32_t code = writer->failure;
    if (code == 0 && writer->png != nullptr) {
        if (writer->rowsLeft != 0) {
            code = ERROR_OBJECT_TOO_LARGE;
        } else if (!End(writer)) {
            code = ERROR_DISK_FULL;
        }
    }
    if (writer->png != nullptr) png_destroy_write_struct(&writer->png, writer->info != nullptr ? &writer->info : nullptr);
    delete writer;
    return code;
}

}  // namespace os
