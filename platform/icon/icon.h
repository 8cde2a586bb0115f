// icon: Workbench icons. An icon is the file "name.info" beside its object,
// in the classic DiskObject format (big-endian, the in-memory structures of
// the original system written out with their pointers turned into "present"
// flags). GetDiskObject reads the classic part; newer icon data that may
// follow it is ignored.
//
// Relies on: dos (the icon file) and exec (memory).
#pragma once

#include <cstdint>

namespace os {

constexpr uint16_t WB_DISKMAGIC = 0xE310;
constexpr uint16_t WB_DISKVERSION = 1;
constexpr uint32_t WB_DISKREVISION = 1;  // low byte of the gadget's UserData: 2.x icon
constexpr uint32_t WB_DISKREVISIONMASK = 0xFF;

// do_Type
constexpr uint8_t WBDISK = 1;
constexpr uint8_t WBDRAWER = 2;
constexpr uint8_t WBTOOL = 3;
constexpr uint8_t WBPROJECT = 4;
constexpr uint8_t WBGARBAGE = 5;
constexpr uint8_t WBDEVICE = 6;
constexpr uint8_t WBKICK = 7;
constexpr uint8_t WBAPPICON = 8;

// An icon image's header. Only the header is kept: the planes are skipped
// when the icon is read, so ImageData is always null.
struct Image {
    int16_t LeftEdge = 0;
    int16_t TopEdge = 0;
    int16_t Width = 0;
    int16_t Height = 0;
    int16_t Depth = 0;
    uint16_t* ImageData = nullptr;
    uint8_t PlanePick = 0;
    uint8_t PlaneOnOff = 0;
    Image* NextImage = nullptr;
};

// The gadget embedded in every icon; its render pointers lead to the images.
struct Gadget {
    int16_t LeftEdge = 0;
    int16_t TopEdge = 0;
    int16_t Width = 0;
    int16_t Height = 0;
    uint16_t Flags = 0;
    uint16_t Activation = 0;
    uint16_t GadgetType = 0;
    Image* GadgetRender = nullptr;  // the normal image
    Image* SelectRender = nullptr;  // the selected image, or null
    uint16_t GadgetID = 0;
    uint32_t UserData = 0;          // low byte: the icon revision
};

// The window of a drawer, disk or trashcan icon.
struct DrawerData {
    int16_t dd_LeftEdge = 0;
    int16_t dd_TopEdge = 0;
    int16_t dd_Width = 0;
    int16_t dd_Height = 0;
    int32_t dd_CurrentX = 0;
    int32_t dd_CurrentY = 0;
    uint32_t dd_Flags = 0;      // 2.x icons only
    uint16_t dd_ViewModes = 0;  // 2.x icons only
};

constexpr int32_t NO_ICON_POSITION = static_cast<int32_t>(0x80000000u);

struct DiskObject {
    uint16_t do_Magic = 0;
    uint16_t do_Version = 0;
    Gadget do_Gadget;
    uint8_t do_Type = 0;
    char* do_DefaultTool = nullptr;  // null when the icon has none
    char** do_ToolTypes = nullptr;   // null-terminated; null when the icon has none
    int32_t do_CurrentX = 0;
    int32_t do_CurrentY = 0;
    DrawerData* do_DrawerData = nullptr;
    char* do_ToolWindow = nullptr;
    int32_t do_StackSize = 0;
};

// Reads name + ".info" (relative names from the current directory). Null
// when there is no such file or it is not a sound icon, with IoErr set
// (205 when the file is missing, 103 when memory runs out, 121 when the
// file is not an icon). The whole icon is one block: release it with
// FreeDiskObject.
DiskObject* GetDiskObject(const char* name);
void FreeDiskObject(DiskObject* icon);  // null is ignored

// The value of the tool type `name` (compared without case) in a
// null-terminated tool-type array: the text after "=", or "" for an entry
// that is the bare name. Null when absent (or when toolTypes is null).
char* FindToolType(char* const* toolTypes, const char* name);

// True when `word` is one of the "|"-separated alternatives of `value`,
// compared without case.
bool MatchToolValue(const char* value, const char* word);

}  // namespace os
