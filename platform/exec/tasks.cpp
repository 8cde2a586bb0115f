// Tasks are threads. The main thread is a task from the start; any other
// thread becomes one the first time it calls in (FindTask through a
// thread-local pointer). Tasks made by CreateTask run their entry on a thread
// of their own, which the platform joins once the entry has returned.
//
// Forbid/Permit is one process-wide lock held with a per-task nesting count.
// Wait gives it up while it waits, so a creator that holds it and waits lets
// the new task run; a new task passes it once before its entry runs (the
// start gate); a task whose entry returns inside Forbid gives it up as its
// thread ends, so its owner resumes only after the task is gone.
#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <vector>

#include "platform/exec/exec.h"
#include "platform/exec/exec_internal.h"

namespace os {
namespace {

struct ForbidLock {
    std::mutex mutex;
    std::condition_variable released;
    Task* owner = nullptr;
};

struct TaskTable {
    std::mutex mutex;
    std::vector<Task*> running;   // created tasks whose entry has not returned
    std::vector<Task*> finished;  // entry returned; thread still to be joined
    Task* main = nullptr;
};

// Never destroyed: threads may still use them while the process exits.
ForbidLock& Gate() {
    static ForbidLock* lock = new ForbidLock;
    return *lock;
}

TaskTable& Table() {
    static TaskTable* table = new TaskTable;
    return *table;
}

Task* NewTaskRecord(const char* name) {
    auto* task = new (std::nothrow) Task;
    if (task == nullptr) return nullptr;
    task->priv = new (std::nothrow) TaskPrivate;
    if (task->priv == nullptr) {
        delete task;
        return nullptr;
    }
    task->priv->name = name ? name : "";
    task->tc_Node.ln_Type = NT_TASK;
    task->tc_Node.ln_Name = task->priv->name.data();
    return task;
}

void DeleteTaskRecord(Task* task) {
    delete task->priv;
    delete task;
}

// Owns the task of a thread that became a task by calling in, and frees it
// when that thread ends. The main task and created tasks are not owned here.
struct AdoptedTask {
    Task* task = nullptr;
    bool owned = false;
    ~AdoptedTask() {
        if (!owned) return;
        // A thread that ends inside Forbid must not leave the lock held by a
        // task that no longer exists.
        internal::ReleaseForbid(task);
        DeleteTaskRecord(task);
    }
};

thread_local AdoptedTask currentTask;

// Joins the threads of tasks that have ended and frees their records.
void ReapFinished() {
    std::vector<Task*> done;
    {
        TaskTable& table = Table();
        std::lock_guard lock(table.mutex);
        done.swap(table.finished);
    }
    for (Task* task : done) {
        if (task->priv->thread.joinable()) task->priv->thread.join();
        DeleteTaskRecord(task);
    }
}

// At exit: join what has ended; threads still running are let go.
struct ReapAtExit {
    ~ReapAtExit() {
        ReapFinished();
        TaskTable& table = Table();
        std::lock_guard lock(table.mutex);
        for (Task* task : table.running) {
            if (task->priv->thread.joinable()) task->priv->thread.detach();
        }
    }
};
ReapAtExit reapAtExit;

void RunTask(Task* task) {
    currentTask.task = task;
    currentTask.owned = false;
    // Start gate: the creator may hold Forbid while it fills tc_UserData.
    Forbid();
    Permit();
    task->priv->entry();
    // An entry that returns inside Forbid gives it up only now.
    ForbidLock& gate = Gate();
    {
        std::lock_guard lock(gate.mutex);
        if (gate.owner == task) {
            task->priv->forbidNesting = 0;
            gate.owner = nullptr;
            gate.released.notify_all();
        }
    }
    TaskTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.running.erase(std::find(table.running.begin(), table.running.end(), task));
    table.finished.push_back(task);
}

// The main thread is a task from the start.
[[maybe_unused]] Task* const mainTask = internal::CurrentTask();

}  // namespace

namespace internal {

Task* CurrentTask() {
    if (currentTask.task == nullptr) {
        Task* task = NewTaskRecord(nullptr);
        if (task == nullptr) std::terminate();  // nothing can run without it
        currentTask.task = task;
        TaskTable& table = Table();
        std::lock_guard lock(table.mutex);
        if (table.main == nullptr) {
            // The first thread to call in is the main thread (static
            // initialisation runs there); its task lives until exit.
            table.main = task;
            task->priv->name = "main";
            task->tc_Node.ln_Name = task->priv->name.data();
        } else {
            currentTask.owned = true;
        }
    }
    return currentTask.task;
}

uint32_t ReleaseForbid(Task* self) {
    ForbidLock& gate = Gate();
    std::lock_guard lock(gate.mutex);
    if (gate.owner != self) return 0;
    const uint32_t nesting = self->priv->forbidNesting;
    self->priv->forbidNesting = 0;
    gate.owner = nullptr;
    gate.released.notify_all();
    return nesting;
}

void RestoreForbid(Task* self, uint32_t nesting) {
    if (nesting == 0) return;
    ForbidLock& gate = Gate();
    std::unique_lock lock(gate.mutex);
    gate.released.wait(lock, [&] { return gate.owner == nullptr; });
    gate.owner = self;
    self->priv->forbidNesting = nesting;
}

}  // namespace internal

Task* FindTask(const char* name) {
    if (name == nullptr) return internal::CurrentTask();
    TaskTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.main != nullptr && table.main->priv->name == name) return table.main;
    for (Task* task : table.running) {
        if (task->priv->name == name) return task;
    }
    return nullptr;
}

Task* CreateTask(const char* name, int32_t priority, TaskEntry entry, uint32_t /*stackSize*/) {
    internal::CurrentTask();
    ReapFinished();
    if (entry == nullptr) return nullptr;
    Task* task = NewTaskRecord(name);
    if (task == nullptr) return nullptr;
    task->tc_Node.ln_Pri = static_cast<int8_t>(std::clamp(priority, -128, 127));
    task->priv->created = true;
    task->priv->entry = entry;
    TaskTable& table = Table();
    std::lock_guard lock(table.mutex);
    try {
        table.running.push_back(task);
    } catch (const std::bad_alloc&) {
        DeleteTaskRecord(task);
        return nullptr;
    }
    try {
        // The thread cannot leave its start gate before the table lock is
        // released, because it removes itself from `running` only at its end.
        task->priv->thread = std::thread(RunTask, task);
    } catch (const std::system_error&) {
        table.running.pop_back();
        DeleteTaskRecord(task);
        return nullptr;
    }
    return task;
}

void Forbid() {
    Task* self = internal::CurrentTask();
    ForbidLock& gate = Gate();
    std::unique_lock lock(gate.mutex);
    if (gate.owner == self) {
        ++self->priv->forbidNesting;
        return;
    }
    gate.released.wait(lock, [&] { return gate.owner == nullptr; });
    gate.owner = self;
    self->priv->forbidNesting = 1;
}

void Permit() {
    Task* self = internal::CurrentTask();
    ForbidLock& gate = Gate();
    std::lock_guard lock(gate.mutex);
    if (gate.owner != self) return;  // unbalanced Permit: nothing to give back
    if (--self->priv->forbidNesting == 0) {
        gate.owner = nullptr;
        gate.released.notify_all();
    }
}

}  // namespace os
