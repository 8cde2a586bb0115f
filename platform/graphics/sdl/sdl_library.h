// libSDL2 is loaded when the first window is wanted, not when the program
// starts: the library and the dozens it pulls in (X11, Wayland, audio, the
// desktop bus) would otherwise cost every run, the headless ones too, tens
// of milliseconds of loading.
#pragma once

#include <SDL.h>

// SDL_syswm.h brings in Xlib's names; only the file that needs them includes it.
struct SDL_SysWMinfo;

namespace os::sdl {

// The SDL functions the backend calls, resolved from the loaded library.
#define LANTERNA_SDL_FUNCTIONS(X) \
    X(SDL_CreateCursor) \
    X(SDL_CreateSystemCursor) \
    X(SDL_CreateWindow) \
    X(SDL_DestroyWindow) \
    X(SDL_FillRect) \
    X(SDL_FreeCursor) \
    X(SDL_GetCurrentVideoDriver) \
    X(SDL_GetDefaultCursor) \
    X(SDL_GetDesktopDisplayMode) \
    X(SDL_GetDisplayUsableBounds) \
    X(SDL_GetTicks64) \
    X(SDL_GetWindowBordersSize) \
    X(SDL_GetWindowID) \
    X(SDL_GetWindowPosition) \
    X(SDL_GetWindowSize) \
    X(SDL_GetWindowSurface) \
    X(SDL_Init) \
    X(SDL_LockSurface) \
    X(SDL_MapRGB) \
    X(SDL_PollEvent) \
    X(SDL_RaiseWindow) \
    X(SDL_SetCursor) \
    X(SDL_QuitSubSystem) \
    X(SDL_SetHint) \
    X(SDL_SetHintWithPriority) \
    X(SDL_SetWindowFullscreen) \
    X(SDL_SetWindowPosition) \
    X(SDL_SetWindowSize) \
    X(SDL_SetWindowTitle) \
    X(SDL_ShowCursor) \
    X(SDL_ShowSimpleMessageBox) \
    X(SDL_StartTextInput) \
    X(SDL_UnlockSurface) \
    X(SDL_UpdateWindowSurface) \
    X(SDL_UpdateWindowSurfaceRects)

struct SdlLibrary {
#define LANTERNA_SDL_POINTER(name) decltype(&::name) name = nullptr;
    LANTERNA_SDL_FUNCTIONS(LANTERNA_SDL_POINTER)
#undef LANTERNA_SDL_POINTER
    SDL_bool (*SDL_GetWindowWMInfo)(SDL_Window*, SDL_SysWMinfo*) = nullptr;
};

// Loads libSDL2 once; null when it, or any function above, is missing.
const SdlLibrary* LoadSdlLibrary();

}  // namespace os::sdl
