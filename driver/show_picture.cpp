// The per-picture pipeline: collect the ILBM chunks up to the BODY, prepare a
// display that fits, decode and draw the BODY one row at a time while
// watching for the user, keep the picture up until a time-out or the user
// ends it, and release everything this picture acquired on every path.
#include "driver/show_picture.h"

#include "cycle/cycling.h"
#include "display/display.h"
#include "display/row_buffers.h"
#include "driver/picture_info.h"
#include "driver/result_codes.h"
#include "driver/services.h"
#include "driver/view_options.h"
#include "driver/window_title.h"
#include "ilbm/body_decoding.h"
#include "ilbm/chunk_readers.h"
#include "ilbm/ilbm_session.h"
#include "platform/dos.h"
#include "platform/exec.h"
#include "platform/graphics.h"

namespace lanterna {

ShowPictureFunction gShowPicture = &ShowPicture;

namespace {

// A reader or decoder gives either a result code of its own or a negative
// iffparse error, which is mapped into the program's range.
int32_t AsResult(int32_t value) { return value < 0 ? IffResultCode(value) : value; }

struct Picture {
    PictureInfo info;
    os::IFFHandle* iff = nullptr;
    CycleHandle* cycling = nullptr;
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

// Decodes and draws every row. 0 when the picture is drawn as far as its
// BODY goes, otherwise the code that ends the picture.
int32_t DrawRows(Picture& picture) {
    PictureInfo& info = picture.info;
    const BitMapHeader& header = info.header;
    const int32_t planeRows = int32_t{header.nPlanes} + (header.masking == mskHasMask ? 1 : 0);
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
        if (header.compression == cmpNone) {
            // 0: a full row, or the BODY ended at a plane-row boundary and the
            // plane rows keep what they last held.
            const int32_t got = ReadPlainRow(picture.iff, info.rows, planeRows);
            if (got < 0) {
                return IffResultCode(got);
            }
            if (got > 0) {
                return ERR_CORRUPT;  // the data stops inside a plane row
            }
        } else {
            const int32_t got = DecodeByteRun1Row(info.body, info.rows, planeRows);
            if (got == -1) {
                return 0;  // the data ran out: view what was drawn
            }
            if (got != 0) {
                return AsResult(got);
            }
        }
        if (info.yScale == 2) {
            WriteRow(info.left, info.top + 2 * r, doubleWidth, info.rows, info.colours);
            WriteRow(info.left, info.top + 2 * r + 1, doubleWidth, info.rows, info.colours);
        } else {
            WriteRow(info.left, info.top + r, doubleWidth, info.rows, info.colours);
        }
    }
    return 0;
}

// The BODY steps: display parameters, row buffers, the display, placement,
// then the rows by the header's compression.
int32_t ShowBody(Picture& picture, const os::ContextNode* chunk) {
    PictureInfo& info = picture.info;
    picture.bodyDone = true;
    ChooseDisplayParameters(info, gViewOptions);
    info.rows = AllocRowBuffers(info.header, info.modeId);
    if (info.rows == nullptr) {
        return os::ERROR_NO_FREE_STORE;
    }
    const int32_t prepared = PrepareDisplay(info, gViewOptions);
    if (prepared != 0) {
        return prepared;
    }
    // Also when the screen is reused: the title names the picture on it.
    os::SetWindowTitles(gDisplay.window, WindowTitle(picture.path, info).c_str(), nullptr);
    PlaceRowZero(info);
    if (info.header.compression == cmpByteRun1) {
        info.body = OpenBodyReader(picture.iff, chunk->cn_Size);
        if (info.body == nullptr) {
            return os::ERROR_NO_FREE_STORE;
        }
    } else if (info.header.compression != cmpNone) {
        return ERR_COMPRESSION;
    }
    return DrawRows(picture);
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
        case ID_CMAP:
            return AsResult(ReadColourMap(picture.iff, chunk->cn_Size, info));
        case ID_CAMG:
            return AsResult(ReadDisplayMode(picture.iff, info));
        case ID_CRNG:
            // CRNG and CCRT share the eight slots in file order; later ones are skipped.
            return info.rangeCount < MAX_CYCLE_RANGES ? AsResult(ReadColourRange(picture.iff, info)) : 0;
        case ID_CCRT:
            return info.rangeCount < MAX_CYCLE_RANGES ? AsResult(ReadCycleTiming(picture.iff, info)) : 0;
        case ID_BODY:
            // A BODY before any BMHD cannot be decoded; look for a later one.
            if (!picture.headerSeen) {
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
        if ((got & timerSignal) != 0) {
            break;  // a click in the same wake-up still counts as a normal end
        }
        if ((got & os::SIGBREAKF_CTRL_C) != 0) {
            code = CODE_STOP;
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
