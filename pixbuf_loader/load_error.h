// A result code of the reader as a GError with the program's message.
#pragma once

#include <cstdint>

#include "pixbuf_loader/gdk_pixbuf_backend.h"

namespace lanterna {

// Sets *error (when error is not null) to the code's message: the message
// table's text, or the system's text of a DOS error.
void SetLoadError(GError** error, int32_t code);

}  // namespace lanterna
