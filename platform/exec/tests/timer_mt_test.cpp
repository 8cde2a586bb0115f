// timer.device: completion order, AbortIO, CheckIO/WaitIO, and many requests
// outstanding from several tasks at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/exec/timer.h"
#include "platform/testing/testing.h"

namespace {

using namespace os;
using Clock = std::chrono::steady_clock;

struct Timer {
    MsgPort* port = nullptr;
    TimeRequest* request = nullptr;

    Timer() {
        port = CreateMsgPort();
        if (port == nullptr) return;
        request = reinterpret_cast<TimeRequest*>(CreateIORequest(port, TIMEREQUEST_SIZE));
        if (request != nullptr && OpenDevice("timer.device", UNIT_VBLANK, &request->tr_node, 0) != 0) {
            DeleteIORequest(&request->tr_node);
            request = nullptr;
        }
    }
    ~Timer() {
        if (request != nullptr) {
            CloseDevice(&request->tr_node);
            DeleteIORequest(&request->tr_node);
        }
        DeleteMsgPort(port);
    }
    void Start(uint32_t secs, uint32_t micro) {
        request->tr_node.io_Command = TR_ADDREQUEST;
        request->tr_time.tv_secs = secs;
        request->tr_time.tv_micro = micro;
        SendIO(&request->tr_node);
    }
};

TEST(Timer, CompletesInDueOrderAndSignalsItsPort) {
    MsgPort* port = CreateMsgPort();
    ASSERT_NE(port, nullptr);
    constexpr int kCount = 5;
    const uint32_t delays[kCount] = {40000, 10000, 30000, 0, 20000};
    TimeRequest* requests[kCount];
    for (int i = 0; i < kCount; ++i) {
        requests[i] = reinterpret_cast<TimeRequest*>(CreateIORequest(port, TIMEREQUEST_SIZE));
        ASSERT_NE(requests[i], nullptr);
        ASSERT_EQ(OpenDevice("timer.device", UNIT_MICROHZ, &requests[i]->tr_node, 0), 0);
    }
    // Each request is due between its send window's ends plus its delay; the
    // machine may pause the test between sends, so only requests whose
    // windows cannot overlap have a fixed order.
    Clock::time_point earliest[kCount], latest[kCount];
    for (int i = 0; i < kCount; ++i) {
        requests[i]->tr_node.io_Command = TR_ADDREQUEST;
        requests[i]->tr_time.tv_micro = delays[i];
        earliest[i] = Clock::now() + std::chrono::microseconds(delays[i]);
        SendIO(&requests[i]->tr_node);
        latest[i] = Clock::now() + std::chrono::microseconds(delays[i]);
    }
    std::vector<int> arrived;
    while (arrived.size() < kCount) {
        Wait(1u << port->mp_SigBit);
        while (Message* m = GetMsg(port)) {
            for (int i = 0; i < kCount; ++i) {
                if (m == &requests[i]->tr_node.io_Message) {
                    EXPECT_GE(Clock::now(), earliest[i]);  // never early
                    arrived.push_back(i);
                }
            }
        }
    }
    ASSERT_EQ(arrived.size(), static_cast<size_t>(kCount));
    for (int a = 0; a < kCount; ++a) {
        for (int b = a + 1; b < kCount; ++b) {
            // arrived[a] came first: it must not have been surely due later.
            EXPECT_FALSE(earliest[arrived[a]] > latest[arrived[b]]) << arrived[a] << " before " << arrived[b];
        }
    }
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(requests[i]->tr_node.io_Error, 0);
        EXPECT_NE(CheckIO(&requests[i]->tr_node), nullptr);
        EXPECT_EQ(WaitIO(&requests[i]->tr_node), 0);  // already taken by GetMsg: harmless
    }
    for (TimeRequest* r : requests) {
        CloseDevice(&r->tr_node);
        DeleteIORequest(&r->tr_node);
    }
    DeleteMsgPort(port);
}

TEST(Timer, AbortCompletesAPendingRequestAtOnce) {
    Timer t;
    ASSERT_NE(t.request, nullptr);
    EXPECT_NE(CheckIO(&t.request->tr_node), nullptr);  // never sent: done
    t.Start(3600, 0);
    EXPECT_EQ(CheckIO(&t.request->tr_node), nullptr);
    const auto start = Clock::now();
    AbortIO(&t.request->tr_node);
    EXPECT_EQ(WaitIO(&t.request->tr_node), IOERR_ABORTED);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_NE(CheckIO(&t.request->tr_node), nullptr);
    EXPECT_EQ(GetMsg(t.port), nullptr);  // WaitIO took the reply off the port

    // The same request serves again after an abort, and DoIO waits for it.
    t.request->tr_node.io_Command = TR_ADDREQUEST;
    t.request->tr_time.tv_secs = 0;
    t.request->tr_time.tv_micro = 1000;
    EXPECT_EQ(DoIO(&t.request->tr_node), 0);
    // Aborting a finished request changes nothing.
    AbortIO(&t.request->tr_node);
    EXPECT_EQ(t.request->tr_node.io_Error, 0);
}

