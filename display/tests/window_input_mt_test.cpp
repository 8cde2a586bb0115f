// The user's input in the window: every queued message consumed, the last
// one deciding, Tab handed to the caller (the view's cycling:
// driver/tests/window_cycling_mt_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/display.h"
#include "display/picture_step.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"
#include "tests/support/queued_window_input.h"

namespace lanterna {
namespace {

using test_support::Input;

constexpr Input kClick{os::IDCMP_MOUSEBUTTONS, os::SELECTDOWN};
constexpr Input kClickUp{os::IDCMP_MOUSEBUTTONS, os::SELECTUP};
constexpr Input kMiddle{os::IDCMP_MOUSEBUTTONS, os::MIDDLEDOWN};
constexpr Input kRight{os::IDCMP_MOUSEBUTTONS, os::MENUDOWN};
constexpr Input kRightUp{os::IDCMP_MOUSEBUTTONS, os::MENUUP};
constexpr Input kEsc{os::IDCMP_VANILLAKEY, 0x1B};
constexpr Input kCtrlC{os::IDCMP_VANILLAKEY, 0x03};
constexpr Input kTab{os::IDCMP_VANILLAKEY, 0x09};
constexpr Input kKeyA{os::IDCMP_VANILLAKEY, 'a'};
constexpr Input kOther{0x00000040, 0};  // a class the window never asked for
constexpr Input kPageUp{os::IDCMP_RAWKEY, os::RAWKEY_PAGEUP};
constexpr Input kPageUpRelease{os::IDCMP_RAWKEY, os::RAWKEY_PAGEUP | os::IECODE_UP_PREFIX};
constexpr Input kPageDown{os::IDCMP_RAWKEY, os::RAWKEY_PAGEDOWN};
constexpr Input kRawOther{os::IDCMP_RAWKEY, 0x4C};  // a key without a character (cursor up)

class WindowInput : public test_support::QueuedWindowInput {};

TEST_F(WindowInput, LaterMessagesOverrideEarlierOnesAndAllAreReplied) {
    struct Case {
        const char* name;
        std::vector<Input> inputs;
        int32_t result;
    } cases[] = {
        {"nothing queued", {}, 0},
        {"Esc then a click", {kEsc, kClick}, CODE_NEXT},
        {"a click then Esc", {kClick, kEsc}, CODE_STOP},
        {"a release after a click", {kClick, kClickUp}, CODE_NEXT},
        {"a release after the right button", {kRight, kRightUp}, CODE_STOP},
        {"releases alone", {kRightUp, kClickUp}, 0},
        {"middle button", {kMiddle}, CODE_NEXT},
        {"right then middle", {kRight, kMiddle}, CODE_NEXT},
        {"an ordinary key", {kKeyA}, CODE_NEXT},
        {"Ctrl-C key after a key", {kKeyA, kCtrlC}, CODE_STOP},
        {"Tab without cycling", {kTab}, 0},
        {"Tab after a click", {kClick, kTab}, CODE_NEXT},
        {"an unknown class is ignored", {kKeyA, kOther}, CODE_NEXT},
        {"only unknown classes", {kOther, kOther}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Queue(c.inputs);
        EXPECT_EQ(PollWindowInput(&window_).code, c.result);
        EXPECT_EQ(os::GetMsg(window_.UserPort), nullptr);
        EXPECT_EQ(TakeReplies(), c.inputs.size());
    }
    EXPECT_EQ(PollWindowInput(nullptr).code, 0);
}

// Page Down ends the picture as a click does, Page Up ends it and asks for
// the one before; the message that decides the result decides the way, and
// input that ends nothing tells no way.
TEST_F(WindowInput, PageUpAsksForThePreviousPicturePageDownForTheNext) {
    struct Case {
        const char* name;
        std::vector<Input> inputs;
        int32_t result;
        PictureStep step;
    } cases[] = {
        {"Page Up", {kPageUp, kPageUpRelease}, CODE_NEXT, PictureStep::PREVIOUS},
        {"Page Down", {kPageDown}, CODE_NEXT, PictureStep::NEXT},
        {"a click after Page Up", {kPageUp, kClick}, CODE_NEXT, PictureStep::NEXT},
        {"Page Up after a key", {kKeyA, kPageUp}, CODE_NEXT, PictureStep::PREVIOUS},
        {"Page Up then a release and Tab", {kPageUp, kClickUp, kTab}, CODE_NEXT, PictureStep::PREVIOUS},
        {"Page Down after Page Up", {kPageUp, kPageDown}, CODE_NEXT, PictureStep::NEXT},
        {"Esc after Page Up", {kPageUp, kEsc}, CODE_STOP, PictureStep::PREVIOUS},
        {"Page Up after Esc", {kEsc, kPageUp}, CODE_NEXT, PictureStep::PREVIOUS},
        {"other keys without a character and releases", {kRawOther, kPageUpRelease}, 0, PictureStep::NEXT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Queue(c.inputs);
        const UserRequest got = PollWindowInput(&window_);
        EXPECT_EQ(got.code, c.result);
        if (c.result != CODE_STOP) {
            EXPECT_EQ(got.step, c.step);
        }
        EXPECT_EQ(TakeReplies(), c.inputs.size());
    }
    // Nothing that ends the picture: no way is told.
    Queue({kTab, kRawOther});
    const UserRequest got = PollWindowInput(&window_);
    EXPECT_EQ(got.code, 0);
    EXPECT_EQ(got.step, PictureStep::NEXT);
    EXPECT_EQ(TakeReplies(), 2u);
}

}  // namespace
}  // namespace lanterna
