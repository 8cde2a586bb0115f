// A run that does not stop when asked: a second stop signal, a while after
// the first, ends the process as the signal would; the first alone does not.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include "platform/dos/dos.h"

namespace {

// A child that takes the break signals and then never looks at them.
pid_t StartDeafChild() {
    const pid_t child = fork();
    if (child == 0) {
        os::InstallBreakHandlers();
        for (;;) pause();
    }
    return child;
}

bool Exited(pid_t child, int* status) { return waitpid(child, status, WNOHANG) == child; }

void Sleep(int ms) {
    timespec t{ms / 1000, (ms % 1000) * 1'000'000L};
    nanosleep(&t, nullptr);
}

TEST(StopSignals, ASecondStopEndsARunThatDidNotStop) {
    for (int sig : {SIGTERM, SIGINT}) {
        const pid_t child = StartDeafChild();
        ASSERT_GT(child, 0);
        Sleep(200);
        int status = 0;
        kill(child, sig);
        kill(child, sig);  // at once: still the first request, taken as one
        Sleep(2300);
        EXPECT_FALSE(Exited(child, &status)) << "one request must leave the run to stop by itself";
        kill(child, sig);
        bool gone = false;
        for (int i = 0; i < 100 && !(gone = Exited(child, &status)); ++i) Sleep(20);
        if (!gone) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        EXPECT_TRUE(gone);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    }
}

}  // namespace
