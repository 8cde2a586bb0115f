// Display parameters, opening / reusing / closing the screen and its window,
// and the user's input in the window.
#pragma once

#include <cstdint>

#include "display/display_state.h"
#include "records/picture_info.h"
#include "records/view_options.h"

namespace lanterna {

struct CycleHandle;

void ChooseDisplayParameters(PictureInfo& picture, const ViewOptions& options);
// A planar picture of up to 8 planes with SHAM or CTBL palettes: shown in
// RGB, each row through its own colours.
bool HasLinePalettes(const PictureInfo& picture);
int32_t PrepareDisplay(const PictureInfo& picture, const ViewOptions& options);
// keptWidth x keptHeight: the area of a picture larger than its page, kept
// beyond the screen's edges where the platform lets a person scroll to it
// (0: the screen's size).
int32_t OpenDisplay(uint16_t width, uint16_t height, int32_t depth, uint8_t pen,
                    const uint8_t* colours, int32_t colourCount, uint32_t keptWidth = 0,
                    uint32_t keptHeight = 0);
void CloseDisplay();
// The pause after a new screen has opened: 0 when it ran out, CODE_STOP for a
// break or a stop in the window, CODE_NEXT when a click ended the picture.
int32_t PauseAfterOpen(os::Window* window, int32_t seconds);
// 0, CODE_NEXT or CODE_STOP; Tab switches cycling when a handle is given.
int32_t PollWindowInput(os::Window* window, CycleHandle* handle);

}  // namespace lanterna
