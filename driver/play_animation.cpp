// The player keeps one frame ahead: the frame after the one on the screen is
// decoded into the engine's other buffer as soon as the one before is
// presented, so that it is written and presented at its own time, whatever
// the decoding costs. A frame is written while the screen holds its
// presents, then let go: whole, or, when the screen shows the frame the
// engine's other buffer holds, only the rows that differ from it, each from
// its first to its last changed byte column (most of an animation stands
// still). The times are kept on the monotonic clock from the
// first frame, not from each wake-up, so that lateness does not add up.
#include "driver/play_animation.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "cycle/cycling.h"
#include "display/pixel_transfer.h"
#include "driver/picture_facts.h"
#include "driver/window_title.h"
#include "ilbm/anim_reader.h"
#include "platform/dos/dos.h"
#include "platform/graphics/graphics.h"
#include "records/colour_load_table.h"
#include "records/result_codes.h"
#include "records/view_options.h"

namespace lanterna {

namespace {

using Clock = std::chrono::steady_clock;

Clock::duration Jiffies(uint32_t count) { return std::chrono::microseconds(int64_t{count} * 1000000 / 60); }

struct Player {
    PictureReader* reader = nullptr;
    const char* path = nullptr;
    const DisplayParameters* display = nullptr;
    CycleHandle* cycling = nullptr;
    std::string facts;         // the picture's, before the frame's line
    int32_t count = 0;         // frames in the file, once a pass is over
    AnimFrame shown;           // the frame on the screen
    AnimFrame next;            // decoded, not yet on the screen
    uint32_t onScreen = 0;     // the engine's serial of the frame written last, 0 for none
    int32_t wholeFrames = 0;   // frames still to be written whole, not compared
    bool ahead = false;        // `next` holds a frame
    bool nextStartsPass = false;
    int32_t error = 0;         // the next frame's failure, told at its time
    bool still = false;        // nothing follows the first frame
    bool passOver = false;     // the first whole pass has been shown
    bool paused = false;
    Clock::time_point due;     // when `next` is presented
};

void SwitchCycling(void* handle) { CycleSwitch(static_cast<CycleHandle*>(handle)); }

PictureReadOptions AgainOptions() {
    PictureReadOptions options;
    options.halfBriteWithoutMode = gViewOptions.ehb && !gViewOptions.ham;
    return options;
}

// A second reader of the file for the next pass, or the first frame again.
int32_t Restart(Player& p, bool fromFirst) {
    PictureReader* again = nullptr;
    const int32_t opened = OpenPictureReader(p.path, AgainOptions(), &again);
    return opened != 0 ? opened : RestartPictureFrames(p.reader, again, fromFirst);
}

AnimFrame FirstFrame(uint32_t delay) {
    AnimFrame first;
    first.coloursChanged = true;
    first.delayTicks = delay;
    first.number = 1;
    return first;
}

// Decodes the frame after the one on the screen; at the end of a pass the
// file is opened again and the next pass begins.
void Advance(Player& p) {
    p.ahead = false;
    p.nextStartsPass = false;
    int32_t r = NextPictureFrame(p.reader, &p.next);
    if (r == ANIM_END) {
        const AnimFrames* frames = PictureFrames(p.reader);
        if (p.count == 0) {
            p.count = frames->framesInFile;
            os::SetWindowTitles(gDisplay.window,
                                WindowTitle(p.path, PictureReaderInfo(p.reader), p.count).c_str(), nullptr);
        }
        if (p.count <= 1) {
            p.still = true;
            return;
        }
        p.nextStartsPass = true;
        r = Restart(p, false);
        if (r == 0 && frames->loopsThroughSecond) {
            r = NextPictureFrame(p.reader, &p.next);
        } else if (r == 0) {
            // Drawn whole (nothing is known to be on the screen), then the
            // frame after it only where it differs.
            p.next = FirstFrame(p.shown.delayTicks);
            p.next.serial = frames->serials[frames->shown];
        }
    }
    if (r != 0) {
        p.error = r == ANIM_END ? ERR_CORRUPT : r;
        return;
    }
    p.ahead = true;
}

void ShowFacts(const Player& p) {
    char count[24] = "";
    if (p.count > 0) std::snprintf(count, sizeof count, " of %d", int(p.count));
    // The rate in tenths, rounded, in whole numbers: written every frame.
    const uint32_t ticks = p.shown.delayTicks != 0 ? p.shown.delayTicks : 1;
    const uint32_t tenths = (600 + ticks / 2) / ticks;
    char line[96];
    std::snprintf(line, sizeof line, "\nFrame: %d%s, %u.%u a second", int(p.shown.number), count, tenths / 10,
                  tenths % 10);
    os::SetWindowInfo(gDisplay.window, (p.facts + line).c_str());
}

// Writes the engine's frame on show into the screen, whole, then presents.
void Present(Player& p, const AnimFrame& frame) {
    const DisplayParameters& d = *p.display;
    const PictureInfo& info = PictureReaderInfo(p.reader);
    int32_t colourCount = 0;
    const uint8_t* colours = PictureFrameColours(p.reader, &colourCount);
    os::HoldScreenPresents(gDisplay.screen, true);
    if (d.depth == 8 && frame.coloursChanged && colours != nullptr) {
        os::LoadRGB32(&gDisplay.screen->ViewPort, BuildColourLoadTable(colours, colourCount));
    }
    // New colours change the pixels themselves everywhere but on a screen
    // of colour indices.
    // Comparing reads both frames whole: after a frame that changed in every
    // row, the next few are written whole without it.
    const bool changedRowsOnly = p.wholeFrames == 0 && frame.before != 0 && frame.before == p.onScreen &&
                                 (d.depth == 8 || !frame.coloursChanged);
    if (p.wholeFrames > 0) --p.wholeFrames;
    int32_t changed = 0;
    for (int32_t r = 0; r < int32_t{info.header.h}; ++r) {
        uint32_t first = 0, end = info.header.w;
        if (changedRowsOnly && !PictureFrameRowChanged(p.reader, r, &first, &end)) continue;
        ++changed;
        RowBuffers* rows = PictureFrameRow(p.reader, r);
        // A HAM pixel holds the colour to its left: a change runs on to the row's end.
        if (rows->pixelKind == PIXEL_HAM6 || rows->pixelKind == PIXEL_HAM8) end = info.header.w;
        for (int32_t copy = 0; copy < d.yScale; ++copy) {
            WriteRowSpan(d.left, d.top + d.yScale * r + copy, d.xScale == 2, rows, colours, first, end);
        }
    }
    os::HoldScreenPresents(gDisplay.screen, false);
    if (changedRowsOnly && changed == int32_t{info.header.h}) p.wholeFrames = 7;
    p.onScreen = frame.serial;
    p.shown = frame;
    ShowFacts(p);
}

// Shows the frame after the one on the screen and decodes the one after it.
// False when that frame failed: p.error then ends the playback.
bool StepOn(Player& p) {
    if (!p.ahead) return p.error == 0 && !p.still;
    if (p.nextStartsPass) p.passOver = true;
    Present(p, p.next);
    Advance(p);
    return true;
}

// From the first frame before the frames are counted: on to the last.
void StepToLast(Player& p) {
    if (!p.ahead || p.nextStartsPass) return;
    AnimFrame frame = p.next;
    AnimFrame probe;
    int32_t r = 0;
    while ((r = NextPictureFrame(p.reader, &probe)) == 0) frame = probe;
    if (r != ANIM_END) {
        p.error = r;
        p.ahead = false;
        return;
    }
    frame.coloursChanged = true;
    Present(p, frame);
    Advance(p);
}

// Back one frame (from the first, to the last): from the first frame again.
void StepBack(Player& p) {
    if (p.shown.number == 1 && p.count == 0) {
        StepToLast(p);
        return;
    }
    const int32_t target = p.shown.number > 1 ? p.shown.number - 1 : p.count;
    if (target < 1 || target == p.shown.number) return;
    int32_t r = Restart(p, true);
    AnimFrame frame = FirstFrame(p.shown.delayTicks);
    while (r == 0 && frame.number < target) {
        const bool changed = frame.coloursChanged;
        r = NextPictureFrame(p.reader, &frame);
        frame.coloursChanged = frame.coloursChanged || changed;
    }
    if (r != 0) {
        p.error = r == ANIM_END ? ERR_CORRUPT : r;
        p.ahead = false;
        return;
    }
    // The colours are loaded again whenever the way here changed them.
    frame.coloursChanged = true;
    Present(p, frame);
    Advance(p);
}

// When the task is to wake with no input: the next frame or WAIT's end,
// whichever is earlier; max() when neither.
Clock::time_point WakeAt(const Player& p, bool waiting, Clock::time_point waitEnd) {
    Clock::time_point at = Clock::time_point::max();
    if (!p.paused && (p.ahead || p.error != 0)) at = p.due;
    // Once WAIT's seconds are over, only the pass's end (a frame's time) is left.
    if (waiting && waitEnd < at && Clock::now() < waitEnd) at = waitEnd;
    return at;
}

}  // namespace

int32_t PlayAnimation(PictureReader* reader, const char* path, const DisplayParameters& display,
                      CycleHandle* cycling, PictureStep* step) {
    Player p;
    p.reader = reader;
    p.path = path;
    p.display = &display;
    p.cycling = cycling;
    p.facts = PictureFacts(path, PictureReaderInfo(reader), display.depth);
    p.shown = FirstFrame(1);
    os::Window* window = gDisplay.window;
    const Clock::time_point drawn = Clock::now();
    const bool waiting = gViewOptions.waitSeconds > 0;
    const Clock::time_point waitEnd = drawn + std::chrono::seconds(gViewOptions.waitSeconds);
    Advance(p);
    p.due = drawn + Jiffies(p.ahead ? p.next.delayTicks : 1);
    os::SetWindowPaced(window, true);
    ShowFacts(p);

    const uint32_t windowSignal =
        (window != nullptr && window->UserPort != nullptr) ? 1u << window->UserPort->mp_SigBit : 0;
    const uint32_t signals = windowSignal | os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_F;
    int32_t code = 0;
    for (;;) {
        // A wait with its own deadline rather than the timer: a frame costs
        // one wake-up.
        const Clock::time_point at = WakeAt(p, waiting, waitEnd);
        const uint32_t got = at == Clock::time_point::max() ? os::Wait(signals) : os::WaitUntil(signals, at);
        UserRequest input;
        if ((got & windowSignal) != 0) {
            input = PollWindowInput(window, cycling != nullptr ? &SwitchCycling : nullptr, cycling);
            code = input.code;
            if (code != 0 && step != nullptr) *step = input.step;
        }
        if ((got & os::SIGBREAKF_CTRL_C) != 0) {
            code = CODE_STOP;
        }
        if (code != 0) break;
        if ((got & os::SIGBREAKF_CTRL_F) != 0 && gDisplay.screen != nullptr) os::ScreenToFront(gDisplay.screen);
        if (input.pauses % 2 != 0) {
            p.paused = !p.paused;
            if (!p.paused) p.due = Clock::now() + Jiffies(p.ahead ? p.next.delayTicks : 1);
        }
        for (int32_t s = 0; s < input.steps && p.error == 0; ++s) {
            p.paused = true;
            StepOn(p);
        }
        for (int32_t s = 0; s > input.steps && p.error == 0; --s) {
            p.paused = true;
            StepBack(p);
        }
        Clock::time_point now = Clock::now();
        // On time (or late), the next frame; a frame that failed ends the
        // playback at its own time, the one before it left on the screen.
        if (!p.paused && !p.still && now >= p.due && (p.ahead || p.error != 0)) {
            if (p.ahead && p.nextStartsPass) p.passOver = true;
            if (p.passOver && waiting && now >= waitEnd) break;
            if (!StepOn(p)) {
                code = p.error;
                break;
            }
            p.due += Jiffies(p.ahead ? p.next.delayTicks : 1);
            // Far behind (a machine that was stopped): start the times again.
            now = Clock::now();
            if (p.due + std::chrono::milliseconds(250) < now) p.due = now;
        }
        if (p.error != 0 && (p.paused || input.steps != 0) && !p.ahead && input.steps != 0) {
            code = p.error;
            break;
        }
        // WAIT ends it once its seconds are over and the first whole pass
        // has been shown; a paused animation or a single frame needs no pass.
        if (waiting && now >= waitEnd && (p.passOver || p.paused || p.still)) break;
    }
    os::SetWindowPaced(window, false);
    return code == CODE_NEXT ? 0 : code;
}

}  // namespace lanterna
