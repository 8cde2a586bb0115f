// Display parameters, opening / reusing / closing the screen and its window,
// and the user's input in the window.
#pragma once

#include <cstdint>

#include "display/display_state.h"
#include "display/picture_step.h"
#include "records/picture_info.h"
#include "records/view_options.h"

namespace lanterna {

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
int32_t PrepareDisplay(const PictureInfo& picture, const DisplayParameters& display, const ViewOptions& options,
                       PictureStep* step = nullptr);
// Where row 0 goes: centred on the open screen, or where the header says.
void PlaceRowZero(const PictureInfo& picture, bool center, DisplayParameters& display);
// keptWidth x keptHeight: the area of a picture larger than its page, kept
// beyond the screen's edges where the platform lets a person scroll to it
// (0: the screen's size).
// pauseSeconds: the pause after the screen opens (PauseAfterOpen).
int32_t OpenDisplay(uint16_t width, uint16_t height, int32_t depth, uint8_t pen,
                    const uint8_t* colours, int32_t colourCount, uint32_t keptWidth = 0,
                    uint32_t keptHeight = 0, int32_t pauseSeconds = 0, PictureStep* step = nullptr);
void CloseDisplay();
// The pause after a new screen has opened: 0 when it ran out, CODE_STOP for a
// break or a stop in the window, CODE_NEXT when a click ended the picture
// (*step, when given, then says which way the run goes on).
int32_t PauseAfterOpen(os::Window* window, int32_t seconds, PictureStep* step = nullptr);

// What the user asked for in the window since the last look.
struct UserRequest {
    int32_t code = 0;                      // 0, CODE_NEXT or CODE_STOP
    PictureStep step = PictureStep::NEXT;  // with a code: the way the input that set it asks for
    // An animation's keys, which end nothing: F5 pause or play (the count
    // of presses), F6 and F7 a frame back and on (-1 and +1 each).
    int32_t pauses = 0;
    int32_t steps = 0;
};
// Every queued message is consumed, a later one overriding an earlier one.
// Each Tab calls tab(context) before its message is answered, when given:
// the view switches its colour cycling there.
UserRequest PollWindowInput(os::Window* window, void (*tab)(void* context) = nullptr, void* context = nullptr);

}  // namespace lanterna
