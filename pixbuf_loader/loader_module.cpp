// The gdk-pixbuf module: the formats it reads, named by the program's MIME
// types and recognised by their IFF header, and the incremental loading
// (progressive_load.h). It keeps nothing outside each load, so gdk-pixbuf
// may run loads on several threads at once.
#include "pixbuf_loader/loader_mime_types.h"
#include "pixbuf_loader/progressive_load.h"

namespace {

using namespace lanterna;

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError** error) {
    ProgressiveLoad* load = BeginProgressiveLoad(sizeFunc, preparedFunc, updatedFunc, userData);
    if (load == nullptr) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "Out of memory");
    }
    return load;
}

gboolean LoadIncrement(gpointer context, const guchar* bytes, guint count, GError** error) {
    return AddLoadBytes(static_cast<ProgressiveLoad*>(context), bytes, count, error) ? TRUE : FALSE;
}

gboolean StopLoad(gpointer context, GError** error) {
    return EndProgressiveLoad(static_cast<ProgressiveLoad*>(context), error) ? TRUE : FALSE;
}

// FORM, any length, then the form's type.
GdkPixbufModulePattern signatures[] = {
    {const_cast<char*>("FORM    ILBM"), const_cast<char*>("    ****    "), 100},
    {const_cast<char*>("FORM    PBM "), const_cast<char*>("    ****    "), 100},
    {const_cast<char*>("FORM    ACBM"), const_cast<char*>("    ****    "), 100},
    {const_cast<char*>("FORM    RGB8"), const_cast<char*>("    ****    "), 100},
    {const_cast<char*>("FORM    RGBN"), const_cast<char*>("    ****    "), 100},
    {const_cast<char*>("FORM    DEEP"), const_cast<char*>("    ****    "), 100},
    {const_cast<char*>("FORM    ANIM"), const_cast<char*>("    ****    "), 100},
    {nullptr, nullptr, 0},
};

const char* extensions[] = {"iff", "ilbm", "lbm", "ham", "acbm", "deep", "rgb8", "rgbn", "anim", nullptr};

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module);
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info);

void fill_vtable(GdkPixbufModule* module) {
    module->begin_load = BeginLoad;
    module->load_increment = LoadIncrement;
    module->stop_load = StopLoad;
}

void fill_info(GdkPixbufFormat* info) {
    info->name = const_cast<char*>("ilbm");
    info->signature = signatures;
    info->description = const_cast<char*>("IFF ILBM pictures of the Amiga and the IFF picture family");
    info->mime_types = const_cast<char**>(LOADER_MIME_TYPES);
    info->extensions = const_cast<char**>(extensions);
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = const_cast<char*>("other");
}

}  // extern "C"
