// libFuzzer target over the gdk-pixbuf loader's progressive path: the input
// is a file handed to the loader in pieces of 1 byte up to 64 KiB, their
// sizes drawn from a hash of the input (so the seeds stay whole files and
// every mutation cuts them differently), as gdk-pixbuf hands a file or a
// download.
// Every updated area must lie in the prepared pixbuf, a load must end with
// its pixbuf or a message, and an animation's frames (cycling or FORM ANIM)
// are played as a viewer plays them (once a little late) and drawn. The
// harness declines pictures over 256 Ki pixels through the size callback,
// as a thumbnailer may (larger pictures are opened, not decoded: the work
// per input stays small).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pixbuf_loader/progressive_load.h"

using namespace lanterna;

namespace {

struct Watch {
    GdkPixbuf* pixbuf = nullptr;
    GdkPixbufAnimation* animation = nullptr;
};

void SizeFunc(int* width, int* height, gpointer) {
    if (int64_t(*width) * *height > (int64_t(1) << 18)) *width = *height = 0;
}

void Prepared(GdkPixbuf* pixbuf, GdkPixbufAnimation* animation, gpointer user) {
    auto* watch = static_cast<Watch*>(user);
    if (watch->pixbuf != nullptr) abort();  // prepared twice
    watch->pixbuf = GDK_PIXBUF(g_object_ref(pixbuf));
    if (animation != nullptr) watch->animation = GDK_PIXBUF_ANIMATION(g_object_ref(animation));
}

void Updated(GdkPixbuf* pixbuf, int x, int y, int width, int height, gpointer user) {
    auto* watch = static_cast<Watch*>(user);
    if (pixbuf != watch->pixbuf || x != 0 || y < 0 || height <= 0 || width != gdk_pixbuf_get_width(pixbuf) ||
        y + height > gdk_pixbuf_get_height(pixbuf)) {
        abort();
    }
}

// As a viewer plays it: each advance when the frame's delay is over, and
// once a quarter of a second late (a late viewer catches up, frame by frame).
void PlayFrames(GdkPixbufAnimation* animation) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GTimeVal time = {100, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &time);
    for (int i = 0; i < 8; ++i) {
        const int wait = i == 4 ? 250 : std::clamp(gdk_pixbuf_animation_iter_get_delay_time(iter), 1, 250);
        g_time_val_add(&time, glong{wait} * 1000);
        gdk_pixbuf_animation_iter_advance(iter, &time);
        if (gdk_pixbuf_animation_iter_get_pixbuf(iter) == nullptr) abort();
        const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
        if (delay == 0 || delay < -1) abort();  // -1: the frame shown stays
    }
    g_object_unref(iter);
    G_GNUC_END_IGNORE_DEPRECATIONS
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t state = 2166136261u ^ uint32_t(size);
    for (size_t i = 0; i < size; i += 1 + i / 64) state = (state ^ data[i]) * 16777619u;
    Watch watch;
    ProgressiveLoad* load = BeginProgressiveLoad(SizeFunc, Prepared, Updated, &watch);
    if (load == nullptr) abort();
    bool ok = true;
    for (size_t at = 0; ok && at < size;) {
        state = state * 1103515245u + 12345u;
        const size_t piece = size_t(1) << ((state >> 16) % 17);
        const size_t n = std::min(size - at, size_t((state >> 8) % piece) + 1);
        GError* error = nullptr;
        ok = AddLoadBytes(load, data + at, n, &error);
        if (!ok && (error == nullptr || error->message == nullptr || error->message[0] == '\0')) abort();
        if (error != nullptr) g_error_free(error);
        at += n;
    }
    GError* error = nullptr;
    const bool ended = EndProgressiveLoad(load, &error);
    if (!ended && (error == nullptr || error->message == nullptr || error->message[0] == '\0')) abort();
    if (error != nullptr) g_error_free(error);
    if (watch.animation != nullptr) {
        if (ok && ended) PlayFrames(watch.animation);
        g_object_unref(watch.animation);
    }
    if (watch.pixbuf != nullptr) g_object_unref(watch.pixbuf);
    return 0;
}
