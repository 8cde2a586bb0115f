// exec: memory, tasks, signals, lists, message ports and device I/O.
//
// A task is a thread with a 32-bit signal word. Signal/Wait/SetSignal work on
// that word under the task's own lock; a port is a message list plus one
// signal bit of the task that owns it; a device completes a request by
// replying it to the request's reply port. Forbid/Permit is one process-wide
// lock with a per-task nesting count that Wait gives up while it waits, which
// is what the start and end handshakes of helper tasks need.
//
// Relies on: the C++ thread library, and platform/testing for the faults that
// tests inject into allocations, ports, requests and devices. Every other
// service of the platform is built on this one.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace os {

// ---- signals -------------------------------------------------------------
constexpr uint32_t SIGB_SINGLE = 4;
constexpr uint32_t SIGF_SINGLE = 1u << SIGB_SINGLE;
constexpr uint32_t SIGBREAKB_CTRL_C = 12;
constexpr uint32_t SIGBREAKB_CTRL_D = 13;
constexpr uint32_t SIGBREAKB_CTRL_E = 14;
constexpr uint32_t SIGBREAKB_CTRL_F = 15;
constexpr uint32_t SIGBREAKF_CTRL_C = 1u << SIGBREAKB_CTRL_C;
constexpr uint32_t SIGBREAKF_CTRL_D = 1u << SIGBREAKB_CTRL_D;
constexpr uint32_t SIGBREAKF_CTRL_E = 1u << SIGBREAKB_CTRL_E;
constexpr uint32_t SIGBREAKF_CTRL_F = 1u << SIGBREAKB_CTRL_F;

// ---- memory --------------------------------------------------------------
constexpr uint32_t MEMF_ANY = 0;
constexpr uint32_t MEMF_PUBLIC = 1u << 0;
constexpr uint32_t MEMF_CLEAR = 1u << 16;

// Null on failure (or when fault injection says so). MEMF_CLEAR zero-fills.
void* AllocVec(size_t size, uint32_t flags);
void FreeVec(void* memory);  // null is ignored
void CopyMem(const void* source, void* destination, size_t count);

// ---- lists ---------------------------------------------------------------
constexpr uint8_t NT_UNKNOWN = 0;
constexpr uint8_t NT_TASK = 1;
constexpr uint8_t NT_DEVICE = 3;
constexpr uint8_t NT_MSGPORT = 4;
constexpr uint8_t NT_MESSAGE = 5;
constexpr uint8_t NT_REPLYMSG = 7;

struct Node {
    Node* ln_Succ = nullptr;
    Node* ln_Pred = nullptr;
    uint8_t ln_Type = 0;
    int8_t ln_Pri = 0;
    char* ln_Name = nullptr;
};

// A doubly linked list with a head and a tail sentinel, as exec keeps them.
struct List {
    Node lh_Head;
    Node lh_Tail;
};

void NewList(List* list);
void AddHead(List* list, Node* node);
void AddTail(List* list, Node* node);
void Remove(Node* node);
Node* RemHead(List* list);  // null when empty
bool IsListEmpty(const List* list);

// ---- tasks ---------------------------------------------------------------
struct TaskPrivate;

struct Task {
    Node tc_Node;
    void* tc_UserData = nullptr;
    TaskPrivate* priv = nullptr;  // the platform's own state; do not touch
};

using TaskEntry = void (*)();

// The calling thread's task. The main thread is a task from the start; any
// other thread that calls into exec becomes one on first use.
Task* FindTask(const char* name);  // only null (the own task) is supported

// Starts a task whose entry runs on a new thread. The new task passes the
// Forbid lock once before its entry runs, so a creator that holds Forbid can
// fill tc_UserData before the task sees it. Null on failure. The thread is
// joined (and the task freed) when the entry has returned, by the platform.
// The thread gets the platform's default stack, which is larger than any
// stackSize the program asks for.
Task* CreateTask(const char* name, int32_t priority, TaskEntry entry, uint32_t stackSize);

void Forbid();
void Permit();

// The processors this process may run on (its affinity), at least 1.
int32_t ProcessorsAvailable();

