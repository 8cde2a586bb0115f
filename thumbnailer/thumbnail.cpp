// Rows to a thumbnail: each row the reader hands is converted to RGBA (its
// colours looked up, its mask or transparent colour made alpha) and spread
// by the area filter over the thumbnail's rows, which go to the PNG as they
// are finished.
#include "thumbnailer/thumbnail.h"

#include <cstdlib>

#include "display/pixels/area_filter.h"
#include "display/pixels/pixel_shape.h"
#include "display/pixels/row_pixels.h"
#include "platform/imagefile/png_writer.h"
#include "records/picture_info.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

// How one row becomes RGBA.
struct RowForm {
    const uint8_t* mask = nullptr;  // the mask plane of a masked picture
    int32_t transparent = -1;       // a colour index shown transparent
    bool alpha = false;             // the PNG holds alpha
    uint8_t fill[4] = {0, 0, 0, 255};  // the rows a cut file does not hold
};

int32_t WriteRow(void* user, const uint8_t* row) {
    return os::WritePngRow(static_cast<os::PngWriter*>(user), row);
}

// A colour-mapped picture without colours gets a grey ramp over its values.
void LookUp(uint8_t value, const uint8_t* colours, uint32_t planes, uint8_t* out) {
    if (colours != nullptr) {
        out[0] = colours[3 * size_t{value}];
        out[1] = colours[3 * size_t{value} + 1];
        out[2] = colours[3 * size_t{value} + 2];
        return;
    }
    const uint32_t top = planes >= 8 ? 255u : (1u << planes) - 1u;
    const auto grey = static_cast<uint8_t>(top == 0 ? 0 : (uint32_t{value} > top ? 255u : value * 255u / top));
    out[0] = out[1] = out[2] = grey;
}

// The row's pixels as RGB, or RGBA with alpha: the converted line itself
// where it is already RGB.
const uint8_t* ToPixels(const PictureInfo& info, const RowForm& form, const PictureRow& row, uint8_t* pixels) {
    RowBuffers* rows = row.rows;
    const uint32_t width = rows->width;
    const size_t bytes = ConvertRowPixels(rows, row.colours, 0, width, false);
    const uint8_t* line = rows->lineBuffer;
    if (bytes == 3 && !form.alpha) return line;
    const uint8_t* colours = row.colours != nullptr ? row.colours : info.colours;
    const uint8_t* mask = form.mask != nullptr ? rows->planeView.Planes[info.header.nPlanes] : nullptr;
    const size_t channels = form.alpha ? 4 : 3;
    for (uint32_t x = 0; x < width; ++x) {
        uint8_t* out = pixels + channels * x;
        uint8_t alpha = 255;
        if (bytes == 1) {
            const uint8_t value = line[x];
            LookUp(value, colours, info.header.nPlanes, out);
            if (int32_t{value} == form.transparent) alpha = 0;
        } else if (bytes == 3) {
            out[0] = line[3 * size_t{x}];
            out[1] = line[3 * size_t{x} + 1];
            out[2] = line[3 * size_t{x} + 2];
        } else {
            out[0] = out[1] = out[2] = 0;
        }
        if (mask != nullptr && (mask[x >> 3] & (0x80u >> (x & 7))) == 0) alpha = 0;
        if (form.alpha) out[3] = alpha;
    }
    return pixels;
}

// The mask of a planar picture is read as a plane after its colour planes;
// a transparent colour only means something for colour indices.
RowForm FormOf(const PictureInfo& info, const RowBuffers* rows) {
    RowForm form;
    const bool planar = rows->pixelKind != PIXEL_CHUNKY && rows->pixelKind != PIXEL_RGB;
    const bool indices = rows->pixelKind == PIXEL_COLOUR_MAPPED || rows->pixelKind == PIXEL_CHUNKY;
    if (info.header.masking == mskHasMask && planar && info.formType == ID_ILBM) {
        form.mask = rows->planeView.Planes[info.header.nPlanes];
    }
    if (info.header.masking == mskHasTransparentColor && indices) {
        form.transparent = info.header.transparentColor;
    }
    form.alpha = form.mask != nullptr || form.transparent >= 0;
    if (form.alpha) {
        form.fill[3] = 0;
    } else if (indices && info.colours != nullptr) {
        // What the viewer clears its screen with: the file's darkest colour.
        const uint8_t* c = info.colours + 3 * size_t{info.darkestColour};
        form.fill[0] = c[0];
        form.fill[1] = c[1];
        form.fill[2] = c[2];
    }
    return form;
}

