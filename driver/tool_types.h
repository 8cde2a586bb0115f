// Options from icon tool types, for the Workbench modes: each icon read may
// change the program-wide ViewOptions, and nothing undoes a change.
#pragma once

#include "platform/icon/icon.h"

namespace lanterna {

// Applies the tool types CENTER, CYCLE, HAM, EHB (ON/YES, OFF/NO) and WAIT,
// WAITAFTEROPEN (seconds) of `icon` to gViewOptions. A null icon, or one
// without tool types, changes nothing.
void ApplyToolTypes(const os::DiskObject* icon);

}  // namespace lanterna
