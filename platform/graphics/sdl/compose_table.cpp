// XCOMPOSEFILE set to an empty file for the length of SDL's start-up.
#include "platform/graphics/sdl/compose_table.h"

#include <cstdlib>

namespace os::sdl {

namespace {
constexpr const char* kVariable = "XCOMPOSEFILE";
}  // namespace

EmptyComposeTableWhileStarting::EmptyComposeTableWhileStarting() {
    const char* value = std::getenv(kVariable);
    had_ = value != nullptr;
    if (had_) value_ = value;
    set_ = setenv(kVariable, "/dev/null", 1) == 0;
}

EmptyComposeTableWhileStarting::~EmptyComposeTableWhileStarting() {
    if (!set_) return;
    if (had_) {
        setenv(kVariable, value_.c_str(), 1);
    } else {
        unsetenv(kVariable);
    }
}

}  // namespace os::sdl
