// The compose table that Xlib reads while SDL starts.
//
// SDL's X11 driver opens an input method as it starts, and Xlib's own one
// reads and parses the locale's compose table then (several thousand lines
// for a UTF-8 locale, about 10 ms of a core, longer than everything else
// SDL's start-up does with the processor). The table only combines dead keys
// and the Compose key into accented characters; here every character key
// does the same thing (it ends the picture) and the keys that do something
// else (Esc, Tab, Ctrl-C) are not composed, so the start-up is pointed at an
// empty table. The variable is what it was again once SDL has started, so
// the programs started later (message boxes) see the user's own.
#pragma once

#include <string>

namespace os::sdl {

class EmptyComposeTableWhileStarting {
public:
    EmptyComposeTableWhileStarting();
    ~EmptyComposeTableWhileStarting();
    EmptyComposeTableWhileStarting(const EmptyComposeTableWhileStarting&) = delete;
    EmptyComposeTableWhileStarting& operator=(const EmptyComposeTableWhileStarting&) = delete;

private:
    bool had_ = false;
    bool set_ = false;
    std::string value_;
};

}  // namespace os::sdl
