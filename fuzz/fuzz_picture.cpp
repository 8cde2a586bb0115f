// libFuzzer target over the whole reading path of one picture file: the
// session (stream, parser), the stops, every chunk reader, and every BODY row
// with every row decoder: plain and ByteRun1 (ILBM and PBM), RGB8 / RGBN
// runs, the ACBM planes and the DEEP pixels; SHAM, CTBL and PCHG
// line palettes applied row by row. The input is a file image, put in a memory file and
// opened by name, so the real stream and its handler thread are exercised.
//
// Then the same file is shown as the program shows it, headless: display
// parameters and palette, every decoded row through the pixel transfer onto
// the screen, the cycling task started with the file's ranges and switched
// on, the viewing ended by the backend's click. The result must be one the
// message table has words for. The reader also reads the bytes straight from
// memory through its source hook, as a host program would. And the file's
// ranges are stepped over its colours for a few seconds' worth of ticks, as
// the cycling task steps them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "records/cycle_steps.h"
#include "display/display.h"
#include "display/pixel_transfer.h"
#include "ilbm/decode_ahead.h"
#include "driver/error_text.h"
#include "driver/services.h"
#include "driver/show_picture.h"
#include "ilbm/acbm_decoding.h"
#include "ilbm/body_decoding.h"
#include "ilbm/chunk_readers.h"
#include "ilbm/deep_chunks.h"
#include "ilbm/deep_decoding.h"
#include "ilbm/ilbm_session.h"
#include "ilbm/line_palettes.h"
#include "ilbm/memory_source.h"
#include "ilbm/palette_changes.h"
#include "ilbm/picture_reader.h"
#include "ilbm/rgbn_decoding.h"
#include "platform/exec/exec.h"
#include "platform/testing/memory_file.h"
#include "records/ilbm_records.h"
#include "records/picture_info.h"
#include "records/result_codes.h"
#include "records/view_options.h"

using namespace lanterna;

