#include "ilbm/decode_ahead.h"

#include <atomic>
#include <new>

#include "ilbm/ilbm_session.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "records/row_buffers.h"

namespace lanterna {

constexpr char DECODE_AHEAD_TASK_NAME[] = "Lanterna decoder";
constexpr uint32_t DECODE_AHEAD_STACK_SIZE = 16384;

// Shared by the two tasks. Row n lives in slots[n % DECODE_AHEAD_ROWS]; the
// worker has finished rows [0, produced) and the owner has given back rows
// [0, consumed). A task sleeps only after saying so (ownerWaiting,
// workerWaiting) and looking once more, and the other signals it only then:
// with sequentially consistent flags and counters neither wake-up is lost,
// and most rows pass without a signal.
struct DecodeAhead {
    BodyReader* body = nullptr;
    int32_t planeRows = 0;
    int32_t rowCount = 0;
    RowBuffers* slots[DECODE_AHEAD_ROWS] = {};
    int32_t results[DECODE_AHEAD_ROWS] = {};
    int32_t ioErrors[DECODE_AHEAD_ROWS] = {};
    os::Task* owner = nullptr;
    uint32_t ownerMask = 0;  // the owner's signal: a row is ready, the worker started or ended
    int8_t ownerSignal = -1;
    os::Task* worker = nullptr;
    uint32_t workerMask = 0;  // the worker's signal: room in the ring, or stop
    int32_t taken = 0;        // the owner's next row
    std::atomic<int32_t> produced{0};
    std::atomic<int32_t> consumed{0};
    std::atomic<bool> ownerWaiting{false};
    std::atomic<bool> workerWaiting{false};
    std::atomic<bool> stop{false};
    std::atomic<int32_t> state{0};  // 0 starting, 1 running, -1 could not start, 2 ended
};

namespace {

// Having found the ring full, the worker goes on once half of it is free
// again, so that a slow owner wakes it once per half ring, not once a row.
constexpr int32_t RESUME_AT = DECODE_AHEAD_ROWS / 2;

void FreeAhead(DecodeAhead* ahead) {
    for (RowBuffers* rows : ahead->slots) FreeRowBuffers(rows);
    if (ahead->ownerSignal >= 0) os::FreeSignal(ahead->ownerSignal);
    ahead->~DecodeAhead();
    os::FreeVec(ahead);
}

// The worker's end, inside Forbid: the task returns holding it, so an owner
// that holds Forbid knows the task is still there, and one that waits for
// the end resumes only once the task has gone.
void EndWorker(DecodeAhead* ahead, int32_t state) {
    os::Task* owner = ahead->owner;
    const uint32_t mask = ahead->ownerMask;
    os::Forbid();
    ahead->state.store(state);  // from here on the owner may free the record
    os::Signal(owner, mask);
}

// Sleeps until the ring has room for row `row` or the owner stops the work;
// false for a stop.
bool WaitForRoom(DecodeAhead* ahead, int32_t row) {
    if (row - ahead->consumed.load() < DECODE_AHEAD_ROWS) return !ahead->stop.load();
    for (;;) {
        ahead->workerWaiting.store(true);
        if (ahead->stop.load()) break;
        if (row - ahead->consumed.load() <= RESUME_AT) break;
        os::Wait(ahead->workerMask);
    }
    ahead->workerWaiting.store(false);
    return !ahead->stop.load();
}

void DecodeAheadTask() {
    os::Task* self = os::FindTask(nullptr);
    auto* ahead = static_cast<DecodeAhead*>(self->tc_UserData);
    if (ahead == nullptr) return;
    const int8_t bit = os::AllocSignal(-1);
    if (bit < 0) {
        EndWorker(ahead, -1);
        return;
    }
    ahead->worker = self;
    ahead->workerMask = 1u << bit;
    // The owner waits for this start and touches the stream no more until
    // the worker has ended.
    AdoptIlbmSession(ahead->body->iff);
    ahead->state.store(1);
    os::Signal(ahead->owner, ahead->ownerMask);

    for (int32_t row = 0; row < ahead->rowCount; ++row) {
        if (!WaitForRoom(ahead, row)) break;
        const int32_t slot = row % DECODE_AHEAD_ROWS;
        const int32_t result = DecodeByteRun1Row(ahead->body, ahead->slots[slot], ahead->planeRows);
        ahead->results[slot] = result;
        ahead->ioErrors[slot] = result != 0 ? os::IoErr() : 0;
        ahead->produced.store(row + 1);
        if (ahead->ownerWaiting.load()) os::Signal(ahead->owner, ahead->ownerMask);
        if (result != 0) break;
    }
    // Only a stop ends the task, so the owner may signal it until then.
    while (!ahead->stop.load()) os::Wait(ahead->workerMask);
    os::FreeSignal(bit);
    EndWorker(ahead, 2);
}

// What the owner waits for: a row, or the worker's start or end.
struct OwnerCondition {
    const DecodeAhead* ahead;
    int32_t row;  // RowReady: the row wanted
};

bool RowReady(const void* context) {
    const auto* c = static_cast<const OwnerCondition*>(context);
    return c->ahead->produced.load() > c->row;
}

bool Started(const void* context) { return static_cast<const OwnerCondition*>(context)->ahead->state.load() != 0; }

bool Ended(const void* context) { return static_cast<const OwnerCondition*>(context)->ahead->state.load() == 2; }

// A row takes the worker a few microseconds: the owner watches for it a
// while before it sleeps, as a sleep and a wake-up for every row would cost
// more than the decoding. The start and the end of the task are waited for
// without it (the end comes only once the owner's Wait lets go of Forbid).
constexpr uint32_t ROW_SPIN_MICROSECONDS = 50;

// Sleeps until ready(condition) holds; the owner's side of the hand-over.
void OwnerWait(DecodeAhead* ahead, bool (*ready)(const void*), const OwnerCondition& condition,
               uint32_t spinMicroseconds) {
    if (spinMicroseconds > 0 && os::SpinUntil(ready, &condition, spinMicroseconds)) return;
    while (!ready(&condition)) {
        ahead->ownerWaiting.store(true);
        if (ready(&condition)) break;
        os::Wait(ahead->ownerMask);
    }
    ahead->ownerWaiting.store(false);
}

}  // namespace

DecodeAhead* StartDecodeAhead(BodyReader* body, const BitMapHeader& header, uint32_t modeId, uint32_t formType,
                              bool rgbRows, int32_t planeRows, int32_t rowCount) {
    if (body == nullptr || rowCount <= 0) return nullptr;
    void* memory = os::AllocVec(sizeof(DecodeAhead), os::MEMF_ANY);
    if (memory == nullptr) return nullptr;
    auto* ahead = new (memory) DecodeAhead;
    ahead->body = body;
    ahead->planeRows = planeRows;
    ahead->rowCount = rowCount;
    ahead->owner = os::FindTask(nullptr);
    for (RowBuffers*& rows : ahead->slots) {
        rows = AllocRowBuffers(header, modeId, formType, rgbRows);
        if (rows == nullptr) {
            FreeAhead(ahead);
            return nullptr;
        }
    }
    ahead->ownerSignal = os::AllocSignal(-1);
    if (ahead->ownerSignal < 0) {
        FreeAhead(ahead);
        return nullptr;
    }
    ahead->ownerMask = 1u << ahead->ownerSignal;

    // The task sees tc_UserData only after Permit.
    os::Forbid();
    os::Task* task = os::CreateTask(DECODE_AHEAD_TASK_NAME, 0, DecodeAheadTask, DECODE_AHEAD_STACK_SIZE);
    if (task == nullptr) {
        os::Permit();
        FreeAhead(ahead);
        return nullptr;
    }
    task->tc_UserData = ahead;
    os::Permit();
    OwnerWait(ahead, Started, OwnerCondition{ahead, 0}, 0);
    if (ahead->state.load() < 0) {
        FreeAhead(ahead);
        return nullptr;
    }
    return ahead;
}

int32_t NextDecodedRow(DecodeAhead* ahead, RowBuffers** rows) {
    // The row handed out last is given back.
    ahead->consumed.store(ahead->taken);
    if (ahead->workerWaiting.load() && ahead->produced.load() - ahead->taken <= RESUME_AT)
        os::Signal(ahead->worker, ahead->workerMask);
    const int32_t row = ahead->taken;
    OwnerWait(ahead, RowReady, OwnerCondition{ahead, row}, ROW_SPIN_MICROSECONDS);
    const int32_t slot = row % DECODE_AHEAD_ROWS;
    *rows = ahead->slots[slot];
    ++ahead->taken;
    if (ahead->results[slot] != 0) os::SetIoErr(ahead->ioErrors[slot]);
    return ahead->results[slot];
}

void StopDecodeAhead(DecodeAhead* ahead) {
    if (ahead == nullptr) return;
    os::Forbid();
    ahead->stop.store(true);
    os::Signal(ahead->worker, ahead->workerMask);
    OwnerWait(ahead, Ended, OwnerCondition{ahead, 0}, 0);
    os::Permit();
    AdoptIlbmSession(ahead->body->iff);
    FreeAhead(ahead);
}

}  // namespace lanterna
