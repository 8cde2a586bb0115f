// The per-picture pipeline: collect the ILBM chunks up to the BODY, prepare a
// display that fits, decode and draw the BODY one row at a time while
// watching for the user, keep the picture up until a time-out or the user
// ends it, and release everything this picture acquired on every path.
#include "driver/show_picture.h"

#include "cycle/cycling.h"
#include "display/display.h"
#include "display/pixel_transfer.h"
#include "driver/decode_ahead.h"
#include "driver/services.h"
#include "driver/picture_facts.h"
#include "driver/window_title.h"
#include "ilbm/acbm_decoding.h"
#include "ilbm/body_decoding.h"
#include "ilbm/chunk_readers.h"
#include "ilbm/deep_chunks.h"
#include "ilbm/deep_decoding.h"
#include "ilbm/ilbm_session.h"
#include "ilbm/line_palettes.h"
#include "ilbm/palette_changes.h"
#include "ilbm/rgbn_decoding.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"
#include "records/picture_info.h"
#include "records/result_codes.h"
#include "records/view_options.h"

namespace lanterna {

ShowPictureFunction gShowPicture = &ShowPicture;
int64_t gDecodeAheadMinBytes = DECODE_AHEAD_MIN_BYTES;

namespace {

// A reader or decoder gives either a result code of its own or a negative
// iffparse error, which is mapped into the program's range.
int32_t AsResult(int32_t value) { return value < 0 ? IffResultCode(value) : value; }

struct Picture {
    PictureInfo info;
    os::IFFHandle* iff = nullptr;
    CycleHandle* cycling = nullptr;
    AbitReader* abit = nullptr;  // ACBM only
    uint8_t* lineColours = nullptr;  // the colours of the current row, with SHAM or CTBL
    bool headerSeen = false;
    bool bodyDone = false;
    const char* path = nullptr;  // the file, for the window's title
};

// Where row 0 goes: centred on the screen, or where the header says.
void PlaceRowZero(PictureInfo& info) {
    if (gViewOptions.center && gDisplay.screen != nullptr) {
        const int32_t left =
            (int32_t{gDisplay.screen->Width} - info.xScale * int32_t{info.header.w}) / 2;
        const int32_t top =
            (int32_t{gDisplay.screen->Height} - info.yScale * int32_t{info.header.h}) / 2;
        info.left = left < 0 ? 0 : left;
        info.top = top < 0 ? 0 : top;
    } else {
        info.left = info.header.x;
        info.top = info.header.y;
    }
}

// How a BODY is decoded, chosen by its form and compression.
enum class RowSource { Plain, ByteRun1, Rgb8, Rgbn, Abit, Deep };

// What DecodeRow gives besides a result code: the data is over, the
// picture is viewed as far as it was drawn.
constexpr int32_t ROWS_END = 1;

// A decoder's result for a row: 0 to draw it, ROWS_END when the data ran
// out (the picture is viewed as drawn), or the code that ends the picture.
int32_t DecodedRowResult(int32_t got) { return got == -1 ? ROWS_END : AsResult(got); }

// Fills the row buffers with the next picture row: 0 to draw it, ROWS_END
// when the data is over, or the code that ends the picture.
int32_t DecodeRow(Picture& picture, RowSource source, int32_t planeRows) {
    PictureInfo& info = picture.info;
    int32_t got = 0;
    switch (source) {
        case RowSource::Plain:
            // 0: a full row, or the BODY ended at a plane-row boundary and the
            // plane rows keep what they last held.
            got = ReadPlainRow(picture.iff, info.rows, planeRows);
            if (got < 0) {
                // A file cut short inside the BODY: the rows before are
                // drawn, and the picture is viewed as far as it got.
                return IlbmBytesAtEnd(picture.iff) >= 0 ? ROWS_END : IffResultCode(got);
            }
            return got > 0 ? ERR_CORRUPT : 0;  // a positive count: the data stops inside a plane row
        case RowSource::ByteRun1:
            got = DecodeByteRun1Row(info.body, info.rows, planeRows);
            break;
        case RowSource::Rgb8:
        case RowSource::Rgbn:
            got = DecodeRgbnRow(info.body, info.rows, source == RowSource::Rgbn);
            break;
        case RowSource::Abit:
            got = ReadAbitRow(picture.abit, info.rows, planeRows);
            break;
        case RowSource::Deep:
            got = DecodeDeepRow(info.body, info.rows, info.deep);
            break;
    }
    return DecodedRowResult(got);  // -1: the data ran out, view what was drawn
}

// Decodes and draws every row, the rows decoded by `ahead` when it is
// there. 0 when the picture is drawn as far as its BODY goes, otherwise the
// code that ends the picture.
int32_t DrawRowsFrom(Picture& picture, RowSource source, int32_t planeRows, DecodeAhead* ahead) {
    PictureInfo& info = picture.info;
    const BitMapHeader& header = info.header;
    const bool doubleWidth = info.xScale == 2;

    for (int32_t r = 0; r < int32_t{header.h}; ++r) {
        if (os::CheckSignal(os::SIGBREAKF_CTRL_C) != 0) {
            return CODE_STOP;
        }
        if (gDisplay.window != nullptr) {
            const int32_t input = PollWindowInput(gDisplay.window, nullptr);
            if (input != 0) {
                return input;
            }
        }
        RowBuffers* rows = info.rows;
        const int32_t decoded =
            ahead != nullptr ? DecodedRowResult(NextDecodedRow(ahead, &rows)) : DecodeRow(picture, source, planeRows);
        if (decoded == ROWS_END) {
            return r > 0 ? 0 : ERR_CORRUPT;  // not one row: nothing to view
        }
        if (decoded != 0) {
            return decoded;
        }
        // With a palette for every line, the row's own colours; they change
        // only while there are palettes left (the last one stays in force).
        // Palette changes (PCHG) win over SHAM and CTBL, whichever came
        // first: they start from the colour map and build on the colours of
        // the row before.
        const uint8_t* colours = info.colours;
        if (picture.lineColours != nullptr && info.paletteChanges != nullptr) {
            if (r == 0) {
                for (int32_t i = 0; i < COLOUR_TABLE_BYTES; ++i) {
                    picture.lineColours[i] = info.colours != nullptr ? info.colours[i] : 0;
                }
            }
            const bool halfBrite = (info.modeId & EXTRA_HALFBRITE) != 0 && header.nPlanes == 6;
            ApplyPaletteChanges(*info.paletteChanges, r, picture.lineColours, halfBrite);
            colours = picture.lineColours;
        } else if (picture.lineColours != nullptr) {
            if (r < info.linePaletteCount || r == 0) {
                LineColours(info, r, picture.lineColours);
            }
            colours = picture.lineColours;
        }
        if (info.yScale == 2) {
            WriteRow(info.left, info.top + 2 * r, doubleWidth, rows, colours);
            WriteRow(info.left, info.top + 2 * r + 1, doubleWidth, rows, colours);
        } else {
            WriteRow(info.left, info.top + r, doubleWidth, rows, colours);
        }
    }
    return 0;
}

int32_t DrawRows(Picture& picture, RowSource source) {
    PictureInfo& info = picture.info;
    const BitMapHeader& header = info.header;
    // A PBM or RGB row is one row of its own; an ILBM or ACBM row is its
    // planes and the mask plane of a masked picture.
    const bool ownRows = info.formType == ID_PBM || IsTrueColourForm(info.formType);
    const int32_t planeRows =
        ownRows ? 1 : int32_t{header.nPlanes} + (header.masking == mskHasMask ? 1 : 0);
    // A large ByteRun1 BODY is decoded on a second task while this one
    // converts and writes, when a second processor is free for it. With one
    // processor the two tasks only take turns, at a cost. With two, a 24-bit
    // screen (three times the pages of an 8-bit one) keeps the second one
    // busy making its pages ready (the framebuffer's prefault): decoding
    // there as well made such pictures slower. The rest, and a run where
    // the task cannot start, decode here.
    DecodeAhead* ahead = nullptr;
    const int64_t unpacked = int64_t{planeRows} * info.rows->planeView.BytesPerRow * header.h;
    const int32_t processors = os::ProcessorsAvailable();
    const bool processorFree = processors > 2 || (processors == 2 && info.displayDepth <= 8);
    if (source == RowSource::ByteRun1 && processorFree && unpacked >= gDecodeAheadMinBytes) {
        ahead = StartDecodeAhead(info.body, header, info.modeId, info.formType, picture.lineColours != nullptr,
                                 planeRows, int32_t{header.h});
    }
    const int32_t result = DrawRowsFrom(picture, source, planeRows, ahead);
    StopDecodeAhead(ahead);
    return result;
}

// The BODY steps: display parameters, row buffers, the display, placement,
// then the rows by the form and the header's compression. An ACBM's ABIT
// chunk takes the place of the BODY.
int32_t ShowBody(Picture& picture, const os::ContextNode* chunk) {
    PictureInfo& info = picture.info;
    picture.bodyDone = true;
    info.formType = chunk->cn_Type;
    // A plane count no screen can show is a missing display mode, not a
    // lack of memory; it is known before any display is touched.
    if (!RowsCanBeShown(info.header, info.formType)) {
        return ERR_NO_SCREEN_MODE;
    }
    ChooseDisplayParameters(info, gViewOptions);
    const bool linePalettes = HasLinePalettes(info);
    info.rows = AllocRowBuffers(info.header, info.modeId, info.formType, linePalettes);
    if (info.rows == nullptr) {
        return os::ERROR_NO_FREE_STORE;
    }
    if (linePalettes) {
        picture.lineColours = static_cast<uint8_t*>(os::AllocVec(COLOUR_TABLE_BYTES, os::MEMF_ANY));
        if (picture.lineColours == nullptr) {
            return os::ERROR_NO_FREE_STORE;
        }
    }
    const int32_t prepared = PrepareDisplay(info, gViewOptions);
    if (prepared != 0) {
        return prepared;
    }
    // Also when the screen is reused: the title names the picture on it.
    os::SetWindowTitles(gDisplay.window, WindowTitle(picture.path, info).c_str(), nullptr);
    os::SetWindowInfo(gDisplay.window, PictureFacts(picture.path, info).c_str());
    PlaceRowZero(info);
    const uint8_t compression = info.header.compression;
    RowSource source = RowSource::Plain;
    if (info.formType == ID_DEEP) {
        // A DEEP's pixels mean nothing without their layout; its own
        // compressions are in DGBL, and TVDC needs its table.
        if (!info.deep.known) {
            return ERR_CORRUPT;
        }
        const uint16_t deep = info.deep.compression;
        if (deep != deepNone && deep != deepRunLength && deep != deepTvdc) {
            return ERR_COMPRESSION;
        }
        if (deep == deepTvdc && !info.deep.hasTvdc) {
            return ERR_CORRUPT;
        }
        source = RowSource::Deep;
    } else if (IsTrueColourForm(info.formType)) {
        // RGB8 and RGBN know only their own run-length coding.
        if (compression != cmpRgbn) {
            return ERR_COMPRESSION;
        }
        source = info.formType == ID_RGBN ? RowSource::Rgbn : RowSource::Rgb8;
    } else if (info.formType == ID_ACBM) {
        // The planes of an ACBM are stored one after another, unpacked.
        if (compression != cmpNone) {
            return ERR_COMPRESSION;
        }
        picture.abit = OpenAbitReader(picture.iff, chunk->cn_Size, info.header.h,
                                      info.rows->planeView.BytesPerRow);
        if (picture.abit == nullptr) {
            return os::ERROR_NO_FREE_STORE;
        }
        return DrawRows(picture, RowSource::Abit);
    } else if (compression == cmpByteRun1) {
        source = RowSource::ByteRun1;
    } else if (compression != cmpNone) {
        return ERR_COMPRESSION;
    }
    if (source != RowSource::Plain) {
        info.body = OpenBodyReader(picture.iff, chunk->cn_Size);
        if (info.body == nullptr) {
            return os::ERROR_NO_FREE_STORE;
        }
    }
    return DrawRows(picture, source);
}

uint32_t BodyChunkOf(uint32_t formType) {
    return formType == ID_ACBM ? ID_ABIT : formType == ID_DEEP ? ID_DBOD : ID_BODY;
}

// Reads the chunk the scan stopped at. 0, or the code that ends the picture;
// *leave is set after the BODY.
int32_t ReadChunk(Picture& picture, const os::ContextNode* chunk, bool* leave) {
    PictureInfo& info = picture.info;
    switch (chunk->cn_ID) {
        case ID_BMHD: {
            const int32_t result = ReadBitMapHeader(picture.iff, info);
            picture.headerSeen = true;
            return AsResult(result);
        }
        case ID_DGBL: {
            // The header of a DEEP.
            const int32_t result = ReadDeepGlobals(picture.iff, info);
            picture.headerSeen = true;
            return AsResult(result);
        }
        case ID_DPEL:
            return AsResult(ReadDeepPixelFormat(picture.iff, chunk->cn_Size, info));
        case ID_DLOC:
            return AsResult(ReadDeepLocation(picture.iff, info));
        case ID_TVDC:
            return AsResult(ReadTvdcTable(picture.iff, info));
        case ID_CMAP:
            return AsResult(ReadColourMap(picture.iff, chunk->cn_Size, info));
        case ID_CAMG:
            return AsResult(ReadDisplayMode(picture.iff, info));
        case ID_CRNG:
            // CRNG and CCRT share the eight slots in file order; later ones are skipped.
            return info.rangeCount < MAX_CYCLE_RANGES ? AsResult(ReadColourRange(picture.iff, info)) : 0;
        case ID_SHAM:
        case ID_CTBL:
            // A SHAM starts with its version word; a CTBL has none.
            return ReadLinePalettes(picture.iff, chunk->cn_Size, chunk->cn_ID == ID_SHAM, info);
        case ID_PCHG:
            return AsResult(ReadPaletteChanges(picture.iff, chunk->cn_Size, info));
        case ID_CCRT:
            return info.rangeCount < MAX_CYCLE_RANGES ? AsResult(ReadCycleTiming(picture.iff, info)) : 0;
        case ID_BODY:
        case ID_ABIT:
        case ID_DBOD:
            // A BODY before any BMHD cannot be decoded; look for a later one.
            // The planes of an ACBM are its ABIT, the pixels of a DEEP its
            // DBOD; other forms have a BODY.
            if (!picture.headerSeen || chunk->cn_ID != BodyChunkOf(chunk->cn_Type)) {
                return 0;
            }
            *leave = true;
            return ShowBody(picture, chunk);
        default:
            return 0;
    }
}

// The finished picture stays up until the time-out, the user, or a break.
int32_t View(Picture& picture) {
    PictureInfo& info = picture.info;
    os::Window* window = gDisplay.window;
    if (window != nullptr) {
        os::SetWindowPointer(window, {{os::WA_Pointer, reinterpret_cast<uintptr_t>(gDisplay.pointer)},
                                      {os::TAG_DONE, 0}});
    }
    if (gViewOptions.waitSeconds > 0) {
        StartTimer(static_cast<uint32_t>(gViewOptions.waitSeconds), 0);
    }
    if (info.displayDepth == 8 && info.rangeCount > 0) {
        const bool halfBrite = (info.modeId & EXTRA_HALFBRITE) != 0 && info.header.nPlanes == 6;
        picture.cycling = StartCycling(gDisplay.screen, halfBrite ? 1 : 0, info.ranges, info.colours,
                                       info.colourCount);
        if (gViewOptions.cycle && picture.cycling != nullptr) {
            CycleOn(picture.cycling);
        }
    }

    const uint32_t windowSignal =
        (window != nullptr && window->UserPort != nullptr) ? 1u << window->UserPort->mp_SigBit : 0;
    const uint32_t timerSignal =
        gServices.timerPort != nullptr ? 1u << gServices.timerPort->mp_SigBit : 0;
    int32_t code = 0;
    for (;;) {
        code = 0;
        const uint32_t got = os::Wait(windowSignal | timerSignal | os::SIGBREAKF_CTRL_C |
                                      os::SIGBREAKF_CTRL_F);
        if ((got & windowSignal) != 0) {
            code = PollWindowInput(window, picture.cycling);
        }
        // A break wins over everything else in the same wake-up, the time-out
        // included: it stops the run.
        if ((got & os::SIGBREAKF_CTRL_C) != 0) {
            code = CODE_STOP;
            break;
        }
        if ((got & timerSignal) != 0) {
            if (code != CODE_STOP) code = 0;  // a click in the same wake-up still counts as a normal end
            break;
        }
        if ((got & os::SIGBREAKF_CTRL_F) != 0 && gDisplay.screen != nullptr) {
            os::ScreenToFront(gDisplay.screen);
        }
        if (code != 0) {
            break;
        }
    }
    if (code == CODE_NEXT) {
        code = 0;  // ending a finished picture is its normal end
    }
    StopTimer();
    if (!gViewOptions.center) {
        StopCycling(picture.cycling);
        picture.cycling = nullptr;
        CloseDisplay();
    }
    return code;
}

int32_t Collect(Picture& picture, const char* path) {
    picture.path = path;
    picture.iff = OpenIlbmSession(path);
    if (picture.iff == nullptr) {
        // Without a DOS code (no memory for the handle) the failure must
        // still not read as success.
        const int32_t code = os::IoErr();
        return code != 0 ? code : os::ERROR_NO_FREE_STORE;
    }
    const int32_t registered = RegisterIlbmStops(picture.iff);
    if (registered != 0) {
        return AsResult(registered);
    }

    int32_t scanEnd = 0;
    bool leave = false;
    while (!leave) {
        os::ContextNode* chunk = nullptr;
        scanEnd = ScanNextChunk(picture.iff, &chunk);
        if (scanEnd != 0) {
            break;
        }
        if (chunk == nullptr) {
            break;  // nothing to act on: treat as the end of the file
        }
        const int32_t code = ReadChunk(picture, chunk, &leave);
        if (code != 0) {
            return code;
        }
    }
    if (scanEnd != 0 && scanEnd != os::IFFERR_EOF) {
        return IffResultCode(scanEnd);
    }
    if (!picture.bodyDone) {
        return ERR_NOT_ILBM;
    }
    return View(picture);
}

}  // namespace

int32_t ShowPicture(const char* path) {
    Picture picture;
    const int32_t result = Collect(picture, path);

    // Teardown: the cycling task first, as it reads the colours; the display
    // stays as it is.
    StopCycling(picture.cycling);
    picture.cycling = nullptr;
    CloseBodyReader(picture.info.body);
    picture.info.body = nullptr;
    CloseAbitReader(picture.abit);
    picture.abit = nullptr;
    os::FreeVec(picture.lineColours);
    picture.lineColours = nullptr;
    os::FreeVec(picture.info.linePalettes);
    picture.info.linePalettes = nullptr;
    FreePaletteChanges(picture.info.paletteChanges);
    picture.info.paletteChanges = nullptr;
    if (picture.iff != nullptr) {
        CloseIlbmSession(picture.iff);
        picture.iff = nullptr;
    }
    FreeRowBuffers(picture.info.rows);
    picture.info.rows = nullptr;
    os::FreeVec(picture.info.colours);
    picture.info.colours = nullptr;
    return result;
}

}  // namespace lanterna
