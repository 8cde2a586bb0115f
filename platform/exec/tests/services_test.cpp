// Memory, ports, requests and timer.device under the fault-injection switches,
// and the order the service log records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/exec/exec.h"
#include "platform/exec/timer.h"
#include "platform/testing/testing.h"
#include "tests/support/service_log_fixture.h"

namespace {

using namespace os;

using Services = test_support::ServiceLogFixture;

TEST_F(Services, AllocationsAreCountedClearedAndInjectedFailuresHitTheNthOnly) {
    const int64_t live = os::testing::LiveAllocations();
    auto* cleared = static_cast<unsigned char*>(AllocVec(1000, MEMF_CLEAR));
    ASSERT_NE(cleared, nullptr);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(cleared[i], 0) << i;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(cleared) % alignof(std::max_align_t), 0u);
    EXPECT_EQ(os::testing::LiveAllocations(), live + 1);

    os::testing::FailNthAlloc(3);
    void* a = AllocVec(16, MEMF_ANY);
    void* b = AllocVec(16, MEMF_ANY);
    void* c = AllocVec(16, MEMF_ANY);
    void* d = AllocVec(16, MEMF_ANY);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_NE(d, nullptr);
    EXPECT_EQ(AllocVec(SIZE_MAX - 4, MEMF_ANY), nullptr);  // no overflow into a small block
    CopyMem("overlap", cleared, 8);
    CopyMem(cleared, cleared + 1, 7);
    EXPECT_STREQ(reinterpret_cast<char*>(cleared), "ooverlap");
    FreeVec(a);
    FreeVec(b);
    FreeVec(c);
    FreeVec(d);
    FreeVec(cleared);
    EXPECT_EQ(os::testing::LiveAllocations(), live);
}

TEST_F(Services, TimerSetUpFailuresAndTeardownOrder) {
    os::testing::FailCreateMsgPort(1);
    EXPECT_EQ(CreateMsgPort(), nullptr);
    MsgPort* port = CreateMsgPort();
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(CreateIORequest(nullptr, TIMEREQUEST_SIZE), nullptr);
    os::testing::FailCreateIORequest(1);
    EXPECT_EQ(CreateIORequest(port, TIMEREQUEST_SIZE), nullptr);
    // A 40-byte request, as older callers count it, still holds a full time request.
    auto* request = reinterpret_cast<TimeRequest*>(CreateIORequest(port, 40));
    ASSERT_NE(request, nullptr);
    EXPECT_GE(request->tr_node.io_Message.mn_Length, sizeof(TimeRequest));
    EXPECT_EQ(request->tr_node.io_Message.mn_ReplyPort, port);
    os::testing::FailOpenDevice(1);
    EXPECT_EQ(OpenDevice("timer.device", UNIT_VBLANK, &request->tr_node, 0), IOERR_OPENFAIL);
    EXPECT_EQ(request->tr_node.io_Device, nullptr);
    CloseDevice(&request->tr_node);  // never opened: nothing to close
    ASSERT_EQ(OpenDevice("timer.device", UNIT_VBLANK, &request->tr_node, 0), 0);
    request->tr_node.io_Command = TR_ADDREQUEST;
    request->tr_time.tv_micro = 500;
    EXPECT_EQ(DoIO(&request->tr_node), 0);
    CloseDevice(&request->tr_node);
    DeleteIORequest(&request->tr_node);
    DeleteMsgPort(port);
    DeleteMsgPort(nullptr);
    DeleteIORequest(nullptr);
    EXPECT_EQ(os::testing::ServiceLog(),
              "create port\ncreate request\nopen timer.device\nclose timer.device\n"
              "delete request\ndelete port\n");
}

TEST_F(Services, ServiceLogKeepsNothingUnlessATestRecordsIt) {
    os::testing::RecordServiceLog(false);
    for (int i = 0; i < 1000; ++i) {
        os::MsgPort* port = os::CreateMsgPort();
        ASSERT_NE(port, nullptr);
        os::DeleteMsgPort(port);
    }
    EXPECT_EQ(os::testing::ServiceLog(), "");
    os::testing::RecordServiceLog(true);
    os::MsgPort* port = os::CreateMsgPort();
    os::DeleteMsgPort(port);
    EXPECT_EQ(os::testing::ServiceLog(), "create port\ndelete port\n");
}

}  // namespace
