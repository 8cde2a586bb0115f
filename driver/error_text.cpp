// The lookup that turns any result code into a line of text: the message
// table's row, or the system's fault text.
#include "driver/error_text.h"

#include "platform/dos/dos.h"

namespace lanterna {

namespace {
constexpr int32_t FAULT_BUFFER_SIZE = 256;
// The system's text for the last code that fell through the table; valid
// until the next such lookup.
char gFaultBuffer[FAULT_BUFFER_SIZE];
}  // namespace

const char* ErrorText(int32_t code) {
    if (const char* message = TableMessage(code)) {
        return message;
    }
    gFaultBuffer[0] = '\0';
    os::Fault(code, nullptr, gFaultBuffer, FAULT_BUFFER_SIZE);
    return gFaultBuffer;
}

}  // namespace lanterna
