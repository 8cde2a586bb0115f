// asl: the file requester. On a desktop it is the desktop's own file chooser
// (zenity or kdialog, whichever is installed) run as a child process; in the
// headless backend (LANTERNA_DISPLAY=headless) it answers from the script in
// LANTERNA_REQUESTER: batches separated by ";", the paths of one batch by
// "|", and Cancel once the batches are used up.
//
// Relies on: graphics (tag lists), dos (paths), and the desktop tools and path
// names beside it (desktop_tools.h, path_names.h), which the Workbench start
// (workbench.h) uses too.
#pragma once

#include <cstdint>

#include "platform/asl/workbench.h"  // WBArg
#include "platform/graphics/graphics.h"   // TagItem, Tags

namespace os {

constexpr uint32_t ASL_FileRequest = 0;

constexpr uint32_t ASL_TB = TAG_USER + 0x80000;
constexpr uint32_t ASLFR_TitleText = ASL_TB + 1;       // const char*
constexpr uint32_t ASLFR_InitialFile = ASL_TB + 8;     // const char*
constexpr uint32_t ASLFR_InitialDrawer = ASL_TB + 9;   // const char*
constexpr uint32_t ASLFR_InitialPattern = ASL_TB + 10; // const char*, AmigaDOS pattern
constexpr uint32_t ASLFR_PositiveText = ASL_TB + 18;   // const char*
constexpr uint32_t ASLFR_NegativeText = ASL_TB + 19;   // const char*
constexpr uint32_t ASLFR_Flags1 = ASL_TB + 20;         // FRF_*
constexpr uint32_t ASLFR_RejectIcons = ASL_TB + 60;    // bool: hide ".info" files

constexpr uint32_t FRF_DOPATTERNS = 1u << 0;
constexpr uint32_t FRF_DOMULTISELECT = 1u << 3;

struct FileRequesterPrivate;

struct FileRequester {
    char* fr_File = nullptr;      // the first selected file's name
    char* fr_Drawer = nullptr;    // the drawer (directory) it is in
    char* fr_Pattern = nullptr;   // the pattern in use
    int32_t fr_NumArgs = 0;       // the selected files ...
    WBArg* fr_ArgList = nullptr;  // ... as (directory lock, name) pairs
    FileRequesterPrivate* priv = nullptr;
};

// Null when the requester cannot be allocated: an unknown type, no chooser
// installed, or no desktop to show it on (headless: always allocated).
FileRequester* AllocAslRequestTags(uint32_t requesterType, Tags tags);
// Shows the requester; the tags given here override those of the
// allocation. True when files were chosen (fr_NumArgs/fr_ArgList, valid
// until the next request or FreeAslRequest); false on cancel or failure.
// The chooser opens in the drawer last used.
bool AslRequestTags(FileRequester* requester, Tags tags);
void FreeAslRequest(FileRequester* requester);  // null is ignored

}  // namespace os
