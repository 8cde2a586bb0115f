// The facts the window's F1 overlay shows of a picture.
#include <gtest/gtest.h>

#include "driver/picture_facts.h"
#include "records/ilbm_records.h"

namespace lanterna {
namespace {

PictureInfo Picture(uint16_t w, uint16_t h, uint8_t planes) {
    PictureInfo info;
    info.header.w = w;
    info.header.h = h;
    info.header.pageWidth = 320;
    info.header.pageHeight = 200;
    info.header.nPlanes = planes;
    info.header.compression = cmpByteRun1;
    return info;
}

TEST(PictureFacts, FileFormSizePlanesModeColoursRangesAndCompression) {
    PictureInfo info = Picture(896, 860, 5);
    info.hasMode = true;
    info.modeId = HIRES | LACE;
    info.colourCount = 32;
    info.rangeCount = 3;
    info.ranges[0].flags = RNG_ACTIVE;
    info.ranges[2].flags = RNG_ACTIVE | RNG_REVERSE;
    EXPECT_EQ(PictureFacts("/pictures/king_tut.iff", info, 8),
              "File: /pictures/king_tut.iff\n"
              "Form: ILBM\n"
              "Size: 896 x 860, page 320 x 200\n"
              "Planes: 5\n"
              "Display mode: colour-mapped, high resolution, interlaced (CAMG 0x00008004), 8-bit screen\n"
              "Colours: 32 in the colour map\n"
              "Colour ranges: 3, 2 marked active\n"
              "Compression: ByteRun1");
}

TEST(PictureFacts, KindsOfPictureAndWhatTheFileLeftOut) {
    PictureInfo ham = Picture(320, 200, 6);
    ham.modeId = HAM;  // guessed: no CAMG
    ham.colourCount = 16;
    ham.header.compression = cmpNone;
    const std::string facts = PictureFacts("ham.iff", ham, 24);
    EXPECT_NE(facts.find("Display mode: HAM6, low resolution (no CAMG: chosen by size), 24-bit screen\n"),
              std::string::npos) << facts;
    EXPECT_NE(facts.find("Colour ranges: none\n"), std::string::npos) << facts;
    EXPECT_NE(facts.find("Compression: none"), std::string::npos) << facts;

    PictureInfo ehb = Picture(320, 200, 6);
    ehb.hasMode = true;
    ehb.modeId = EXTRA_HALFBRITE;
    EXPECT_NE(PictureFacts("e", ehb, 8).find("Display mode: Extra-Half-Brite, low resolution (CAMG 0x00000080)"),
              std::string::npos);
    // HAM bits mean nothing to a PBM's colour indices.
    PictureInfo pbm = Picture(320, 200, 8);
    pbm.formType = ID_PBM;
    pbm.modeId = HAM;
    EXPECT_NE(PictureFacts("p", pbm, 8).find("Form: PBM\nSize"), std::string::npos);
    EXPECT_NE(PictureFacts("p", pbm, 8).find("Display mode: colour-mapped"), std::string::npos);
    EXPECT_NE(PictureFacts("p", pbm, 8).find("Colours: no colour map\n"), std::string::npos);

    PictureInfo rgbn = Picture(64, 64, 13);
    rgbn.formType = ID_RGBN;
    rgbn.header.compression = cmpRgbn;
    EXPECT_NE(PictureFacts("r", rgbn, 24).find("Display mode: true colour"), std::string::npos);
    EXPECT_NE(PictureFacts("r", rgbn, 24).find("Compression: RGBN run-length"), std::string::npos);
    // The same coding number in an ILBM is no known compression.
    PictureInfo odd = Picture(8, 8, 1);
    odd.header.compression = cmpRgbn;
    EXPECT_NE(PictureFacts("o", odd, 8).find("Compression: unknown (4)"), std::string::npos);

    PictureInfo deep = Picture(64, 64, 24);
    deep.formType = ID_DEEP;
    deep.deep.compression = deepTvdc;
    EXPECT_NE(PictureFacts("d", deep, 8).find("Compression: TVPaint deltas (TVDC)"), std::string::npos);
    EXPECT_EQ(PictureFacts(nullptr, deep, 8).rfind("File: \n", 0), 0u);
}

}  // namespace
}  // namespace lanterna
