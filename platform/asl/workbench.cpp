// The Workbench start on Linux. The desktop entry runs
// `lanterna --workbench FILE...`; the start message it becomes has the
// program itself first (its directory and name, so that its icon
// "lanterna.info" beside the executable is found) and then each file as a
// lock on its directory and its name within it, as the Workbench passes
// selected icons.
//
// Every file given is an argument, whether it exists or not: the mode is
// what was started, and a file that is missing fails as its picture. The
// files of one directory share one lock, and at most MAX_DIRECTORY_LOCKS
// directories are held, so a start with thousands of files does not hold a
// descriptor per file; a file beyond that (or whose directory cannot be
// locked) gets no lock and its path as given, which names it from the
// starting directory as well.

#include "platform/asl/workbench.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/asl/desktop_tools.h"
#include "platform/asl/path_names.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/sdl/sdl_message_box.h"

namespace os {
namespace {

constexpr size_t MAX_DIRECTORY_LOCKS = 64;

struct StartupBlock : WBStartup {
    std::vector<WBArg> args;
    std::vector<std::unique_ptr<char[]>> names;
    std::vector<FileLock*> locks;  // each held once, however many files share it
    std::unordered_map<std::string, FileLock*> byDirectory;
};

// The shared lock on a directory; null when it cannot be had or too many
// are held.
FileLock* DirectoryLock(StartupBlock* block, const std::string& directory) {
    const auto found = block->byDirectory.find(directory);
    if (found != block->byDirectory.end()) return found->second;
    if (block->locks.size() >= MAX_DIRECTORY_LOCKS) return nullptr;
    FileLock* lock = Lock(directory.c_str(), SHARED_LOCK);
    if (lock == nullptr) return nullptr;
    try {
        block->locks.push_back(lock);
    } catch (const std::bad_alloc&) {
        UnLock(lock);
        return nullptr;
    }
    try {
        block->byDirectory.emplace(directory, lock);
    } catch (const std::bad_alloc&) {
        // Held and released through the list; it is only not shared.
    }
    return lock;
}

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
    try {
        block->args.push_back(WBArg{lock, copy.get()});
        block->names.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
        return false;
    }
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
    if (!AddArg(block.get(), DirectoryLock(block.get(), directory), name)) {
        FreeWorkbenchStartup(block.release());
        return nullptr;
    }
    for (int i = 0; i < fileCount && files != nullptr; ++i) {
        const std::string given = files[i] != nullptr ? files[i] : "";
        internal::SplitPath(given, &directory, &name);
        FileLock* lock = nullptr;
        if (!name.empty() && name != "/") lock = DirectoryLock(block.get(), directory);
        if (!AddArg(block.get(), lock, lock != nullptr ? name : given)) {
            FreeWorkbenchStartup(block.release());
            return nullptr;
        }
    }
    block->sm_NumArgs = static_cast<int32_t>(block->args.size());
    block->sm_ArgList = block->args.data();
    return block.release();
}

void FreeWorkbenchStartup(WBStartup* startup) {
    if (startup == nullptr) return;
    auto* block = static_cast<StartupBlock*>(startup);
    for (FileLock* lock : block->locks) UnLock(lock);
    delete block;
}

void ShowDesktopMessage(const char* title, const char* text) {
    if (desktop::HeadlessRequested() || !desktop::DisplayPresent()) return;
    ReleaseKeptWindows();  // the box stands alone, not beside a picture's window
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
