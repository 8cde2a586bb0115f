// Whether the X server that DISPLAY names takes a connection: the answer
// SDL's start would give for its X11 driver, had in a millisecond or two
// instead of SDL's whole start, so the start itself can run beside the
// program's first picture. Xlib is loaded for it (SDL's X11 driver loads the
// same library later); the connection stays open, idle, to the end.
#pragma once

namespace os::sdl {

bool XServerAnswers();

}  // namespace os::sdl
