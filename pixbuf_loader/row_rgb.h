// One row of the reader as the RGB bytes of a pixbuf's row, and, for rows of
// colour indices, the indices themselves (what cycling recolours).
#pragma once

#include <cstdint>

#include "ilbm/picture_reader.h"

namespace lanterna {

// Whether the picture's rows are colour indices shown through its one colour
// map: ILBM, ACBM and PBM without HAM and without colours of each line. Only
// those can cycle.
bool RowsAreMappedIndices(const PictureInfo& info);

// Writes the row's pixels as red, green, blue into `rgb`, each twice with
// doubleWidth (wide pixels); with `indices`, a row of colour indices also
// leaves them there (one byte a pixel). Colours the file lacks are black.
void RowToRgb(const PictureInfo& info, const PictureRow& row, bool doubleWidth, uint8_t* rgb, uint8_t* indices);

}  // namespace lanterna
