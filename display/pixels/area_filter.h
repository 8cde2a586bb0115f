// Scaling a picture down (or up) by exact area averaging, one source row at
// a time, so a picture of any size is never held whole: each source row is
// added, weighted by how much of each output row it covers (fractions at the
// edges), into one row of column sums; when the last source row under an
// output row has come, the sums are averaged across and the output row is
// handed on. Averages are taken of the stored (gamma-encoded) components, as
// gdk-pixbuf's and netpbm's scalers do; with alpha, colours are weighted by
// it. Memory: a few floats per source column and per output column.
#pragma once

#include <cstdint>

namespace lanterna {

struct AreaFilter;

// Receives each finished output row of outWidth pixels, in the source's
// layout. Its non-zero result ends the filtering and is handed back.
using AreaFilterSink = int32_t (*)(void* user, const uint8_t* row);

// channels: 3 (RGB) or 4 (RGBA, alpha not premultiplied). 0 with *filter
// ready, ERR_OUT_OF_MEMORY, or ERR_CORRUPT for a size of 0.
int32_t OpenAreaFilter(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t outWidth, uint32_t outHeight,
                       int32_t channels, AreaFilterSink sink, void* user, AreaFilter** filter);
// One source row of sourceWidth pixels, in order from the top: 0, or the
// sink's result. Rows beyond sourceHeight are ignored.
int32_t AddAreaFilterRow(AreaFilter* filter, const uint8_t* row);
void CloseAreaFilter(AreaFilter* filter);  // null is ignored

}  // namespace lanterna
