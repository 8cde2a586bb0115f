#include "display/picture_step.h"

namespace lanterna {

PictureStep gPictureStep = PictureStep::NEXT;

}  // namespace lanterna
