// The program's message table and the lookup of any result code's text.
#pragma once

#include <cstdint>

#include "records/message_table.h"

namespace lanterna {

// The table's message, or the system's fault text for any other code.
const char* ErrorText(int32_t code);

}  // namespace lanterna
