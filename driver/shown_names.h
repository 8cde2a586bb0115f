// File names as the program shows them. A name is bytes: it may hold
// control characters (an escape sequence, a bell) that would work on the
// user's terminal, and bytes that are not UTF-8, which a window title or a
// message box cannot hold.
#pragma once

#include <string>

namespace lanterna {

// Each control character (C0, DEL, C1) and each byte that is not part of a
// valid UTF-8 character becomes "?", as ls shows names on a terminal.
std::string VisibleName(const char* name);
// The name for standard output: visible on a terminal, the exact bytes for
// a pipe or a file, which scripts may rely on.
std::string PrintedName(const char* name);
// Valid UTF-8: each byte that is not part of a valid character becomes
// U+FFFD; the rest is kept as it is.
std::string ValidUtf8(const std::string& text);

}  // namespace lanterna
