// Message ports. One lock guards every port's list and every message's
// ln_Type, so a port may be built in place by its owner (as the read-ahead
// stream does) and still be safe between threads. Arrivals signal the port's
// task unless the port is PA_IGNORE; WaitPort waits on the arrival itself, so
// it returns even for a port that does not signal.
#include <atomic>
#include <new>

#include "platform/exec/exec.h"
#include "platform/exec/exec_internal.h"
#include "platform/testing/testing_internal.h"

namespace os {
namespace {

struct PortLock {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<uint32_t> arrivals{0};  // bumped by every PutMsg, read without the lock
    internal::PortWaiter* waiters = nullptr;
};

// Wakes the waiters when one of them waits on `port`; the caller holds the lock.
void NotifyWaitersOf(PortLock& ports, const MsgPort* port) {
    for (const internal::PortWaiter* w = ports.waiters; w != nullptr; w = w->next) {
        if (w->port == port) {
            ports.changed.notify_all();
            return;
        }
    }
}

PortLock& Ports() {
    static PortLock* ports = new PortLock;  // never destroyed: service threads
    return *ports;
}

// A port's owner switches its flags between PA_IGNORE and PA_SIGNAL without
// any lock while a reply may be on its way (the read-ahead stream does so
// around each wait). Either value read here is correct: a message that
// arrives before the switch to PA_SIGNAL is already in the list when the
// owner looks, and one that arrives after the owner has taken the port lock
// sees the new value. So the flags are read as a plain byte outside the
// race detector's view.
__attribute__((no_sanitize("thread"))) uint8_t ReadPortFlags(const MsgPort* port) {
    return __atomic_load_n(&port->mp_Flags, __ATOMIC_RELAXED);
}

// A reply or a request that follows within microseconds (a read-ahead
// buffer and its refill, served on the other core) is watched for before
// sleeping (SpinUntil). A 4096x4096 picture is read in several hundred
// buffers, and this takes a fifth off its time. The port's list is looked at
// under the lock only when something has arrived somewhere.
struct Arrival {
    PortLock* ports;
    const MsgPort* port;
    mutable uint32_t seen;
};

bool HasArrived(const void* context) {
    const auto* a = static_cast<const Arrival*>(context);
    const uint32_t now = a->ports->arrivals.load(std::memory_order_acquire);
    if (now == a->seen) return false;
    a->seen = now;
    std::lock_guard lock(a->ports->mutex);
    return !IsListEmpty(&a->port->mp_MsgList);
}

constexpr uint32_t ARRIVAL_SPIN_MICROSECONDS = 30;

void SpinForArrival(PortLock& ports, const MsgPort* port) {
    const Arrival arrival{&ports, port, ports.arrivals.load(std::memory_order_acquire)};
    SpinUntil(HasArrived, &arrival, ARRIVAL_SPIN_MICROSECONDS);
}

MsgPort* MakePort() {
    const int8_t bit = AllocSignal(-1);
    if (bit < 0) return nullptr;
    auto* port = new (std::nothrow) MsgPort;
    if (port == nullptr) {
        FreeSignal(bit);
        return nullptr;
    }
    port->mp_Node.ln_Type = NT_MSGPORT;
    port->mp_Flags = PA_SIGNAL;
    port->mp_SigBit = static_cast<uint8_t>(bit);
    port->mp_SigTask = internal::CurrentTask();
    NewList(&port->mp_MsgList);
    return port;
}

void FreePort(MsgPort* port) {
    // The bit belongs to the task that made the port, which may not be the caller.
    if (Task* owner = port->mp_SigTask) {
        std::lock_guard lock(owner->priv->mutex);
        owner->priv->allocated &= ~(1u << port->mp_SigBit);
    }
    delete port;
}

}  // namespace

namespace internal {

std::mutex& PortMutex() { return Ports().mutex; }
std::condition_variable& PortChanged() { return Ports().changed; }

void AddPortWaiterLocked(PortWaiter* waiter) {
    PortLock& ports = Ports();
    waiter->next = ports.waiters;
    ports.waiters = waiter;
}

void RemovePortWaiterLocked(PortWaiter* waiter) {
    for (PortWaiter** at = &Ports().waiters; *at != nullptr; at = &(*at)->next) {
        if (*at == waiter) {
            *at = waiter->next;
            return;
        }
    }
}

MsgPort* NewServicePort() { return MakePort(); }

void DeleteServicePort(MsgPort* port) {
    if (port != nullptr) FreePort(port);
}

void PutMsgTyped(MsgPort* port, Message* message, uint8_t type) {
    if (message == nullptr) return;
    PortLock& ports = Ports();
    std::lock_guard lock(ports.mutex);
    message->mn_Node.ln_Type = type;
    if (port != nullptr) {
        AddTail(&port->mp_MsgList, &message->mn_Node);
        ports.arrivals.fetch_add(1, std::memory_order_release);
        // Signalled under the port lock, so a WaitPort that clears the bit
        // after its wait cannot be overtaken by this signal.
        if (ReadPortFlags(port) == PA_SIGNAL && port->mp_SigTask != nullptr) {
            Signal(port->mp_SigTask, 1u << port->mp_SigBit);
        }
    }
    NotifyWaitersOf(ports, port);
}

void RemoveIfQueuedLocked(MsgPort* port, Message* message) {
    if (port == nullptr) return;
    for (Node* n = port->mp_MsgList.lh_Head.ln_Succ; n != nullptr && n->ln_Succ != nullptr;
         n = n->ln_Succ) {
        if (n == &message->mn_Node) {
            Remove(n);
            return;
        }
    }
}

}  // namespace internal

MsgPort* CreateMsgPort() {
    if (internal::ShouldFail(internal::FaultPoint::CreateMsgPort)) return nullptr;
    MsgPort* port = MakePort();
    if (port != nullptr) internal::LogService("create port");
    return port;
}

void DeleteMsgPort(MsgPort* port) {
    if (port == nullptr) return;
    internal::LogService("delete port");
    FreePort(port);
}

void PutMsg(MsgPort* port, Message* message) { internal::PutMsgTyped(port, message, NT_MESSAGE); }

Message* GetMsg(MsgPort* port) {
    if (port == nullptr) return nullptr;
    std::lock_guard lock(Ports().mutex);
    return reinterpret_cast<Message*>(RemHead(&port->mp_MsgList));
}

void ReplyMsg(Message* message) {
    if (message == nullptr) return;
    internal::PutMsgTyped(message->mn_ReplyPort, message, NT_REPLYMSG);
}

Message* WaitPort(MsgPort* port) {
    if (port == nullptr) return nullptr;
    PortLock& ports = Ports();
    Task* self = internal::CurrentTask();
    {
        // A message that is already there may have signalled on arrival;
        // that signal is used up here too, so the port's bit is clear after
        // every WaitPort however the arrival and the call were ordered.
        std::lock_guard lock(ports.mutex);
        if (!IsListEmpty(&port->mp_MsgList)) {
            if (port->mp_SigTask == self) SetSignal(0, 1u << port->mp_SigBit);
            return reinterpret_cast<Message*>(port->mp_MsgList.lh_Head.ln_Succ);
        }
    }
    const uint32_t nesting = internal::ReleaseForbid(self);
    SpinForArrival(ports, port);
    Message* first;
    {
        std::unique_lock lock(ports.mutex);
        internal::WaitOnPortLocked(lock, port, [&] { return !IsListEmpty(&port->mp_MsgList); });
        first = reinterpret_cast<Message*>(port->mp_MsgList.lh_Head.ln_Succ);
        // Having waited, the arrival's signal is used up, as a Wait on the
        // port's bit would have taken it.
        if (port->mp_SigTask == self) SetSignal(0, 1u << port->mp_SigBit);
    }
    internal::RestoreForbid(self, nesting);
    return first;
}

void PutBackMsg(MsgPort* port, Message* message) {
    if (port == nullptr || message == nullptr) return;
    PortLock& ports = Ports();
    std::lock_guard lock(ports.mutex);
    AddHead(&port->mp_MsgList, &message->mn_Node);
    NotifyWaitersOf(ports, port);
}

void SetPortTask(MsgPort* port, Task* task) {
    if (port == nullptr) return;
    std::lock_guard lock(Ports().mutex);
    port->mp_SigTask = task;
}

}  // namespace os
