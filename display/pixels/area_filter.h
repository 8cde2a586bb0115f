// Scaling a picture down (or up) by exact area averaging, one source row at
// a time, so a picture of any size is never held whole: each source row is
// spread over the output rows it covers, with fractional coverage at the
// edges, and an output row is handed on as soon as the last source row under
// it has come. Averages are taken of the stored (gamma-encoded) components,
// as gdk-pixbuf's and netpbm's scalers do, colours weighted by their alpha.
// Memory: a few floats per output column and per source column.
#pragma once

#include <cstdint>

namespace lanterna {

struct AreaFilter;

// Receives each finished output row: outWidth RGBA pixels, alpha not
// premultiplied. Its non-zero result ends the filtering and is handed back.
using AreaFilterSink = int32_t (*)(void* user, const uint8_t* rgba);

// 0 with *filter ready, ERR_OUT_OF_MEMORY, or ERR_CORRUPT for a size of 0.
int32_t OpenAreaFilter(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t outWidth, uint32_t outHeight,
                       AreaFilterSink sink, void* user, AreaFilter** filter);
// One source row of sourceWidth RGBA pixels, in order from the top: 0, or
// the sink's result. Rows beyond sourceHeight are ignored.
int32_t AddAreaFilterRow(AreaFilter* filter, const uint8_t* rgba);
void CloseAreaFilter(AreaFilter* filter);  // null is ignored

}  // namespace lanterna
