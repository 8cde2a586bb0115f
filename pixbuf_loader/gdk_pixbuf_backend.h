// gdk-pixbuf with its interface for loaders (the module table, animation
// classes). Its animation interface still takes GLib's old time record,
// whose deprecation the animation silences around its own code only.
#pragma once

#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>
