// Display parameters of one picture: pixel aspect, background pen and the
// screen depth, from the facts the reader settled.
#include "display/display.h"
#include "display/pixels/pixel_shape.h"
#include "records/row_buffers.h"

namespace lanterna {

DisplayParameters ChooseDisplayParameters(const PictureInfo& picture) {
    const BitMapHeader& header = picture.header;
    const uint32_t mode = picture.modeId;
    const bool ham = (mode & HAM) != 0;
    const bool trueColour = IsTrueColourForm(picture.formType);
    DisplayParameters display;

    const PixelAspect aspect = PixelAspectOfMode(mode);
    display.xScale = aspect.xScale;
    display.yScale = aspect.yScale;

    // The pen is chosen among the file's own colours, before half-brite.
    if (header.nPlanes <= 8 && !ham && !trueColour && !HasLinePalettes(picture)) {
        display.backgroundPen = picture.darkestColour;
    }

    // RGB8 and RGBN are true colour whatever their plane count (25 and 13,
    // counting the genlock bit); a PBM is at most 8 bits a pixel. A planar
    // picture with a palette for every line (SHAM, CTBL) needs more colours
    // than one screen palette holds: its rows are converted to RGB.
    display.depth = (header.nPlanes > 8 || ham || trueColour || HasLinePalettes(picture)) ? 24 : 8;
    return display;
}

}  // namespace lanterna
