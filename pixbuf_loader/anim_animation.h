// A FORM ANIM as a GdkPixbufAnimation that plays its frames at their times
// and loops as the viewer does. The still image is the first frame (the
// loader's pixbuf). Each iterator plays the file with readers of its own
// over the animation's bytes, one frame decoded ahead, so any number of
// iterators play at once and nothing is held but two frames each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixbuf_loader/gdk_pixbuf_backend.h"

namespace lanterna {

// The animation of the picture in `still`; its bytes come at the end of the
// load (SetAnimBytes). Null when memory runs out.
GdkPixbufAnimation* NewAnimAnimation(GdkPixbuf* still);
// The load is over: the animation takes every byte of the file (g_malloc'd)
// over and frees them when it goes; null after a load that failed, when
// only the still is shown.
void SetAnimBytes(GdkPixbufAnimation* animation, uint8_t* bytes, size_t count);

}  // namespace lanterna
