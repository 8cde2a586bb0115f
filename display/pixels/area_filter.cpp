// Area averaging row by row. Along each axis the source spans n units and
// the output m: source pixel k covers [k*m, (k+1)*m) and output pixel j
// covers [j*n, (j+1)*n) on a common integer scale, so every overlap is exact
// and each output pixel's weights sum to one. Down the picture the source
// rows are summed per source column (cheap: one multiply-add a component);
// across, only once per output row.
#include "display/pixels/area_filter.h"

#include <cstdlib>
#include <cstring>

#include "records/result_codes.h"

namespace lanterna {

struct AreaFilter {
    uint32_t sourceWidth = 0;
    uint32_t sourceHeight = 0;
    uint32_t outWidth = 0;
    uint32_t outHeight = 0;
    int32_t channels = 3;
    AreaFilterSink sink = nullptr;
    void* user = nullptr;
    // Output column j takes source columns first[j] .. first[j] + count[j] - 1
    // with the weights from weights[start[j]].
    uint32_t* first = nullptr;
    uint32_t* count = nullptr;
    uint32_t* start = nullptr;
    float* weights = nullptr;
    // The weighted sums down the picture, per source column: with alpha,
    // colours times alpha / 255, then alpha.
    float* columns = nullptr;
    uint8_t* line = nullptr;  // the finished output row
    uint32_t sourceRow = 0;
    uint32_t outRow = 0;
};

namespace {

template <typename T>
T* Allocate(size_t n) {
    return static_cast<T*>(std::calloc(n == 0 ? 1 : n, sizeof(T)));
}

// The columns and weights of each output column.
void PlanColumns(AreaFilter& f) {
    const uint64_t n = f.sourceWidth;
    const uint64_t m = f.outWidth;
    uint32_t at = 0;
    for (uint32_t j = 0; j < f.outWidth; ++j) {
        const uint64_t from = j * n;
        const uint64_t to = from + n;
        const auto k0 = static_cast<uint32_t>(from / m);
        const auto k1 = static_cast<uint32_t>((to + m - 1) / m);  // one past the last
        f.first[j] = k0;
        f.count[j] = k1 - k0;
        f.start[j] = at;
        for (uint32_t k = k0; k < k1; ++k) {
            const uint64_t lo = k * m > from ? k * m : from;
            const uint64_t hi = (k + 1) * m < to ? (k + 1) * m : to;
            f.weights[at++] = static_cast<float>(static_cast<double>(hi - lo) / static_cast<double>(n));
        }
    }
}

// The pointers never overlap (restrict), so the compiler vectorises the
// sums.
void AddDown(AreaFilter& f, const uint8_t* __restrict row, float weight) {
    float* __restrict sums = f.columns;
    const size_t width = f.sourceWidth;
    if (f.channels == 3) {
        for (size_t i = 0; i < 3 * width; ++i) sums[i] += weight * static_cast<float>(row[i]);
        return;
    }
    const float scale = weight / 255.0f;
    for (size_t x = 0; x < width; ++x) {
        const float alpha = static_cast<float>(row[4 * x + 3]);
        const float wa = scale * alpha;
        sums[4 * x] += wa * static_cast<float>(row[4 * x]);
        sums[4 * x + 1] += wa * static_cast<float>(row[4 * x + 1]);
        sums[4 * x + 2] += wa * static_cast<float>(row[4 * x + 2]);
        sums[4 * x + 3] += weight * alpha;
    }
}

uint8_t Round(float v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return static_cast<uint8_t>(v + 0.5f);
}

// Averages the column sums across into the output row and hands it on.
int32_t Finish(AreaFilter& f) {
    const auto channels = static_cast<size_t>(f.channels);
    for (uint32_t j = 0; j < f.outWidth; ++j) {
        float s[4] = {0, 0, 0, 0};
        const float* w = f.weights + f.start[j];
        const float* p = f.columns + channels * f.first[j];
        for (uint32_t i = 0; i < f.count[j]; ++i, p += channels) {
            for (size_t c = 0; c < channels; ++c) s[c] += w[i] * p[c];
        }
        uint8_t* out = f.line + channels * j;
        if (channels == 3) {
            out[0] = Round(s[0]);
            out[1] = Round(s[1]);
            out[2] = Round(s[2]);
        } else {
            const float alpha = s[3];
            const float unweight = alpha > 0 ? 255.0f / alpha : 0.0f;
            out[0] = Round(s[0] * unweight);
            out[1] = Round(s[1] * unweight);
            out[2] = Round(s[2] * unweight);
            out[3] = Round(alpha);
        }
    }
    std::memset(f.columns, 0, channels * sizeof(float) * f.sourceWidth);
    ++f.outRow;
    return f.sink(f.user, f.line);
}

}  // namespace

int32_t OpenAreaFilter(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t outWidth, uint32_t outHeight,
                       int32_t channels, AreaFilterSink sink, void* user, AreaFilter** filter) {
    *filter = nullptr;
    if (sourceWidth == 0 || sourceHeight == 0 || outWidth == 0 || outHeight == 0 || sink == nullptr ||
        (channels != 3 && channels != 4)) {
        return ERR_CORRUPT;
    }
    auto* f = Allocate<AreaFilter>(1);
    if (f == nullptr) return ERR_OUT_OF_MEMORY;
    *f = AreaFilter{};
    f->sourceWidth = sourceWidth;
    f->sourceHeight = sourceHeight;
    f->outWidth = outWidth;
    f->outHeight = outHeight;
    f->channels = channels;
    f->sink = sink;
    f->user = user;
    // Each output column overlaps at most n/m + 2 source columns; in all
    // at most n + m overlaps.
    const size_t overlaps = size_t{sourceWidth} + outWidth;
    f->first = Allocate<uint32_t>(outWidth);
    f->count = Allocate<uint32_t>(outWidth);
    f->start = Allocate<uint32_t>(outWidth);
    f->weights = Allocate<float>(overlaps);
    f->columns = Allocate<float>(4 * size_t{sourceWidth});
    f->line = Allocate<uint8_t>(4 * size_t{outWidth});
    if (f->first == nullptr || f->count == nullptr || f->start == nullptr || f->weights == nullptr ||
        f->columns == nullptr || f->line == nullptr) {
        CloseAreaFilter(f);
        return ERR_OUT_OF_MEMORY;
    }
    PlanColumns(*f);
    *filter = f;
    return 0;
}

int32_t AddAreaFilterRow(AreaFilter* filter, const uint8_t* row) {
    AreaFilter& f = *filter;
    if (f.sourceRow >= f.sourceHeight) return 0;
    // Source row y covers [y*m, (y+1)*m), output row i [i*n, (i+1)*n).
    const uint64_t n = f.sourceHeight;
    const uint64_t m = f.outHeight;
    const uint64_t top = f.sourceRow * m;
    const uint64_t bottom = top + m;
    ++f.sourceRow;
    while (f.outRow < f.outHeight) {
        const uint64_t outTop = f.outRow * n;
        const uint64_t outBottom = outTop + n;
        const uint64_t lo = top > outTop ? top : outTop;
        const uint64_t hi = bottom < outBottom ? bottom : outBottom;
        if (hi > lo) AddDown(f, row, static_cast<float>(static_cast<double>(hi - lo) / static_cast<double>(n)));
        if (outBottom > bottom) break;  // the next source row still covers this output row
        const int32_t sent = Finish(f);
        if (sent != 0) return sent;
    }
    return 0;
}

void CloseAreaFilter(AreaFilter* filter) {
    if (filter == nullptr) return;
    std::free(filter->first);
    std::free(filter->count);
    std::free(filter->start);
    std::free(filter->weights);
    std::free(filter->columns);
    std::free(filter->line);
    std::free(filter);
}

}  // namespace lanterna
