// What the files of the graphics model share: reading tag lists, applying a
// LoadRGB32 colour table, and the LANTERNA_TRACE record of rows written
// (present_trace.cpp; the presents are noted through NotePresented).
#pragma once

#include <cstdint>

#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_internal.h"

namespace os::gfx {

// Tags are read up to TAG_DONE; TAG_IGNORE entries are skipped.
template <typename F>
void ForEachTag(Tags tags, F&& visit) {
    for (const TagItem& item : tags) {
        if (item.ti_Tag == TAG_DONE) break;
        if (item.ti_Tag == TAG_IGNORE) continue;
        visit(item.ti_Tag, item.ti_Data);
    }
}

// Applies a LoadRGB32 table: runs of (count << 16 | first) followed by count
// R, G, B words (the top byte of each is the 8-bit value), ended by a 0 word.
// Entries beyond 255 are not stored. Caller holds the palette lock.
bool ApplyColourTable(Rgb palette[256], const uint32_t* table);

// Opens LANTERNA_TRACE's file when it is set; once, when the backend is chosen.
void OpenTrace();
// Rows written on a screen, remembered for the next present (traced runs only).
void TraceWritten(ScreenPrivate* sp, uint32_t top, uint32_t bottom);

}  // namespace os::gfx
