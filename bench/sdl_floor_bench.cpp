// What any SDL program pays on this desktop before its first picture: SDL
// started, a 320x200 window made, filled and presented once, and nothing
// else. The window benchmark runs it as it runs the viewer, for the floor
// under the viewer's first row.
//
//   sdl_floor_bench TRACE_FILE [WIDTH HEIGHT]
//
// The window is 320x200 unless a size is given: the viewer opens a larger
// window for a small picture (a 320x200 one at scale 4 is 1280x800), and the
// first present of a large window costs the X server more.
// Writes the CLOCK_MONOTONIC time of the present, in nanoseconds, to
// TRACE_FILE (the format of LANTERNA_TRACE: "NANOSECONDS TOP BOTTOM"), and
// exits. Started with DISPLAY naming an X server.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    const int width = argc == 4 ? std::atoi(argv[2]) : 320;
    const int height = argc == 4 ? std::atoi(argv[3]) : 200;
    if ((argc != 2 && argc != 4) || width < 1 || height < 1 || width > 8192 || height > 8192) {
        std::fprintf(stderr, "usage: %s TRACE_FILE [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    // As the viewer sets up SDL on X: no 3-D renderer for the window surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "sdl_floor_bench: %s\n", SDL_GetError());
        return 2;
    }
    SDL_Window* window = SDL_CreateWindow("floor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0);
    SDL_Surface* surface = window != nullptr ? SDL_GetWindowSurface(window) : nullptr;
    if (surface == nullptr) {
        std::fprintf(stderr, "sdl_floor_bench: %s\n", SDL_GetError());
        SDL_Quit();
        return 2;
    }
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 40, 60, 90));
    SDL_UpdateWindowSurface(window);
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    std::FILE* out = std::fopen(argv[1], "w");
    if (out != nullptr) {
        std::fprintf(out, "%lld 0 %d\n", static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec, height);
        std::fclose(out);
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return out != nullptr ? 0 : 2;
}
