// Shell mode: parse the command line, walk every name and pattern on disk and
// show each matching file, printing a progress line per picture.
#include <cstring>
#include <new>
#include <string>

#include "driver/error_text.h"
#include "driver/run_modes.h"
#include "driver/show_picture.h"
#include "driver/shown_names.h"
#include "driver/shown_pictures.h"
#include "ilbm/picture_reader.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"
#include "records/view_options.h"

namespace lanterna {

namespace {

constexpr const char* PROGRAM_NAME = "Lanterna";

// One slot per template item, in template order.
enum ArgSlot { ARG_FILES, ARG_CENTER, ARG_WAIT, ARG_QUIET, ARG_ALL, ARG_WAITAFTEROPEN, ARG_CYCLE,
               ARG_HAM, ARG_EHB, ARG_COUNT };

// The process result of a run that failed, so that a script can tell it
// from a good run.
constexpr int32_t RESULT_FAILED = 10;

void PrintFailure(int32_t code) { os::Printf("%s: %s\n", PROGRAM_NAME, ErrorText(code)); }

// What ended the loop, as the process result: a run that went through, or
// that the user ended (a stop, a break, a picture ended early under QUIET),
// is 0; a run ended by a failure is 10.
int32_t RunResult(int32_t code) {
    if (code == 0 || code == os::ERROR_NO_MORE_ENTRIES || code == os::ERROR_BREAK || code == CODE_STOP) {
        return 0;
    }
    return RESULT_FAILED;
}

// A /N value counts only when given and above 0.
int32_t PositiveNumber(intptr_t slot) {
    const auto* value = reinterpret_cast<const int32_t*>(slot);
    return (value != nullptr && *value > 0) ? *value : 0;
}

struct LoopState {
    int32_t code = 0;           // what ended the loop; 0 while it runs
    bool stopReported = false;  // the user's stop was already printed
    ShownPictures shown;        // the names shown so far, for Page Up
    std::string counted;        // the file whose pictures `count` holds
    int32_t count = 0;
};

// Acts on the result of one file whose "Showing" line is printed (unless
// quiet). False ends the whole loop.
bool Completed(int32_t result, LoopState& state) {
    const bool quiet = gViewOptions.quiet;
    if (result == 0) {
        if (!quiet) os::Printf("Done.\n");
        return true;
    }
    if (quiet) {
        state.code = result;  // the first picture that fails ends the run
        return false;
    }
    if (result == CODE_STOP) {
        // The user's stop completes the line like a click would, and ends
        // the run without a further line.
        os::Printf("%s\n", ErrorText(CODE_NEXT));
        state.code = result;
        state.stopReported = true;
        return false;
    }
    os::Printf("%s\n", ErrorText(result));
    return true;
}

// The line of picture `picture` of `count` in the file; a file of one
// picture has the plain line.
void PrintShowing(const char* path, int32_t picture = 0, int32_t count = 1) {
    if (!gViewOptions.quiet) {
        if (count > 1) {
            os::Printf("Showing \"%s\" (%ld of %ld)... ", PrintedName(path).c_str(), long{picture + 1}, long{count});
        } else {
            os::Printf("Showing \"%s\"... ", PrintedName(path).c_str());
        }
        os::FFlush(os::Output());  // visible before the picture opens
    }
}

// The pictures of a CAT or LIST; 1 for every other file, those that cannot
// be read too (showing it says why). Counted once for the file on view, not
// again for each of its pictures.
int32_t PictureCount(const char* path, LoopState& state) {
    if (state.counted != path) {
        int32_t count = 0;
        state.count = CountPictures(path, &count) == 0 && count > 1 ? count : 1;
        state.counted = path;
    }
    return state.count;
}

// Shows one picture of a name, with its "Showing" line, and acts on its
// result. `place` counts the pictures shown before it; how many will follow
// is not known while the names are still being matched.
bool ShowName(void* context, const char* path, int32_t place, int32_t picture, int32_t& result,
              PictureStep& step) {
    LoopState& state = *static_cast<LoopState*>(context);
    PrintShowing(path, picture, PictureCount(path, state));
    result = gShowPicture(path, &step, RunPlace{place + 1, 0}, picture);
    return Completed(result, state);
}

// Shows each picture of one file, and the ones before again while the user
// steps back with Page Up. False ends the whole loop.
bool ShowOne(const char* path, LoopState& state) {
    const int32_t count = PictureCount(path, state);
    for (int32_t picture = 0; picture < count; ++picture) {
        if (!ShowGoingBack(state.shown, path, state.shown.Count(), picture, &ShowName, &state)) return false;
    }
    return true;
}

// A failure of one entry met during the walk (a sub-directory that cannot
// be read, a path too long for the anchor's buffer) is reported and the walk
// goes on; only a break or running out of memory ends it.
bool EntryFailure(int32_t error) {
    return error != 0 && error != os::ERROR_NO_MORE_ENTRIES && error != os::ERROR_BREAK &&
           error != os::ERROR_NO_FREE_STORE;
}

void PrintEntryFailure(const os::AnchorPath* anchor, int32_t error) {
    if (anchor->ap_Buf[0] != '\0') {
        os::Printf("%s: \"%s\": %s\n", PROGRAM_NAME, PrintedName(anchor->ap_Buf).c_str(), ErrorText(error));
    } else {
        os::Printf("%s: %s\n", PROGRAM_NAME, ErrorText(error));
    }
}

// The next match, with the failures of single entries reported and passed
// over. The matcher moves past the entry at every failure, so this ends.
int32_t NextMatch(os::AnchorPath* anchor) {
    int32_t error = os::MatchNext(anchor);
    while (EntryFailure(error)) {
        PrintEntryFailure(anchor, error);
        error = os::MatchNext(anchor);
    }
    return error;
}

// Walks the matches of one argument. 0 when matching ended normally (no
// more entries), otherwise the code that ends the whole loop.
int32_t MatchOne(const char* pattern, os::AnchorPath* anchor, LoopState& state) {
    anchor->ap_Private = nullptr;
    anchor->ap_FoundBreak = 0;
    anchor->ap_Flags = 0;
    anchor->ap_Info = os::FileInfoBlock{};
    anchor->ap_Strlen = os::MATCH_PATH_SIZE;
    anchor->ap_BreakBits = os::SIGBREAKF_CTRL_C;

    int32_t error = os::MatchFirst(pattern, anchor);
    // A failure that leaves the walk able to go on (the matcher keeps its
    // state) belongs to the first entry, not to the argument.
    if (EntryFailure(error) && anchor->ap_Private != nullptr) {
        PrintEntryFailure(anchor, error);
        error = NextMatch(anchor);
    }
    bool first = true;
    while (error == 0) {
        const int32_t type = anchor->ap_Info.fib_DirEntryType;
        // A directory named on the command line has its files shown.
        if (first && type > 0) {
            anchor->ap_Flags |= os::APF_DODIR;
        }
        // A name given as it is that is neither a file nor a directory (a
        // pipe, a device) gets its line and the reason it is not shown.
        const bool named = first && std::strcmp(anchor->ap_Buf, pattern) == 0;
        first = false;
        if (type > 0) {
            if (gViewOptions.all) {
                // Enter each sub-directory once; its second appearance (after
                // its contents) only clears the mark.
                if ((anchor->ap_Flags & os::APF_DIDDIR) != 0) {
                    anchor->ap_Flags &= ~os::APF_DIDDIR;
                } else {
                    anchor->ap_Flags |= os::APF_DODIR;
                }
            }
        } else if (type == 0 && named) {
            PrintShowing(anchor->ap_Buf);
            if (!Completed(os::ERROR_OBJECT_WRONG_TYPE, state)) {
                break;
            }
        } else if (type < 0 && anchor->ap_Info.fib_Size != 0) {
            if (!ShowOne(anchor->ap_Buf, state)) {
                break;
            }
        }
        error = NextMatch(anchor);
    }
    os::MatchEnd(anchor);
    if (state.code != 0) {
        return state.code;
    }
    return error == os::ERROR_NO_MORE_ENTRIES ? 0 : error;
}

}  // namespace

int32_t RunShellMode() {
    intptr_t args[ARG_COUNT] = {};
    os::RDArgs* parsed = os::ReadArgs(
        "FILES/M/A,C=CENTER/S,W=WAIT/K/N,Q=QUIET/S,A=ALL/S,WAO=WAITAFTEROPEN/K/N,CYCLE/S,HAM/S,EHB/S",
        args, nullptr);
    if (parsed == nullptr) {
        PrintFailure(os::IoErr());
        return 10;
    }

    gViewOptions = ViewOptions{};
    gViewOptions.center = args[ARG_CENTER] != 0;
    gViewOptions.waitSeconds = PositiveNumber(args[ARG_WAIT]);
    gViewOptions.quiet = args[ARG_QUIET] != 0;
    gViewOptions.all = args[ARG_ALL] != 0;
    gViewOptions.waitAfterOpenSeconds = PositiveNumber(args[ARG_WAITAFTEROPEN]);
    gViewOptions.cycle = args[ARG_CYCLE] != 0;
    gViewOptions.ham = args[ARG_HAM] != 0;
    gViewOptions.ehb = args[ARG_EHB] != 0;

    // One anchor for the whole run, not one per argument.
    void* memory = os::AllocVec(sizeof(os::AnchorPath), os::MEMF_CLEAR);
    if (memory == nullptr) {
        PrintFailure(os::ERROR_NO_FREE_STORE);
        os::FreeArgs(parsed);
        return RESULT_FAILED;
    }
    auto* anchor = new (memory) os::AnchorPath{};

    LoopState state;
    int32_t code = 0;
    const auto* files = reinterpret_cast<const char* const*>(args[ARG_FILES]);
    for (int32_t i = 0; files != nullptr && files[i] != nullptr; ++i) {
        code = MatchOne(files[i], anchor, state);
        if (code != 0) {
            break;
        }
    }

    os::FreeVec(anchor);
    if (code != 0 && code != os::ERROR_NO_MORE_ENTRIES && !state.stopReported) {
        // The user's stop has no text of its own: it reads as the break.
        PrintFailure(code == CODE_STOP ? os::ERROR_BREAK : code);
    }
    os::FreeArgs(parsed);
    return RunResult(code);
}

}  // namespace lanterna
