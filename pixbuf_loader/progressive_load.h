// A picture loaded as its bytes come, for gdk-pixbuf's incremental loading.
//
// The reader pulls its bytes and cannot wait for more in the middle of a
// row, so the loader keeps every byte given and runs the reader over the
// bytes it has, as over a file that ends there (a cut file reads as the
// whole rows it holds). A run is made each time the bytes have doubled since
// the last one, and once more over all of them at the end: every byte is
// decoded at most about three times, the reader only ever sees a plain
// prefix of the file, and nothing has to be resumed. The first run that
// gets past the header prepares the pixbuf; each run brings the rows it read
// up to date. A FORM ANIM loads its first frame so; its later frames are
// played from the whole file once it is in (anim_animation.h).
#pragma once

#include <cstdint>

#include "pixbuf_loader/gdk_pixbuf_backend.h"

namespace lanterna {

struct ProgressiveLoad;

// Null when memory runs out.
ProgressiveLoad* BeginProgressiveLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                                      GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData);
// False with *error set when the bytes cannot be a picture.
bool AddLoadBytes(ProgressiveLoad* load, const uint8_t* bytes, size_t count, GError** error);
// The last run over every byte, then the load is freed, whatever happened.
bool EndProgressiveLoad(ProgressiveLoad* load, GError** error);

}  // namespace lanterna
