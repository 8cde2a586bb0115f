// The picture reader: the one way in to reading a picture of the IFF family
// (ILBM, PBM, ACBM, RGB8, RGBN, DEEP), for the viewer and for any program that
// wants the rows. Shaped as a progressive decoder: open reads the file up to
// its BODY and settles the facts; then row by row, each in the form the
// pixel transfer takes; then close. Nothing here opens a screen, prints or
// reads the view options, and there is no state outside the reader: two
// readers may work on two tasks at once. Only memory is needed, and a file
// handle or the caller's source.
#pragma once

#include <cstdint>

#include "ilbm/decode_ahead.h"
#include "ilbm/ilbm_session.h"
#include "records/picture_info.h"
#include "records/row_buffers.h"

namespace lanterna {

struct PictureReadOptions {
    // A 6-plane picture without a usable CAMG is Extra-Half-Brite, not HAM.
    bool halfBriteWithoutMode = false;
    // A ByteRun1 BODY of at least this many unpacked bytes is decoded ahead
    // on a second task, for the kinds of rows allowed below (the caller
    // knows whether a processor is free for them).
    int64_t decodeAheadMinBytes = DECODE_AHEAD_MIN_BYTES;
    bool decodeAheadIndexRows = false;  // rows of colour indices (an 8-bit screen)
    bool decodeAheadRgbRows = false;    // rows converted to RGB (HAM, deep, line palettes)
    // The picture of a CAT or LIST to read, 0 for the first; each picture
    // is read with its own chunks alone.
    int32_t pictureIndex = 0;
};

struct PictureReader;

// One row as the reader hands it: valid until the next ReadPictureRow.
struct PictureRow {
    RowBuffers* rows = nullptr;        // planes, chunky indices or RGB (rows->pixelKind)
    const uint8_t* colours = nullptr;  // the colours of this row, its line colours applied; may be null
    int32_t y = 0;                     // the picture row
};

// What ReadPictureRow gives when the rows are over: the picture's end, or
// a BODY that holds no more whole rows (a cut file is read as far as it goes).
constexpr int32_t PICTURE_ROWS_END = 1;

// Reads up to the BODY. 0 with *reader set, or the result code that refuses
// the file (a DOS error, ERR_NOT_IFF, ERR_NOT_ILBM, ERR_CORRUPT,
// ERR_NO_SCREEN_MODE for rows no screen shows, 103 when memory runs out);
// *reader is then null and nothing is held.
int32_t OpenPictureReader(const char* path, const PictureReadOptions& options, PictureReader** reader);
int32_t OpenPictureReaderFrom(const PictureSource& source, const PictureReadOptions& options,
                              PictureReader** reader);
// How many pictures the file holds: 1 for a FORM, as many as it has
// pictures with their header for a CAT or LIST (0 for none). 0 with *count
// set, or the code of a file that cannot be read as IFF.
int32_t CountPictures(const char* path, int32_t* count);
// The facts, settled (mode, half-bright colours): valid until the close.
const PictureInfo& PictureReaderInfo(const PictureReader* reader);
// Checks the BODY's compression and starts its decoding: 0 or the code that
// refuses it (ERR_COMPRESSION, ERR_CORRUPT for a DEEP without its layout).
// ReadPictureRow does it first when the caller has not.
int32_t BeginPictureRows(PictureReader* reader);
// The next row: 0 with *row filled, PICTURE_ROWS_END, or the code that ends
// the picture. After anything but 0 there are no more rows.
int32_t ReadPictureRow(PictureReader* reader, PictureRow* row);
// Ends the rows before the picture's end or after it: the second task stops
// and its rows are freed; the facts stay until the close.
void EndPictureRows(PictureReader* reader);
// Releases everything, whatever state the reader is in. Null is ignored.
void ClosePictureReader(PictureReader* reader);

}  // namespace lanterna
