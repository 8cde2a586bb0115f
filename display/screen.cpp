// Opening, reusing and closing the screen, its backdrop window and the
// invisible pointer.
#include <algorithm>
#include <cstdint>

#include "display/display.h"
#include "platform/dos/dos.h"
#include "records/colour_load_table.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

// The blank pointer: a 16x1 image of two planes, all zero. Colour 0 of a
// pointer is transparent, so the pointer made from it cannot be seen.
uint16_t gPointerImage[2];
os::BitMap gPointerBitMap;

constexpr int32_t ERR_NO_MEMORY = os::ERROR_NO_FREE_STORE;

uintptr_t TagPointer(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// A size that has no mode although the depth has some (the smallest screen
// does): the screen asked for is larger than any the platform opens.
bool SizeWithoutMode(uint16_t width, uint16_t height, int32_t depth) {
    if (width == 0 || height == 0) return false;
    return os::BestCModeIDTags({
               {os::CYBRBIDTG_NominalWidth, 1},
               {os::CYBRBIDTG_NominalHeight, 1},
               {os::CYBRBIDTG_Depth, static_cast<uintptr_t>(static_cast<uint32_t>(depth))},
               {os::TAG_DONE, 0},
           }) != os::INVALID_ID;
}

}  // namespace

void CloseDisplay() {
    if (gDisplay.window != nullptr) {
        os::CloseWindow(gDisplay.window);
        gDisplay.window = nullptr;
    }
    if (gDisplay.screen != nullptr) {
        os::CloseScreen(gDisplay.screen);
        gDisplay.screen = nullptr;
    }
    if (gDisplay.pointer != nullptr) {
        os::DisposeObject(gDisplay.pointer);
        gDisplay.pointer = nullptr;
    }
}

int32_t OpenDisplay(uint16_t width, uint16_t height, int32_t depth, uint8_t pen,
                    const uint8_t* colours, int32_t colourCount, uint32_t keptWidth,
                    uint32_t keptHeight, int32_t pauseSeconds, PictureStep* step) {
    const uint32_t mode = os::BestCModeIDTags({
        {os::CYBRBIDTG_NominalWidth, width},
        {os::CYBRBIDTG_NominalHeight, height},
        {os::CYBRBIDTG_Depth, static_cast<uintptr_t>(static_cast<uint32_t>(depth))},
        {os::TAG_DONE, 0},
    });
    if (mode == os::INVALID_ID) {
        CloseDisplay();
        return SizeWithoutMode(width, height, depth) ? ERR_SCREEN_SIZE : ERR_SCREEN;
    }

    gPointerImage[0] = 0;
    gPointerImage[1] = 0;
    gPointerBitMap = os::BitMap{};
    os::InitBitMap(&gPointerBitMap, 2, 16, 1);
    gPointerBitMap.Planes[0] = reinterpret_cast<uint8_t*>(&gPointerImage[0]);
    gPointerBitMap.Planes[1] = reinterpret_cast<uint8_t*>(&gPointerImage[1]);
    gDisplay.pointer = os::NewObject(nullptr, "pointerclass", {
        {os::POINTERA_BitMap, TagPointer(&gPointerBitMap)},
        {os::POINTERA_WordWidth, 1},
        {os::TAG_DONE, 0},
    });
    if (gDisplay.pointer == nullptr) {
        CloseDisplay();
        return ERR_NO_MEMORY;
    }

    // A colour-mapped screen gets the picture's colours as it opens; a
    // true-colour one (or a picture without colours) starts with defaults.
    uint32_t coloursTag = os::TAG_IGNORE;
    uintptr_t coloursData = 0;
    if (colours != nullptr && colourCount > 0 && static_cast<uint32_t>(depth) <= 8) {
        coloursTag = os::SA_Colors32;
        coloursData = TagPointer(BuildColourLoadTable(colours, colourCount));
    }
    gDisplay.screen = os::OpenScreenTags(nullptr, {
        {os::SA_DisplayID, mode},
        {os::SA_Depth, static_cast<uintptr_t>(static_cast<uint32_t>(depth))},
        {os::SA_Quiet, 1},
        {os::SA_ShowTitle, 0},
        {os::SA_BackFill, os::LAYERS_NOBACKFILL},
        {os::SA_Interleaved, 1},
        {coloursTag, coloursData},
        {keptWidth > width ? os::SA_Width : os::TAG_IGNORE, keptWidth},
        {keptHeight > height ? os::SA_Height : os::TAG_IGNORE, keptHeight},
        {os::TAG_DONE, 0},
    });
    if (gDisplay.screen == nullptr) {
        CloseDisplay();
        return ERR_SCREEN;
    }
    gDisplay.depth = depth;

    os::Screen* screen = gDisplay.screen;
    gDisplay.window = os::OpenWindowTags(nullptr, {
        {os::WA_Width, static_cast<uintptr_t>(static_cast<uint16_t>(screen->Width))},
        {os::WA_Height, static_cast<uintptr_t>(static_cast<uint16_t>(screen->Height))},
        {os::WA_Left, 0},
        {os::WA_Top, 0},
        {os::WA_Backdrop, 1},
        {os::WA_Borderless, 1},
        {os::WA_RMBTrap, 1},
        {os::WA_SimpleRefresh, 1},
        {os::WA_NoCareRefresh, 1},
        {os::WA_IDCMP, os::IDCMP_VANILLAKEY | os::IDCMP_MOUSEBUTTONS | os::IDCMP_RAWKEY},
        {os::WA_Activate, 1},
        {os::WA_CustomScreen, TagPointer(screen)},
        {os::WA_BackFill, os::LAYERS_NOBACKFILL},
        {os::WA_BusyPointer, 1},
        {os::TAG_DONE, 0},
    });
    if (gDisplay.window == nullptr) {
        CloseDisplay();
        return ERR_WINDOW;
    }

    if (depth == 24) {
        os::SetRGB4(&screen->ViewPort, 0, 0, 0, 0);  // pen 0 clears to black
    }
    os::SetRast(gDisplay.window->RPort, pen);
    // The user may end the picture or stop the run during the pause; the
    // screen then stays open, as after a picture ended while drawing.
    return PauseAfterOpen(gDisplay.window, pauseSeconds, step);
}

