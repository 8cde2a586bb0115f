// The framebuffer's pages made ready by a worker: every page becomes
// resident, and what is already written stays as it was.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/graphics/framebuffer_prefault.h"

namespace {

using os::gfx::FramebufferPrefault;

struct Mapping {
    explicit Mapping(size_t n) : bytes(n) {
        void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base = p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
    }
    ~Mapping() {
        if (base != nullptr) munmap(base, bytes);
    }
    size_t ResidentPages() const {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        std::vector<unsigned char> in((bytes + page - 1) / page);
        if (mincore(base, bytes, in.data()) != 0) return 0;
        size_t n = 0;
        for (unsigned char c : in) n += c & 1;
        return n;
    }
    uint8_t* base = nullptr;
    size_t bytes;
};

// Kernels before 5.14 refuse the advice; there the worker gives up at once.
bool KernelPrefaults() {
#ifdef MADV_POPULATE_WRITE
    Mapping probe(4096);
    return probe.base != nullptr && madvise(probe.base, 4096, MADV_POPULATE_WRITE) == 0;
#else
    return false;
#endif
}

bool WaitFinished(const FramebufferPrefault& prefault) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!prefault.Finished() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return prefault.Finished();
}

TEST(FramebufferPrefault, EveryPageBecomesResidentAndWrittenBytesStay) {
    const size_t bytes = size_t(24) << 20;
    Mapping map(bytes);
    ASSERT_NE(map.base, nullptr);
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    // Rows already drawn in the first third, each page marked differently.
    for (size_t at = 0; at < bytes / 3; at += page) map.base[at + 7] = static_cast<uint8_t>(at / page % 251 + 1);
    const size_t before = map.ResidentPages();
    ASSERT_LT(before, bytes / page / 2);

    if (!KernelPrefaults()) GTEST_SKIP() << "the kernel does not know MADV_POPULATE_WRITE";
    FramebufferPrefault prefault;
    ASSERT_TRUE(prefault.Start(map.base, bytes));
    ASSERT_TRUE(WaitFinished(prefault));
    prefault.Stop();

    EXPECT_EQ(map.ResidentPages(), bytes / page);
    size_t wrong = 0;
    for (size_t at = 0; at < bytes; at += page) {
        const uint8_t want = at < bytes / 3 ? static_cast<uint8_t>(at / page % 251 + 1) : 0;
        wrong += map.base[at + 7] != want;
        wrong += map.base[at] != 0;
    }
    EXPECT_EQ(wrong, 0u);
}

TEST(FramebufferPrefault, SmallFramebuffersAreLeftAloneAndStopWaitsForTheWorker) {
    Mapping small(FramebufferPrefault::kMinBytes - 4096);
    ASSERT_NE(small.base, nullptr);
    FramebufferPrefault none;
    EXPECT_FALSE(none.Start(small.base, small.bytes));
    none.Stop();  // nothing to wait for

    // Stopped at once on a large mapping: the worker is gone when Stop
    // returns, so the mapping can be unmapped.
    Mapping big(size_t(64) << 20);
    ASSERT_NE(big.base, nullptr);
    if (!KernelPrefaults()) GTEST_SKIP() << "the kernel does not know MADV_POPULATE_WRITE";
    FramebufferPrefault prefault;
    ASSERT_TRUE(prefault.Start(big.base, big.bytes));
    prefault.Stop();
    EXPECT_TRUE(prefault.Finished());
}

}  // namespace
