// The project's icon writer: builds classic Workbench icon files (".info")
// for tests and the fuzz corpus. Header only.
//
// IconDescription describes one icon; EncodeIcon gives its bytes in file order
// (DiskObject, DrawerData, images, default tool, tool types, tool window,
// DrawerData2, then any trailing bytes standing for newer icon data), and
// SaveIcon writes them to "name.info". The offsets of the parts are reported
// so that tests can damage a particular field.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lanterna::iconw {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t TYPE_DISK = 1;
constexpr uint8_t TYPE_DRAWER = 2;
constexpr uint8_t TYPE_TOOL = 3;
constexpr uint8_t TYPE_PROJECT = 4;
constexpr uint8_t TYPE_GARBAGE = 5;

struct IconImage {
    int16_t left = 0, top = 0, width = 32, height = 12, depth = 2;
    uint8_t planePick = 3, planeOnOff = 0;
    uint8_t fill = 0x55;  // the byte every plane is filled with
};

struct IconDescription {
    uint8_t type = TYPE_PROJECT;
    bool revision2 = true;        // 2.x icon: gadget UserData low byte 1
    IconImage image;              // always written
    std::optional<IconImage> selectImage;
    bool drawerData = false;      // drawers, disks and the trashcan have it
    std::optional<std::string> defaultTool;
    std::optional<std::vector<std::string>> toolTypes;
    std::optional<std::string> toolWindow;
    int32_t currentX = 10, currentY = 20;
    int32_t stackSize = 4096;
    Bytes trailing;               // stands for newer icon data after the classic part
};

// Where each part starts in the encoded file (0 when absent).
struct IconLayout {
    size_t drawerData = 0, image = 0, selectImage = 0, defaultTool = 0, toolTypes = 0,
           toolWindow = 0, drawerData2 = 0, trailing = 0, end = 0;
};

