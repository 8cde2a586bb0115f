// Tasks, signals, Forbid/Permit handshakes and message ports between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/exec/exec.h"

namespace {

using namespace os;

// ---- signals ---------------------------------------------------------------

TEST(Signals, WaitTakesOnlyMaskedBitsAndSetSignalReportsTheOldWord) {
    const int8_t a = AllocSignal(-1);
    const int8_t b = AllocSignal(-1);
    ASSERT_GE(a, 16);
    ASSERT_GE(b, 16);
    ASSERT_NE(a, b);
    const uint32_t fa = 1u << a, fb = 1u << b;
    SetSignal(0, fa | fb);

    Signal(FindTask(nullptr), fa | fb);
    EXPECT_EQ(Wait(fa), fa);                             // only the masked bit is taken
    EXPECT_EQ(SetSignal(0, 0) & (fa | fb), fb);          // the other stays
    EXPECT_EQ(SetSignal(0, fb) & fb, fb);                // returns the old word, clears
    EXPECT_EQ(SetSignal(0, 0) & fb, 0u);
    EXPECT_EQ(SetSignal(fa, fa) & fa, 0u);               // sets through the mask
    EXPECT_EQ(Wait(fa | fb), fa);
    FreeSignal(a);
    FreeSignal(b);
}

TEST(Signals, AllocationUsesUserBitsAndRefusesTakenOnes) {
    EXPECT_EQ(AllocSignal(SIGB_SINGLE), -1);             // system bits are taken
    EXPECT_EQ(AllocSignal(SIGBREAKB_CTRL_C), -1);
    std::vector<int8_t> bits;
    for (int8_t bit; (bit = AllocSignal(-1)) >= 0;) bits.push_back(bit);
    EXPECT_EQ(bits.size(), 16u);
    for (int8_t bit : bits) EXPECT_GE(bit, 16);
    FreeSignal(bits[3]);
    EXPECT_EQ(AllocSignal(bits[3]), bits[3]);            // a freed bit can be asked for
    EXPECT_EQ(AllocSignal(bits[3]), -1);
    for (int8_t bit : bits) FreeSignal(bit);
}

TEST(Signals, AnotherThreadWakesAWaitingTask) {
    Task* self = FindTask(nullptr);
    SetSignal(0, SIGBREAKF_CTRL_E | SIGBREAKF_CTRL_F);
    std::thread sender([self] {
        Signal(self, SIGBREAKF_CTRL_F);  // not waited for: must not wake
        Signal(self, SIGBREAKF_CTRL_E);
    });
    EXPECT_EQ(Wait(SIGBREAKF_CTRL_E), SIGBREAKF_CTRL_E);
    sender.join();
    EXPECT_EQ(SetSignal(0, SIGBREAKF_CTRL_F) & SIGBREAKF_CTRL_F, SIGBREAKF_CTRL_F);
}

TEST(Signals, WaitUntilEndsAtItsDeadlineOrAtAnEarlierSignal) {
    using Clock = std::chrono::steady_clock;
    Task* self = FindTask(nullptr);
    SetSignal(0, SIGBREAKF_CTRL_E | SIGBREAKF_CTRL_F);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(WaitUntil(SIGBREAKF_CTRL_E, start + std::chrono::milliseconds(20)), 0u);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
    // A bit already there is taken at once, one that comes in time too;
    // a bit outside the mask is left.
    Signal(self, SIGBREAKF_CTRL_F);
    EXPECT_EQ(WaitUntil(SIGBREAKF_CTRL_F, Clock::time_point::min()), SIGBREAKF_CTRL_F);
    std::thread sender([self] {
        Signal(self, SIGBREAKF_CTRL_F);
        Signal(self, SIGBREAKF_CTRL_E);
    });
    EXPECT_EQ(WaitUntil(SIGBREAKF_CTRL_E, Clock::now() + std::chrono::minutes(5)), SIGBREAKF_CTRL_E);
    sender.join();
    EXPECT_EQ(SetSignal(0, SIGBREAKF_CTRL_F) & SIGBREAKF_CTRL_F, SIGBREAKF_CTRL_F);
}

TEST(Tasks, EveryThreadIsItsOwnTaskWithItsOwnSignals) {
    Task* self = FindTask(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(FindTask(nullptr), self);
    Task* other = nullptr;
    std::thread t([&] {
        other = FindTask(nullptr);
        SetSignal(SIGBREAKF_CTRL_D, SIGBREAKF_CTRL_D);
    });
    t.join();
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, self);
    EXPECT_EQ(SetSignal(0, 0) & SIGBREAKF_CTRL_D, 0u);
}

// ---- Forbid/Permit handshakes ----------------------------------------------

struct Handshake {
    Task* owner = nullptr;
    Task* task = nullptr;
    std::atomic<int> step{0};
    bool sawUserData = false;
    bool ranAfterSignal = false;
    uint32_t commands = 0;
};

Handshake* shared = nullptr;
std::atomic<bool> startedTooEarly{false};

// The cycling task's pattern: acknowledge start, serve one command, end
// inside Forbid right after signalling the owner.
void HandshakeEntry() {
    auto* h = static_cast<Handshake*>(FindTask(nullptr)->tc_UserData);
    if (h == nullptr) {
        startedTooEarly = true;  // ran before its creator filled tc_UserData
        h = shared;
    }
    h->sawUserData = (h == shared);
    Signal(h->owner, SIGF_SINGLE);
    h->commands = Wait(SIGBREAKF_CTRL_C);
    Forbid();
    h->task = nullptr;
    Signal(h->owner, SIGF_SINGLE);
    // Still inside Forbid: the owner cannot resume before this returns.
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    h->ranAfterSignal = true;
}

TEST(Forbid, NewTaskWaitsForItsUserDataAndOwnerResumesOnlyAfterTheEnd) {
    for (int round = 0; round < 20; ++round) {
        auto* h = new Handshake;
        shared = h;
        h->owner = FindTask(nullptr);
        Forbid();
        h->task = CreateTask("Handshake Task", 0, HandshakeEntry, 8192);
        ASSERT_NE(h->task, nullptr);
        // The new task is held at its start gate until the Wait below.
        for (int i = 0; i < 200; ++i) std::this_thread::yield();
        h->task->tc_UserData = h;
        SetSignal(0, SIGF_SINGLE);
        Wait(SIGF_SINGLE);
        Permit();
        EXPECT_TRUE(h->sawUserData);
        EXPECT_FALSE(startedTooEarly);

        Forbid();
        Signal(h->task, SIGBREAKF_CTRL_C);
        SetSignal(0, SIGF_SINGLE);
        Wait(SIGF_SINGLE);
        Permit();
        EXPECT_EQ(h->task, nullptr);
        EXPECT_EQ(h->commands, SIGBREAKF_CTRL_C);
        EXPECT_TRUE(h->ranAfterSignal);
        delete h;  // the task is gone: freeing its data at once is safe
    }
}

std::atomic<int> counter{0};
int unprotected = 0;

void CountingEntry() {
    for (int i = 0; i < 200; ++i) {
        Forbid();
        Forbid();  // nesting
        ++unprotected;
        Permit();
        Permit();
    }
    counter.fetch_add(1);
}

TEST(Forbid, IsOneLockAcrossTasksAndNests) {
    counter = 0;
    unprotected = 0;
    for (int i = 0; i < 4; ++i) ASSERT_NE(CreateTask("Counter", 0, CountingEntry, 4096), nullptr);
    CountingEntry();
    while (counter.load() < 5) std::this_thread::yield();
    Forbid();
    EXPECT_EQ(unprotected, 1000);
    Permit();
}

TEST(Forbid, UnbalancedPermitAndAThreadEndingInsideForbidLeaveTheLockFree) {
    Permit();
    Forbid();
    Permit();
    Permit();
    std::atomic<bool> done{false};
    std::thread t([&] {
        Forbid();
        Permit();
        done = true;
        Forbid();  // ends inside Forbid: the lock goes with the thread
    });
    t.join();
    EXPECT_TRUE(done);
    Forbid();
    Permit();
}

TEST(Forbid, WaitPortGivesTheLockUpAndTakesItBack) {
    MsgPort* port = CreateMsgPort();
    ASSERT_NE(port, nullptr);
    Message message;
    std::atomic<bool> entered{false};
    Forbid();
    // The sender needs Forbid to send: it can only do so while we wait.
    std::thread sender([&] {
        Forbid();
        PutMsg(port, &message);
        Permit();
    });
    EXPECT_EQ(WaitPort(port), &message);
    EXPECT_EQ(GetMsg(port), &message);
    sender.join();
    // Back inside Forbid: another task's Forbid must wait for our Permit.
    std::thread other([&] {
        Forbid();
        entered = true;
        Permit();
    });
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    EXPECT_FALSE(entered.load());
    Permit();
    other.join();
    EXPECT_TRUE(entered.load());
    DeleteMsgPort(port);
}

// ---- message ports ---------------------------------------------------------

struct TestMessage {
    Message message;
    int value = 0;
};

TEST(Ports, MessagesComeInOrderAndRepliesReturnToTheirPort) {
    MsgPort* port = CreateMsgPort();
    MsgPort* replies = CreateMsgPort();
    ASSERT_NE(port, nullptr);
    ASSERT_NE(replies, nullptr);
    EXPECT_NE(port->mp_SigBit, replies->mp_SigBit);
    EXPECT_EQ(GetMsg(port), nullptr);

    constexpr int kCount = 50;
    std::vector<TestMessage> messages(kCount);
    std::thread server([&] {
        // A second task serves the port: doubles each value, replies.
        for (int served = 0; served < kCount;) {
            WaitPort(port);
            while (Message* m = GetMsg(port)) {
                reinterpret_cast<TestMessage*>(m)->value *= 2;
                ReplyMsg(m);
                ++served;
            }
        }
    });
    for (int i = 0; i < kCount; ++i) {
        messages[i].value = i;
        messages[i].message.mn_ReplyPort = replies;
        PutMsg(port, &messages[i].message);
    }
    std::vector<int> order;
    while (static_cast<int>(order.size()) < kCount) {
        Wait(1u << replies->mp_SigBit);
        while (Message* m = GetMsg(replies)) {
            EXPECT_EQ(m->mn_Node.ln_Type, NT_REPLYMSG);
            order.push_back(reinterpret_cast<TestMessage*>(m)->value);
        }
    }
    server.join();
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(order[i], 2 * i);
    DeleteMsgPort(port);
    DeleteMsgPort(replies);
}

TEST(Ports, IgnoringPortIsNotSignalledButWaitPortStillSeesArrivals) {
    // A port built in place on SIGB_SINGLE, as the read-ahead stream builds its own.
    MsgPort port;
    port.mp_Node.ln_Type = NT_MSGPORT;
    port.mp_Flags = PA_IGNORE;
    port.mp_SigBit = SIGB_SINGLE;
    port.mp_SigTask = FindTask(nullptr);
    NewList(&port.mp_MsgList);
    SetSignal(0, SIGF_SINGLE);

    Message message;
    std::thread sender([&] { PutMsg(&port, &message); });
    EXPECT_EQ(WaitPort(&port), &message);
    sender.join();
    EXPECT_EQ(SetSignal(0, 0) & SIGF_SINGLE, 0u);

    // Taken off and put back: found again at once, still without a signal.
    Remove(&message.mn_Node);
    EXPECT_TRUE(IsListEmpty(&port.mp_MsgList));
    PutBackMsg(&port, &message);
    EXPECT_EQ(WaitPort(&port), &message);
    EXPECT_EQ(SetSignal(0, 0) & SIGF_SINGLE, 0u);
    EXPECT_EQ(GetMsg(&port), &message);

    port.mp_Flags = PA_SIGNAL;
    PutMsg(&port, &message);
    EXPECT_EQ(SetSignal(0, SIGF_SINGLE) & SIGF_SINGLE, SIGF_SINGLE);
    EXPECT_EQ(GetMsg(&port), &message);
}

TEST(Ports, DeletingAPortFreesItsSignalBit) {
    std::vector<MsgPort*> ports;
    for (MsgPort* p; (p = CreateMsgPort()) != nullptr;) ports.push_back(p);
    EXPECT_EQ(ports.size(), 16u);  // one user bit each
    for (MsgPort* p : ports) DeleteMsgPort(p);
    MsgPort* again = CreateMsgPort();
    EXPECT_NE(again, nullptr);
    DeleteMsgPort(again);
}

// ---- lists -----------------------------------------------------------------

TEST(Lists, HeadTailAndRemoval) {
    List list;
    NewList(&list);
    EXPECT_TRUE(IsListEmpty(&list));
    EXPECT_EQ(RemHead(&list), nullptr);
    Node a, b, c;
    AddTail(&list, &b);
    AddHead(&list, &a);
    AddTail(&list, &c);
    Remove(&b);
    Remove(&b);  // twice is harmless
    EXPECT_EQ(RemHead(&list), &a);
    EXPECT_EQ(RemHead(&list), &c);
    EXPECT_TRUE(IsListEmpty(&list));
}

}  // namespace
