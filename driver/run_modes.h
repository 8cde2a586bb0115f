// The three run modes. The entry point (main.cpp) opens the services,
// chooses a mode, and always closes the services last.
#pragma once

#include <cstdint>

#include "platform/asl/workbench.h"

namespace lanterna {

// Shell mode over the program's arguments (os::SetProgramArguments): the
// process result, 0 or 10.
int32_t RunShellMode();
// Workbench project mode (pictures given) or requester mode (none): the
// process result, 0 or 20.
int32_t RunWorkbenchMode(const os::WBStartup* startup);

}  // namespace lanterna
