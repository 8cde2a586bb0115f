// The reader's record, shared by the reader and its animation glue
// (anim_reader.cpp); no other folder sees it.
#pragma once

#include "ilbm/body_decoding.h"
#include "ilbm/acbm_decoding.h"
#include "ilbm/anim_header.h"
#include "ilbm/picture_reader.h"

namespace lanterna {

struct PictureAnim;

// How a BODY is decoded, chosen by its form and compression.
enum class RowSource { Plain, ByteRun1, Rgb8, Rgbn, Abit, Deep };

struct PictureReader {
    PictureInfo info;
    PictureReadOptions options;
    os::IFFHandle* iff = nullptr;
    os::ContextNode body{};         // the BODY (ABIT, DBOD) chunk the reading stopped at
    RowBuffers* rows = nullptr;
    RowBuffers* wideRgb = nullptr;   // 16 bits a component: the RGB row made of the planes
    uint8_t* lineColours = nullptr;  // the colours of the current row, with SHAM, CTBL or PCHG
    BodyReader* bodyReader = nullptr;
    AbitReader* abit = nullptr;      // ACBM only
    DecodeAhead* ahead = nullptr;
    RowSource source = RowSource::Plain;
    int32_t planeRows = 0;
    int32_t next = 0;                // the next picture row
    bool headerSeen = false;
    bool colourMapSeen = false;      // a CMAP was read: a CMYK is passed over
    bool begun = false;
    int32_t ended = 0;               // not 0: what every later row call gives
    bool inAnimation = false;        // the picture is the first frame of a FORM ANIM
    DisplayPan pan;                  // the picture's DPAN (an animation's frame count and speed)
    PictureAnim* anim = nullptr;     // its frames, once opened
    int32_t picturesPassed = 0;      // pictures of a CAT or LIST read past, toward options.pictureIndex
};

// The first frame's row just decoded, kept in the frame buffer of an
// animation (anim_reader.cpp).
void KeepFirstFrameRow(PictureAnim* anim, const RowBuffers* rows, int32_t y);

}  // namespace lanterna
