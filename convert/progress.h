// A progress line on standard error for long work, when a person reads it
// there (a terminal): nothing for a pipe or a file, nothing for short work.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace lanterna {

struct Progress {
    std::string name;
    bool terminal = false;
    bool shown = false;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastShown;
};

void StartProgress(Progress* progress, const std::string& name);
// done of total steps; shown after half a second, at most ten times a second.
void ReportProgress(Progress* progress, int64_t done, int64_t total);
// Clears the line when one was shown.
void EndProgress(Progress* progress);

}  // namespace lanterna
