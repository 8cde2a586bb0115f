// The program-wide options: filled from the command line in shell mode and
// from icon tool types in the Workbench modes; read while pictures are shown.
#pragma once

#include <cstdint>

namespace lanterna {

struct ViewOptions {
    bool center = false;               // centre; keep the screen for the next picture
    int32_t waitSeconds = 0;           // 0: until the user ends the picture
    bool quiet = false;                // shell mode only
    bool all = false;                  // the shell's matching loop enters sub-directories
    int32_t waitAfterOpenSeconds = 0;  // pause after a new screen opens
    bool cycle = false;                // switch colour cycling on at once
    bool ham = false;                  // 6 planes without a usable CAMG: HAM ...
    bool ehb = false;                  // ... or Extra-Half-Brite when ehb and not ham
};

// The one instance.
extern ViewOptions gViewOptions;

}  // namespace lanterna
