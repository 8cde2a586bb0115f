// XCOMPOSEFILE set to a table without rules, held in memory, for the length
// of SDL's start-up.
#include "platform/graphics/sdl/compose_table.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace os::sdl {

namespace {
constexpr const char* kVariable = "XCOMPOSEFILE";
constexpr char kTable[] = "# no compose sequences while the viewer starts\n";
}  // namespace

EmptyComposeTableWhileStarting::EmptyComposeTableWhileStarting() {
    fd_ = memfd_create("lanterna-compose", MFD_CLOEXEC);
    if (fd_ < 0) return;
    const ssize_t length = static_cast<ssize_t>(std::strlen(kTable));
    if (write(fd_, kTable, static_cast<size_t>(length)) != length) return;
    const char* value = std::getenv(kVariable);
    had_ = value != nullptr;
    if (had_) value_ = value;
    const std::string path = "/proc/self/fd/" + std::to_string(fd_);
    set_ = setenv(kVariable, path.c_str(), 1) == 0;
}

EmptyComposeTableWhileStarting::~EmptyComposeTableWhileStarting() {
    if (set_) {
        if (had_) {
            setenv(kVariable, value_.c_str(), 1);
        } else {
            unsetenv(kVariable);
        }
    }
    if (fd_ >= 0) close(fd_);
}

}  // namespace os::sdl
