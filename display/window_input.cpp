// The user's clicks and keys in the picture's window.
#include "cycle/cycling.h"
#include "display/display.h"
#include "display/picture_step.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr uint16_t KEY_TAB = 0x09;
constexpr uint16_t KEY_ESC = 0x1B;
constexpr uint16_t KEY_CTRL_C = 0x03;

// Tab switches cycling on, or off with the starting colours back.
void ToggleCycling(CycleHandle* handle) {
    if (handle == nullptr) {
        return;
    }
    if (handle->running.load() == 0) {
        CycleOn(handle);
    } else {
        CycleOff(handle);
        CycleRestore(handle);
    }
}

}  // namespace

int32_t PollWindowInput(os::Window* window, CycleHandle* handle) {
    int32_t result = 0;
    if (window == nullptr || window->UserPort == nullptr) {
        return result;
    }
    PictureStep step = PictureStep::NEXT;  // the way of the message that set the result
    // Every queued message is consumed; a later one overrides an earlier one.
    while (os::Message* message = os::GetMsg(window->UserPort)) {
        const auto* input = reinterpret_cast<const os::IntuiMessage*>(message);
        if (input->Class == os::IDCMP_MOUSEBUTTONS) {
            if (input->Code == os::MENUDOWN) {
                result = CODE_STOP;
            } else if ((input->Code & os::IECODE_UP_PREFIX) == 0) {
                result = CODE_NEXT;  // left or middle button pressed
                step = PictureStep::NEXT;
            }
        } else if (input->Class == os::IDCMP_VANILLAKEY) {
            if (input->Code == KEY_ESC || input->Code == KEY_CTRL_C) {
                result = CODE_STOP;
            } else if (input->Code == KEY_TAB) {
                ToggleCycling(handle);
            } else {
                result = CODE_NEXT;
                step = PictureStep::NEXT;
            }
        } else if (input->Class == os::IDCMP_RAWKEY) {
            // Page Down ends the picture as a click does; Page Up ends it
            // too, and asks for the picture before it. Other keys without a
            // character, and releases, end nothing.
            if (input->Code == os::RAWKEY_PAGEDOWN || input->Code == os::RAWKEY_PAGEUP) {
                result = CODE_NEXT;
                step = input->Code == os::RAWKEY_PAGEUP ? PictureStep::PREVIOUS : PictureStep::NEXT;
            }
        }
        os::ReplyMsg(message);
    }
    if (result != 0) {
        gPictureStep = step;
    }
    return result;
}

}  // namespace lanterna
