// Shared inner workings of exec: the per-task state behind Task::priv, the
// Forbid lock, the one lock that guards every message port, and ports for the
// platform's own service threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/exec/exec.h"

namespace os {

struct TaskPrivate {
    std::mutex mutex;                 // guards signals and allocated
    std::condition_variable wake;     // notified whenever signals gain bits
    uint32_t signals = 0;             // received and not yet taken
    uint32_t allocated = 0x0000FFFFu; // bits 0..15 belong to the system
    int32_t ioErr = 0;                // touched only by the task's own thread
    uint32_t forbidNesting = 0;       // guarded by the Forbid lock
    std::string name;
    // Tasks made by CreateTask: their thread and entry, owned by the platform.
    bool created = false;
    TaskEntry entry = nullptr;
    std::thread thread;
};

namespace internal {

// The calling thread's task (FindTask(nullptr)).
Task* CurrentTask();

// Wait's side of Forbid: gives the calling task's Forbid up completely and
// returns the nesting it had (0 when it held none); RestoreForbid takes the
// lock again with that nesting (nothing when 0).
uint32_t ReleaseForbid(Task* self);
void RestoreForbid(Task* self, uint32_t nesting);

// Every port list and every message's ln_Type are guarded by this one lock.
std::mutex& PortMutex();

// A thread waiting under PortMutex for what arrives at one port (null: the
// replies of messages that have none). Messages to other ports do not wake
// it: a service thread that sits on its own port is not woken by every
// reply in the process.
struct PortWaiter {
    const MsgPort* port = nullptr;
    PortWaiter* next = nullptr;
};
void AddPortWaiterLocked(PortWaiter* waiter);
void RemovePortWaiterLocked(PortWaiter* waiter);
std::condition_variable& PortChanged();

// Sleeps, `lock` holding PortMutex, until ready() is true; woken whenever a
// message is put, replied or put back to `port`.
template <typename Ready>
void WaitOnPortLocked(std::unique_lock<std::mutex>& lock, const MsgPort* port, Ready ready) {
    PortWaiter waiter{port, nullptr};
    AddPortWaiterLocked(&waiter);
    PortChanged().wait(lock, ready);
    RemovePortWaiterLocked(&waiter);
}

// A port for a platform service thread: a signal bit of the calling task,
// no service-log line and no fault injection. Null when no bit is free.
MsgPort* NewServicePort();
void DeleteServicePort(MsgPort* port);

// PutMsg with the message type to set (NT_MESSAGE or NT_REPLYMSG).
void PutMsgTyped(MsgPort* port, Message* message, uint8_t type);

// Removes `message` from `port`'s list if it is there; caller holds PortMutex.
void RemoveIfQueuedLocked(MsgPort* port, Message* message);

}  // namespace internal
}  // namespace os
