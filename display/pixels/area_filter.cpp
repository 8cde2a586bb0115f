// Area averaging row by row. Along each axis the source spans n units and
// the output m: source pixel k covers [k*m, (k+1)*m) and output pixel j
// covers [j*n, (j+1)*n) on a common integer scale, so every overlap is exact
// and each output pixel's weights sum to one.
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
    AreaFilterSink sink = nullptr;
    void* user = nullptr;
    // Output column j takes source columns first[j] .. first[j] + count[j] - 1
    // with the weights from weights[start[j]].
    uint32_t* first = nullptr;
    uint32_t* count = nullptr;
    uint32_t* start = nullptr;
    float* weights = nullptr;
    float* across = nullptr;  // the source row averaged across: 4 a column, colours times alpha
    float* sum = nullptr;     // the output row being gathered
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

void Across(AreaFilter& f, const uint8_t* rgba) {
    for (uint32_t j = 0; j < f.outWidth; ++j) {
        float r = 0, g = 0, b = 0, a = 0;
        const float* w = f.weights + f.start[j];
        const uint8_t* p = rgba + 4 * size_t{f.first[j]};
        for (uint32_t i = 0; i < f.count[j]; ++i, p += 4) {
            const float wa = w[i] * static_cast<float>(p[3]);
            r += wa * static_cast<float>(p[0]);
            g += wa * static_cast<float>(p[1]);
            b += wa * static_cast<float>(p[2]);
            a += wa;
        }
        float* out = f.across + 4 * size_t{j};
        out[0] = r;
        out[1] = g;
        out[2] = b;
        out[3] = a;
    }
}

uint8_t Round(float v) {
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return static_cast<uint8_t>(v + 0.5f);
}

int32_t Finish(AreaFilter& f) {
    for (uint32_t j = 0; j < f.outWidth; ++j) {
        const float* s = f.sum + 4 * size_t{j};
        uint8_t* out = f.line + 4 * size_t{j};
        const float alpha = s[3];
        if (alpha > 0) {
            out[0] = Round(s[0] / alpha);
            out[1] = Round(s[1] / alpha);
            out[2] = Round(s[2] / alpha);
        } else {
            out[0] = out[1] = out[2] = 0;
        }
        out[3] = Round(alpha);
    }
    std::memset(f.sum, 0, 4 * sizeof(float) * f.outWidth);
    ++f.outRow;
    return f.sink(f.user, f.line);
}

}  // namespace

int32_t OpenAreaFilter(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t outWidth, uint32_t outHeight,
                       AreaFilterSink sink, void* user, AreaFilter** filter) {
    *filter = nullptr;
    if (sourceWidth == 0 || sourceHeight == 0 || outWidth == 0 || outHeight == 0 || sink == nullptr) {
        return ERR_CORRUPT;
    }
    auto* f = Allocate<AreaFilter>(1);
    if (f == nullptr) return ERR_OUT_OF_MEMORY;
    *f = AreaFilter{};
    f->sourceWidth = sourceWidth;
    f->sourceHeight = sourceHeight;
    f->outWidth = outWidth;
    f->outHeight = outHeight;
    f->sink = sink;
    f->user = user;
    // Each output column overlaps at most n/m + 2 source columns; in all
    // at most n + m overlaps.
    const size_t overlaps = size_t{sourceWidth} + outWidth;
    f->first = Allocate<uint32_t>(outWidth);
    f->count = Allocate<uint32_t>(outWidth);
    f->start = Allocate<uint32_t>(outWidth);
    f->weights = Allocate<float>(overlaps);
    f->across = Allocate<float>(4 * size_t{outWidth});
    f->sum = Allocate<float>(4 * size_t{outWidth});
    f->line = Allocate<uint8_t>(4 * size_t{outWidth});
    if (f->first == nullptr || f->count == nullptr || f->start == nullptr || f->weights == nullptr ||
        f->across == nullptr || f->sum == nullptr || f->line == nullptr) {
        CloseAreaFilter(f);
        return ERR_OUT_OF_MEMORY;
    }
    PlanColumns(*f);
    *filter = f;
    return 0;
}

int32_t AddAreaFilterRow(AreaFilter* filter, const uint8_t* rgba) {
    AreaFilter& f = *filter;
    if (f.sourceRow >= f.sourceHeight) return 0;
    Across(f, rgba);
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
        if (hi > lo) {
            const auto w = static_cast<float>(static_cast<double>(hi - lo) / static_cast<double>(n));
            for (size_t i = 0; i < 4 * size_t{f.outWidth}; ++i) f.sum[i] += w * f.across[i];
        }
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
    std::free(filter->across);
    std::free(filter->sum);
    std::free(filter->line);
    std::free(filter);
}

}  // namespace lanterna
