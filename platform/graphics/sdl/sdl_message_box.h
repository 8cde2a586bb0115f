// SDL's own message box, for a desktop that has no dialog tool of its own.
#pragma once

namespace os::sdl {

// An error box with one button, shown until the user closes it. Loads SDL
// when it has not been loaded; false when it or the box cannot be had.
bool ShowMessageBox(const char* title, const char* text);

}  // namespace os::sdl
