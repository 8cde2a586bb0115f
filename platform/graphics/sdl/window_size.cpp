#include "platform/graphics/sdl/window_size.h"

#include <algorithm>

namespace os::sdl {

ClientSize WindowClientSize(uint32_t w, uint32_t h, int areaW, int areaH) {
    ClientSize r;
    if (w == 0 || h == 0 || areaW <= 0 || areaH <= 0) return r;
    uint64_t sx = static_cast<uint64_t>(areaW) / w;
    uint64_t sy = static_cast<uint64_t>(areaH) / h;
    uint64_t s = sx < sy ? sx : sy;
    if (s > kMaxWindowScale) s = kMaxWindowScale;
    if (s >= 1) {
        r.w = std::max(static_cast<int>(w * s), std::min(kMinWindowWidth, areaW));
        r.h = static_cast<int>(h * s);
        return r;
    }
    double fx = static_cast<double>(areaW) / w;
    double fy = static_cast<double>(areaH) / h;
    double f = fx < fy ? fx : fy;
    r.w = static_cast<int>(w * f);
    r.h = static_cast<int>(h * f);
    if (r.w < 1) r.w = 1;
    if (r.h < 1) r.h = 1;
    return r;
}

}  // namespace os::sdl
