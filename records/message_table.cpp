#include "records/message_table.h"

namespace lanterna {

// Table order is the order the messages were added in, not code order; the
// lookup walks it to the first match.
const ErrorEntry ErrorTable[] = {
    {30001, "Error opening intuition.library v39"},
    {30002, "Error opening graphics.library v39"},
    {30004, "Error opening utility.library v37"},
    {30003, "Error opening icon.library v37"},
    {30005, "Error opening asl.library v37"},
    {30006, "Error opening iffparse.library v40"},
    {30007, "Error opening cybergraphics.library v40"},
    {30012, "Error opening window"},
    {30013, "Error opening screen"},
    {30011, "Out of memory"},
    {30008, "Error opening message port"},
    {30009, "Error allocating timer request"},
    {30010, "Error opening timer.device"},
    {30014, "Error allocating file requester"},
    {30029, "Requested screen mode is not available"},
    {30030, "Requested screen size is too large"},
    {30031, "Requested number of colours not available"},
    {30032, "Not enough memory for double-buffering"},
    {30033, "Background screen did not open"},
    {30027, "Unknown compression format"},
    {30028, "Not an IFF-ILBM file"},
    {30016, "Reached logical end of file"},
    {30017, "About to leave context"},
    {30018, "No valid scope for property"},
    {30019, "Internal memory allocation failed"},
    {30020, "Stream read error"},
    {30021, "Stream write error"},
    {30022, "Stream seek error"},
    {30023, "Data in file is corrupt"},
    {30024, "IFF syntax error"},
    {30025, "Not an IFF file"},
    {30026, "No call-back hook provided"},
    {0, nullptr},
};

const char* TableMessage(int32_t code) {
    for (const ErrorEntry* entry = ErrorTable; entry->message != nullptr; ++entry) {
        if (entry->code == code) {
            return entry->message;
        }
    }
    return nullptr;
}

}  // namespace lanterna
