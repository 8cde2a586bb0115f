// Tab in the window of a finished picture drives the colour-cycling task:
// on, or off with the starting colours back, each Tab's message answered
// only after its commands were acknowledged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cycle/cycling.h"
#include "display/display.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"
#include "tests/support/queued_window_input.h"

namespace lanterna {
namespace {

using test_support::Input;

constexpr Input kClick{os::IDCMP_MOUSEBUTTONS, os::SELECTDOWN};
constexpr Input kEsc{os::IDCMP_VANILLAKEY, 0x1B};
constexpr Input kTab{os::IDCMP_VANILLAKEY, 0x09};

class WindowCycling : public test_support::QueuedWindowInput {};

// A stand-in for the cycling task: it logs each command, keeps `running` as
// the real task does, notes whether the Tab message had already been
// replied when the command arrived, and acknowledges on SIGF_SINGLE.
struct FakeCycler {
    CycleHandle handle;
    std::string log;
    const os::IntuiMessage* tab = nullptr;
    bool tabRepliedEarly = false;
};

void FakeCycleTask() {
    auto* fake = static_cast<FakeCycler*>(os::FindTask(nullptr)->tc_UserData);
    for (;;) {
        const uint32_t got = os::Wait(os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_D | os::SIGBREAKF_CTRL_E |
                                      os::SIGBREAKF_CTRL_F);
        if (got & os::SIGBREAKF_CTRL_C) {
            os::Signal(fake->handle.owner, os::SIGF_SINGLE);
            return;
        }
        if (fake->tab != nullptr && fake->tab->ExecMessage.mn_Node.ln_Type == os::NT_REPLYMSG) {
            fake->tabRepliedEarly = true;
        }
        if (got & os::SIGBREAKF_CTRL_D) {
            fake->log += "off ";
            fake->handle.running = 0;
        }
        if (got & os::SIGBREAKF_CTRL_E) {
            fake->log += "on ";
            fake->handle.running = 1;
        }
        if (got & os::SIGBREAKF_CTRL_F) {
            fake->log += "restore ";
        }
        os::Signal(fake->handle.owner, os::SIGF_SINGLE);
    }
}

// What the view hands the window's input for Tab.
void Switch(void* handle) { CycleSwitch(static_cast<CycleHandle*>(handle)); }

TEST_F(WindowCycling, TabSwitchesCyclingOnAndOffWithRestore) {
    FakeCycler fake;
    fake.handle.owner = os::FindTask(nullptr);
    os::Forbid();
    os::Task* task = os::CreateTask("fake cycler", 0, FakeCycleTask, 16384);
    ASSERT_NE(task, nullptr);
    task->tc_UserData = &fake;
    fake.handle.task = task;
    os::Permit();

    Queue({kTab});
    fake.tab = &messages_[0];
    EXPECT_EQ(PollWindowInput(&window_, &Switch, &fake.handle).code, 0);
    EXPECT_EQ(fake.log, "on ");
    EXPECT_EQ(TakeReplies(), 1u);

    Queue({kClick, kTab});
    fake.tab = &messages_[1];
    EXPECT_EQ(PollWindowInput(&window_, &Switch, &fake.handle).code, CODE_NEXT);
    EXPECT_EQ(fake.log, "on off restore ");
    EXPECT_EQ(fake.handle.running.load(), 0);
    EXPECT_EQ(TakeReplies(), 2u);

    Queue({kTab, kEsc});
    fake.tab = &messages_[0];
    EXPECT_EQ(PollWindowInput(&window_, &Switch, &fake.handle).code, CODE_STOP);
    EXPECT_EQ(fake.log, "on off restore on ");
    EXPECT_EQ(TakeReplies(), 2u);
    // Each Tab message goes back only after its commands were acknowledged.
    EXPECT_FALSE(fake.tabRepliedEarly);

    os::SetSignal(0, os::SIGF_SINGLE);
    os::Signal(task, os::SIGBREAKF_CTRL_C);
    os::Wait(os::SIGF_SINGLE);
}

}  // namespace
}  // namespace lanterna
