// Unix signals arriving as break signals of the main task, from the thread
// that waits for them.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/dos/dos.h"
#include "platform/exec/exec.h"

namespace {

// Polls without taking the bits, so the test sees exactly what arrived.
bool Arrives(uint32_t bits) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        if ((os::SetSignal(0, 0) & bits) == bits) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

class Breaks : public ::testing::Test {
protected:
    void SetUp() override {
        os::InstallBreakHandlers();  // the first test runs it before any other thread exists
        os::InstallBreakHandlers();  // and a second call changes nothing
        os::SetSignal(0, os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_F);
    }
};

TEST_F(Breaks, InterruptAndTerminateAreCtrlC) {
    for (int sig : {SIGINT, SIGTERM}) {
        ASSERT_EQ(kill(getpid(), sig), 0);
        ASSERT_TRUE(Arrives(os::SIGBREAKF_CTRL_C)) << sig;
        EXPECT_EQ(os::SetSignal(0, 0) & os::SIGBREAKF_CTRL_F, 0u);
        EXPECT_EQ(os::CheckSignal(os::SIGBREAKF_CTRL_C), os::SIGBREAKF_CTRL_C);
        EXPECT_EQ(os::CheckSignal(os::SIGBREAKF_CTRL_C), 0u);
    }
}

TEST_F(Breaks, User1IsCtrlF) {
    ASSERT_EQ(kill(getpid(), SIGUSR1), 0);
    ASSERT_TRUE(Arrives(os::SIGBREAKF_CTRL_F));
    EXPECT_EQ(os::SetSignal(0, 0) & os::SIGBREAKF_CTRL_C, 0u);
    EXPECT_EQ(os::CheckSignal(os::SIGBREAKF_CTRL_F), os::SIGBREAKF_CTRL_F);
}

TEST_F(Breaks, SignalsGoToTheMainTaskEvenWhenAnotherThreadRuns) {
    // A thread started after the handlers inherits the blocked mask, so the
    // signal still reaches the main task and never kills the process.
    std::thread other([] {
        ASSERT_EQ(kill(getpid(), SIGINT), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    other.join();
    EXPECT_TRUE(Arrives(os::SIGBREAKF_CTRL_C));
    os::CheckSignal(os::SIGBREAKF_CTRL_C);
}

TEST_F(Breaks, CheckSignalTakesOnlyTheAskedBits) {
    os::Signal(os::FindTask(nullptr), os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_F);
    EXPECT_EQ(os::CheckSignal(os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_D), os::SIGBREAKF_CTRL_C);
    EXPECT_EQ(os::SetSignal(0, 0) & (os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_F), os::SIGBREAKF_CTRL_F);
    EXPECT_EQ(os::CheckSignal(os::SIGBREAKF_CTRL_F), os::SIGBREAKF_CTRL_F);
    EXPECT_EQ(os::CheckSignal(0), 0u);
}

}  // namespace

