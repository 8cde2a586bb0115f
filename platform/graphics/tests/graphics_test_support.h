// Helpers shared by the screen tests: the headless backend, a screen with its
// window, and PNG files read back with libpng.
#pragma once

#include <png.h>
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/headless/headless.h"

namespace graphics_test {

// Chosen before anything asks for a backend.
inline const bool kHeadless = (setenv("LANTERNA_DISPLAY", "headless", 1), true);

struct Display {
    os::Screen* screen = nullptr;
    os::Window* window = nullptr;

    Display(uint32_t width, uint32_t height, uint32_t depth, const uint32_t* colours = nullptr) {
        uint32_t mode = os::BestCModeIDTags({{os::CYBRBIDTG_NominalWidth, width},
                                             {os::CYBRBIDTG_NominalHeight, height},
                                             {os::CYBRBIDTG_Depth, depth},
                                             {os::TAG_DONE, 0}});
        screen = os::OpenScreenTags(
            nullptr, {{os::SA_DisplayID, mode},
                      {os::SA_Depth, depth},
                      {os::SA_Quiet, 1},
                      {colours ? os::SA_Colors32 : os::TAG_IGNORE, reinterpret_cast<uintptr_t>(colours)},
                      {os::TAG_DONE, 0}});
        if (screen == nullptr) return;
        window = os::OpenWindowTags(
            nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(screen)},
                      {os::WA_IDCMP, os::IDCMP_VANILLAKEY | os::IDCMP_MOUSEBUTTONS},
                      {os::WA_BusyPointer, 1},
                      {os::TAG_DONE, 0}});
    }
    ~Display() {
        os::CloseWindow(window);
        os::CloseScreen(screen);
    }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    uint32_t WindowMask() const { return 1u << window->UserPort->mp_SigBit; }
    const uint8_t* Row(uint32_t y) const { return screen->priv->pixels + y * screen->priv->stride; }
};

struct Png {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
    bool ok = false;
    const uint8_t* At(uint32_t x, uint32_t y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

inline Png ReadPng(const std::string& path) {
    Png out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGB;
    out.width = image.width;
    out.height = image.height;
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    out.ok = png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return out;
}

// A LoadRGB32 table of `count` colours starting at `first`.
inline std::vector<uint32_t> ColourTable(uint32_t first, const std::vector<os::Rgb>& colours) {
    std::vector<uint32_t> t;
    t.push_back(static_cast<uint32_t>(colours.size()) << 16 | first);
    for (const os::Rgb& c : colours) {
        t.push_back(c.r * 0x01010101u);
        t.push_back(c.g * 0x01010101u);
        t.push_back(c.b * 0x01010101u);
    }
    t.push_back(0);
    return t;
}

}  // namespace graphics_test
