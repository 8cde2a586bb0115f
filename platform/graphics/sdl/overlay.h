// The F1 overlay: the window's keys and the picture's facts, drawn over the
// picture in the window's surface only (never into the screen's bitmap, so
// nothing of it reaches a snapshot or the program's pixels).
#pragma once

#include <functional>
#include <string>

#include "platform/graphics/sdl/view.h"

namespace os::sdl {

// The keys and mouse controls of the window, then the picture's facts
// (SetWindowInfo) and the zoom the view shows it at, as lines.
std::string OverlayText(const std::string& facts, Scale zoom = {});

struct OverlayRect {
    int x = 0, y = 0, w = 0, h = 0;
};

// The overlay of `text` on a surface of surfaceW x surfaceH: the box first
// (text false), then the runs of text pixels (text true), every rectangle
// within the surface. The text is drawn twice as large when the box fits so.
// Characters beyond ASCII show as '?', one per UTF-8 sequence.
void LayOutOverlay(const std::string& text, int surfaceW, int surfaceH,
                   const std::function<void(const OverlayRect&, bool text)>& fill);

}  // namespace os::sdl
