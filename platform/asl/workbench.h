// The Workbench start on Linux: `lanterna --workbench FILE...` (what the
// desktop entry runs) becomes a start message whose first argument is the
// program itself and whose others are the files, each as (directory, name).
#pragma once

#include <cstdint>

#include "platform/dos/dos.h"

namespace os {

struct WBArg {
    FileLock* wa_Lock = nullptr;  // the directory
    char* wa_Name = nullptr;      // the name within it
};

struct WBStartup {
    int32_t sm_NumArgs = 0;
    WBArg* sm_ArgList = nullptr;
};

// programPath is argv[0]; files are the paths after --workbench, each an
// argument whether it exists or not. Files share their directory's lock; a
// file without one (too many directories, or its directory cannot be
// locked) has a null lock and its path as given. Null when memory runs out.
WBStartup* CreateWorkbenchStartup(const char* programPath, int fileCount, const char* const* files);
void FreeWorkbenchStartup(WBStartup* startup);

// A message box on the desktop, for failures when no shell is there to read
// them: the desktop's dialog tool (zenity, kdialog), or SDL's own box when
// there is none. Does nothing without a display or in headless mode.
void ShowDesktopMessage(const char* title, const char* text);

}  // namespace os
