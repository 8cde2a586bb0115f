// Two loads at once on two threads, through gdk-pixbuf as a host program
// runs them: the module keeps nothing outside a load, so each thread gets
// exactly the pixels one load alone gives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pixbuf_loader/gdk_pixbuf_backend.h"
#include "tools/ilbm_writer/ilbm_writer.h"

// GLib is not built for ThreadSanitizer: its slice allocator's per-thread
// caches synchronise in ways the sanitizer cannot see. That one GLib
// function is left out of the reports; nothing of the loader is.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() { return "race:g_slice_alloc0\n"; }
#endif

namespace lanterna {
namespace {

using namespace ilbmw;

IlbmPicture Picture(const char* form, int32_t planes, bool cycles) {
    IlbmPicture p;
    p.formType = form;
    p.header = SimpleHeader(203, 97, planes, cmpByteRun1);
    for (int32_t i = 0; i < (1 << planes); ++i) p.colours.push_back({uint8_t(i * 5), uint8_t(255 - i), uint8_t(i * 3)});
    for (int32_t i = 0; i < 203 * 97; ++i) p.pixels.push_back(uint32_t((i * 7 + i / 203) % (1 << planes)));
    if (cycles) p.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(0, 8000, 1, 2, 20)));
    return p;
}

// The pixels of one load in pieces of 1 to 999 bytes; empty when it fails.
std::vector<uint8_t> Load(const Bytes& data, uint32_t seed) {
    std::mt19937 random(seed);
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("ilbm", nullptr);
    if (loader == nullptr) return {};
    bool ok = true;
    for (size_t at = 0; ok && at < data.size();) {
        const size_t n = std::min(data.size() - at, size_t(random() % 999) + 1);
        ok = gdk_pixbuf_loader_write(loader, data.data() + at, n, nullptr);
        at += n;
    }
    ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
    std::vector<uint8_t> pixels;
    GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf != nullptr) {
        const guchar* bytes = gdk_pixbuf_read_pixels(pixbuf);
        pixels.assign(bytes, bytes + gdk_pixbuf_get_byte_length(pixbuf));
    }
    g_object_unref(loader);
    return pixels;
}

TEST(PixbufLoaderThreads, TwoLoadsOnTwoThreadsAtOnce) {
    const std::string cache = TempPath("loaders") + ".cache";
    ASSERT_EQ(std::system(("env " PIXBUF_TOOL_ENV "'" PIXBUF_QUERY_LOADERS "' '" PIXBUF_LOADER_MODULE "' > '" + cache + "'").c_str()), 0);
    setenv("GDK_PIXBUF_MODULE_FILE", cache.c_str(), 1);
    const Bytes files[] = {MakeIlbm(Picture("ILBM", 5, true)), MakeIlbm(Picture("PBM ", 8, false))};
    const std::vector<uint8_t> alone[] = {Load(files[0], 1), Load(files[1], 1)};
    ASSERT_FALSE(alone[0].empty());
    ASSERT_FALSE(alone[1].empty());
    bool same[2] = {true, true};
    auto work = [&](int which) {
        for (uint32_t i = 0; i < 20; ++i) same[which] = same[which] && Load(files[which], i) == alone[which];
    };
    std::thread first(work, 0);
    std::thread second(work, 1);
    first.join();
    second.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
    std::remove(cache.c_str());
}

}  // namespace
}  // namespace lanterna
