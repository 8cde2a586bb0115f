// The program's message table: the text of each of its own result codes.
// Codes without a row (DOS error numbers, CODE_NEXT and CODE_STOP) have the
// system's fault text instead; the lookup of any code is the caller's.
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
