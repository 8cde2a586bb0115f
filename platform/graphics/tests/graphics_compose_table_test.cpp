// The compose table pointed at while SDL starts: one the keyboard library of
// Wayland reads without an error, and no table once SDL has started.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/graphics/sdl/compose_table.h"
#include "tests/support/scoped_env.h"

TEST(ComposeTable, ReadableByXkbcommonWhileStarting) {
    void* lib = dlopen("libxkbcommon.so.0", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) GTEST_SKIP() << "libxkbcommon is not installed";
    auto newContext = reinterpret_cast<void* (*)(int)>(dlsym(lib, "xkb_context_new"));
    auto newTable = reinterpret_cast<void* (*)(void*, const char*, int)>(dlsym(lib, "xkb_compose_table_new_from_locale"));
    auto unrefTable = reinterpret_cast<void (*)(void*)>(dlsym(lib, "xkb_compose_table_unref"));
    auto unrefContext = reinterpret_cast<void (*)(void*)>(dlsym(lib, "xkb_context_unref"));
    ASSERT_TRUE(newContext && newTable && unrefTable && unrefContext);
    ScopedEnv unset("XCOMPOSEFILE", nullptr);
    {
        const os::sdl::EmptyComposeTableWhileStarting starting;
        void* context = newContext(0);
        void* table = newTable(context, "C.UTF-8", 0);  // reads XCOMPOSEFILE, as SDL's Wayland driver does
        EXPECT_NE(table, nullptr) << std::getenv("XCOMPOSEFILE");
        if (table != nullptr) unrefTable(table);
        unrefContext(context);
    }
    EXPECT_EQ(std::getenv("XCOMPOSEFILE"), nullptr);
    dlclose(lib);
}
