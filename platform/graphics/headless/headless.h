// The headless backend: screens live in memory only.
//
// Environment, read when the backend starts (and again by
// ReloadHeadlessSettings, for tests):
//
//   LANTERNA_SNAPSHOTS=DIR   whenever drawn contents are about to be discarded
//                            (a screen with pixels written since it was opened
//                            or cleared is cleared again or closed), the whole
//                            screen as it looks through its palette at that
//                            moment is written as DIR/001.png, DIR/002.png, ...
//                            numbered on through the process.
//   LANTERNA_INPUT=T,T,...   one token is used each time a task waits for a
//                            window's input (a Wait whose mask holds the
//                            window's port signal while the port is empty):
//                              click   left button down and up
//                              middle  middle button down and up
//                              right   right button down and up
//                              esc     the Esc key (0x1B)
//                              ctrl-c  the Ctrl-C key (0x03)
//                              tab     the Tab key (0x09)
//                              pageup, pagedown
//                                      the Page Up or Page Down key (raw
//                                      key codes, no character)
//                              key:C   the character C; key:0xNN any code
//                              none    nothing at this wait
//                            Once the script is used up (or without one) every
//                            such wait gets a left click, so a run never hangs.
//                            An unknown token counts as a click.
//   LANTERNA_DRAW_INPUT=N:T,...
//                            input while drawing: token T (as above) arrives in
//                            the window when the Nth WritePixelArray call of
//                            the process happens (counting from 1), before it
//                            draws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {
struct Screen;
}

namespace os::headless {

struct InputEvent {
    uint32_t imClass = 0;
    uint16_t code = 0;
};

// The events of one token; false when the token is unknown. "none" is known
// and has no events.
bool ParseInputToken(const std::string& token, std::vector<InputEvent>& events);

// Reads the environment again: the snapshot directory, the input scripts,
// and starts the snapshot and WritePixelArray counts from the beginning.
void ReloadHeadlessSettings();

// Writes the screen through its palette as an 8-bit RGB PNG. False on failure.
bool WriteScreenPng(os::Screen* screen, const std::string& path);

}  // namespace os::headless
