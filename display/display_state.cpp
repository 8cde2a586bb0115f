// The program-wide display record.
#include "display/display_state.h"

namespace lanterna {

DisplayState gDisplay;

}  // namespace lanterna
