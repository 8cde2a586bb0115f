// The Workbench start on Linux. The desktop entry runs
// `lanterna --workbench FILE...`; the start message it becomes has the
// program itself first (its directory and name, so that its icon
// "lanterna.info" beside the executable is found) and then each file as a
// lock on its directory and its name within it, as the Workbench passes
// selected icons.

#include "platform/workbench.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/desktop_tools.h"
#include "platform/path_names.h"
#include "platform/sdl/sdl_message_box.h"

namespace os {
namespace {

struct StartupBlock : WBStartup {
    std::vector<WBArg> args;
    std::vector<std::unique_ptr<char[]>> names;
    std::vector<std::string> leftOut;  // files given that could not be had
};

// The executable's own path when argv[0] does not say where it is (started
// through PATH).
std::string ExecutablePath(const char* programPath) {
    if (programPath != nullptr && std::strchr(programPath, '/') != nullptr) return programPath;
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) return std::string(buffer, static_cast<size_t>(length));
    return programPath != nullptr ? programPath : "lanterna";
}

bool AddArg(StartupBlock* block, FileLock* lock, const std::string& name) {
    std::unique_ptr<char[]> copy(new (std::nothrow) char[name.size() + 1]);
    if (copy == nullptr) return false;
    std::memcpy(copy.get(), name.c_str(), name.size() + 1);
    block->args.push_back(WBArg{lock, copy.get()});
    block->names.push_back(std::move(copy));
    return true;
}

}  // namespace

WBStartup* CreateWorkbenchStartup(const char* programPath, int fileCount, const char* const* files) {
    std::unique_ptr<StartupBlock> block(new (std::nothrow) StartupBlock);
    if (block == nullptr) return nullptr;
    block->args.reserve(static_cast<size_t>(fileCount > 0 ? fileCount : 0) + 1);
    block->names.reserve(block->args.capacity());

    std::string directory, name;
    internal::SplitPath(ExecutablePath(programPath), &directory, &name);
    // Without a lock the program's argument still comes first: its icon is
    // then looked for in the starting directory.
    if (!AddArg(block.get(), Lock(directory.c_str(), SHARED_LOCK), name)) {
        FreeWorkbenchStartup(block.release());
        return nullptr;
    }
    for (int i = 0; i < fileCount && files != nullptr; ++i) {
        if (files[i] == nullptr) continue;
        internal::SplitPath(files[i], &directory, &name);
        if (name.empty() || name == "/") continue;
        FileLock* object = Lock(files[i], SHARED_LOCK);  // it must exist
        if (object == nullptr) {
            block->leftOut.emplace_back(files[i]);
            continue;
        }
        UnLock(object);
        FileLock* lock = Lock(directory.c_str(), SHARED_LOCK);
        if (lock == nullptr) {
            block->leftOut.emplace_back(files[i]);
            continue;
        }
        if (!AddArg(block.get(), lock, name)) {
            UnLock(lock);
            FreeWorkbenchStartup(block.release());
            return nullptr;
        }
    }
    block->sm_NumArgs = static_cast<int32_t>(block->args.size());
    block->sm_ArgList = block->args.data();
    return block.release();
}

int32_t WorkbenchLeftOutCount(const WBStartup* startup) {
    if (startup == nullptr) return 0;
    return static_cast<int32_t>(static_cast<const StartupBlock*>(startup)->leftOut.size());
}

const char* WorkbenchLeftOut(const WBStartup* startup, int32_t index) {
    if (index < 0 || index >= WorkbenchLeftOutCount(startup)) return nullptr;
    return static_cast<const StartupBlock*>(startup)->leftOut[static_cast<size_t>(index)].c_str();
}

void FreeWorkbenchStartup(WBStartup* startup) {
    if (startup == nullptr) return;
    auto* block = static_cast<StartupBlock*>(startup);
    for (WBArg& arg : block->args) UnLock(arg.wa_Lock);
    delete block;
}

void ShowDesktopMessage(const char* title, const char* text) {
    if (desktop::HeadlessRequested() || !desktop::DisplayPresent()) return;
    std::string t = title != nullptr ? title : "";
    std::string m = text != nullptr ? text : "";
    std::vector<std::string> argv;
    if (std::string zenity = desktop::FindProgram("zenity"); !zenity.empty()) {
        argv = {zenity, "--error", "--no-markup", "--title=" + t, "--text=" + m};
    } else if (std::string kdialog = desktop::FindProgram("kdialog"); !kdialog.empty()) {
        argv = {kdialog, "--title", t, "--error", m};
    } else {
        // No dialog tool of the desktop's: SDL draws a box of its own.
        sdl::ShowMessageBox(t.c_str(), m.c_str());
        return;
    }
    desktop::RunChild(argv, nullptr, 0);
}

}  // namespace os
