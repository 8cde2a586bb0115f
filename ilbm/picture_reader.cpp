// The reader: the chunk loop up to the BODY, the decoder chosen by the form
// and the compression, the line colours of each row, and the decoding ahead.
#include "ilbm/picture_reader.h"

#include "ilbm/picture_reader_state.h"

#include <new>

#include "ilbm/acbm_decoding.h"
#include "ilbm/anim_header.h"
#include "ilbm/anim_reader.h"
#include "ilbm/body_decoding.h"
#include "ilbm/chunk_readers.h"
#include "ilbm/deep_chunks.h"
#include "ilbm/deep_decoding.h"
#include "ilbm/line_palettes.h"
#include "ilbm/palette_changes.h"
#include "ilbm/picture_mode.h"
#include "ilbm/rgbn_decoding.h"
#include "ilbm/wide_planes.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

// A reader or decoder gives either a result code of its own or a negative
// iffparse error, which is mapped into the program's range.
int32_t AsResult(int32_t value) { return value < 0 ? IffResultCode(value) : value; }

// A decoder's result for a row: 0 for a row, PICTURE_ROWS_END when the data
// ran out, or the code that ends the picture.
int32_t DecodedRowResult(int32_t got) { return got == -1 ? PICTURE_ROWS_END : AsResult(got); }

uint32_t BodyChunkOf(uint32_t formType) {
    return formType == ID_ACBM ? ID_ABIT : formType == ID_DEEP ? ID_DBOD : ID_BODY;
}

// The BODY found: the facts are settled and the rows allocated. A plane
// count no screen can show is a missing display mode, not a lack of memory.
int32_t PrepareRows(PictureReader& reader, const os::ContextNode* chunk) {
    PictureInfo& info = reader.info;
    reader.body = *chunk;
    info.formType = chunk->cn_Type;
    const os::ContextNode* form = os::ParentChunk(reader.iff, chunk);
    const os::ContextNode* outer = os::ParentChunk(reader.iff, form);
    reader.inAnimation = outer != nullptr && outer->cn_ID == os::ID_FORM && outer->cn_Type == ID_ANIM;
    if (!RowsCanBeShown(info.header, info.formType)) {
        return ERR_NO_SCREEN_MODE;
    }
    // Property chunks may come before the header: what depends on it is
    // settled here, whatever their order.
    const int32_t rowCount = info.header.h > 0 ? int32_t{info.header.h} : 1;
    if (info.linePaletteCount > rowCount) info.linePaletteCount = rowCount;
    SettlePictureMode(info, reader.options.halfBriteWithoutMode);
    const bool linePalettes = HasLinePalettes(info);
    reader.rows = AllocRowBuffers(info.header, info.modeId, info.formType, linePalettes);
    if (reader.rows == nullptr) {
        return os::ERROR_NO_FREE_STORE;
    }
    if (reader.rows->pixelKind == PIXEL_WIDE_PLANES) {
        // The rows handed on are RGB, as those of RGB8 are.
        reader.wideRgb = AllocRowBuffers(info.header, 0, ID_RGB8);
        if (reader.wideRgb == nullptr) {
            return os::ERROR_NO_FREE_STORE;
        }
    }
    if (linePalettes) {
        reader.lineColours = static_cast<uint8_t*>(os::AllocVec(COLOUR_TABLE_BYTES, os::MEMF_ANY));
        if (reader.lineColours == nullptr) {
            return os::ERROR_NO_FREE_STORE;
        }
    }
    // A PBM or RGB row is one row of its own; an ILBM or ACBM row is its
    // planes and the mask plane of a masked picture.
    const bool ownRows = info.formType == ID_PBM || IsTrueColourForm(info.formType);
    reader.planeRows =
        ownRows ? 1 : int32_t{info.header.nPlanes} + (info.header.masking == mskHasMask ? 1 : 0);
    return 0;
}