namespace {

// The harness's own limit on the work per input (the program has none): a
// picture whose plane rows add up to more than this is not decoded.
constexpr int64_t MAX_BODY_BYTES = int64_t(4) << 20;

os::testing::MemoryFile* file = nullptr;
uint8_t lineColours[COLOUR_TABLE_BYTES];

enum class Decoder { Plain, ByteRun1 };

void DecodeBody(os::IFFHandle* iff, const os::ContextNode* body, const PictureInfo& picture, Decoder decoder) {
    const BitMapHeader& h = picture.header;
    // The form of the BODY decides its rows: a PBM or RGB row is one row of
    // its own, an ACBM's planes stand one after another in its ABIT.
    const uint32_t form = body->cn_Type;
    if (!RowsCanBeShown(h, form)) return;
    RowBuffers* rows = AllocRowBuffers(h, picture.modeId, form);
    if (!rows) return;
    const bool ownRows = form == ID_PBM || IsTrueColourForm(form);
    const int32_t planeRows = ownRows ? 1 : h.nPlanes + (h.masking == mskHasMask ? 1 : 0);
    const int64_t rowBytes = IsTrueColourForm(form) ? int64_t{h.w} * 3 : int64_t{rows->planeView.BytesPerRow};
    const int64_t work = rowBytes * planeRows * h.h;
    if (planeRows <= MAX_PLANES && work <= MAX_BODY_BYTES) {
        if (form == ID_DEEP) {
            const uint16_t c = picture.deep.compression;
            const bool readable = picture.deep.known && (c == deepNone || c == deepRunLength ||
                                                         (c == deepTvdc && picture.deep.hasTvdc));
            if (readable) {
                if (BodyReader* reader = OpenBodyReader(iff, body->cn_Size)) {
                    for (int32_t y = 0; y < h.h; ++y) {
                        if (DecodeDeepRow(reader, rows, picture.deep) != 0) break;
                        // A run never claims more pixels than one count byte gives.
                        if (reader->runLeft < 0 || reader->runLeft > 129) std::abort();
                    }
                    CloseBodyReader(reader);
                }
            }
        } else if (form == ID_ACBM) {
            if (AbitReader* reader = OpenAbitReader(iff, body->cn_Size, h.h, rows->planeView.BytesPerRow)) {
                for (int32_t y = 0; y < h.h; ++y) {
                    if (ReadAbitRow(reader, rows, planeRows) != 0) break;
                }
                CloseAbitReader(reader);
            }
        } else if (decoder == Decoder::Plain && !IsTrueColourForm(form)) {
            for (int32_t y = 0; y < h.h; ++y) {
                if (ReadPlainRow(iff, rows, planeRows) != 0) break;
            }
        } else if (BodyReader* reader = OpenBodyReader(iff, body->cn_Size)) {
            for (int32_t y = 0; y < h.h; ++y) {
                const int32_t result = IsTrueColourForm(form) ? DecodeRgbnRow(reader, rows, form == ID_RGBN)
                                                              : DecodeByteRun1Row(reader, rows, planeRows);
                if (result != 0) break;
                if (picture.linePaletteCount > 0) LineColours(picture, y, lineColours);
                if (PaletteChanges* changes = picture.paletteChanges) {
                    ApplyPaletteChanges(*changes, y, lineColours, (y & 1) != 0);
                    // The changes never read past their data.
                    if (changes->at > changes->size) std::abort();
                }
                // A carried run never claims more than a 16-bit count.
                if (reader->runLeft < 0 || reader->runLeft > 65535) std::abort();
            }
            CloseBodyReader(reader);
        }
    }
    FreeRowBuffers(rows);
}

// Steps the picture's ranges over a copy of its colours as the cycling task
// does, tick by tick, on a colour-mapped and on a half-brite screen.
void StepRanges(const PictureInfo& picture) {
    if (picture.rangeCount <= 0) return;
    uint8_t colours[COLOUR_TABLE_BYTES] = {};
    if (picture.colours != nullptr) std::memcpy(colours, picture.colours, sizeof colours);
    for (bool halfBrite : {false, true}) {
        CycleRange ranges[MAX_CYCLE_RANGES];
        std::memcpy(ranges, picture.ranges, sizeof ranges);
        for (int tick = 0; tick < 300; ++tick) {
            for (int32_t r = 0; r < picture.rangeCount; ++r) {
                CycleRange& range = ranges[r];
                // The ranges the cycling task accepts: active, low below high,
                // every entry (and its half-bright copy) in the palette.
                if ((range.flags & RNG_ACTIVE) == 0 || range.low >= range.high) continue;
                if (range.high + (halfBrite ? 32 : 0) >= COLOUR_TABLE_ENTRIES) continue;
                if (AdvancePhase(range)) StepRange(colours, range, halfBrite);
            }
        }
    }
}

// Collects the chunks as the picture pipeline does and decodes the BODY that
// follows a BMHD with the given decoder.
void ReadPicture(const char* name, Decoder decoder) {
    os::IFFHandle* iff = OpenIlbmSession(name);
    if (!iff) return;
    PictureInfo picture;
    bool header = false;
    if (RegisterIlbmStops(iff) == 0) {
        for (;;) {
            os::ContextNode* cn = nullptr;
            if (ScanNextChunk(iff, &cn) != 0) break;
            int32_t e = 0;
            switch (cn->cn_ID) {
                case ID_BMHD: e = ReadBitMapHeader(iff, picture); header = true; break;
                case ID_CMAP: e = ReadColourMap(iff, cn->cn_Size, picture); break;
                case ID_CAMG: e = ReadDisplayMode(iff, picture); break;
                case ID_CRNG: e = ReadColourRange(iff, picture); break;
                case ID_CCRT: e = ReadCycleTiming(iff, picture); break;
                case ID_SHAM:
                case ID_CTBL: e = ReadLinePalettes(iff, cn->cn_Size, cn->cn_ID == ID_SHAM, header, picture); break;
                case ID_PCHG: e = ReadPaletteChanges(iff, cn->cn_Size, picture); break;
                case ID_DGBL: e = ReadDeepGlobals(iff, picture); header = true; break;
                case ID_DPEL: e = ReadDeepPixelFormat(iff, cn->cn_Size, picture); break;
                case ID_DLOC: e = ReadDeepLocation(iff, picture); break;
                case ID_TVDC: e = ReadTvdcTable(iff, picture); break;
                default: break;
            }
            if (e != 0) break;
            if (picture.colourCount < 0 || picture.colourCount > COLOUR_TABLE_ENTRIES) std::abort();
            if (picture.rangeCount < 0 || picture.rangeCount > MAX_CYCLE_RANGES) std::abort();
            // Line palettes never outnumber the rows a header can give.
            if (picture.linePaletteCount < 0 || picture.linePaletteCount > 65535) std::abort();
            if (picture.deep.known && (picture.deep.bytes < 3 || picture.deep.bytes > DEEP_MAX_PIXEL_BYTES)) std::abort();
            if ((cn->cn_ID == ID_BODY || cn->cn_ID == ID_ABIT || cn->cn_ID == ID_DBOD) && header) {
                DecodeBody(iff, cn, picture, decoder);
                break;
            }
        }
    }
    CloseIlbmSession(iff);
    StepRanges(picture);
    os::FreeVec(picture.colours);
    os::FreeVec(picture.linePalettes);
    FreePaletteChanges(picture.paletteChanges);
}

// The reader as another program uses it: from memory (seeks only for some
// inputs, so that forward moves by reading are met too), every row to its
// end, decoded ahead for some inputs; the result is one the message table
// knows.
void ReadFromMemory(const uint8_t* data, size_t size, bool seeks, bool ahead) {
    MemoryBytes held{data, size, 0};
    PictureReadOptions options;
    options.decodeAheadMinBytes = 0;
    options.decodeAheadIndexRows = options.decodeAheadRgbRows = ahead;
    PictureReader* reader = nullptr;
    const PictureSource source = MemorySource(held, seeks);
    int32_t result = OpenPictureReaderFrom(source, options, &reader);
    if (result == 0) {
        const int32_t height = PictureReaderInfo(reader).header.h;
        PictureRow row;
        int32_t rows = 0;
        while ((result = ReadPictureRow(reader, &row)) == 0) {
            if (row.y != rows++ || row.rows == nullptr || rows > height) std::abort();
        }
        ClosePictureReader(reader);
        if (result == PICTURE_ROWS_END) result = 0;
    }
    if (result != 0 && std::strncmp(ErrorText(result), "unknown error", 13) == 0) {
        std::fprintf(stderr, "the reader gave %d, which has no message\n", static_cast<int>(result));
        std::abort();
    }
}

// The whole program's way of showing the file, headless. Only results the
// message table has words for may come out of it.
void ShowWhole(const char* name, bool center) {
    gViewOptions = ViewOptions{};
    gViewOptions.cycle = true;
    gViewOptions.center = center;
    const int32_t result = ShowPicture(name);
    if (result != 0 && result != CODE_STOP && std::strncmp(ErrorText(result), "unknown error", 13) == 0) {
        std::fprintf(stderr, "ShowPicture gave %d, which has no message\n", static_cast<int>(result));
        std::abort();
    }
    if (!center) CloseDisplay();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("LANTERNA_DISPLAY", "headless", 1);
    unsetenv("LANTERNA_SNAPSHOTS");
    unsetenv("LANTERNA_INPUT");
    unsetenv("LANTERNA_DRAW_INPUT");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!file) {
        file = os::testing::CreateMemoryFile("fuzz_picture");
        if (!file) std::abort();
        if (OpenServices() != 0) std::abort();
    }
    if (!os::testing::SetMemoryFileContents(file, data, size)) std::abort();
    ReadPicture(os::testing::MemoryFileName(file), Decoder::Plain);
    ReadPicture(os::testing::MemoryFileName(file), Decoder::ByteRun1);
    ReadFromMemory(data, size, (size & 4) != 0, (size & 8) != 0);
    // Half the inputs have their rows decoded ahead on the second task
    // whatever their size, so its hand-overs and early ends meet every
    // kind of damage (the default needs a BODY of a megabyte).
    gDecodeAheadMinBytes = (size & 2) != 0 ? 0 : DECODE_AHEAD_MIN_BYTES;
    ShowWhole(os::testing::MemoryFileName(file), (size & 1) != 0);
    return 0;
}
