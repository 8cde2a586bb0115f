// Tool types of the program's icon and of each picture's icon. The switches
// are looked at in the order CENTER, CYCLE, HAM, EHB; a value naming ON or
// YES sets the switch, and then, independently, one naming OFF or NO clears
// it, so "YES|NO" ends cleared. WAIT and WAITAFTEROPEN take a number of
// seconds; anything that is not a number above 0 means none.

#include "driver/tool_types.h"

#include "platform/dos/dos.h"
#include "records/view_options.h"

namespace lanterna {
namespace {

void ApplySwitch(char* const* toolTypes, const char* name, bool* field) {
    const char* value = os::FindToolType(toolTypes, name);
    if (value == nullptr) return;
    if (os::MatchToolValue(value, "ON") || os::MatchToolValue(value, "YES")) *field = true;
    if (os::MatchToolValue(value, "OFF") || os::MatchToolValue(value, "NO")) *field = false;
}

void ApplySeconds(char* const* toolTypes, const char* name, int32_t* field) {
    const char* value = os::FindToolType(toolTypes, name);
    if (value == nullptr) return;
    int32_t number = 0;
    if (os::StrToLong(value, &number) < 1) {
        *field = 0;
    } else {
        *field = number > 0 ? number : 0;
    }
}

}  // namespace

void ApplyToolTypes(const os::DiskObject* icon) {
    if (icon == nullptr || icon->do_ToolTypes == nullptr) return;
    char* const* toolTypes = icon->do_ToolTypes;
    ApplySwitch(toolTypes, "CENTER", &gViewOptions.center);
    ApplySwitch(toolTypes, "CYCLE", &gViewOptions.cycle);
    ApplySwitch(toolTypes, "HAM", &gViewOptions.ham);
    ApplySwitch(toolTypes, "EHB", &gViewOptions.ehb);
    ApplySeconds(toolTypes, "WAIT", &gViewOptions.waitSeconds);
    ApplySeconds(toolTypes, "WAITAFTEROPEN", &gViewOptions.waitAfterOpenSeconds);
}

}  // namespace lanterna
