// The window's own controls of the view: keys without a character (the
// arrows, Home), the wheel and dragging with the left button. None of them
// reaches the program as input, so an ordinary key still ends a picture.
#pragma once

#include "platform/graphics/sdl/sdl_library.h"
#include "platform/graphics/sdl/view.h"

namespace os::sdl {

enum class ViewEvent : uint8_t {
    NotMine,  // not a control of the view: the backend handles it as before
    Handled,  // taken by the view, nothing to show
    Moved,    // the view changed: show it again
    Click,    // a held-back press ended without a drag: a left click now
};

ViewEvent HandleViewEvent(const SDL_Event& event, const ViewArea& area, ViewState& view, Drag& drag);

}  // namespace os::sdl