// A hand-over between two tasks on two processors, answered within
// microseconds, costs less watched for than slept through: sleeping and
// being woken costs each side more than such a wait. SpinUntil calls
// ready(context) for up to `microseconds` and tells whether it came true.
// With one processor the other side cannot run meanwhile, so it returns
// false at once.
bool SpinUntil(bool (*ready)(const void* context), const void* context, uint32_t microseconds);

int8_t AllocSignal(int8_t signalNumber);  // -1: any free bit; returns -1 on failure
void FreeSignal(int8_t signalNumber);
void Signal(Task* task, uint32_t signals);
uint32_t Wait(uint32_t signalMask);  // returns and clears the received bits; 0 for mask 0
uint32_t SetSignal(uint32_t newSignals, uint32_t signalMask);  // returns the old word
// Wait with a deadline on the monotonic clock: the received bits, or 0 once
// the deadline has passed with none. A task that paces itself (frames at
// their times) sleeps and wakes once this way; a timer request costs the
// timer's task two wake-ups more.
uint32_t WaitUntil(uint32_t signalMask, std::chrono::steady_clock::time_point deadline);

// ---- message ports -------------------------------------------------------
constexpr uint8_t PA_SIGNAL = 0;
constexpr uint8_t PA_SOFTINT = 1;
constexpr uint8_t PA_IGNORE = 2;

struct MsgPort;

struct Message {
    Node mn_Node;
    MsgPort* mn_ReplyPort = nullptr;
    uint16_t mn_Length = 0;
};

struct MsgPort {
    Node mp_Node;
    uint8_t mp_Flags = PA_SIGNAL;
    uint8_t mp_SigBit = 0;
    Task* mp_SigTask = nullptr;
    List mp_MsgList;
};

// A port with a newly allocated signal bit of the calling task.
MsgPort* CreateMsgPort();
void DeleteMsgPort(MsgPort* port);  // null is ignored

// Port operations are safe between threads: they take the port lock.
// PutMsg signals the port's task unless the port's flags are PA_IGNORE.
void PutMsg(MsgPort* port, Message* message);
Message* GetMsg(MsgPort* port);  // null when empty
void ReplyMsg(Message* message);  // to mn_ReplyPort; marks it NT_REPLYMSG
Message* WaitPort(MsgPort* port);  // waits until the list is not empty; does not remove

// Puts a message back at the head of a port's list without signalling, for a
// caller that wants to find the same message again on its next wait.
void PutBackMsg(MsgPort* port, Message* message);

// Makes `task` the one that a port's arrivals signal, under the port lock, so
// a reply already on its way signals either the old task or the new one. For
// a port built in place whose work another task takes over.
void SetPortTask(MsgPort* port, Task* task);

// ---- devices and I/O requests ---------------------------------------------
struct Device;
struct Unit;

struct IORequest {
    Message io_Message;
    Device* io_Device = nullptr;
    Unit* io_Unit = nullptr;
    uint16_t io_Command = 0;
    uint8_t io_Flags = 0;
    int8_t io_Error = 0;
};

constexpr uint16_t CMD_INVALID = 0;
constexpr int8_t IOERR_OPENFAIL = -1;
constexpr int8_t IOERR_ABORTED = -2;
constexpr int8_t IOERR_NOCMD = -3;

// Allocates `size` bytes with the reply port set; never less than the largest
// request a device here takes (a TimeRequest), so an under-counted size is safe.
// Deleting a request that is still out aborts and waits for it first.
IORequest* CreateIORequest(MsgPort* replyPort, size_t size);
void DeleteIORequest(IORequest* request);  // null is ignored

// 0 on success. The only device is "timer.device".
int8_t OpenDevice(const char* name, uint32_t unit, IORequest* request, uint32_t flags);
void CloseDevice(IORequest* request);

void SendIO(IORequest* request);            // asynchronous
IORequest* CheckIO(IORequest* request);     // null while outstanding
int32_t AbortIO(IORequest* request);        // completes a pending request at once
// Waits, takes the reply off its port (if GetMsg has not already), returns
// io_Error. A request that was never sent counts as done.
int8_t WaitIO(IORequest* request);
int8_t DoIO(IORequest* request);            // SendIO + WaitIO

}  // namespace os
