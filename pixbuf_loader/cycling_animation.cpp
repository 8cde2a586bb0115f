// The animation's state is only the starting colours and ranges and the
// indices; each iterator steps its own copy of the colours from its start
// time, so two viewers of one animation never share a moving part.
#include "pixbuf_loader/cycling_animation.h"

#include <algorithm>
#include <cstring>

#include "records/cycle_steps.h"

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace lanterna {
namespace {

struct CyclingAnimation {
    GdkPixbufAnimation parent;
    GdkPixbuf* still;
    uint8_t* indices;
    int32_t width;
    int32_t height;
    bool halfBrite;
    bool loading;
    CycleRange ranges[MAX_CYCLE_RANGES];
    uint8_t colours[COLOUR_TABLE_BYTES];
};

struct CyclingAnimationClass {
    GdkPixbufAnimationClass parent_class;
};

struct CyclingIter {
    GdkPixbufAnimationIter parent;
    CyclingAnimation* animation;
    GdkPixbuf* frame;     // null until the colours first move
    bool frameStale;
    int64_t startMicros;  // the time of tick 0
    int64_t tick;         // ticks stepped so far
    CycleRange ranges[MAX_CYCLE_RANGES];
    uint8_t colours[COLOUR_TABLE_BYTES];
};

struct CyclingIterClass {
    GdkPixbufAnimationIterClass parent_class;
};

GType cycling_animation_get_type();
GType cycling_iter_get_type();

G_DEFINE_TYPE(CyclingAnimation, cycling_animation, GDK_TYPE_PIXBUF_ANIMATION)
G_DEFINE_TYPE(CyclingIter, cycling_iter, GDK_TYPE_PIXBUF_ANIMATION_ITER)

CyclingAnimation* AsAnimation(gpointer object) {
    return G_TYPE_CHECK_INSTANCE_CAST(object, cycling_animation_get_type(), CyclingAnimation);
}

CyclingIter* AsIter(gpointer object) {
    return G_TYPE_CHECK_INSTANCE_CAST(object, cycling_iter_get_type(), CyclingIter);
}

constexpr int64_t MAX_TICKS_STEPPED = 60 * 60 * 60;

int64_t MicrosOf(const GTimeVal* time) {
    if (time == nullptr) {
        return g_get_real_time();
    }
    return int64_t(time->tv_sec) * G_USEC_PER_SEC + time->tv_usec;
}

// --- the animation

void cycling_animation_finalize(GObject* object) {
    CyclingAnimation* animation = AsAnimation(object);
    g_clear_object(&animation->still);
    g_free(animation->indices);
    G_OBJECT_CLASS(cycling_animation_parent_class)->finalize(object);
}

gboolean AnimationIsStatic(GdkPixbufAnimation*) { return FALSE; }

GdkPixbuf* AnimationStill(GdkPixbufAnimation* object) { return AsAnimation(object)->still; }

void AnimationSize(GdkPixbufAnimation* object, int* width, int* height) {
    const CyclingAnimation* animation = AsAnimation(object);
    if (width != nullptr) *width = animation->width;
    if (height != nullptr) *height = animation->height;
}

GdkPixbufAnimationIter* AnimationIter(GdkPixbufAnimation* object, const GTimeVal* start) {
    CyclingAnimation* animation = AsAnimation(object);
    CyclingIter* iter = AsIter(g_object_new(cycling_iter_get_type(), nullptr));
    iter->animation = AsAnimation(g_object_ref(animation));
    iter->startMicros = MicrosOf(start);
    std::memcpy(iter->ranges, animation->ranges, sizeof iter->ranges);
    std::memcpy(iter->colours, animation->colours, sizeof iter->colours);
    return &iter->parent;
}

void cycling_animation_class_init(CyclingAnimationClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = cycling_animation_finalize;
    GdkPixbufAnimationClass* animation = GDK_PIXBUF_ANIMATION_CLASS(klass);
    animation->is_static_image = AnimationIsStatic;
    animation->get_static_image = AnimationStill;
    animation->get_size = AnimationSize;
    animation->get_iter = AnimationIter;
}

void cycling_animation_init(CyclingAnimation*) {}

// --- its iterators

void cycling_iter_finalize(GObject* object) {
    CyclingIter* iter = AsIter(object);
    g_clear_object(&iter->frame);
    g_clear_object(&iter->animation);
    G_OBJECT_CLASS(cycling_iter_parent_class)->finalize(object);
}

// The ticks until the next range steps: at least one.
int64_t TicksToNextStep(const CyclingIter* iter) {
    int64_t best = INT64_MAX;
    for (const CycleRange& range : iter->ranges) {
        if ((range.flags & RNG_ACTIVE) == 0) continue;
        const int64_t need = int64_t(CYCLE_STEP_THRESHOLD) - range.pad1;
        const int64_t ticks = need <= 0 ? 1 : (need + range.rate - 1) / range.rate;
        best = std::min(best, std::max<int64_t>(ticks, 1));
    }
    return best == INT64_MAX ? 1 : best;
}

int IterDelay(GdkPixbufAnimationIter* object) {
    return int(TicksToNextStep(AsIter(object)) * CYCLE_TICK_MICROS / 1000);
}

// The frame: the indices through the iterator's colours.
GdkPixbuf* IterPixbuf(GdkPixbufAnimationIter* object) {
    CyclingIter* iter = AsIter(object);
    const CyclingAnimation* animation = iter->animation;
    if (iter->tick == 0 || !iter->frameStale) {
        return iter->frame != nullptr && iter->tick != 0 ? iter->frame : animation->still;
    }
    if (iter->frame == nullptr) {
        iter->frame = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, animation->width, animation->height);
        if (iter->frame == nullptr) return animation->still;
    }
    const int stride = gdk_pixbuf_get_rowstride(iter->frame);
    guchar* pixels = gdk_pixbuf_get_pixels(iter->frame);
    for (int32_t y = 0; y < animation->height; ++y) {
        const uint8_t* in = animation->indices + size_t(y) * size_t(animation->width);
        guchar* out = pixels + size_t(y) * size_t(stride);
        for (int32_t x = 0; x < animation->width; ++x) {
            std::memcpy(out + 3 * x, iter->colours + 3 * size_t(in[x]), 3);
        }
    }
    iter->frameStale = false;
    return iter->frame;
}

gboolean IterLoading(GdkPixbufAnimationIter* object) { return AsIter(object)->animation->loading; }

// Steps every tick up to the current time, as the viewer's cycling task
// does; true when the colours moved.
gboolean IterAdvance(GdkPixbufAnimationIter* object, const GTimeVal* now) {
    CyclingIter* iter = AsIter(object);
    const int64_t elapsed = MicrosOf(now) - iter->startMicros;
    const int64_t target = elapsed < 0 ? iter->tick : elapsed / CYCLE_TICK_MICROS;
    // After a long pause (or a clock that jumped) only the last hour's
    // ticks are stepped: the colours move on as they would, at a bounded
    // cost.
    iter->tick = std::max(iter->tick, target - MAX_TICKS_STEPPED);
    bool changed = false;
    for (; iter->tick < target; ++iter->tick) {
        for (CycleRange& range : iter->ranges) {
            if ((range.flags & RNG_ACTIVE) != 0 && AdvancePhase(range)) {
                StepRange(iter->colours, range, iter->animation->halfBrite);
                changed = true;
            }
        }
    }
    iter->frameStale = iter->frameStale || changed;
    return changed;
}

void cycling_iter_class_init(CyclingIterClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = cycling_iter_finalize;
    GdkPixbufAnimationIterClass* iter = GDK_PIXBUF_ANIMATION_ITER_CLASS(klass);
    iter->get_delay_time = IterDelay;
    iter->get_pixbuf = IterPixbuf;
    iter->on_currently_loading_frame = IterLoading;
    iter->advance = IterAdvance;
}

void cycling_iter_init(CyclingIter*) {}

}  // namespace

