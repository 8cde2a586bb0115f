// The Workbench start on Linux: `lanterna --workbench FILE...` (what the
// desktop entry runs) becomes a start message whose first argument is the
// program itself and whose others are the files, each as (directory, name).
#pragma once

#include <cstdint>

#include "platform/dos.h"

namespace os {

struct WBArg {
    FileLock* wa_Lock = nullptr;  // the directory
    char* wa_Name = nullptr;      // the name within it
};

struct WBStartup {
    int32_t sm_NumArgs = 0;
    WBArg* sm_ArgList = nullptr;
};

// programPath is argv[0]; files are the paths after --workbench. Null when
// memory runs out. Files that cannot be locked are left out.
WBStartup* CreateWorkbenchStartup(const char* programPath, int fileCount, const char* const* files);
void FreeWorkbenchStartup(WBStartup* startup);

// The files given to CreateWorkbenchStartup that it left out because they
// could not be locked (missing, or unreadable), in the order given; the
// Workbench never passes such icons, but a desktop's file list may.
int32_t WorkbenchLeftOutCount(const WBStartup* startup);
const char* WorkbenchLeftOut(const WBStartup* startup, int32_t index);  // null past the end

// A message box on the desktop, for failures when no shell is there to read
// them: the desktop's dialog tool (zenity, kdialog), or SDL's own box when
// there is none. Does nothing without a display or in headless mode.
void ShowDesktopMessage(const char* title, const char* text);

}  // namespace os
