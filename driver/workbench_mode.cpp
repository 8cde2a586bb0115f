// The two Workbench modes. The program's own icon gives the defaults; with
// pictures in the start message each is shown in its own directory after its
// icon's tool types are applied (project mode); with none a file requester
// asks for pictures again and again until it is cancelled (requester mode).
// Nothing is printed in either mode: failures of single pictures pass
// silently, and only the user's stop ends a run of pictures. But a start (or
// a requester's batch) that showed nothing at all would leave the user with
// no sign of life, so it ends with one message box naming every file and
// the reason it was not shown. A requester that cannot be had is told in a
// desktop message box too, and ends the run with 20.

#include <cstdint>
#include <string>

#include "driver/error_text.h"
#include "driver/run_modes.h"
#include "driver/show_picture.h"
#include "driver/shown_names.h"
#include "driver/shown_pictures.h"
#include "ilbm/picture_reader.h"
#include "driver/tool_types.h"
#include "platform/asl/asl.h"
#include "platform/asl/workbench.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/icon/icon.h"
#include "records/result_codes.h"

namespace lanterna {
namespace {

// Applies the tool types of `name`'s icon, if it has one.
void ApplyIconOf(const char* name) {
    os::DiskObject* icon = os::GetDiskObject(name);
    if (icon != nullptr) {
        ApplyToolTypes(icon);
        os::FreeDiskObject(icon);
    }
}

// What a run of selections came to: whether any picture reached the screen
// (shown to the end, ended early or stopped), and a line for each that did
// not.
struct Outcome {
    bool shown = false;
    std::string failures;

    void Add(const char* name, int32_t result) {
        if (result == 0 || result == CODE_NEXT || result == CODE_STOP) {
            shown = true;
            return;
        }
        // A box is no terminal, but a control character would break its
        // lines, and bytes that are not UTF-8 cannot be shown in it.
        failures += VisibleName(name) + ": " + ErrorText(result) + "\n";
    }

    // The one message box of a start that showed nothing.
    void Report() const {
        if (shown || failures.empty()) return;
        const std::string text = "No picture could be shown.\n\n" + failures.substr(0, failures.size() - 1);
        os::ShowDesktopMessage("Lanterna", text.c_str());
    }
};

// One selected picture: its directory becomes the current one while its
// icon is read and it is shown.
int32_t ShowSelection(const os::WBArg& arg, int32_t picture, PictureStep* step, RunPlace place) {
    if (arg.wa_Name == nullptr) return 0;
    os::FileLock* previous = os::CurrentDir(arg.wa_Lock);
    ApplyIconOf(arg.wa_Name);
    const int32_t result = gShowPicture(arg.wa_Name, step, place, picture);
    os::CurrentDir(previous);
    return result;
}

// The name of a path without its directory.
const char* NamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p)
        if (*p == '/' && p[1] != '\0') name = p + 1;
    return name;
}

struct Selections {
    const os::WBArg* args;
    int32_t count;
    Outcome* outcome;
};

// Shows the selection at `place` (its number in the list).
bool ShowNumbered(void* context, const char* name, int32_t place, int32_t picture, int32_t& result,
                  PictureStep& step) {
    auto* selections = static_cast<Selections*>(context);
    result = ShowSelection(selections->args[place], picture, &step, RunPlace{place + 1, selections->count});
    selections->outcome->Add(NamePart(name), result);
    return result != CODE_STOP;
}

// Shows the selections in order, and the ones before again while the user
// steps back with Page Up; the user's stop ends them.
void ShowSelections(const os::WBArg* args, int32_t count, Outcome& outcome) {
    ShownPictures shown;
    Selections selections{args, count, &outcome};
    for (int32_t i = 0; i < count; ++i) {
        if (args[i].wa_Name == nullptr) continue;
        // Each picture of a CAT or LIST in turn, in the selection's drawer.
        int32_t pictures = 0;
        os::FileLock* previous = os::CurrentDir(args[i].wa_Lock);
        if (CountPictures(args[i].wa_Name, &pictures) != 0 || pictures < 1) pictures = 1;
        os::CurrentDir(previous);
        for (int32_t picture = 0; picture < pictures; ++picture) {
            if (!ShowGoingBack(shown, args[i].wa_Name, i, picture, &ShowNumbered, &selections)) return;
        }
    }
}


}  // namespace

int32_t RunWorkbenchMode(const os::WBStartup* startup) {
    if (startup == nullptr || startup->sm_NumArgs < 1 || startup->sm_ArgList == nullptr) return 20;

    // The program's own icon, beside the program, gives the defaults.
    const os::WBArg& self = startup->sm_ArgList[0];
    if (self.wa_Name != nullptr) {
        os::FileLock* previous = self.wa_Lock != nullptr ? os::CurrentDir(self.wa_Lock) : nullptr;
        ApplyIconOf(self.wa_Name);
        if (self.wa_Lock != nullptr) os::CurrentDir(previous);
    }

    // Project mode: every file given is an argument, missing ones too.
    if (startup->sm_NumArgs > 1) {
        Outcome outcome;
        ShowSelections(startup->sm_ArgList + 1, startup->sm_NumArgs - 1, outcome);
        outcome.Report();
        return 0;
    }

    // Requester mode: the same requester every time, so it opens in the
    // drawer last used.
    os::FileRequester* requester = os::AllocAslRequestTags(
        os::ASL_FileRequest, {{os::ASLFR_TitleText, reinterpret_cast<uintptr_t>("Load which file?")},
                              {os::ASLFR_PositiveText, reinterpret_cast<uintptr_t>("Load")},
                              {os::ASLFR_Flags1, os::FRF_DOMULTISELECT | os::FRF_DOPATTERNS},
                              {os::TAG_DONE, 0}});
    if (requester == nullptr) {
        // Without a requester this mode can do nothing at all: say so where
        // the user is, on the desktop, and fail.
        os::ShowDesktopMessage("Lanterna", ErrorText(ERR_FILE_REQUESTER));
        return 20;
    }
    while (os::AslRequestTags(requester, {{os::ASLFR_RejectIcons, 1}, {os::TAG_DONE, 0}}) &&
           requester->fr_NumArgs > 0) {
        // Each batch starts afresh: a stop ended only the batch before, so
        // a break that came in meanwhile must not pass over this one.
        os::SetSignal(0, os::SIGBREAKF_CTRL_C);
        Outcome outcome;
        ShowSelections(requester->fr_ArgList, requester->fr_NumArgs, outcome);
        outcome.Report();
    }
    os::FreeAslRequest(requester);
    return 0;
}

}  // namespace lanterna
