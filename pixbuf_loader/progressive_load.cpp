#include "pixbuf_loader/progressive_load.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ilbm/anim_reader.h"
#include "ilbm/memory_source.h"
#include "display/pixels/pixel_shape.h"
#include "pixbuf_loader/anim_animation.h"
#include "ilbm/picture_reader.h"
#include "pixbuf_loader/cycling_animation.h"
#include "pixbuf_loader/load_error.h"
#include "pixbuf_loader/row_rgb.h"
#include "platform/dos/dos.h"
#include "records/result_codes.h"

namespace lanterna {

struct ProgressiveLoad {
    GdkPixbufModuleSizeFunc sizeFunc = nullptr;
    GdkPixbufModulePreparedFunc preparedFunc = nullptr;
    GdkPixbufModuleUpdatedFunc updatedFunc = nullptr;
    gpointer userData = nullptr;
    uint8_t* bytes = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    size_t lastRun = 0;      // the bytes the last run had
    int32_t runResult = 0;   // how the last run ended, as if the file ended there
    GdkPixbuf* pixbuf = nullptr;
    GdkPixbufAnimation* cycling = nullptr;  // a picture whose ranges cycle
    GdkPixbufAnimation* frames = nullptr;   // a FORM ANIM
    int32_t rowsShown = 0;   // rows read by the runs so far
    bool declined = false;   // the caller asked for no pixels (a size of 0)
};

namespace {

constexpr size_t FIRST_RUN_BYTES = 64;

// The pixbuf for the picture, handed to the caller with the cycling
// animation when its ranges cycle. 0, or the code that ends the load.
int32_t Prepare(ProgressiveLoad& load, PictureReader* reader) {
    const PictureInfo& info = PictureReaderInfo(reader);
    const PixelAspect aspect = PixelAspectOfMode(info.modeId);
    int width = info.header.w * aspect.xScale;
    int height = info.header.h * aspect.yScale;
    if (load.sizeFunc != nullptr) {
        load.sizeFunc(&width, &height, load.userData);
        if (width == 0 || height == 0) {
            load.declined = true;
            return 0;
        }
    }
    load.pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, info.header.w * aspect.xScale,
                                 info.header.h * aspect.yScale);
    if (load.pixbuf == nullptr) {
        return os::ERROR_NO_FREE_STORE;
    }
    gdk_pixbuf_fill(load.pixbuf, 0x000000ff);
    if (PictureIsAnimation(reader)) {
        load.frames = NewAnimAnimation(load.pixbuf);
    } else if (RowsAreMappedIndices(info)) {
        load.cycling = NewCyclingAnimation(load.pixbuf, info);
    }
    if (load.preparedFunc != nullptr) {
        load.preparedFunc(load.pixbuf, load.frames != nullptr ? load.frames : load.cycling, load.userData);
    }
    return 0;
}

// One run of the reader over the bytes so far, its end kept in runResult
// (before the last bytes, a failure may only mean that they are not all
// there yet). Gives what ends the load at once: a pixbuf that cannot be
// made, or facts that change between runs.
int32_t Run(ProgressiveLoad& load) {
    load.lastRun = load.count;
    MemoryBytes prefix{load.bytes, load.count, 0};
    PictureReader* reader = nullptr;
    const int32_t opened = OpenPictureReaderFrom(MemorySource(prefix), PictureReadOptions{}, &reader);
    load.runResult = opened;
    if (opened != 0) {
        return 0;
    }
    const PictureInfo& info = PictureReaderInfo(reader);
    const PixelAspect aspect = PixelAspectOfMode(info.modeId);
    const int32_t width = info.header.w * aspect.xScale;
    int32_t result = 0;
    if (load.pixbuf == nullptr) {
        result = Prepare(load, reader);
    } else if (gdk_pixbuf_get_width(load.pixbuf) != width ||
               gdk_pixbuf_get_height(load.pixbuf) != info.header.h * aspect.yScale) {
        result = ERR_CORRUPT;
    }
    if (result != 0 || load.declined) {
        ClosePictureReader(reader);
        return result;
    }
    guchar* pixels = gdk_pixbuf_get_pixels(load.pixbuf);
    const size_t stride = size_t(gdk_pixbuf_get_rowstride(load.pixbuf));
    PictureRow row;
    int32_t rows = 0;  // pixbuf rows
    while ((result = ReadPictureRow(reader, &row)) == 0) {
        const int32_t y = row.y * aspect.yScale;
        uint8_t* indices = load.cycling != nullptr ? CyclingIndexRow(load.cycling, y) : nullptr;
        guchar* rgb = pixels + size_t(y) * stride;
        RowToRgb(info, row, aspect.xScale == 2, rgb, indices);
        if (aspect.yScale == 2) {  // tall pixels: the row twice
            std::memcpy(rgb + stride, rgb, size_t(width) * 3);
            if (indices != nullptr) std::memcpy(indices + width, indices, size_t(width));
        }
        rows = y + aspect.yScale;
    }
    // The planes of an ACBM follow one another: a later run may change
    // every row, not only the new ones.
    const int32_t first = info.formType == ID_ACBM ? 0 : std::min(load.rowsShown, rows);
    if (rows > first && load.updatedFunc != nullptr) {
        load.updatedFunc(load.pixbuf, 0, first, width, rows - first, load.userData);
    }
    load.rowsShown = std::max(load.rowsShown, rows);
    ClosePictureReader(reader);
    load.runResult = result == PICTURE_ROWS_END ? 0 : result;
    return 0;
}

}  // namespace