// The chunks of a picture read past, so that the next one gets none of them.
void ForgetPicture(PictureReader& reader) {
    PictureInfo& info = reader.info;
    os::FreeVec(info.colours);
    os::FreeVec(info.linePalettes);
    FreePaletteChanges(info.paletteChanges);
    info = PictureInfo{};
    reader.pan = DisplayPan{};
    reader.headerSeen = false;
    reader.colourMapSeen = false;
}

// Whether a BODY chunk is the pixels of a picture: its form's own, after
// the header.
bool IsPictureBody(const os::ContextNode* chunk, bool headerSeen) {
    return headerSeen && chunk->cn_ID == BodyChunkOf(chunk->cn_Type);
}

// Reads the chunk the scan stopped at. 0, or the code that refuses the
// file; *atBody is set at the BODY.
int32_t ReadChunk(PictureReader& reader, const os::ContextNode* chunk, bool* atBody) {
    PictureInfo& info = reader.info;
    os::IFFHandle* iff = reader.iff;
    switch (chunk->cn_ID) {
        case ID_BMHD: {
            const int32_t result = ReadBitMapHeader(iff, info);
            reader.headerSeen = true;
            return AsResult(result);
        }
        case ID_DGBL: {
            // The header of a DEEP.
            const int32_t result = ReadDeepGlobals(iff, info);
            reader.headerSeen = true;
            return AsResult(result);
        }
        case ID_DPEL:
            return AsResult(ReadDeepPixelFormat(iff, chunk->cn_Size, info));
        case ID_DLOC:
            return AsResult(ReadDeepLocation(iff, info));
        case ID_TVDC:
            return AsResult(ReadTvdcTable(iff, info));
        case ID_CMAP:
            reader.colourMapSeen = true;
            return AsResult(ReadColourMap(iff, chunk->cn_Size, info));
        case ID_CMYK:
            // A CMAP wins over a CMYK, whichever comes first.
            return reader.colourMapSeen ? 0 : AsResult(ReadCmykColourMap(iff, chunk->cn_Size, info));
        case ID_CAMG:
            return AsResult(ReadDisplayMode(iff, info));
        case ID_CRNG:
            // CRNG and CCRT share the eight slots in file order; later ones are skipped.
            return info.rangeCount < MAX_CYCLE_RANGES ? AsResult(ReadColourRange(iff, info)) : 0;
        case ID_SHAM:
        case ID_CTBL:
            // A SHAM starts with its version word; a CTBL has none.
            return ReadLinePalettes(iff, chunk->cn_Size, chunk->cn_ID == ID_SHAM, reader.headerSeen, info);
        case ID_PCHG:
            return AsResult(ReadPaletteChanges(iff, chunk->cn_Size, info));
        case ID_CCRT:
            return info.rangeCount < MAX_CYCLE_RANGES ? AsResult(ReadCycleTiming(iff, info)) : 0;
        case ID_DPAN: {
            // An animation's frame count and speed; one too short is passed over.
            uint8_t data[DPAN_SIZE];
            if (chunk->cn_Size < DPAN_SIZE) return 0;
            const int32_t got = os::ReadChunkBytes(iff, data, DPAN_SIZE);
            if (got < 0) return AsResult(got);
            if (got == DPAN_SIZE) ParseDisplayPan(data, DPAN_SIZE, &reader.pan);
            return 0;
        }
        case ID_BODY:
        case ID_ABIT:
        case ID_DBOD:
            // A BODY before any BMHD cannot be decoded; look for a later one.
            // The planes of an ACBM are its ABIT, the pixels of a DEEP its
            // DBOD; other forms have a BODY.
            if (!IsPictureBody(chunk, reader.headerSeen)) {
                return 0;
            }
            if (reader.picturesPassed < reader.options.pictureIndex) {
                // A picture before the one asked for: the next starts afresh.
                ++reader.picturesPassed;
                ForgetPicture(reader);
                return 0;
            }
            *atBody = true;
            return PrepareRows(reader, chunk);
        default:
            return 0;
    }
}

