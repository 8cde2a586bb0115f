#include "driver/window_title.h"

#include <cstring>

#include "driver/shown_names.h"
#include "records/ilbm_records.h"

namespace lanterna {

namespace {

std::string Kind(const PictureInfo& picture) {
    const int planes = picture.header.nPlanes;
    if (planes > 8) return std::to_string(planes) + "-bit";
    if ((picture.modeId & HAM) != 0 && (planes == 6 || planes == 8)) return "HAM" + std::to_string(planes);
    if ((picture.modeId & EXTRA_HALFBRITE) != 0 && planes == 6) return "Extra-Half-Brite";
    const int colours = 1 << planes;
    return std::to_string(colours) + (colours == 1 ? " colour" : " colours");
}

}  // namespace

std::string WindowTitle(const char* path, const PictureInfo& picture, int32_t frames) {
    const char* name = path != nullptr ? path : "";
    for (const char* p = name; *p != '\0'; ++p)
        if (*p == '/' && p[1] != '\0') name = p + 1;
    std::string title = ValidUtf8(name);
    if (!title.empty() && title.back() == '/') title.pop_back();
    title += " \u2014 " + std::to_string(picture.header.w) + "\u00D7" + std::to_string(picture.header.h) + ", " +
             Kind(picture) + (frames < 0 ? "" : frames == 0 ? ", animation" : ", animation of " + std::to_string(frames) + " frames") +
             " \u2014 Lanterna";
    return title;
}

}  // namespace lanterna
