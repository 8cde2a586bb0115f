#include "pixbuf_loader/load_error.h"

#include "platform/dos/dos.h"
#include "records/message_table.h"
#include "records/result_codes.h"

namespace lanterna {

void SetLoadError(GError** error, int32_t code) {
    const bool memory = code == os::ERROR_NO_FREE_STORE || code == ERR_OUT_OF_MEMORY;
    const GdkPixbufError kind = memory                     ? GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY
                                : code == ERR_NOT_IFF || code == ERR_NOT_ILBM ? GDK_PIXBUF_ERROR_UNKNOWN_TYPE
                                : code == ERR_COMPRESSION || code == ERR_NO_SCREEN_MODE
                                    ? GDK_PIXBUF_ERROR_UNSUPPORTED_OPERATION
                                    : GDK_PIXBUF_ERROR_CORRUPT_IMAGE;
    if (const char* message = TableMessage(code)) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, kind, message);
        return;
    }
    char text[256] = {};
    os::Fault(code, nullptr, text, sizeof text);
    g_set_error_literal(error, GDK_PIXBUF_ERROR, kind, text);
}

}  // namespace lanterna
