// What part of a screen's bitmap the window shows, and how large.
//
// A screen shows its page; a picture larger than its page keeps the rest in
// a larger bitmap (OpenScreenTags). The first view is what the screen alone
// shows: the page, fitted to the window as the window's size rule does (a
// whole scale, or shrunk when even one is too large), from the top-left
// corner; in full screen, at the page's scale, as much of the bitmap as the
// screen holds, so the keys that leave a window are not needed to see more
// of a picture larger than its page. From there the arrow keys and dragging with the left button move
// the view over the whole bitmap, the wheel zooms, and Home goes back to the
// first view.
//
// Zoom levels, from small to large: the whole bitmap fitted to the window
// when that needs shrinking, the page fitted when that needs shrinking, then
// every whole scale from 1 (1:1) up to kMaxZoom (or the first view's scale
// when that is larger). A level that needs no shrinking is a whole scale, so
// the fitted page at 3 is level 3.
//
// All of it is arithmetic on sizes; nothing here calls SDL.
#pragma once

#include <cstdint>

namespace os::sdl {

// Window pixels per bitmap pixel: num / den.
struct Scale {
    uint32_t num = 1;
    uint32_t den = 1;
};

struct ViewArea {
    uint32_t pageWidth = 0;    // the screen's visible size
    uint32_t pageHeight = 0;
    uint32_t keptWidth = 0;    // its bitmap: at least the page
    uint32_t keptHeight = 0;
    int32_t windowWidth = 0;   // the window's drawing surface
    int32_t windowHeight = 0;
    bool fullScreen = false;   // the first view then shows the bitmap beyond the page too
};

// The largest whole scale the wheel reaches, past the first view's.
constexpr uint32_t kMaxZoom = 8;

enum class ZoomLevel : uint8_t { Page, Whole, Integer };

struct ViewState {
    bool first = true;                   // the first view: the page from the top-left corner
    ZoomLevel level = ZoomLevel::Page;   // Page: the page fitted; Whole: the bitmap fitted
    uint32_t scale = 1;                  // with ZoomLevel::Integer
    int64_t x = 0;                       // the bitmap pixel at the shown part's top-left
    int64_t y = 0;
};

// Where the shown part [srcX, srcX + srcW) x [srcY, srcY + srcH) of the
// bitmap goes in the window: the rectangle x, y, w, h (centred when it is
// smaller than the window). Window column c shows bitmap column
// srcX + c * srcW / w, and the same for rows.
struct Placement {
    int32_t x = 0, y = 0, w = 0, h = 0;
    uint32_t srcX = 0, srcY = 0, srcW = 0, srcH = 0;
    bool operator==(const Placement&) const = default;
};

// w x h fitted into the area: the largest whole scale when one fits, else
// shrunk so that the larger side meets the area's edge.
Scale FitScale(uint32_t w, uint32_t h, int32_t areaW, int32_t areaH);

Scale ScaleOf(const ViewArea& area, const ViewState& state);

// The placement of the state's view; its position is first brought within
// the bitmap (so a view never shows anything beyond the bitmap's edges).
// An empty placement for an empty bitmap or window.
Placement Place(const ViewArea& area, ViewState& state);

// True when the bitmap has more than the view shows, so dragging moves it.
bool CanMove(const ViewArea& area, ViewState& state);

// Arrow keys: dx, dy steps of an eighth of the shown part (one pixel at
// least). True when the view moved.
bool ScrollBy(const ViewArea& area, ViewState& state, int32_t dx, int32_t dy);

// The wheel: steps up (> 0) zoom in, down zoom out, one level a step,
// keeping the bitmap pixel under the window point (px, py) where it is.
// True when the level changed.
bool Zoom(const ViewArea& area, ViewState& state, int32_t steps, int32_t px, int32_t py);

// Home.
void FirstView(ViewState& state);

// Dragging with the left button. A press on a view that can move is held
// back; the view follows once the pointer has gone more than
// kDragThreshold pixels from the press on either axis, and a release before
// that is an ordinary click.
constexpr int32_t kDragThreshold = 4;

struct Drag {
    bool pressed = false;   // the left button is down and held back
    bool moving = false;    // past the threshold: this press is a drag
    int32_t startX = 0, startY = 0;
    int64_t originX = 0, originY = 0;  // the view's position at the press
};

void PressDrag(Drag& drag, const ViewArea& area, ViewState& state, int32_t px, int32_t py);
// True when the view moved.
bool MoveDrag(Drag& drag, const ViewArea& area, ViewState& state, int32_t px, int32_t py);
// True when the press was a click (it never went past the threshold).
bool ReleaseDrag(Drag& drag);

}  // namespace os::sdl
