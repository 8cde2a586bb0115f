// Display parameters, opening / reusing / closing the screen and its window,
// and the user's input in the window.
#pragma once

#include <cstdint>

#include "display/display_state.h"
#include "records/picture_info.h"
#include "records/view_options.h"

namespace lanterna {

struct CycleHandle;

// How the display shows one picture: the choices of the display, not facts
// of the file.
struct DisplayParameters {
    int32_t depth = 8;          // 8 or 24
    int32_t xScale = 1;         // 2: every pixel drawn twice
    int32_t yScale = 1;         // 2: every row drawn twice
    uint8_t backgroundPen = 0;
    int32_t left = 0;           // where row 0 is drawn
    int32_t top = 0;
};

// From the facts with their mode settled (ilbm/picture_mode.h).
DisplayParameters ChooseDisplayParameters(const PictureInfo& picture);
// Opens a screen that fits (or keeps the open one), with the pause after a
// new screen of options.waitAfterOpenSeconds.
int32_t PrepareDisplay(const PictureInfo& picture, const DisplayParameters& display, const ViewOptions& options);
// Where row 0 goes: centred on the open screen, or where the header says.
void PlaceRowZero(const PictureInfo& picture, bool center, DisplayParameters& display);
// keptWidth x keptHeight: the area of a picture larger than its page, kept
// beyond the screen's edges where the platform lets a person scroll to it
// (0: the screen's size).
// pauseSeconds: the pause after the screen opens (PauseAfterOpen).
int32_t OpenDisplay(uint16_t width, uint16_t height, int32_t depth, uint8_t pen,
                    const uint8_t* colours, int32_t colourCount, uint32_t keptWidth = 0,
                    uint32_t keptHeight = 0, int32_t pauseSeconds = 0);
void CloseDisplay();
// The pause after a new screen has opened: 0 when it ran out, CODE_STOP for a
// break or a stop in the window, CODE_NEXT when a click ended the picture.
int32_t PauseAfterOpen(os::Window* window, int32_t seconds);
// 0, CODE_NEXT or CODE_STOP; Tab switches cycling when a handle is given.
int32_t PollWindowInput(os::Window* window, CycleHandle* handle);

}  // namespace lanterna
