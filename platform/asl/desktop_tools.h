// The desktop's own tools (file chooser, message box) run as child
// processes, for the file requester and the Workbench start.
#pragma once

#include <string>
#include <vector>

namespace os::desktop {

// The headless backend was asked for (LANTERNA_DISPLAY=headless).
bool HeadlessRequested();
// A desktop session is there to show a dialog on (DISPLAY or WAYLAND_DISPLAY).
bool DisplayPresent();
// The full path of an executable found on PATH, or "" when there is none.
std::string FindProgram(const char* name);

// Runs `argv` (argv[0] a full path) with standard input and error on
// /dev/null, without a shell. When `output` is given it receives up to
// `maxOutput` bytes of the child's standard output (the rest is read and
// dropped so the child never blocks). Returns the child's exit status, or -1
// when it could not be started or did not exit normally.
int RunChild(const std::vector<std::string>& argv, std::string* output, size_t maxOutput);

}  // namespace os::desktop
