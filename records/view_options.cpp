// The one ViewOptions instance; everything off until the command line or the
// icons say otherwise.
#include "records/view_options.h"

namespace lanterna {

ViewOptions gViewOptions;

}  // namespace lanterna
