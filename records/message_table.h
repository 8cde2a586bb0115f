// The programs' own messages, one row a result code: the viewer's and the
// converter's failures are told in the same words.
#pragma once

#include <cstdint>

namespace lanterna {

struct ErrorEntry {
    int32_t code;
    const char* message;  // null ends the table
};

extern const ErrorEntry ErrorTable[];

// The table's message for the code, or null when it has no row.
const char* TableMessage(int32_t code);

}  // namespace lanterna
