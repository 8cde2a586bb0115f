// Fault injection switches, the live-allocation count and the service log.
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/testing/testing.h"
#include "platform/testing/testing_internal.h"

namespace os {
namespace {

constexpr int kPoints = 7;

struct Faults {
    std::mutex mutex;
    uint32_t target[kPoints] = {};
    uint32_t seen[kPoints] = {};
    std::set<std::string> libraries;
    std::set<std::string> interfaces;
    std::vector<std::string> log;
};

// Never destroyed: service threads may still use it while the process exits.
Faults& State() {
    static Faults* faults = new Faults;
    return *faults;
}

std::atomic<int64_t> liveAllocations{0};
std::atomic<bool> recordServiceLog{false};

void Arm(internal::FaultPoint point, uint32_t n) {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    f.target[static_cast<int>(point)] = n;
    f.seen[static_cast<int>(point)] = 0;
}

}  // namespace

namespace internal {

bool ShouldFail(FaultPoint point) {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    const int i = static_cast<int>(point);
    if (f.target[i] == 0) return false;
    if (++f.seen[i] != f.target[i]) return false;
    f.target[i] = 0;  // only the Nth fails
    f.seen[i] = 0;
    return true;
}

bool LibraryShouldFail(const std::string& name) {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    return f.libraries.count(name) != 0;
}

bool InterfaceShouldFail(const std::string& libraryName) {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    return f.interfaces.count(libraryName) != 0;
}

void LogService(const char* what, const char* name) {
    if (!recordServiceLog.load(std::memory_order_relaxed)) return;
    std::string line = what;
    if (name != nullptr) {
        line += ' ';
        line += name;
    }
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    f.log.push_back(std::move(line));
}

void CountAllocation(int delta) { liveAllocations.fetch_add(delta, std::memory_order_relaxed); }

}  // namespace internal

namespace testing {

void FailNthAlloc(uint32_t n) { Arm(internal::FaultPoint::Alloc, n); }
void FailNthOpen(uint32_t n) { Arm(internal::FaultPoint::Open, n); }
void FailNthRead(uint32_t n) { Arm(internal::FaultPoint::Read, n); }
void FailNthSeek(uint32_t n) { Arm(internal::FaultPoint::Seek, n); }
void FailCreateMsgPort(uint32_t n) { Arm(internal::FaultPoint::CreateMsgPort, n); }
void FailCreateIORequest(uint32_t n) { Arm(internal::FaultPoint::CreateIORequest, n); }
void FailOpenDevice(uint32_t n) { Arm(internal::FaultPoint::OpenDevice, n); }

void FailLibrary(const std::string& name) {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    f.libraries.insert(name);
}

void FailInterface(const std::string& libraryName) {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    f.interfaces.insert(libraryName);
}

void ResetFaults() {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    for (int i = 0; i < kPoints; ++i) f.target[i] = f.seen[i] = 0;
    f.libraries.clear();
    f.interfaces.clear();
}

int64_t LiveAllocations() { return liveAllocations.load(std::memory_order_relaxed); }

void RecordServiceLog(bool on) { recordServiceLog.store(on, std::memory_order_relaxed); }

std::string ServiceLog() {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    std::string text;
    for (const std::string& line : f.log) {
        text += line;
        text += '\n';
    }
    return text;
}

void ClearServiceLog() {
    Faults& f = State();
    std::lock_guard lock(f.mutex);
    f.log.clear();
}

}  // namespace testing
}  // namespace os