inline void AppendBE16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
inline void AppendBE32(Bytes& out, uint32_t v) {
    AppendBE16(out, v >> 16);
    AppendBE16(out, v & 0xFFFF);
}
inline void PutBE16(Bytes& data, size_t offset, uint32_t v) {
    data.at(offset) = static_cast<uint8_t>(v >> 8);
    data.at(offset + 1) = static_cast<uint8_t>(v);
}
inline void PutBE32(Bytes& data, size_t offset, uint32_t v) {
    PutBE16(data, offset, v >> 16);
    PutBE16(data, offset + 2, v & 0xFFFF);
}
// Length (NUL included) + the text + NUL.
inline void AppendIconString(Bytes& out, const std::string& text) {
    AppendBE32(out, static_cast<uint32_t>(text.size() + 1));
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

inline void AppendImage(Bytes& out, const IconImage& image) {
    AppendBE16(out, static_cast<uint16_t>(image.left));
    AppendBE16(out, static_cast<uint16_t>(image.top));
    AppendBE16(out, static_cast<uint16_t>(image.width));
    AppendBE16(out, static_cast<uint16_t>(image.height));
    AppendBE16(out, static_cast<uint16_t>(image.depth));
    AppendBE32(out, 1);  // ImageData "present"
    out.push_back(image.planePick);
    out.push_back(image.planeOnOff);
    AppendBE32(out, 0);  // NextImage
    size_t planes = static_cast<size_t>((image.width + 15) / 16) * 2 *
                    static_cast<size_t>(image.height) * static_cast<size_t>(image.depth);
    out.insert(out.end(), planes, image.fill);
}

inline Bytes EncodeIcon(const IconDescription& desc, IconLayout* layout = nullptr) {
    IconLayout at;
    Bytes out;
    AppendBE16(out, 0xE310);
    AppendBE16(out, 1);
    // The Gadget.
    AppendBE32(out, 0);  // NextGadget
    AppendBE16(out, 0);
    AppendBE16(out, 0);
    AppendBE16(out, static_cast<uint16_t>(desc.image.width));
    AppendBE16(out, static_cast<uint16_t>(desc.image.height + 1));
    AppendBE16(out, desc.selectImage ? 0x0006 : 0x0005);  // GFLG_GADGIMAGE | highlight
    AppendBE16(out, 0x0003);                              // RELVERIFY | GADGIMMEDIATE
    AppendBE16(out, 0x0001);                              // BOOLGADGET
    AppendBE32(out, 0x00100000);                          // GadgetRender
    AppendBE32(out, desc.selectImage ? 0x00200000 : 0);   // SelectRender
    AppendBE32(out, 0);                                   // GadgetText
    AppendBE32(out, 0);                                   // MutualExclude
    AppendBE32(out, 0);                                   // SpecialInfo
    AppendBE16(out, 0);                                   // GadgetID
    AppendBE32(out, desc.revision2 ? 1 : 0);              // UserData: revision
    out.push_back(desc.type);
    out.push_back(0);
    AppendBE32(out, desc.defaultTool ? 0x00300000 : 0);
    AppendBE32(out, desc.toolTypes ? 0x00400000 : 0);
    AppendBE32(out, static_cast<uint32_t>(desc.currentX));
    AppendBE32(out, static_cast<uint32_t>(desc.currentY));
    AppendBE32(out, desc.drawerData ? 0x00500000 : 0);
    AppendBE32(out, desc.toolWindow ? 0x00600000 : 0);
    AppendBE32(out, static_cast<uint32_t>(desc.stackSize));

    if (desc.drawerData) {
        at.drawerData = out.size();
        AppendBE16(out, 50);   // window left
        AppendBE16(out, 40);   // top
        AppendBE16(out, 400);  // width
        AppendBE16(out, 150);  // height
        out.insert(out.end(), 48 - 8, 0);
        AppendBE32(out, 0);  // dd_CurrentX
        AppendBE32(out, 0);  // dd_CurrentY
    }
    at.image = out.size();
    AppendImage(out, desc.image);
    if (desc.selectImage) {
        at.selectImage = out.size();
        AppendImage(out, *desc.selectImage);
    }
    if (desc.defaultTool) {
        at.defaultTool = out.size();
        AppendIconString(out, *desc.defaultTool);
    }
    if (desc.toolTypes) {
        at.toolTypes = out.size();
        AppendBE32(out, static_cast<uint32_t>((desc.toolTypes->size() + 1) * 4));
        for (const std::string& entry : *desc.toolTypes) AppendIconString(out, entry);
    }
    if (desc.toolWindow) {
        at.toolWindow = out.size();
        AppendIconString(out, *desc.toolWindow);
    }
    if (desc.drawerData && desc.revision2) {
        at.drawerData2 = out.size();
        AppendBE32(out, 2);  // dd_Flags: show all files
        AppendBE16(out, 1);  // dd_ViewModes: by icon
    }
    at.trailing = out.size();
    out.insert(out.end(), desc.trailing.begin(), desc.trailing.end());
    at.end = out.size();
    if (layout != nullptr) *layout = at;
    return out;
}

// Writes bytes to `path` as they are; true on success.
inline bool SaveBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Writes the icon of the object `name` as "name.info".
inline bool SaveIcon(const std::string& name, const IconDescription& desc) {
    return SaveBytes(name + ".info", EncodeIcon(desc));
}

// A project icon carrying the given tool types.
inline IconDescription ProjectIcon(std::vector<std::string> toolTypes) {
    IconDescription desc;
    desc.type = TYPE_PROJECT;
    desc.defaultTool = "SYS:Utilities/Lanterna";
    desc.toolTypes = std::move(toolTypes);
    return desc;
}

// A tool icon (the program's own) carrying the given tool types.
inline IconDescription ToolIcon(std::vector<std::string> toolTypes) {
    IconDescription desc;
    desc.type = TYPE_TOOL;
    desc.toolTypes = std::move(toolTypes);
    return desc;
}

}  // namespace lanterna::iconw
