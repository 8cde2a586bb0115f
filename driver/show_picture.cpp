// The per-picture pipeline: the reader reads the file up to its BODY, a
// display that fits is prepared, each row the reader hands goes to the
// window while the user is watched for, the picture stays up until a
// time-out or the user ends it, and everything this picture acquired is
// released on every path.
#include "driver/show_picture.h"

#include "cycle/cycling.h"
#include "display/display.h"
#include "display/pixel_transfer.h"
#include "driver/picture_facts.h"
#include "driver/play_animation.h"
#include "driver/services.h"
#include "driver/window_title.h"
#include "ilbm/anim_reader.h"
#include "ilbm/picture_reader.h"
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

struct Picture {
    PictureReader* reader = nullptr;
    DisplayParameters display;
    CycleHandle* cycling = nullptr;
    PictureStep step = PictureStep::NEXT;  // the way on, of the input that ended the picture
    bool animation = false;  // the first frame of a FORM ANIM, its frames played once drawn
};

// Tab in the window of a finished picture.
void SwitchCycling(void* handle) { CycleSwitch(static_cast<CycleHandle*>(handle)); }

// The window's input: its code, and the way on when it ends the picture.
// Tab switches the cycling when there is any (only once drawn).
int32_t Input(Picture& picture, os::Window* window, CycleHandle* cycling) {
    const UserRequest input = PollWindowInput(window, cycling != nullptr ? &SwitchCycling : nullptr, cycling);
    if (input.code != 0) {
        picture.step = input.step;
    }
    return input.code;
}

// The reader's options from the view options and the machine. A large
// ByteRun1 BODY is decoded on a second task while this one converts and
// writes, when a second processor is free for it. With one processor the
// two tasks only take turns, at a cost. With two, a 24-bit screen (three
// times the pages of an 8-bit one) keeps the second one busy making its
// pages ready (the framebuffer's prefault): decoding there as well made
// such pictures slower.
PictureReadOptions ReadOptions() {
    PictureReadOptions options;
    options.halfBriteWithoutMode = gViewOptions.ehb && !gViewOptions.ham;
    options.decodeAheadMinBytes = gDecodeAheadMinBytes;
    const int32_t processors = os::ProcessorsAvailable();
    options.decodeAheadIndexRows = processors >= 2;
    options.decodeAheadRgbRows = processors > 2;
    return options;
}

// Draws every row the reader hands. 0 when the picture is drawn as far as
// its BODY goes, otherwise the code that ends the picture.
int32_t DrawRows(Picture& picture) {
    const PictureInfo& info = PictureReaderInfo(picture.reader);
    const DisplayParameters& display = picture.display;
    const bool doubleWidth = display.xScale == 2;
    for (int32_t r = 0; r < int32_t{info.header.h}; ++r) {
        if (os::CheckSignal(os::SIGBREAKF_CTRL_C) != 0) {
            return CODE_STOP;
        }
        if (gDisplay.window != nullptr) {
            const int32_t input = Input(picture, gDisplay.window, nullptr);
            if (input != 0) {
                return input;
            }
        }
        PictureRow row;
        const int32_t read = ReadPictureRow(picture.reader, &row);
        if (read == PICTURE_ROWS_END) {
            return r > 0 ? 0 : ERR_CORRUPT;  // the data is over: the picture is viewed as drawn, if any row was
        }
        if (read != 0) {
            return read;
        }
        if (display.yScale == 2) {
            WriteRow(display.left, display.top + 2 * r, doubleWidth, row.rows, row.colours);
            WriteRow(display.left, display.top + 2 * r + 1, doubleWidth, row.rows, row.colours);
        } else {
            WriteRow(display.left, display.top + r, doubleWidth, row.rows, row.colours);
        }
    }
    return 0;
}

// The display for the picture, its title and facts, the place of row 0,
// then the rows.
int32_t ShowBody(Picture& picture, const char* path) {
    const PictureInfo& info = PictureReaderInfo(picture.reader);
    picture.display = ChooseDisplayParameters(info);
    const int32_t prepared = PrepareDisplay(info, picture.display, gViewOptions, &picture.step);
    if (prepared != 0) {
        return prepared;
    }
    // Also when the screen is reused: the title names the picture on it.
    os::SetWindowTitles(gDisplay.window, WindowTitle(path, info, picture.animation ? 0 : -1).c_str(), nullptr);
    os::SetWindowInfo(gDisplay.window, PictureFacts(path, info, picture.display.depth).c_str());
    PlaceRowZero(info, gViewOptions.center, picture.display);
    int32_t result = BeginPictureRows(picture.reader);
    if (result == 0) {
        result = DrawRows(picture);
    }
    EndPictureRows(picture.reader);
    return result;
}

// The finished picture stays up until the time-out, the user, or a break.
int32_t View(Picture& picture, const char* path) {
    const PictureInfo& info = PictureReaderInfo(picture.reader);
    os::Window* window = gDisplay.window;
    if (window != nullptr) {
        os::SetWindowPointer(window, {{os::WA_Pointer, reinterpret_cast<uintptr_t>(gDisplay.pointer)},
                                      {os::TAG_DONE, 0}});
    }
    if (gViewOptions.waitSeconds > 0 && !picture.animation) {
        StartTimer(static_cast<uint32_t>(gViewOptions.waitSeconds), 0);
    }
    if (picture.display.depth == 8 && info.rangeCount > 0) {
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
    if (picture.animation) {
        code = PlayAnimation(picture.reader, path, picture.display, picture.cycling, &picture.step);
    }
    for (; !picture.animation;) {
        code = 0;
        const uint32_t got = os::Wait(windowSignal | timerSignal | os::SIGBREAKF_CTRL_C |
                                      os::SIGBREAKF_CTRL_F);
        if ((got & windowSignal) != 0) {
            code = Input(picture, window, picture.cycling);
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

int32_t Show(Picture& picture, const char* path) {
    const int32_t opened = OpenPictureReader(path, ReadOptions(), &picture.reader);
    if (opened != 0) {
        return opened;
    }
    // An animation whose frames cannot be held is shown as its first frame.
    picture.animation = PictureIsAnimation(picture.reader) && OpenPictureFrames(picture.reader) == 0;
    const int32_t drawn = ShowBody(picture, path);
    return drawn != 0 ? drawn : View(picture, path);
}

}  // namespace

int32_t ShowPicture(const char* path, PictureStep* step) {
    Picture picture;
    const int32_t result = Show(picture, path);
    if (step != nullptr) {
        *step = picture.step;
    }
    // Teardown: the cycling task first, as it reads the colours; the display
    // stays as it is.
    StopCycling(picture.cycling);
    picture.cycling = nullptr;
    ClosePictureReader(picture.reader);
    picture.reader = nullptr;
    return result;
}

}  // namespace lanterna
