// The lookup of any result code's text over the message table.
#pragma once

#include <cstdint>

#include "records/message_table.h"

namespace lanterna {

// The table's message, or the system's fault text for any other code.
const char* ErrorText(int32_t code);

}  // namespace lanterna
