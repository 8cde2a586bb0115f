// The LANTERNA_TRACE record (NotePresented in graphics_internal.h): the rows
// written since the last present, and a line per present that shows some.
#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/graphics_model.h"

namespace os::gfx {

namespace {
// LANTERNA_TRACE's file, opened when the backend is chosen; -1 without it.
int gTraceFd = -1;
}  // namespace

void OpenTrace() {
    const char* path = std::getenv("LANTERNA_TRACE");
    if (path == nullptr || *path == '\0') return;
    gTraceFd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void TraceWritten(ScreenPrivate* sp, uint32_t top, uint32_t bottom) {
    if (gTraceFd < 0) return;
    if (sp->tracedTop >= sp->tracedBottom) {
        sp->tracedTop = top;
        sp->tracedBottom = bottom;
        return;
    }
    if (top < sp->tracedTop) sp->tracedTop = top;
    if (bottom > sp->tracedBottom) sp->tracedBottom = bottom;
}

void NotePresented(Screen* screen) {
    if (gTraceFd < 0 || screen == nullptr || screen->priv == nullptr) return;
    ScreenPrivate* sp = screen->priv;
    if (sp->tracedTop >= sp->tracedBottom) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%" PRId64 " %" PRIu32 " %" PRIu32 "\n",
                                int64_t{now.tv_sec} * 1000000000 + now.tv_nsec, sp->tracedTop, sp->tracedBottom);
    if (n > 0 && write(gTraceFd, line, static_cast<size_t>(n)) != n) {
        close(gTraceFd);  // a trace that cannot be written is given up
        gTraceFd = -1;
    }
    sp->tracedTop = sp->tracedBottom = 0;
}

}  // namespace os::gfx