TEST(Timer, UnknownCommandAndClosedDeviceFailAtOnce) {
    Timer t;
    ASSERT_NE(t.request, nullptr);
    t.request->tr_node.io_Command = CMD_INVALID;
    EXPECT_EQ(DoIO(&t.request->tr_node), IOERR_NOCMD);
    IORequest* other = CreateIORequest(t.port, TIMEREQUEST_SIZE);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(OpenDevice("serial.device", 0, other, 0), IOERR_OPENFAIL);
    EXPECT_EQ(OpenDevice("timer.device", 7, other, 0), IOERR_OPENFAIL);
    EXPECT_EQ(other->io_Device, nullptr);
    other->io_Command = TR_ADDREQUEST;
    EXPECT_EQ(DoIO(other), IOERR_OPENFAIL);
    DeleteIORequest(other);
}

TEST(Timer, DeletingAPendingRequestFinishesItFirst) {
    os::testing::RecordServiceLog(true);
    os::testing::ClearServiceLog();
    {
        Timer t;
        ASSERT_NE(t.request, nullptr);
        t.Start(3600, 0);
    }  // closes the device and deletes the request while it is out
    EXPECT_EQ(os::testing::ServiceLog(),
              "create port\ncreate request\nopen timer.device\nclose timer.device\n"
              "delete request\ndelete port\n");
}

TEST(Timer, ManyOutstandingRequestsFromSeveralTasks) {
    constexpr int kTasks = 4;
    constexpr int kPerTask = 25;
    std::atomic<int> completed{0};
    std::atomic<int> outOfOrder{0};
    std::vector<std::thread> tasks;
    for (int t = 0; t < kTasks; ++t) {
        tasks.emplace_back([&, t] {
            MsgPort* port = CreateMsgPort();
            if (port == nullptr) return;
            std::vector<TimeRequest*> requests;
            for (int i = 0; i < kPerTask; ++i) {
                auto* r = reinterpret_cast<TimeRequest*>(CreateIORequest(port, TIMEREQUEST_SIZE));
                if (r == nullptr || OpenDevice("timer.device", UNIT_VBLANK, &r->tr_node, 0) != 0) break;
                r->tr_node.io_Command = TR_ADDREQUEST;
                // Later requests are due earlier.
                r->tr_time.tv_micro = static_cast<uint32_t>((kPerTask - i) * 2000 + t * 10);
                if (i % 5 == 0) r->tr_time.tv_secs = 600;  // to be aborted: surely pending
                requests.push_back(r);
            }
            std::vector<Clock::time_point> earliest, latest;
            for (TimeRequest* r : requests) {
                const auto delay = std::chrono::microseconds(r->tr_time.tv_micro);
                earliest.push_back(Clock::now() + delay);
                SendIO(&r->tr_node);
                latest.push_back(Clock::now() + delay);
            }
            // Abort every fifth one.
            for (size_t i = 0; i < requests.size(); i += 5) AbortIO(&requests[i]->tr_node);
            Clock::time_point previousEarliest{};
            size_t got = 0;
            while (got < requests.size()) {
                Wait(1u << port->mp_SigBit);
                while (Message* m = GetMsg(port)) {
                    auto* r = reinterpret_cast<TimeRequest*>(m);
                    ++got;
                    if (r->tr_node.io_Error == IOERR_ABORTED) continue;
                    size_t i = 0;
                    while (requests[i] != r) ++i;
                    // Out of order: the previous one was surely due after this one.
                    if (r->tr_node.io_Error != 0 || previousEarliest > latest[i]) ++outOfOrder;
                    previousEarliest = earliest[i];
                    ++completed;
                }
            }
            for (TimeRequest* r : requests) {
                CloseDevice(&r->tr_node);
                DeleteIORequest(&r->tr_node);
            }
            DeleteMsgPort(port);
        });
    }
    for (std::thread& t : tasks) t.join();
    EXPECT_EQ(completed.load(), kTasks * (kPerTask - 5));
    EXPECT_EQ(outOfOrder.load(), 0);
}

TEST(Timer, CompletesCloseToItsTime) {
    Timer t;
    ASSERT_NE(t.request, nullptr);
    const auto start = Clock::now();
    t.Start(0, 20000);
    WaitIO(&t.request->tr_node);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(20));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2000));  // generous: shared machines
}

}  // namespace
