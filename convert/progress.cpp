#include "convert/progress.h"

#include <cstdio>

#include "platform/dos/dos.h"

namespace lanterna {

void StartProgress(Progress* progress, const std::string& name) {
    progress->name = name;
    progress->terminal = os::IsInteractive(os::ErrorOutput());
    progress->shown = false;
    progress->start = progress->lastShown = std::chrono::steady_clock::now();
}

void ReportProgress(Progress* progress, int64_t done, int64_t total) {
    if (!progress->terminal || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - progress->start < std::chrono::milliseconds(500) ||
        (progress->shown && now - progress->lastShown < std::chrono::milliseconds(100))) {
        return;
    }
    progress->lastShown = now;
    progress->shown = true;
    std::fprintf(stderr, "\r%s: %3d%%", progress->name.c_str(), int(done * 100 / total));
    std::fflush(stderr);
}

void EndProgress(Progress* progress) {
    if (progress->shown) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    progress->shown = false;
}

}  // namespace lanterna
