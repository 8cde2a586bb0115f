#include "platform/graphics/sdl/view_events.h"

namespace os::sdl {

namespace {

ViewEvent MovedIf(bool moved) { return moved ? ViewEvent::Moved : ViewEvent::Handled; }

ViewEvent Key(const SDL_KeyboardEvent& key, const ViewArea& area, ViewState& view) {
    // Keys that carry no character; with a modifier they are left alone.
    if ((key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) != 0) return ViewEvent::NotMine;
    switch (key.keysym.sym) {
        case SDLK_LEFT: return MovedIf(ScrollBy(area, view, -1, 0));
        case SDLK_RIGHT: return MovedIf(ScrollBy(area, view, 1, 0));
        case SDLK_UP: return MovedIf(ScrollBy(area, view, 0, -1));
        case SDLK_DOWN: return MovedIf(ScrollBy(area, view, 0, 1));
        case SDLK_HOME:
            if (key.repeat != 0) return ViewEvent::Handled;
            FirstView(view);
            return ViewEvent::Moved;
        default: return ViewEvent::NotMine;
    }
}

}  // namespace

ViewEvent HandleViewEvent(const SDL_Event& event, const ViewArea& area, ViewState& view, Drag& drag) {
    switch (event.type) {
        case SDL_KEYDOWN: return Key(event.key, area, view);
        case SDL_MOUSEWHEEL: {
            int32_t steps = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
            if (steps == 0) return ViewEvent::Handled;
            return MovedIf(Zoom(area, view, steps, event.wheel.mouseX, event.wheel.mouseY));
        }
        case SDL_MOUSEMOTION:
            if (!drag.pressed) return ViewEvent::NotMine;
            return MovedIf(MoveDrag(drag, area, view, event.motion.x, event.motion.y));
        case SDL_MOUSEBUTTONDOWN:
            // Only a view with more to show holds a press back: elsewhere a
            // click ends the picture as it is pressed, as it always has.
            if (event.button.button != SDL_BUTTON_LEFT || !CanMove(area, view)) return ViewEvent::NotMine;
            PressDrag(drag, area, view, event.button.x, event.button.y);
            return ViewEvent::Handled;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button != SDL_BUTTON_LEFT || !drag.pressed) return ViewEvent::NotMine;
            return ReleaseDrag(drag) ? ViewEvent::Click : ViewEvent::Handled;
        default: return ViewEvent::NotMine;
    }
}

}  // namespace os::sdl
