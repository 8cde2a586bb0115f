#include "platform/graphics/sdl/view.h"

#include <algorithm>

namespace os::sdl {

namespace {

bool Less(Scale a, Scale b) { return uint64_t{a.num} * b.den < uint64_t{b.num} * a.den; }

bool Shrinks(Scale s) { return s.num < s.den; }

int64_t Clamp(int64_t v, int64_t low, int64_t high) { return v < low ? low : (v > high ? high : v); }

// The shown extent on one axis: as much of `limit` as the window holds at
// the scale (one pixel at least), and its size in the window.
void Extent(uint32_t limit, int32_t window, Scale s, uint32_t& src, int32_t& shown) {
    const uint64_t fits = uint64_t(window) * s.den / s.num;
    src = static_cast<uint32_t>(std::max<uint64_t>(1, std::min<uint64_t>(limit, fits)));
    const uint64_t size = uint64_t{src} * s.num / s.den;
    shown = static_cast<int32_t>(Clamp(static_cast<int64_t>(size), 1, window));
}

// The largest whole level: kMaxZoom, or the first view's scale above it.
uint32_t TopWhole(const ViewArea& area) {
    const Scale page = FitScale(area.pageWidth, area.pageHeight, area.windowWidth, area.windowHeight);
    return Shrinks(page) ? kMaxZoom : std::max(kMaxZoom, page.num / page.den);
}

// The next level above (up) or below the scale now shown; false at the end.
bool NextLevel(const ViewArea& area, const ViewState& state, bool up, ViewState& next) {
    const Scale now = ScaleOf(area, state);
    bool found = false;
    Scale best;
    auto consider = [&](Scale s, ZoomLevel level, uint32_t whole) {
        if (up ? !Less(now, s) : !Less(s, now)) return;
        if (found && (up ? !Less(s, best) : !Less(best, s))) return;
        found = true;
        best = s;
        next.level = level;
        next.scale = whole;
    };
    const Scale page = FitScale(area.pageWidth, area.pageHeight, area.windowWidth, area.windowHeight);
    const Scale whole = FitScale(area.keptWidth, area.keptHeight, area.windowWidth, area.windowHeight);
    if (Shrinks(whole)) consider(whole, ZoomLevel::Whole, 1);
    if (Shrinks(page)) consider(page, ZoomLevel::Page, 1);
    const uint32_t top = TopWhole(area);
    // The whole scales next to the one now shown.
    const uint32_t below = (now.num + now.den - 1) / now.den - 1;  // the largest whole scale under it
    const uint32_t above = now.num / now.den + 1;                  // the smallest over it
    if (up && above <= top) consider(Scale{above, 1}, ZoomLevel::Integer, above);
    if (!up && below >= 1) consider(Scale{std::min(below, top), 1}, ZoomLevel::Integer, std::min(below, top));
    return found;
}

}  // namespace

Scale FitScale(uint32_t w, uint32_t h, int32_t areaW, int32_t areaH) {
    if (w == 0 || h == 0 || areaW <= 0 || areaH <= 0) return Scale{1, 1};
    const uint32_t sx = static_cast<uint32_t>(areaW) / w;
    const uint32_t sy = static_cast<uint32_t>(areaH) / h;
    const uint32_t s = std::min(sx, sy);
    if (s >= 1) return Scale{s, 1};
    // The side that meets the edge first decides.
    if (uint64_t(areaW) * h <= uint64_t(areaH) * w) return Scale{static_cast<uint32_t>(areaW), w};
    return Scale{static_cast<uint32_t>(areaH), h};
}

Scale ScaleOf(const ViewArea& area, const ViewState& state) {
    switch (state.level) {
        case ZoomLevel::Integer: return Scale{std::max<uint32_t>(1, state.scale), 1};
        case ZoomLevel::Whole:
            return FitScale(area.keptWidth, area.keptHeight, area.windowWidth, area.windowHeight);
        case ZoomLevel::Page:
        default: return FitScale(area.pageWidth, area.pageHeight, area.windowWidth, area.windowHeight);
    }
}

Placement Place(const ViewArea& area, ViewState& state) {
    Placement p;
    if (area.keptWidth == 0 || area.keptHeight == 0 || area.windowWidth <= 0 || area.windowHeight <= 0) return p;
    const Scale s = ScaleOf(area, state);
    const bool pageOnly = state.first && !area.fullScreen;
    const uint32_t limitW = pageOnly ? std::min(area.pageWidth, area.keptWidth) : area.keptWidth;
    const uint32_t limitH = pageOnly ? std::min(area.pageHeight, area.keptHeight) : area.keptHeight;
    if (limitW == 0 || limitH == 0) return p;
    Extent(limitW, area.windowWidth, s, p.srcW, p.w);
    Extent(limitH, area.windowHeight, s, p.srcH, p.h);
    p.x = (area.windowWidth - p.w) / 2;
    p.y = (area.windowHeight - p.h) / 2;
    state.x = Clamp(state.x, 0, int64_t{limitW} - p.srcW);
    state.y = Clamp(state.y, 0, int64_t{limitH} - p.srcH);
    p.srcX = static_cast<uint32_t>(state.x);
    p.srcY = static_cast<uint32_t>(state.y);
    return p;
}

bool CanMove(const ViewArea& area, ViewState& state) {
    const Placement p = Place(area, state);
    return p.w > 0 && (p.srcW < area.keptWidth || p.srcH < area.keptHeight);
}

bool ScrollBy(const ViewArea& area, ViewState& state, int32_t dx, int32_t dy) {
    const Placement before = Place(area, state);
    if (before.w == 0) return false;
    state.first = false;
    state.x += int64_t{dx} * std::max<uint32_t>(1, before.srcW / 8);
    state.y += int64_t{dy} * std::max<uint32_t>(1, before.srcH / 8);
    return !(Place(area, state) == before);
}

bool Zoom(const ViewArea& area, ViewState& state, int32_t steps, int32_t px, int32_t py) {
    const Placement old = Place(area, state);
    if (old.w == 0 || steps == 0) return false;
    // The bitmap pixel under the point, the point taken inside the picture.
    const int64_t cx = Clamp(px, old.x, old.x + old.w - 1) - old.x;
    const int64_t cy = Clamp(py, old.y, old.y + old.h - 1) - old.y;
    const int64_t bx = old.srcX + cx * old.srcW / old.w;
    const int64_t by = old.srcY + cy * old.srcH / old.h;
    ViewState next = state;
    bool changed = false;
    for (int32_t i = 0; i < (steps > 0 ? steps : -steps); ++i) {
        ViewState step = next;
        if (!NextLevel(area, next, steps > 0, step)) break;
        next = step;
        next.first = false;
        changed = true;
    }
    if (!changed) return false;
    next.x = 0;
    next.y = 0;
    const Placement shape = Place(area, next);
    next.x = bx - (px - shape.x) * int64_t{shape.srcW} / shape.w;
    next.y = by - (py - shape.y) * int64_t{shape.srcH} / shape.h;
    Place(area, next);
    state = next;
    return true;
}

void FirstView(ViewState& state) { state = ViewState{}; }

void PressDrag(Drag& drag, const ViewArea& area, ViewState& state, int32_t px, int32_t py) {
    Place(area, state);
    drag = Drag{true, false, px, py, state.x, state.y};
}

bool MoveDrag(Drag& drag, const ViewArea& area, ViewState& state, int32_t px, int32_t py) {
    if (!drag.pressed) return false;
    const int32_t dx = px - drag.startX, dy = py - drag.startY;
    if (!drag.moving && dx >= -kDragThreshold && dx <= kDragThreshold && dy >= -kDragThreshold &&
        dy <= kDragThreshold)
        return false;
    drag.moving = true;
    const Placement before = Place(area, state);
    const Scale s = ScaleOf(area, state);
    state.first = false;
    // The bitmap follows the pointer: a pointer moved right shows what lies left.
    state.x = drag.originX - int64_t{dx} * s.den / s.num;
    state.y = drag.originY - int64_t{dy} * s.den / s.num;
    return !(Place(area, state) == before);
}

bool ReleaseDrag(Drag& drag) {
    const bool click = drag.pressed && !drag.moving;
    drag = Drag{};
    return click;
}

}  // namespace os::sdl
