// Whether the Wayland compositor of the session has an input seat.
//
// SDL 2's Wayland driver (before SDL 2.30) takes the seat's record for
// granted when it starts, and a compositor without a seat (a headless one,
// a kiosk with no input device yet) makes SDL_Init crash. No person can
// answer a picture there either, so the Wayland driver is offered only when
// the compositor announces a seat.
#pragma once

namespace os::sdl {

// Connects to the compositor WAYLAND_DISPLAY names (through libwayland-
// client, loaded for the question), lists its globals and disconnects. False
// when it cannot be reached or announces no wl_seat.
bool WaylandCompositorHasSeat();

}  // namespace os::sdl
