// SDL shows a simple message box without its video subsystem started: it
// opens a connection of its own to the desktop for the box and closes it.
#include "platform/graphics/sdl/sdl_message_box.h"

#include "platform/graphics/sdl/sdl_library.h"

namespace os::sdl {

bool ShowMessageBox(const char* title, const char* text) {
    const SdlLibrary* sdl = LoadSdlLibrary();
    if (sdl == nullptr) return false;
    return sdl->SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title != nullptr ? title : "",
                                         text != nullptr ? text : "", nullptr) == 0;
}

}  // namespace os::sdl
