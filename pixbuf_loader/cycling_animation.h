// A picture with colour ranges that cycle, as a GdkPixbufAnimation: its
// frames are the picture's colour indices through the colours as the viewer
// steps them, one tick every 1/60 s, for as long as it is played. The still
// image is the picture with its starting colours (the loader's pixbuf).
#pragma once

#include <cstdint>

#include "pixbuf_loader/gdk_pixbuf_backend.h"
#include "records/picture_info.h"

namespace lanterna {

// Null when no range of the picture cycles, or memory runs out. The
// animation keeps a reference on `still` and holds the picture's indices,
// which the loader fills row by row through CyclingIndexRow.
GdkPixbufAnimation* NewCyclingAnimation(GdkPixbuf* still, const PictureInfo& info);
// The width bytes of row y of the indices.
uint8_t* CyclingIndexRow(GdkPixbufAnimation* animation, int32_t y);
// Every row is in: the frames are no longer being loaded.
void EndCyclingLoad(GdkPixbufAnimation* animation);

}  // namespace lanterna
