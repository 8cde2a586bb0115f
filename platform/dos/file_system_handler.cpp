// The file-system handler: a thread with its own port that serves DOS
// packets. SendPkt queues a packet there; the handler reads into the
// caller's buffer while the caller goes on working, then replies the packet
// to the reply port the sender named (PutMsg rules: a PA_IGNORE port is not
// signalled). Open files are known to the handler by a reference number
// (fh_Arg1), never by raw descriptor, so a stale reference cannot read from
// a descriptor that has since been reused.
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "platform/dos/dos.h"
#include "platform/dos/dos_internal.h"
#include "platform/exec/exec_internal.h"
#include "platform/testing/testing_internal.h"

namespace os {
namespace {

struct OpenFile {
    int fd = -1;
    int busy = 0;  // reads in progress
};

struct Handler {
    std::mutex mutex;
    std::condition_variable changed;
    std::unordered_map<intptr_t, OpenFile> files;
    intptr_t nextReference = 1;
    bool started = false;
    bool ready = false;
    MsgPort* port = nullptr;
    std::atomic<MsgPort*> servedPort{nullptr};  // port, for ServePktNow without the lock
};

// Never destroyed: the handler thread lives until the process ends.
Handler& State() {
    static Handler* handler = new Handler;
    return *handler;
}

// Reads until `length` bytes are in or the file ends, as a DOS read does.
void ServeRead(DosPacket* packet) {
    packet->dp_Res1 = -1;
    packet->dp_Res2 = 0;
    if (internal::ShouldFail(internal::FaultPoint::Read)) {
        packet->dp_Res2 = ErrnoToDos(EIO);
        return;
    }
    auto* buffer = reinterpret_cast<unsigned char*>(packet->dp_Arg2);
    const intptr_t length = packet->dp_Arg3;
    if (length < 0 || length > INT32_MAX || (buffer == nullptr && length > 0)) {
        packet->dp_Res2 = ERROR_ACTION_NOT_KNOWN;
        return;
    }
    Handler& h = State();
    int fd;
    {
        std::lock_guard lock(h.mutex);
        auto it = h.files.find(packet->dp_Arg1);
        if (it == h.files.end()) {
            packet->dp_Res2 = ERROR_INVALID_LOCK;
            return;
        }
        ++it->second.busy;
        fd = it->second.fd;
    }
    intptr_t done = 0;
    int error = 0;
    while (done < length) {
        const ssize_t n = ::read(fd, buffer + done, static_cast<size_t>(length - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        if (n == 0) break;
        done += n;
    }
    {
        std::lock_guard lock(h.mutex);
        --h.files[packet->dp_Arg1].busy;
        h.changed.notify_all();
    }
    if (error != 0) {
        packet->dp_Res2 = ErrnoToDos(error);
        return;
    }
    packet->dp_Res1 = static_cast<int32_t>(done);
}

void Serve(Message* message) {
    auto* packet = reinterpret_cast<DosPacket*>(message->mn_Node.ln_Name);
    if (packet == nullptr) {
        ReplyMsg(message);
        return;
    }
    if (packet->dp_Type == ACTION_READ) {
        ServeRead(packet);
    } else {
        packet->dp_Res1 = 0;
        packet->dp_Res2 = ERROR_ACTION_NOT_KNOWN;
    }
    internal::PutMsgTyped(packet->dp_Port, message, NT_REPLYMSG);
}

void HandlerMain() {
    // A batch thread does not preempt the task it wakes beside: when no
    // other core is free, a packet waits for the reader's time slice to end
    // or for the reader to serve it itself (ServePktNow), instead of
    // switching the reader out for every buffer. Advice only.
    sched_param batch{};
    sched_setscheduler(0, SCHED_BATCH, &batch);
    Handler& h = State();
    MsgPort* port = internal::NewServicePort();
    {
        std::lock_guard lock(h.mutex);
        h.port = port;
        h.servedPort.store(port, std::memory_order_release);
        h.ready = true;
        h.changed.notify_all();
    }
    if (port == nullptr) return;
    for (;;) {
        WaitPort(port);
        while (Message* message = GetMsg(port)) Serve(message);
    }
}

}  // namespace

namespace internal {

MsgPort* FileSystemPort() {
    Handler& h = State();
    std::unique_lock lock(h.mutex);
    if (!h.started) {
        try {
            std::thread(HandlerMain).detach();
        } catch (const std::system_error&) {
            return nullptr;
        }
        h.started = true;
    }
    h.changed.wait(lock, [&] { return h.ready; });
    return h.port;
}

intptr_t RegisterFile(int fd) {
    Handler& h = State();
    std::lock_guard lock(h.mutex);
    const intptr_t reference = h.nextReference++;
    try {
        h.files.emplace(reference, OpenFile{fd, 0});
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return reference;
}

void UnregisterFile(intptr_t reference) {
    Handler& h = State();
    std::unique_lock lock(h.mutex);
    auto it = h.files.find(reference);
    if (it == h.files.end()) return;
    h.changed.wait(lock, [&] { return h.files[reference].busy == 0; });
    h.files.erase(reference);
}

}  // namespace internal

void SendPkt(DosPacket* packet, MsgPort* port, MsgPort* replyPort) {
    if (packet == nullptr || packet->dp_Link == nullptr) return;
    Message* message = packet->dp_Link;
    message->mn_Node.ln_Name = reinterpret_cast<char*>(packet);
    message->mn_ReplyPort = replyPort;
    packet->dp_Port = replyPort;
    if (port == nullptr) {
        // No handler to take it: answered at once as an unknown action.
        packet->dp_Res1 = packet->dp_Type == ACTION_READ ? -1 : 0;
        packet->dp_Res2 = ERROR_ACTION_NOT_KNOWN;
        internal::PutMsgTyped(replyPort, message, NT_REPLYMSG);
        return;
    }
    PutMsg(port, message);
}

bool ServePktNow(DosPacket* packet, MsgPort* port) {
    if (packet == nullptr || packet->dp_Link == nullptr || port == nullptr) return false;
    if (port != State().servedPort.load(std::memory_order_acquire)) return false;
    Message* message = packet->dp_Link;
    {
        std::lock_guard lock(internal::PortMutex());
        bool queued = false;
        for (Node* n = port->mp_MsgList.lh_Head.ln_Succ; n != nullptr && n->ln_Succ != nullptr; n = n->ln_Succ) {
            if (n == &message->mn_Node) {
                queued = true;
                break;
            }
        }
        if (!queued) return false;
        Remove(&message->mn_Node);
    }
    Serve(message);
    return true;
}

}  // namespace os
