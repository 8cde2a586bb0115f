#include "ilbm/anim_header.h"

#include "records/result_codes.h"

namespace lanterna {

namespace {

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

int32_t ParseAnimHeader(const uint8_t* data, int32_t size, AnimHeader* header) {
    if (!data || size < ANHD_MIN_SIZE) return ERR_CORRUPT;
    AnimHeader h;
    h.operation = data[0];
    h.mask = data[1];
    h.w = Be16(data + 2);
    h.h = Be16(data + 4);
    h.x = int16_t(Be16(data + 6));
    h.y = int16_t(Be16(data + 8));
    h.absTime = Be32(data + 10);
    h.relTime = Be32(data + 14);
    h.interleave = data[18];
    h.pad0 = data[19];
    h.bits = Be32(data + 20);
    *header = h;
    return 0;
}

int32_t ParseDisplayPan(const uint8_t* data, int32_t size, DisplayPan* pan) {
    if (!data || size < DPAN_SIZE) return ERR_CORRUPT;
    pan->version = Be16(data);
    pan->frames = Be16(data + 2);
    pan->flags = Be32(data + 4);
    return 0;
}

uint32_t DisplayPanTicks(const DisplayPan& pan) {
    const uint32_t perSecond = pan.flags >> 24;
    if (perSecond == 0) return 0;
    const uint32_t ticks = (60 + perSecond / 2) / perSecond;
    return ticks > 0 ? ticks : 1;
}

}  // namespace lanterna
