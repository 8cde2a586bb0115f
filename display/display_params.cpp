// Display parameters of one picture: view mode, pixel aspect, background pen,
// half-brite colours and the screen depth.
#include "display/display.h"
#include "display/palette.h"
#include "display/pixel_transfer.h"

namespace lanterna {

bool HasLinePalettes(const PictureInfo& picture) {
    return (picture.linePaletteCount > 0 || picture.paletteChanges != nullptr) && picture.header.nPlanes <= 8 &&
           (picture.formType == ID_ILBM || picture.formType == ID_ACBM);
}

void ChooseDisplayParameters(PictureInfo& picture, const ViewOptions& options) {
    const BitMapHeader& header = picture.header;

    // Without a usable CAMG chunk the mode is guessed from size and depth;
    // a 6-plane picture is HAM unless only the EHB option asks otherwise.
    if (!picture.hasMode) {
        uint32_t mode = 0;
        if (header.w > 639) {
            mode |= HIRES;
        }
        if (header.h > 399) {
            mode |= LACE;
        }
        if (header.nPlanes == 6) {
            mode |= (options.ehb && !options.ham) ? EXTRA_HALFBRITE : HAM;
        }
        picture.modeId = mode;
    }
    // A PBM row holds colour indices, and RGB8 and RGBN rows hold colours,
    // never HAM codes or half-brite values: only the aspect bits of their
    // mode mean anything.
    const bool trueColour = IsTrueColourForm(picture.formType);
    if (picture.formType == ID_PBM || trueColour) {
        picture.modeId &= ~(HAM | EXTRA_HALFBRITE);
    }
    const uint32_t mode = picture.modeId;
    const bool hires = (mode & HIRES) != 0;
    const bool lace = (mode & LACE) != 0;
    const bool ham = (mode & HAM) != 0;

    // High resolution without interlace has tall pixels, interlace without
    // high resolution wide ones.
    picture.xScale = 1;
    picture.yScale = 1;
    if (hires && !lace) {
        picture.yScale = 2;
    } else if (lace && !hires) {
        picture.xScale = 2;
    }

    // The pen is chosen among the file's own colours, before half-brite.
    picture.backgroundPen = 0;
    if (header.nPlanes <= 8 && !ham && !trueColour && !HasLinePalettes(picture)) {
        picture.backgroundPen = FindDarkestColour(picture.colours, picture.colourCount);
    }

    if ((mode & EXTRA_HALFBRITE) != 0 && header.nPlanes == 6) {
        ExtendHalfBrite(picture.colours, picture.colourCount);
    }

    // RGB8 and RGBN are true colour whatever their plane count (25 and 13,
    // counting the genlock bit); a PBM is at most 8 bits a pixel. A planar
    // picture with a palette for every line (SHAM, CTBL) needs more colours
    // than one screen palette holds: its rows are converted to RGB.
    picture.displayDepth = (header.nPlanes > 8 || ham || trueColour || HasLinePalettes(picture)) ? 24 : 8;
}

}  // namespace lanterna
