// The mode a picture's rows are decoded in, settled once its BODY is found:
// a guess where the file has no usable CAMG, the bits that mean nothing for
// the form dropped, and the halved colours of Extra-Half-Brite added.
#pragma once

#include <cstdint>

#include "records/picture_info.h"

namespace lanterna {

// Without a usable CAMG chunk the mode is guessed from size and depth; a
// 6-plane picture is HAM unless halfBriteWithoutMode. Finds darkestColour
// before any halved colours are added.
void SettlePictureMode(PictureInfo& picture, bool halfBriteWithoutMode);
void ExtendHalfBrite(uint8_t* colours, int32_t& colourCount);
// The colour of lowest luminance, the lowest index winning a tie.
uint8_t FindDarkestColour(const uint8_t* colours, int32_t count);

}  // namespace lanterna
