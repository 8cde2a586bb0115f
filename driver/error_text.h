// The program's message table and the lookup of any result code's text.
#pragma once

#include <cstdint>

namespace lanterna {

struct ErrorEntry {
    int32_t code;
    const char* message;  // null ends the table
};

extern const ErrorEntry ErrorTable[];

// The table's message, or the system's fault text for any other code.
const char* ErrorText(int32_t code);

}  // namespace lanterna
