// libFuzzer target: the icon reader over arbitrary bytes. Each input is
// written as an icon file, read with GetDiskObject and removed at once; a
// returned icon has its tool types looked up and matched, then is freed.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/icon/icon.h"

namespace {

const std::string& IconBase() {
    static const std::string base = [] {
        char templ[] = "/tmp/fuzz_icon_XXXXXX";
        const char* dir = mkdtemp(templ);
        if (dir == nullptr) std::abort();
        return std::string(dir) + "/icon";
    }();
    return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& base = IconBase();
    const std::string path = base + ".info";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    os::DiskObject* icon = os::GetDiskObject(base.c_str());
    unlink(path.c_str());
    if (icon == nullptr) return 0;
    if (icon->do_ToolTypes != nullptr) {
        for (char* const* entry = icon->do_ToolTypes; *entry != nullptr; ++entry) {
            std::string name(*entry);
            name = name.substr(0, name.find('='));
            const char* value = os::FindToolType(icon->do_ToolTypes, name.c_str());
            if (value == nullptr) std::abort();  // every entry's own name is found
            (void)os::MatchToolValue(value, "YES");
        }
    }
    if (icon->do_DefaultTool != nullptr) (void)std::string(icon->do_DefaultTool);
    if (icon->do_ToolWindow != nullptr) (void)std::string(icon->do_ToolWindow);
    os::FreeDiskObject(icon);
    return 0;
}
