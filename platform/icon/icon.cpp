// Reading classic Workbench icons.
//
// File layout (all big-endian), in this order:
//   DiskObject          78 bytes: magic, version, the 44-byte Gadget, type,
//                       then "present" flags for the default tool, the tool
//                       types, the drawer data and the tool window
//   DrawerData          56 bytes (a NewWindow and the view position), if flagged
//   Image               20 bytes + planes, if the gadget's GadgetRender is set
//   Image               20 bytes + planes, if the gadget's SelectRender is set
//   default tool        4-byte length (NUL included) + bytes, if flagged
//   tool types          4-byte (count + 1) * 4, then each as length + bytes
//   tool window         length + bytes, if flagged
//   DrawerData2         6 bytes (flags, view modes), drawer data on a 2.x icon
//   newer icon data     ignored
//
// Every count and length is checked against what is left in the file and
// against a sane maximum before anything is allocated; the result is a single
// block holding the DiskObject and everything it points to.

#include "platform/icon/icon.h"

#include <cctype>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/dos/dos.h"
#include "platform/exec/byte_order.h"
#include "platform/exec/exec.h"

namespace os {
namespace {

constexpr uint32_t DISK_OBJECT_SIZE = 78;
constexpr uint32_t DRAWER_DATA_SIZE = 56;
constexpr uint32_t DRAWER_DATA2_SIZE = 6;
constexpr uint32_t IMAGE_SIZE = 20;
constexpr int16_t MAX_IMAGE_DEPTH = 8;
constexpr uint32_t MAX_STRING_LENGTH = 65536;  // NUL included
constexpr uint32_t MAX_TOOL_TYPES = 4096;

// Sequential reads over the open icon file that never go past its end.
struct IconReader {
    FileHandle* file = nullptr;
    int64_t remaining = 0;  // bytes between the position and the end
    bool failed = false;    // a read error or an attempt to pass the end

    ~IconReader() {
        if (file != nullptr) Close(file);
    }

    bool ReadBytes(void* buffer, uint32_t length) {
        if (failed || length > remaining) {
            failed = true;
            return false;
        }
        auto* out = static_cast<uint8_t*>(buffer);
        uint32_t done = 0;
        while (done < length) {
            int32_t got = Read(file, out + done, static_cast<int32_t>(length - done));
            if (got <= 0) {
                failed = true;
                return false;
            }
            done += static_cast<uint32_t>(got);
        }
        remaining -= length;
        return true;
    }

    bool Skip(uint64_t length) {
        if (failed || length > static_cast<uint64_t>(remaining)) {
            failed = true;
            return false;
        }
        if (length > 0 && Seek(file, static_cast<int32_t>(length), OFFSET_CURRENT) < 0) {
            failed = true;
            return false;
        }
        remaining -= static_cast<int64_t>(length);
        return true;
    }

    bool ReadLong(uint32_t* value) {
        uint8_t bytes[4];
        if (!ReadBytes(bytes, 4)) return false;
        *value = Be32(bytes);
        return true;
    }