// The chunks up to the BODY.
int32_t ReadToBody(PictureReader& reader) {
    const int32_t registered = RegisterIlbmStops(reader.iff);
    if (registered != 0) {
        return AsResult(registered);
    }
    int32_t scanEnd = 0;
    bool atBody = false;
    while (!atBody) {
        os::ContextNode* chunk = nullptr;
        scanEnd = ScanNextChunk(reader.iff, &chunk);
        if (scanEnd != 0) {
            break;
        }
        if (chunk == nullptr) {
            break;  // nothing to act on: treat as the end of the file
        }
        const int32_t code = ReadChunk(reader, chunk, &atBody);
        if (code != 0) {
            return code;
        }
    }
    if (scanEnd != 0 && scanEnd != os::IFFERR_EOF) {
        return IffResultCode(scanEnd);
    }
    return atBody ? 0 : ERR_NOT_ILBM;
}

int32_t Open(os::IFFHandle* iff, const PictureReadOptions& options, PictureReader** out) {
    *out = nullptr;
    if (iff == nullptr) {
        // Without a DOS code (no memory for the handle) the failure must
        // still not read as success.
        const int32_t code = os::IoErr();
        return code != 0 ? code : os::ERROR_NO_FREE_STORE;
    }
    void* memory = os::AllocVec(sizeof(PictureReader), os::MEMF_ANY);
    if (memory == nullptr) {
        CloseIlbmSession(iff);
        return os::ERROR_NO_FREE_STORE;
    }
    auto* reader = new (memory) PictureReader;
    reader->iff = iff;
    reader->options = options;
    const int32_t result = ReadToBody(*reader);
    if (result != 0) {
        ClosePictureReader(reader);
        return result;
    }
    *out = reader;
    return 0;
}

// Whether this BODY is decoded ahead: a large ByteRun1 BODY, for rows the
// caller allowed it for; a task that cannot start leaves the rows to this one.
void MaybeDecodeAhead(PictureReader& reader) {
    const PictureInfo& info = reader.info;
    const uint32_t kind = reader.rows->pixelKind;
    const bool indexRows = kind == PIXEL_COLOUR_MAPPED || kind == PIXEL_CHUNKY;
    const bool allowed = indexRows ? reader.options.decodeAheadIndexRows : reader.options.decodeAheadRgbRows;
    const int64_t unpacked = int64_t{reader.planeRows} * reader.rows->planeView.BytesPerRow * info.header.h;
    if (reader.source == RowSource::ByteRun1 && allowed && unpacked >= reader.options.decodeAheadMinBytes) {
        reader.ahead = StartDecodeAhead(reader.bodyReader, info.header, info.modeId, info.formType,
                                        reader.lineColours != nullptr, reader.planeRows, int32_t{info.header.h});
    }
}

// Fills the reader's rows with the next picture row: 0, PICTURE_ROWS_END
// when the data is over, or the code that ends the picture.
int32_t DecodeRow(PictureReader& reader) {
    int32_t got = 0;
    switch (reader.source) {
        case RowSource::Plain:
            // 0: a full row, or the BODY ended at a plane-row boundary and the
            // plane rows keep what they last held.
            got = ReadPlainRow(reader.iff, reader.rows, reader.planeRows);
            if (got < 0) {
                // A file cut short inside the BODY: the rows before stand.
                return IlbmBytesAtEnd(reader.iff) >= 0 ? PICTURE_ROWS_END : IffResultCode(got);
            }
            return got > 0 ? ERR_CORRUPT : 0;  // a positive count: the data stops inside a plane row
        case RowSource::ByteRun1:
            got = DecodeByteRun1Row(reader.bodyReader, reader.rows, reader.planeRows);
            break;
        case RowSource::Rgb8:
        case RowSource::Rgbn:
            got = DecodeRgbnRow(reader.bodyReader, reader.rows, reader.source == RowSource::Rgbn);
            break;
        case RowSource::Abit:
            got = ReadAbitRow(reader.abit, reader.rows, reader.planeRows);
            break;
        case RowSource::Deep:
            got = DecodeDeepRow(reader.bodyReader, reader.rows, reader.info.deep);
            break;
    }
    return DecodedRowResult(got);  // -1: the data ran out
}

