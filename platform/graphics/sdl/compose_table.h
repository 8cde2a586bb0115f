// The compose table that the keyboard libraries read while SDL starts.
//
// SDL's X11 driver opens an input method as it starts, and Xlib's own one
// reads and parses the locale's compose table then (several thousand lines
// for a UTF-8 locale, about 10 ms of a core, longer than everything else
// SDL's start-up does with the processor); on Wayland xkbcommon reads the
// same table when the keyboard's keymap arrives, which a compositor sends at
// once. The table only combines dead keys and the Compose key into accented
// characters; here every character key does the same thing (it ends the
// picture) and the keys that do something else (Esc, Tab, Ctrl-C) are not
// composed, so the start-up is pointed at a table without rules. It is a
// file of one comment held in memory, not an empty one: xkbcommon maps the
// file and reports an error for one of no bytes (such as /dev/null). When no
// such file can be made the start-up reads the user's own. The variable is
// set before SDL's start and stays so for the run: once SDL runs on a
// thread of its own the environment may not change under it. Its window
// needs no composed characters afterwards either.
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
    int fd_ = -1;  // the table in memory
    std::string value_;
};

}  // namespace os::sdl
