// The user's clicks and keys in the picture's window.
#include "display/display.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr uint16_t KEY_TAB = 0x09;
constexpr uint16_t KEY_ESC = 0x1B;
constexpr uint16_t KEY_CTRL_C = 0x03;

}  // namespace

UserRequest PollWindowInput(os::Window* window, void (*tab)(void* context), void* context) {
    UserRequest keys;
    int32_t result = 0;
    PictureStep step = PictureStep::NEXT;  // the way of the message that set the result
    if (window == nullptr || window->UserPort == nullptr) {
        return UserRequest{};
    }
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
                if (tab != nullptr) tab(context);
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
            } else if (input->Code == os::RAWKEY_F5) {
                ++keys.pauses;
            } else if (input->Code == os::RAWKEY_F6 || input->Code == os::RAWKEY_F7) {
                keys.steps += input->Code == os::RAWKEY_F7 ? 1 : -1;
            }
        }
        os::ReplyMsg(message);
    }
    keys.code = result;
    keys.step = result != 0 ? step : PictureStep::NEXT;
    return keys;
}

}  // namespace lanterna