// Everything the rows need, released on every path.
struct Work {
    AreaFilter* filter = nullptr;
    uint8_t* pixels = nullptr;  // one source row, 4 bytes a pixel at most
    os::PngWriter* png = nullptr;
    os::ImageOutput output;
};

// A finished thumbnail's output has been closed already; anything else
// removes the file.
void Release(Work& work) {
    CloseAreaFilter(work.filter);
    std::free(work.pixels);
    if (work.png != nullptr) os::ClosePngWriter(work.png);
    os::CloseImageOutput(&work.output, false);
}

int32_t Start(Work& work, const RowForm& form, ThumbnailSize out, const ThumbnailOutput& output) {
    const int32_t opened = output.open(output.user, &work.output);
    if (opened != 0) return opened;
    os::PngFormat format;
    format.width = out.width;
    format.height = out.height;
    format.pixels = form.alpha ? os::PngPixels::Rgba : os::PngPixels::Rgb;
    return os::OpenPngWriter(&work.output, format, &work.png);
}

int32_t Finish(Work& work) {
    os::PngWriter* png = work.png;
    work.png = nullptr;
    const int32_t closed = os::ClosePngWriter(png);
    if (closed != 0) return closed;
    return os::CloseImageOutput(&work.output, true);
}

}  // namespace

ThumbnailSize FitThumbnail(uint32_t width, uint32_t height, int32_t xScale, int32_t yScale, uint32_t size) {
    const uint64_t shownWidth = uint64_t{width} * static_cast<uint64_t>(xScale);
    const uint64_t shownHeight = uint64_t{height} * static_cast<uint64_t>(yScale);
    if (shownWidth == 0 || shownHeight == 0 || size == 0) return {};
    const uint64_t longer = shownWidth > shownHeight ? shownWidth : shownHeight;
    if (longer <= size) return {static_cast<uint32_t>(shownWidth), static_cast<uint32_t>(shownHeight)};
    // Rounded to the nearest pixel, at least one.
    const uint64_t w = (shownWidth * size + longer / 2) / longer;
    const uint64_t h = (shownHeight * size + longer / 2) / longer;
    return {static_cast<uint32_t>(w == 0 ? 1 : w), static_cast<uint32_t>(h == 0 ? 1 : h)};
}

namespace {

int32_t Run(Work& work, PictureReader* reader, uint32_t size, const ThumbnailOutput& output) {
    const PictureInfo& info = PictureReaderInfo(reader);
    const PixelAspect aspect = PixelAspectOfMode(info.modeId);
    const ThumbnailSize out = FitThumbnail(info.header.w, info.header.h, aspect.xScale, aspect.yScale, size);
    if (out.width == 0) return ERR_CORRUPT;
    const int32_t begun = BeginPictureRows(reader);
    if (begun != 0) return begun;

    const uint32_t width = info.header.w;
    work.pixels = static_cast<uint8_t*>(std::malloc(4 * size_t{width}));
    if (work.pixels == nullptr) return ERR_OUT_OF_MEMORY;

    // The form of the rows (and so the PNG's) is known from the first row.
    RowForm form;
    uint32_t y = 0;
    for (; y < info.header.h; ++y) {
        PictureRow row;
        const int32_t read = ReadPictureRow(reader, &row);
        if (read == PICTURE_ROWS_END) break;
        if (read != 0) return read;
        if (y == 0) {
            form = FormOf(info, row.rows);
            const int32_t started = Start(work, form, out, output);
            if (started != 0) return started;
            const int32_t filtered = OpenAreaFilter(width, info.header.h, out.width, out.height,
                                                    form.alpha ? 4 : 3, &WriteRow, work.png, &work.filter);
            if (filtered != 0) return filtered;
        }
        const int32_t added = AddAreaFilterRow(work.filter, ToPixels(info, form, row, work.pixels));
        if (added != 0) return added;
    }
    if (y == 0) return ERR_CORRUPT;  // not a single row: no picture to show
    const size_t channels = form.alpha ? 4 : 3;
    for (uint32_t x = 0; x < width; ++x) {
        for (size_t c = 0; c < channels; ++c) work.pixels[channels * x + c] = form.fill[c];
    }
    for (; y < info.header.h; ++y) {
        const int32_t added = AddAreaFilterRow(work.filter, work.pixels);
        if (added != 0) return added;
    }
    return Finish(work);
}

}  // namespace

int32_t WriteThumbnail(PictureReader* reader, uint32_t size, const ThumbnailOutput& output) {
    Work work;
    const int32_t result = Run(work, reader, size, output);
    EndPictureRows(reader);
    Release(work);
    return result;
}

}  // namespace lanterna
