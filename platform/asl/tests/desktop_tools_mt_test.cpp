// The desktop's tools run as child processes of a program that blocks its
// break signals in every thread (a thread of its own waits for them).
#include <gtest/gtest.h>

#include <string>

#include "platform/asl/desktop_tools.h"
#include "platform/dos/dos.h"

namespace {

// The program blocks its break signals in every thread; a dialog it starts
// must get them unblocked, or Ctrl-C would not end it.
TEST(DesktopTools, ChildProcessesStartWithBreakSignalsUnblocked) {
    os::InstallBreakHandlers();
    std::string status;
    ASSERT_EQ(os::desktop::RunChild({"/bin/grep", "^SigBlk:", "/proc/self/status"}, &status, 256), 0);
    EXPECT_EQ(status, "SigBlk:\t0000000000000000\n");
}

}  // namespace
