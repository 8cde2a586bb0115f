// Libraries and their "main" interfaces. Each library the platform offers is
// one record with an open count; the display libraries open only when a
// display backend can start. Every platform library has version 50, so a
// caller asking for an older minimum is served and a newer one is refused.
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "platform/graphics/graphics.h"
#include "platform/libraries/libraries.h"
#include "platform/testing/testing_internal.h"

namespace os {

struct Library {
    const char* name;
    bool needsDisplay;
    int openCount;
};

struct Interface {
    Library* library;
};

namespace {

constexpr uint32_t kLibraryVersion = 50;
constexpr uint32_t kInterfaceVersion = 1;

Library libraries[] = {
    {"intuition.library", true, 0},  {"graphics.library", true, 0},
    {"cybergraphics.library", true, 0}, {"utility.library", false, 0},
    {"iffparse.library", false, 0},  {"icon.library", false, 0},
    {"asl.library", false, 0},
};

std::mutex countsMutex;

}  // namespace

Library* OpenLibrary(const char* name, uint32_t version) {
    if (name == nullptr || version > kLibraryVersion) return nullptr;
    for (Library& library : libraries) {
        if (std::strcmp(library.name, name) != 0) continue;
        if (internal::LibraryShouldFail(library.name)) return nullptr;
        if (library.needsDisplay && !DisplayAvailable()) return nullptr;
        {
            std::lock_guard lock(countsMutex);
            ++library.openCount;
        }
        internal::LogService("open", library.name);
        return &library;
    }
    return nullptr;
}

void CloseLibrary(Library* library) {
    if (library == nullptr) return;
    {
        std::lock_guard lock(countsMutex);
        if (library->openCount > 0) --library->openCount;
    }
    internal::LogService("close", library->name);
}

Interface* GetInterface(Library* library, const char* name, uint32_t version, const void* /*tags*/) {
    if (library == nullptr || name == nullptr || std::strcmp(name, "main") != 0 ||
        version > kInterfaceVersion) {
        return nullptr;
    }
    if (internal::InterfaceShouldFail(library->name)) return nullptr;
    auto* interface = new (std::nothrow) Interface{library};
    if (interface == nullptr) return nullptr;
    internal::LogService("interface", library->name);
    return interface;
}

void DropInterface(Interface* interface) {
    if (interface == nullptr) return;
    internal::LogService("drop", interface->library->name);
    delete interface;
}

}  // namespace os
