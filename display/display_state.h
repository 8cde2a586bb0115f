// The program-wide display: at most one screen with its window and the
// invisible pointer object. It may outlive a picture.
#pragma once

#include <cstdint>

#include "platform/graphics/graphics.h"

namespace lanterna {

struct DisplayState {
    os::Screen* screen = nullptr;
    os::Window* window = nullptr;
    os::Object* pointer = nullptr;
    int32_t depth = 0;  // 8 or 24: the depth the open screen was opened with
};

extern DisplayState gDisplay;

}  // namespace lanterna
