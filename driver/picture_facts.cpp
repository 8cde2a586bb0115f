#include "driver/picture_facts.h"

#include <cstdio>

#include "cycle/cycling.h"
#include "driver/shown_names.h"
#include "records/ilbm_records.h"

namespace lanterna {

namespace {

std::string FormName(uint32_t id) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((id >> shift) & 0xFF);
        name += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

bool TrueColourForm(uint32_t form) { return form == ID_RGB8 || form == ID_RGBN || form == ID_DEEP; }

// The CAMG word as the file holds it.
std::string FileMode(const PictureInfo& picture) {
    if (!picture.hasCamg) return "none (no CAMG)";
    char word[48];
    std::snprintf(word, sizeof word, "CAMG 0x%08X", static_cast<unsigned>(picture.camg));
    return std::string(word) + (picture.hasMode ? "" : ", not a mode");
}

// The mode the rows were decoded in, what the screen shows as people name
// it, then the resolution and the screen.
std::string UsedMode(const PictureInfo& picture, int32_t screenDepth) {
    const int planes = picture.header.nPlanes;
    const uint32_t mode = picture.modeId;
    const bool planar = picture.formType == ID_ILBM || picture.formType == ID_ACBM;
    char word[32];
    std::snprintf(word, sizeof word, "0x%08X", static_cast<unsigned>(mode));
    std::string kind = word;
    if (!picture.hasMode) kind += " chosen by size";
    if (TrueColourForm(picture.formType) || planes > 8)
        kind += ", true colour";
    else if (planar && (mode & HAM) != 0 && (planes == 6 || planes == 8))
        kind += ", HAM" + std::to_string(planes);
    else if (HasLinePalettes(picture))
        kind += ", true colour (colours changed from line to line)";
    else if (planar && (mode & EXTRA_HALFBRITE) != 0 && planes == 6)
        kind += ", Extra-Half-Brite";
    else
        kind += ", colour-mapped";
    kind += (mode & HIRES) != 0 ? ", high resolution" : ", low resolution";
    if ((mode & LACE) != 0) kind += ", interlaced";
    return kind + ", " + std::to_string(screenDepth) + "-bit screen";
}

std::string Colours(const PictureInfo& picture) {
    std::string text = picture.colourCount > 0 ? std::to_string(picture.colourCount) + " in the colour map"
                                               : std::string("no colour map");
    if (picture.linePaletteCount > 0) text += ", a palette for every line";
    if (picture.paletteChanges != nullptr) text += ", changed from line to line (PCHG)";
    return text;
}

// Those the cycling task would rotate, by its own rule, and only on a
// colour-mapped screen, the one it cycles.
std::string Ranges(const PictureInfo& picture, int32_t screenDepth) {
    if (picture.rangeCount <= 0) return "none";
    const bool halfBrite = (picture.modeId & EXTRA_HALFBRITE) != 0 && picture.header.nPlanes == 6;
    int active = 0, cycling = 0;
    for (int32_t i = 0; i < picture.rangeCount && i < MAX_CYCLE_RANGES; ++i) {
        if ((picture.ranges[i].flags & RNG_ACTIVE) == 0) continue;
        ++active;
        if (screenDepth == 8 && CycleRangeUsable(picture.ranges[i], picture.colourCount, halfBrite)) ++cycling;
    }
    return std::to_string(picture.rangeCount) + ", " + std::to_string(active) + " marked active, " +
           std::to_string(cycling) + " cycling";
}

std::string Compression(const PictureInfo& picture) {
    if (picture.formType == ID_DEEP) {
        switch (picture.deep.compression) {
            case deepNone: return "none";
            case deepRunLength: return "run-length";
            case deepTvdc: return "TVPaint deltas (TVDC)";
            default: return "unknown (" + std::to_string(picture.deep.compression) + ")";
        }
    }
    switch (picture.header.compression) {
        case cmpNone: return "none";
        case cmpByteRun1: return "ByteRun1";
        case cmpRgbn:
            if (picture.formType == ID_RGB8 || picture.formType == ID_RGBN) return "RGBN run-length";
            break;
        default: break;
    }
    return "unknown (" + std::to_string(picture.header.compression) + ")";
}

}  // namespace

std::string PictureFacts(const char* path, const PictureInfo& picture, int32_t screenDepth, RunPlace place) {
    const BitMapHeader& h = picture.header;
    std::string facts = "File: " + ValidUtf8(path != nullptr ? path : "") + "\n";
    if (place.number > 0) {
        facts += "Picture: " + std::to_string(place.number);
        if (place.count >= place.number) facts += " of " + std::to_string(place.count);
        facts += " in the run\n";
    }
    facts += "Form: " + FormName(picture.formType) + "\n";
    facts += "Size: " + std::to_string(h.w) + " x " + std::to_string(h.h) + ", page " + std::to_string(h.pageWidth) +
             " x " + std::to_string(h.pageHeight) + "\n";
    facts += "Planes: " + std::to_string(h.nPlanes) + "\n";
    facts += "Display mode in the file: " + FileMode(picture) + "\n";
    facts += "Display mode used: " + UsedMode(picture, screenDepth) + "\n";
    facts += "Colours: " + Colours(picture) + "\n";
    facts += "Colour ranges: " + Ranges(picture, screenDepth) + "\n";
    facts += "Compression: " + Compression(picture);
    return facts;
}

}  // namespace lanterna