// The colours of row r. With a palette for every line, the row's own; they
// change only while there are palettes left (the last one stays in force).
// Palette changes (PCHG) win over SHAM and CTBL, whichever came first: they
// start from the colour map and build on the colours of the row before.
const uint8_t* RowColours(PictureReader& reader, int32_t r) {
    PictureInfo& info = reader.info;
    if (reader.lineColours == nullptr) {
        return info.colours;
    }
    if (info.paletteChanges != nullptr) {
        if (r == 0) {
            for (int32_t i = 0; i < COLOUR_TABLE_BYTES; ++i) {
                reader.lineColours[i] = info.colours != nullptr ? info.colours[i] : 0;
            }
        }
        const bool halfBrite = (info.modeId & EXTRA_HALFBRITE) != 0 && info.header.nPlanes == 6;
        ApplyPaletteChanges(*info.paletteChanges, r, reader.lineColours, halfBrite);
    } else if (r < info.linePaletteCount || r == 0) {
        LineColours(info, r, reader.lineColours);
    }
    return reader.lineColours;
}

}  // namespace

int32_t OpenPictureReader(const char* path, const PictureReadOptions& options, PictureReader** reader) {
    return Open(OpenIlbmSession(path), options, reader);
}

int32_t OpenPictureReaderFrom(const PictureSource& source, const PictureReadOptions& options,
                              PictureReader** reader) {
    return Open(OpenIlbmSessionFrom(source), options, reader);
}

int32_t CountPictures(const char* path, int32_t* count) {
    *count = 0;
    os::IFFHandle* iff = OpenIlbmSession(path);
    if (iff == nullptr) {
        const int32_t code = os::IoErr();
        return code != 0 ? code : os::ERROR_NO_FREE_STORE;
    }
    int32_t result = RegisterIlbmStops(iff);
    bool headerSeen = false;
    while (result == 0) {
        os::ContextNode* chunk = nullptr;
        const int32_t scanned = ScanNextChunk(iff, &chunk);
        if (scanned != 0 || chunk == nullptr) {
            if (scanned != 0 && scanned != os::IFFERR_EOF && *count == 0) result = IffResultCode(scanned);
            break;
        }
        if (iff->iff_Depth <= 2) {
            *count = 1;  // a chunk of a FORM at the top: one picture
            break;
        }
        const uint32_t id = chunk->cn_ID;
        if (id == ID_BMHD || id == ID_DGBL) {
            headerSeen = true;
        } else if ((id == ID_BODY || id == ID_ABIT || id == ID_DBOD) && IsPictureBody(chunk, headerSeen)) {
            ++*count;
            headerSeen = false;
        }
    }
    CloseIlbmSession(iff);
    return result;
}

const PictureInfo& PictureReaderInfo(const PictureReader* reader) { return reader->info; }