ProgressiveLoad* BeginProgressiveLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                                      GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData) {
    auto* load = static_cast<ProgressiveLoad*>(g_try_malloc0(sizeof(ProgressiveLoad)));
    if (load == nullptr) {
        return nullptr;
    }
    new (load) ProgressiveLoad{};
    load->sizeFunc = sizeFunc;
    load->preparedFunc = preparedFunc;
    load->updatedFunc = updatedFunc;
    load->userData = userData;
    return load;
}

bool AddLoadBytes(ProgressiveLoad* load, const uint8_t* bytes, size_t count, GError** error) {
    if (load->declined || count == 0) {
        return true;
    }
    if (count > SIZE_MAX / 2 - load->count) {
        SetLoadError(error, os::ERROR_NO_FREE_STORE);
        return false;
    }
    if (load->count + count > load->capacity) {
        const size_t capacity = std::max(load->count + count, load->capacity * 2);
        auto* grown = static_cast<uint8_t*>(g_try_realloc(load->bytes, capacity));
        if (grown == nullptr) {
            SetLoadError(error, os::ERROR_NO_FREE_STORE);
            return false;
        }
        load->bytes = grown;
        load->capacity = capacity;
    }
    std::memcpy(load->bytes + load->count, bytes, count);
    load->count += count;
    if (load->count < FIRST_RUN_BYTES || load->count < 2 * load->lastRun) {
        return true;
    }
    const int32_t result = Run(*load);
    if (result != 0) {
        SetLoadError(error, result);
        return false;
    }
    return true;
}

bool EndProgressiveLoad(ProgressiveLoad* load, GError** error) {
    int32_t result = 0;
    if (!load->declined && (load->count > load->lastRun || load->lastRun == 0)) {
        result = Run(*load);
    }
    if (result == 0 && !load->declined) {
        result = load->runResult;
    }
    if (result == 0 && !load->declined && load->pixbuf == nullptr) {
        result = ERR_NOT_IFF;
    }
    if (result == 0 && !load->declined && load->rowsShown == 0) {
        result = ERR_CORRUPT;  // as the viewer: a BODY without one whole row
    }
    if (load->cycling != nullptr) {
        EndCyclingLoad(load->cycling);
        g_object_unref(load->cycling);
    }
    if (load->frames != nullptr) {
        // The frames are read from the whole file, which the animation keeps.
        SetAnimBytes(load->frames, result == 0 ? load->bytes : nullptr, result == 0 ? load->count : 0);
        if (result == 0) load->bytes = nullptr;
        g_object_unref(load->frames);
    }
    if (load->pixbuf != nullptr) {
        g_object_unref(load->pixbuf);
    }
    g_free(load->bytes);
    load->~ProgressiveLoad();
    g_free(load);
    if (result != 0) {
        SetLoadError(error, result);
        return false;
    }
    return true;
}

}  // namespace lanterna
