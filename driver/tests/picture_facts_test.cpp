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
    info.hasMode = info.hasCamg = true;
    info.camg = 0x00008884;  // half-brite bit and old junk, dropped for a 5-plane picture
    info.modeId = HIRES | LACE;
    info.colourCount = 32;
    info.rangeCount = 4;
    info.ranges[0] = CycleRange{0, 8192, RNG_ACTIVE, 2, 9};
    info.ranges[1] = CycleRange{0, 8192, 0, 2, 9};                          // not active
    info.ranges[2] = CycleRange{0, 8192, RNG_ACTIVE | RNG_REVERSE, 9, 9};  // low == high
    info.ranges[3] = CycleRange{0, 0, RNG_ACTIVE, 1, 4};                    // rate 0
    EXPECT_EQ(PictureFacts("/pictures/king_tut.iff", info, 8, RunPlace{3, 7}),
              "File: /pictures/king_tut.iff\n"
              "Picture: 3 of 7 in the run\n"
              "Form: ILBM\n"
              "Size: 896 x 860, page 320 x 200\n"
              "Planes: 5\n"
              "Display mode in the file: CAMG 0x00008884\n"
              "Display mode used: 0x00008004, colour-mapped, high resolution, interlaced, 8-bit screen\n"
              "Colours: 32 in the colour map\n"
              "Colour ranges: 4, 3 marked active, 1 cycling\n"
              "Compression: ByteRun1");
    // On a true-colour screen nothing cycles; a count not known is left out.
    const std::string deep = PictureFacts("k", info, 24, RunPlace{3, 0});
    EXPECT_NE(deep.find("Colour ranges: 4, 3 marked active, 0 cycling\n"), std::string::npos) << deep;
    EXPECT_NE(deep.find("\nPicture: 3 in the run\n"), std::string::npos) << deep;
    EXPECT_EQ(PictureFacts("k", info, 8).find("Picture:"), std::string::npos);
}

TEST(PictureFacts, KindsOfPictureAndWhatTheFileLeftOut) {
    PictureInfo ham = Picture(320, 200, 6);
    ham.modeId = HAM;  // guessed: no CAMG
    ham.colourCount = 16;
    ham.header.compression = cmpNone;
    const std::string facts = PictureFacts("ham.iff", ham, 24);
    EXPECT_NE(facts.find("Display mode in the file: none (no CAMG)\n"
                         "Display mode used: 0x00000800 chosen by size, HAM6, low resolution, 24-bit screen\n"),
              std::string::npos) << facts;
    EXPECT_NE(facts.find("Colour ranges: none\n"), std::string::npos) << facts;
    EXPECT_NE(facts.find("Compression: none"), std::string::npos) << facts;

    PictureInfo ehb = Picture(320, 200, 6);
    ehb.hasMode = ehb.hasCamg = true;
    ehb.camg = ehb.modeId = EXTRA_HALFBRITE;
    EXPECT_NE(PictureFacts("e", ehb, 8).find("CAMG 0x00000080\nDisplay mode used: 0x00000080, Extra-Half-Brite, low"),
              std::string::npos);
    // A CAMG that is no mode word; a SHAM picture is shown in true colour.
    PictureInfo sham = Picture(320, 200, 4);
    sham.hasCamg = true;
    sham.camg = 0x12340000;
    sham.linePaletteCount = 200;
    const std::string shamFacts = PictureFacts("s", sham, 24);
    EXPECT_NE(shamFacts.find("CAMG 0x12340000, not a mode\nDisplay mode used: 0x00000000 chosen by size, true colour "
                             "(colours changed from line to line), low"),
              std::string::npos) << shamFacts;
    // HAM bits mean nothing to a PBM's colour indices.
    PictureInfo pbm = Picture(320, 200, 8);
    pbm.formType = ID_PBM;
    pbm.modeId = HAM;
    EXPECT_NE(PictureFacts("p", pbm, 8).find("Form: PBM\nSize"), std::string::npos);
    EXPECT_NE(PictureFacts("p", pbm, 8).find("Display mode used: 0x00000800 chosen by size, colour-mapped"), std::string::npos);
    EXPECT_NE(PictureFacts("p", pbm, 8).find("Colours: no colour map\n"), std::string::npos);

    PictureInfo rgbn = Picture(64, 64, 13);
    rgbn.formType = ID_RGBN;
    rgbn.header.compression = cmpRgbn;
    EXPECT_NE(PictureFacts("r", rgbn, 24).find(" chosen by size, true colour"), std::string::npos);
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
