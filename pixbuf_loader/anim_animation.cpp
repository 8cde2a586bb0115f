// An iterator keeps the frame it shows rendered in a pixbuf of its own and
// the engine one frame ahead: the frame after is decoded as soon as the one
// before is shown, so its delay (ANHD's, in jiffies after the frame before)
// is known before it is due. A frame that fails to decode ends the playing
// on the frame before, as in the viewer.
#include "pixbuf_loader/anim_animation.h"

#include <algorithm>
#include <cstring>

#include "display/pixels/pixel_shape.h"
#include "ilbm/anim_reader.h"
#include "ilbm/memory_source.h"
#include "pixbuf_loader/row_rgb.h"

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace lanterna {
namespace {

constexpr int64_t MICROS_PER_JIFFY = 1000000 / 60;
constexpr int32_t MAX_FRAMES_PER_ADVANCE = 600;  // a late iterator catches up by at most this much

struct AnimAnimation {
    GdkPixbufAnimation parent;
    GdkPixbuf* still;
    uint8_t* bytes;  // null until the load ends, and after a load that failed
    size_t count;
    bool ended;      // the load is over
};

struct AnimAnimationClass {
    GdkPixbufAnimationClass parent_class;
};

struct AnimIter {
    GdkPixbufAnimationIter parent;
    AnimAnimation* animation;
    PictureReader* reader;     // null: not started, or over
    MemoryBytes memory[2];     // the sources of the reader and of the next pass's
    int32_t memoryInUse;
    GdkPixbuf* frame;          // the frame shown; null: the still
    AnimFrame next;            // decoded ahead, not yet shown
    bool ahead;
    bool over;                 // nothing follows the frame shown
    int32_t framesInFile;
    int64_t dueMicros;         // when `next` is shown
    int64_t nowMicros;         // the last advance
};

struct AnimIterClass {
    GdkPixbufAnimationIterClass parent_class;
};

GType anim_animation_get_type();
GType anim_iter_get_type();

G_DEFINE_TYPE(AnimAnimation, anim_animation, GDK_TYPE_PIXBUF_ANIMATION)
G_DEFINE_TYPE(AnimIter, anim_iter, GDK_TYPE_PIXBUF_ANIMATION_ITER)

AnimAnimation* AsAnimation(gpointer object) {
    return G_TYPE_CHECK_INSTANCE_CAST(object, anim_animation_get_type(), AnimAnimation);
}

AnimIter* AsIter(gpointer object) { return G_TYPE_CHECK_INSTANCE_CAST(object, anim_iter_get_type(), AnimIter); }

int64_t MicrosOf(const GTimeVal* time) {
    if (time == nullptr) return g_get_real_time();
    return int64_t(time->tv_sec) * G_USEC_PER_SEC + time->tv_usec;
}

// A reader over the animation's bytes, up to the first frame's BODY.
PictureReader* OpenOver(AnimIter& iter) {
    iter.memoryInUse ^= 1;
    MemoryBytes& memory = iter.memory[iter.memoryInUse];
    memory = MemoryBytes{iter.animation->bytes, iter.animation->count, 0};
    PictureReader* reader = nullptr;
    return OpenPictureReaderFrom(MemorySource(memory), PictureReadOptions{}, &reader) == 0 ? reader : nullptr;
}

void Stop(AnimIter& iter) {
    ClosePictureReader(iter.reader);
    iter.reader = nullptr;
    iter.ahead = false;
    iter.over = true;
}

// Decodes the frame after the one shown; at the end of a pass the file is
// read again from its start and the next pass begins.
void Advance(AnimIter& iter) {
    iter.ahead = false;
    int32_t r = NextPictureFrame(iter.reader, &iter.next);
    if (r == ANIM_END) {
        const AnimFrames* frames = PictureFrames(iter.reader);
        iter.framesInFile = frames->framesInFile;
        PictureReader* again = iter.framesInFile > 1 ? OpenOver(iter) : nullptr;
        if (again == nullptr) {
            Stop(iter);
            return;
        }
        const uint32_t firstDelay = iter.next.delayTicks;
        r = RestartPictureFrames(iter.reader, again, false);
        if (r == 0 && frames->loopsThroughSecond) {
            r = NextPictureFrame(iter.reader, &iter.next);
        } else if (r == 0) {
            iter.next = AnimFrame{};  // the first frame again, on show in the engine
            iter.next.delayTicks = std::max<uint32_t>(firstDelay, 1);
        }
    }
    if (r != 0) {
        Stop(iter);
        return;
    }
    iter.ahead = true;
    iter.dueMicros += int64_t(std::max<uint32_t>(iter.next.delayTicks, 1)) * MICROS_PER_JIFFY;
}

// The engine's frame on show into the iterator's pixbuf.
bool Render(AnimIter& iter) {
    if (iter.frame == nullptr) {
        GdkPixbuf* still = iter.animation->still;
        iter.frame = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, gdk_pixbuf_get_width(still),
                                    gdk_pixbuf_get_height(still));
        if (iter.frame == nullptr) return false;
    }
    const PictureInfo& info = PictureReaderInfo(iter.reader);
    const PixelAspect aspect = PixelAspectOfMode(info.modeId);
    int32_t colourCount = 0;
    const uint8_t* colours = PictureFrameColours(iter.reader, &colourCount);
    guchar* pixels = gdk_pixbuf_get_pixels(iter.frame);
    const size_t stride = size_t(gdk_pixbuf_get_rowstride(iter.frame));
    const size_t width = size_t(gdk_pixbuf_get_width(iter.frame));
    for (int32_t y = 0; y < int32_t{info.header.h}; ++y) {
        guchar* rgb = pixels + size_t(y * aspect.yScale) * stride;
        RowToRgb(info, PictureRow{PictureFrameRow(iter.reader, y), colours, y}, aspect.xScale == 2, rgb, nullptr);
        if (aspect.yScale == 2) std::memcpy(rgb + stride, rgb, width * 3);
    }
    return true;
}

// The first frame read and the second decoded, once the bytes are all in.
void Start(AnimIter& iter) {
    iter.reader = OpenOver(iter);
    if (iter.reader == nullptr || !PictureIsAnimation(iter.reader) || OpenPictureFrames(iter.reader) != 0) {
        Stop(iter);
        return;
    }
    PictureRow row;
    while (ReadPictureRow(iter.reader, &row) == 0) {
    }
    iter.dueMicros = iter.nowMicros;
    Advance(iter);
}

// --- the animation

void anim_animation_finalize(GObject* object) {
    AnimAnimation* animation = AsAnimation(object);
    g_clear_object(&animation->still);
    g_free(animation->bytes);
    G_OBJECT_CLASS(anim_animation_parent_class)->finalize(object);
}

gboolean AnimationIsStatic(GdkPixbufAnimation*) { return FALSE; }

GdkPixbuf* AnimationStill(GdkPixbufAnimation* object) { return AsAnimation(object)->still; }

void AnimationSize(GdkPixbufAnimation* object, int* width, int* height) {
    GdkPixbuf* still = AsAnimation(object)->still;
    if (width != nullptr) *width = gdk_pixbuf_get_width(still);
    if (height != nullptr) *height = gdk_pixbuf_get_height(still);
}

GdkPixbufAnimationIter* AnimationIter(GdkPixbufAnimation* object, const GTimeVal* start) {
    AnimIter* iter = AsIter(g_object_new(anim_iter_get_type(), nullptr));
    iter->animation = AsAnimation(g_object_ref(object));
    iter->nowMicros = MicrosOf(start);
    if (iter->animation->bytes != nullptr) Start(*iter);
    return &iter->parent;
}

void anim_animation_class_init(AnimAnimationClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = anim_animation_finalize;
    GdkPixbufAnimationClass* animation = GDK_PIXBUF_ANIMATION_CLASS(klass);
    animation->is_static_image = AnimationIsStatic;
    animation->get_static_image = AnimationStill;
    animation->get_size = AnimationSize;
    animation->get_iter = AnimationIter;
}

void anim_animation_init(AnimAnimation*) {}

// --- its iterators

void anim_iter_finalize(GObject* object) {
    AnimIter* iter = AsIter(object);
    ClosePictureReader(iter->reader);
    g_clear_object(&iter->frame);
    g_clear_object(&iter->animation);
    G_OBJECT_CLASS(anim_iter_parent_class)->finalize(object);
}

int IterDelay(GdkPixbufAnimationIter* object) {
    const AnimIter* iter = AsIter(object);
    if (!iter->ahead) {
        // Over, or never to start: the frame shown stays; not started yet: asked again soon.
        return iter->over || iter->animation->ended ? -1 : 20;
    }
    // A delay of up to 2^32 jiffies is more milliseconds than an int holds.
    return int(std::clamp<int64_t>((iter->dueMicros - iter->nowMicros) / 1000, 1, INT32_MAX));
}

GdkPixbuf* IterPixbuf(GdkPixbufAnimationIter* object) {
    AnimIter* iter = AsIter(object);
    return iter->frame != nullptr ? iter->frame : iter->animation->still;
}

gboolean IterLoading(GdkPixbufAnimationIter* object) {
    const AnimIter* iter = AsIter(object);
    return !iter->animation->ended && !iter->over;
}

gboolean IterAdvance(GdkPixbufAnimationIter* object, const GTimeVal* now) {
    AnimIter* iter = AsIter(object);
    iter->nowMicros = MicrosOf(now);
    if (iter->reader == nullptr && !iter->over && iter->animation->bytes != nullptr) Start(*iter);
    bool changed = false;
    for (int32_t n = 0; iter->ahead && iter->nowMicros >= iter->dueMicros; ++n) {
        if (n == MAX_FRAMES_PER_ADVANCE) {
            iter->dueMicros = iter->nowMicros;  // far behind: go on from now
        }
        if (!Render(*iter)) {
            Stop(*iter);
            break;
        }
        changed = true;
        Advance(*iter);
    }
    return changed;
}

void anim_iter_class_init(AnimIterClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = anim_iter_finalize;
    GdkPixbufAnimationIterClass* iter = GDK_PIXBUF_ANIMATION_ITER_CLASS(klass);
    iter->get_delay_time = IterDelay;
    iter->get_pixbuf = IterPixbuf;
    iter->on_currently_loading_frame = IterLoading;
    iter->advance = IterAdvance;
}

void anim_iter_init(AnimIter*) {}

}  // namespace

GdkPixbufAnimation* NewAnimAnimation(GdkPixbuf* still) {
    AnimAnimation* animation = AsAnimation(g_object_new(anim_animation_get_type(), nullptr));
    animation->still = GDK_PIXBUF(g_object_ref(still));
    return &animation->parent;
}

void SetAnimBytes(GdkPixbufAnimation* object, uint8_t* bytes, size_t count) {
    AnimAnimation* animation = AsAnimation(object);
    g_free(animation->bytes);
    animation->bytes = bytes;
    animation->count = count;
    animation->ended = true;
}

}  // namespace lanterna

G_GNUC_END_IGNORE_DEPRECATIONS