int32_t BeginPictureRows(PictureReader* reader) {
    if (reader->begun) {
        return reader->ended == PICTURE_ROWS_END ? 0 : reader->ended;
    }
    reader->begun = true;
    const PictureInfo& info = reader->info;
    const uint8_t compression = info.header.compression;
    RowSource source = RowSource::Plain;
    int32_t refused = 0;
    if (info.formType == ID_DEEP) {
        // A DEEP's pixels mean nothing without their layout; its own
        // compressions are in DGBL, and TVDC needs its table.
        const uint16_t deep = info.deep.compression;
        if (!info.deep.known) {
            refused = ERR_CORRUPT;
        } else if (deep != deepNone && deep != deepRunLength && deep != deepTvdc) {
            refused = ERR_COMPRESSION;
        } else if (deep == deepTvdc && !info.deep.hasTvdc) {
            refused = ERR_CORRUPT;
        } else if (deep == deepTvdc && info.deep.bytes != info.deep.elements) {
            refused = ERR_COMPRESSION;  // its deltas are of 8-bit elements
        }
        source = RowSource::Deep;
    } else if (IsTrueColourForm(info.formType)) {
        // RGB8 and RGBN know only their own run-length coding.
        refused = compression != cmpRgbn ? ERR_COMPRESSION : 0;
        source = info.formType == ID_RGBN ? RowSource::Rgbn : RowSource::Rgb8;
    } else if (info.formType == ID_ACBM) {
        // The planes of an ACBM are stored one after another, unpacked.
        refused = compression != cmpNone ? ERR_COMPRESSION : 0;
        source = RowSource::Abit;
    } else if (compression == cmpByteRun1) {
        source = RowSource::ByteRun1;
    } else if (compression != cmpNone) {
        refused = ERR_COMPRESSION;
    }
    if (refused == 0 && source == RowSource::Abit) {
        reader->abit = OpenAbitReader(reader->iff, reader->body.cn_Size, info.header.h,
                                      reader->rows->planeView.BytesPerRow);
        refused = reader->abit == nullptr ? os::ERROR_NO_FREE_STORE : 0;
    } else if (refused == 0 && source != RowSource::Plain) {
        reader->bodyReader = OpenBodyReader(reader->iff, reader->body.cn_Size);
        refused = reader->bodyReader == nullptr ? os::ERROR_NO_FREE_STORE : 0;
    }
    reader->source = source;
    if (refused != 0) {
        reader->ended = refused;
        return refused;
    }
    MaybeDecodeAhead(*reader);
    return 0;
}

int32_t ReadPictureRow(PictureReader* reader, PictureRow* row) {
    if (!reader->begun) {
        const int32_t begun = BeginPictureRows(reader);
        if (begun != 0) {
            return begun;
        }
    }
    if (reader->ended != 0) {
        return reader->ended;
    }
    const int32_t r = reader->next;
    if (r >= int32_t{reader->info.header.h}) {
        reader->ended = PICTURE_ROWS_END;
        return PICTURE_ROWS_END;
    }
    RowBuffers* rows = reader->rows;
    const int32_t decoded = reader->ahead != nullptr ? DecodedRowResult(NextDecodedRow(reader->ahead, &rows))
                                                     : DecodeRow(*reader);
    if (decoded != 0) {
        reader->ended = decoded;
        return decoded;
    }
    ++reader->next;
    if (reader->anim != nullptr) {
        KeepFirstFrameRow(reader->anim, rows, r);
    }
    if (reader->wideRgb != nullptr) {
        WidePlanesToRgb(rows->planeView.Planes, rows->width, reader->wideRgb->planeView.Planes[0]);
        rows = reader->wideRgb;
    }
    row->rows = rows;
    row->colours = RowColours(*reader, r);
    row->y = r;
    return 0;
}

void EndPictureRows(PictureReader* reader) {
    if (reader == nullptr) {
        return;
    }
    StopDecodeAhead(reader->ahead);
    reader->ahead = nullptr;
    reader->begun = true;
    if (reader->ended == 0) {
        reader->ended = PICTURE_ROWS_END;
    }
}

void ClosePictureReader(PictureReader* reader) {
    if (reader == nullptr) {
        return;
    }
    // The second task first: it owns the stream until it is stopped.
    StopDecodeAhead(reader->ahead);
    ClosePictureFrames(reader);
    CloseBodyReader(reader->bodyReader);
    CloseAbitReader(reader->abit);
    os::FreeVec(reader->lineColours);
    PictureInfo& info = reader->info;
    os::FreeVec(info.linePalettes);
    FreePaletteChanges(info.paletteChanges);
    CloseIlbmSession(reader->iff);
    FreeRowBuffers(reader->rows);
    FreeRowBuffers(reader->wideRgb);
    os::FreeVec(info.colours);
    reader->~PictureReader();
    os::FreeVec(reader);
}

}  // namespace lanterna