    // A length-prefixed string; the stored bytes end at the first NUL or at
    // the length, whichever comes first.
    bool ReadString(std::string* text) {
        uint32_t length = 0;
        if (!ReadLong(&length)) return false;
        if (length == 0 || length > MAX_STRING_LENGTH || length > remaining) {
            failed = true;
            return false;
        }
        std::vector<char> bytes(length);
        if (!ReadBytes(bytes.data(), length)) return false;
        text->assign(bytes.data(), strnlen(bytes.data(), length));
        return true;
    }
};

bool ReadImage(IconReader& reader, Image* image) {
    uint8_t raw[IMAGE_SIZE];
    if (!reader.ReadBytes(raw, IMAGE_SIZE)) return false;
    image->LeftEdge = static_cast<int16_t>(Be16(raw + 0));
    image->TopEdge = static_cast<int16_t>(Be16(raw + 2));
    image->Width = static_cast<int16_t>(Be16(raw + 4));
    image->Height = static_cast<int16_t>(Be16(raw + 6));
    image->Depth = static_cast<int16_t>(Be16(raw + 8));
    image->PlanePick = raw[14];
    image->PlaneOnOff = raw[15];
    if (image->Width < 0 || image->Height < 0 || image->Depth < 0 ||
        image->Depth > MAX_IMAGE_DEPTH) {
        return false;
    }
    // Each plane is Height rows of whole 16-bit words.
    uint64_t planeBytes = static_cast<uint64_t>((image->Width + 15) / 16) * 2 *
                          static_cast<uint64_t>(image->Height);
    return reader.Skip(planeBytes * static_cast<uint64_t>(image->Depth));
}

// What was read, before it is laid out in one block.
struct ParsedIcon {
    DiskObject object;
    bool hasRender = false;
    bool hasSelect = false;
    Image render;
    Image select;
    bool hasDrawer = false;
    DrawerData drawer;
    bool hasDefaultTool = false;
    std::string defaultTool;
    bool hasToolTypes = false;
    std::vector<std::string> toolTypes;
    bool hasToolWindow = false;
    std::string toolWindow;
};

bool ParseIcon(IconReader& reader, ParsedIcon* icon) {
    uint8_t raw[DISK_OBJECT_SIZE];
    if (!reader.ReadBytes(raw, DISK_OBJECT_SIZE)) return false;
    DiskObject& object = icon->object;
    object.do_Magic = Be16(raw + 0);
    object.do_Version = Be16(raw + 2);
    if (object.do_Magic != WB_DISKMAGIC || object.do_Version != WB_DISKVERSION) return false;

    Gadget& gadget = object.do_Gadget;
    gadget.LeftEdge = static_cast<int16_t>(Be16(raw + 8));
    gadget.TopEdge = static_cast<int16_t>(Be16(raw + 10));
    gadget.Width = static_cast<int16_t>(Be16(raw + 12));
    gadget.Height = static_cast<int16_t>(Be16(raw + 14));
    gadget.Flags = Be16(raw + 16);
    gadget.Activation = Be16(raw + 18);
    gadget.GadgetType = Be16(raw + 20);
    icon->hasRender = Be32(raw + 22) != 0;
    icon->hasSelect = Be32(raw + 26) != 0;
    gadget.GadgetID = Be16(raw + 42);
    gadget.UserData = Be32(raw + 44);

    object.do_Type = raw[48];
    if (object.do_Type < WBDISK || object.do_Type > WBAPPICON) return false;
    icon->hasDefaultTool = Be32(raw + 50) != 0;
    icon->hasToolTypes = Be32(raw + 54) != 0;
    object.do_CurrentX = static_cast<int32_t>(Be32(raw + 58));
    object.do_CurrentY = static_cast<int32_t>(Be32(raw + 62));
    icon->hasDrawer = Be32(raw + 66) != 0;
    icon->hasToolWindow = Be32(raw + 70) != 0;
    object.do_StackSize = static_cast<int32_t>(Be32(raw + 74));

    if (icon->hasDrawer) {
        uint8_t dd[DRAWER_DATA_SIZE];
        if (!reader.ReadBytes(dd, DRAWER_DATA_SIZE)) return false;
        icon->drawer.dd_LeftEdge = static_cast<int16_t>(Be16(dd + 0));
        icon->drawer.dd_TopEdge = static_cast<int16_t>(Be16(dd + 2));
        icon->drawer.dd_Width = static_cast<int16_t>(Be16(dd + 4));
        icon->drawer.dd_Height = static_cast<int16_t>(Be16(dd + 6));
        icon->drawer.dd_CurrentX = static_cast<int32_t>(Be32(dd + 48));
        icon->drawer.dd_CurrentY = static_cast<int32_t>(Be32(dd + 52));
    }
    if (icon->hasRender && !ReadImage(reader, &icon->render)) return false;
    if (icon->hasSelect && !ReadImage(reader, &icon->select)) return false;
    if (icon->hasDefaultTool && !reader.ReadString(&icon->defaultTool)) return false;
    if (icon->hasToolTypes) {
        uint32_t countField = 0;
        if (!reader.ReadLong(&countField)) return false;
        if (countField < 4 || countField % 4 != 0) return false;
        uint32_t count = countField / 4 - 1;
        // Each entry takes at least its length field and one byte.
        if (count > MAX_TOOL_TYPES || static_cast<int64_t>(count) * 5 > reader.remaining) {
            return false;
        }
        icon->toolTypes.resize(count);
        for (std::string& entry : icon->toolTypes) {
            if (!reader.ReadString(&entry)) return false;
        }
    }
    if (icon->hasToolWindow && !reader.ReadString(&icon->toolWindow)) return false;
    if (icon->hasDrawer && (gadget.UserData & WB_DISKREVISIONMASK) == WB_DISKREVISION) {
        uint8_t dd2[DRAWER_DATA2_SIZE];
        if (!reader.ReadBytes(dd2, DRAWER_DATA2_SIZE)) return false;
        icon->drawer.dd_Flags = Be32(dd2 + 0);
        icon->drawer.dd_ViewModes = Be16(dd2 + 4);
    }
    return true;
}

size_t AlignUp(size_t offset, size_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
}

// Lays the parsed icon out in one AllocVec block: the DiskObject first (so
// the block is freed by its address), then images, drawer data, the
// tool-type pointer array and the strings.
DiskObject* BuildDiskObject(const ParsedIcon& icon) {
    size_t size = sizeof(DiskObject);
    size_t imageOffset = AlignUp(size, alignof(Image));
    size = imageOffset + 2 * sizeof(Image);
    size_t drawerOffset = AlignUp(size, alignof(DrawerData));
    size = drawerOffset + sizeof(DrawerData);
    size_t arrayOffset = AlignUp(size, alignof(char*));
    size = arrayOffset + (icon.toolTypes.size() + 1) * sizeof(char*);
    size_t textOffset = size;
    size += icon.defaultTool.size() + 1 + icon.toolWindow.size() + 1;
    for (const std::string& entry : icon.toolTypes) size += entry.size() + 1;

    auto* block = static_cast<uint8_t*>(AllocVec(size, MEMF_CLEAR));
    if (block == nullptr) {
        SetIoErr(ERROR_NO_FREE_STORE);
        return nullptr;
    }
    auto* object = new (block) DiskObject(icon.object);
    auto* images = reinterpret_cast<Image*>(block + imageOffset);
    if (icon.hasRender) object->do_Gadget.GadgetRender = new (&images[0]) Image(icon.render);
    if (icon.hasSelect) object->do_Gadget.SelectRender = new (&images[1]) Image(icon.select);
    if (icon.hasDrawer) {
        object->do_DrawerData = new (block + drawerOffset) DrawerData(icon.drawer);
    }
    char* text = reinterpret_cast<char*>(block + textOffset);
    auto place = [&text](const std::string& s) {
        char* start = text;
        std::memcpy(start, s.c_str(), s.size() + 1);
        text += s.size() + 1;
        return start;
    };
    if (icon.hasDefaultTool) object->do_DefaultTool = place(icon.defaultTool);
    if (icon.hasToolWindow) object->do_ToolWindow = place(icon.toolWindow);
    if (icon.hasToolTypes) {
        auto** array = reinterpret_cast<char**>(block + arrayOffset);
        for (size_t i = 0; i < icon.toolTypes.size(); ++i) array[i] = place(icon.toolTypes[i]);
        array[icon.toolTypes.size()] = nullptr;
        object->do_ToolTypes = array;
    }
    return object;
}

bool EqualNoCase(const char* a, size_t aLength, const char* b) {
    size_t bLength = std::strlen(b);
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

DiskObject* GetDiskObject(const char* name) {
    if (name == nullptr) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return nullptr;
    }
    std::string path = std::string(name) + ".info";
    IconReader reader;
    reader.file = Open(path.c_str(), MODE_OLDFILE);
    if (reader.file == nullptr) return nullptr;  // IoErr set by Open
    // The size: Seek returns the position before each move.
    if (Seek(reader.file, 0, OFFSET_END) < 0) return nullptr;
    int32_t size = Seek(reader.file, 0, OFFSET_BEGINNING);
    if (size < 0) return nullptr;
    reader.remaining = size;

    ParsedIcon icon;
    if (!ParseIcon(reader, &icon)) {
        SetIoErr(ERROR_FILE_NOT_OBJECT);
        return nullptr;
    }
    return BuildDiskObject(icon);
}

void FreeDiskObject(DiskObject* icon) {
    if (icon == nullptr) return;
    FreeVec(icon);  // everything it points to lives in the same block
}

char* FindToolType(char* const* toolTypes, const char* name) {
    if (toolTypes == nullptr || name == nullptr) return nullptr;
    for (char* const* entry = toolTypes; *entry != nullptr; ++entry) {
        const char* text = *entry;
        const char* equals = std::strchr(text, '=');
        size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - text) : std::strlen(text);
        if (EqualNoCase(text, nameLength, name)) {
            return equals != nullptr ? const_cast<char*>(equals + 1)
                                     : const_cast<char*>(text + nameLength);
        }
    }
    return nullptr;
}

bool MatchToolValue(const char* value, const char* word) {
    if (value == nullptr || word == nullptr) return false;
    const char* start = value;
    for (;;) {
        const char* bar = std::strchr(start, '|');
        size_t length = bar != nullptr ? static_cast<size_t>(bar - start) : std::strlen(start);
        if (EqualNoCase(start, length, word)) return true;
        if (bar == nullptr) return false;
        start = bar + 1;
    }
}

}  // namespace os