namespace {

// An open screen serves the next picture only when it needs the depth the
// screen was opened with and fits it: with the centre option any screen at
// least as large (the picture is centred on it), without it only a screen of
// exactly the picture's size, as a screen of its own would have been; a
// smaller picture would otherwise sit in the corner of a larger screen left
// open by a picture that ended while drawing.
bool OpenScreenFits(const PictureInfo& picture, const DisplayParameters& display, const ViewOptions& options) {
    const os::Screen* screen = gDisplay.screen;
    if (screen == nullptr || gDisplay.window == nullptr || display.depth != gDisplay.depth) {
        return false;
    }
    const int32_t width = display.xScale * int32_t{picture.header.pageWidth};
    const int32_t height = display.yScale * int32_t{picture.header.pageHeight};
    if (!options.center) {
        return width == screen->Width && height == screen->Height;
    }
    return width <= screen->Width && height <= screen->Height;
}

// How far a picture reaches from the screen's top-left corner: row 0 goes
// to the header's place, or with the centre option to the top-left corner
// when the picture is larger than the screen (and inside it otherwise).
// What lies beyond the page is kept when the platform allows, so that a
// picture larger than its page can be scrolled through.
struct KeptArea {
    uint32_t width = 0;
    uint32_t height = 0;
};

KeptArea PictureArea(const PictureInfo& picture, const DisplayParameters& display, const ViewOptions& options) {
    const int64_t left = options.center ? 0 : int64_t{picture.header.x};
    const int64_t top = options.center ? 0 : int64_t{picture.header.y};
    const int64_t right = left + int64_t{display.xScale} * picture.header.w;
    const int64_t bottom = top + int64_t{display.yScale} * picture.header.h;
    return KeptArea{static_cast<uint32_t>(std::clamp<int64_t>(right, 0, UINT32_MAX)),
                    static_cast<uint32_t>(std::clamp<int64_t>(bottom, 0, UINT32_MAX))};
}

}  // namespace

int32_t PrepareDisplay(const PictureInfo& picture, const DisplayParameters& display, const ViewOptions& options,
                       PictureStep* step) {
    // A screen is open when the centre option kept it, or when the previous
    // picture ended early. Either way it is only kept if the new picture fits
    // it; drawing into a screen of the other depth would show garbage.
    if (gDisplay.screen != nullptr && !OpenScreenFits(picture, display, options)) {
        CloseDisplay();
    }
    if (gDisplay.screen != nullptr) {
        os::SetRast(gDisplay.window->RPort, display.backgroundPen);
        os::SetWindowPointer(gDisplay.window, {{os::WA_BusyPointer, 1}, {os::TAG_DONE, 0}});
        if (display.depth <= 8) {
            os::LoadRGB32(&gDisplay.screen->ViewPort,
                          BuildColourLoadTable(picture.colours, picture.colourCount));
        }
        return 0;
    }
    const int32_t width = display.xScale * int32_t{picture.header.pageWidth};
    const int32_t height = display.yScale * int32_t{picture.header.pageHeight};
    // A doubled page beyond 16 bits would wrap round into a screen of
    // another size.
    if (width > UINT16_MAX || height > UINT16_MAX) {
        return ERR_SCREEN_SIZE;
    }
    const KeptArea kept = PictureArea(picture, display, options);
    return OpenDisplay(static_cast<uint16_t>(width), static_cast<uint16_t>(height), display.depth,
                       display.backgroundPen, picture.colours, picture.colourCount, kept.width, kept.height,
                       options.waitAfterOpenSeconds, step);
}

void PlaceRowZero(const PictureInfo& picture, bool center, DisplayParameters& display) {
    if (center && gDisplay.screen != nullptr) {
        const int32_t left =
            (int32_t{gDisplay.screen->Width} - display.xScale * int32_t{picture.header.w}) / 2;
        const int32_t top =
            (int32_t{gDisplay.screen->Height} - display.yScale * int32_t{picture.header.h}) / 2;
        display.left = left < 0 ? 0 : left;
        display.top = top < 0 ? 0 : top;
    } else {
        display.left = picture.header.x;
        display.top = picture.header.y;
    }
}

}  // namespace lanterna