GdkPixbufAnimation* NewCyclingAnimation(GdkPixbuf* still, const PictureInfo& info) {
    if (info.colours == nullptr || info.colourCount <= 0) {
        return nullptr;
    }
    const int32_t count = std::min(info.colourCount, COLOUR_TABLE_ENTRIES);
    const bool halfBrite = (info.modeId & EXTRA_HALFBRITE) != 0 && info.header.nPlanes == 6;
    CycleRange ranges[MAX_CYCLE_RANGES];
    std::memcpy(ranges, info.ranges, sizeof ranges);
    int32_t active = 0;
    for (CycleRange& range : ranges) {
        if (!RangeUsable(range, count, halfBrite)) {
            range.flags = int16_t(range.flags & ~RNG_ACTIVE);
        }
        active += (range.flags & RNG_ACTIVE) != 0 ? 1 : 0;
    }
    if (active == 0) {
        return nullptr;
    }
    const int32_t width = gdk_pixbuf_get_width(still);
    const int32_t height = gdk_pixbuf_get_height(still);
    uint8_t* indices = static_cast<uint8_t*>(g_try_malloc0(size_t(width) * size_t(height)));
    if (indices == nullptr) {
        return nullptr;
    }
    CyclingAnimation* animation = AsAnimation(g_object_new(cycling_animation_get_type(), nullptr));
    animation->still = GDK_PIXBUF(g_object_ref(still));
    animation->indices = indices;
    animation->width = width;
    animation->height = height;
    animation->halfBrite = halfBrite;
    animation->loading = true;
    std::memcpy(animation->ranges, ranges, sizeof ranges);
    std::memcpy(animation->colours, info.colours, COLOUR_TABLE_BYTES);
    return &animation->parent;
}

uint8_t* CyclingIndexRow(GdkPixbufAnimation* object, int32_t y) {
    CyclingAnimation* animation = AsAnimation(object);
    return animation->indices + size_t(y) * size_t(animation->width);
}

void EndCyclingLoad(GdkPixbufAnimation* object) { AsAnimation(object)->loading = false; }

}  // namespace lanterna

G_GNUC_END_IGNORE_DEPRECATIONS
