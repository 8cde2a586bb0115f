// Child processes for the desktop's tools: posix_spawn with an argument
// vector (no shell, so paths and titles are never interpreted), standard
// output through a pipe when wanted, and a wait that survives signals.

#include "platform/asl/desktop_tools.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace os::desktop {

bool HeadlessRequested() {
    const char* display = std::getenv("LANTERNA_DISPLAY");
    return display != nullptr && std::strcmp(display, "headless") == 0;
}

bool DisplayPresent() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != '\0') || (wayland != nullptr && *wayland != '\0');
}

std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr || name == nullptr || *name == '\0') return "";
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return "";
}

namespace {

// Closes a descriptor once, on every path.
struct Fd {
    int fd = -1;
    ~Fd() { Close(); }
    void Close() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

// The program blocks its break signals in every thread (a helper thread
// takes them with sigwait); a child must start with them unblocked, or
// Ctrl-C would not end it.
struct SpawnAttributes {
    posix_spawnattr_t attributes;
    bool ready = false;
    SpawnAttributes() {
        if (posix_spawnattr_init(&attributes) != 0) return;
        sigset_t none;
        sigemptyset(&none);
        ready = posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
                posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK) == 0;
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
};

struct FileActions {
    posix_spawn_file_actions_t actions;
    bool ready = false;
    FileActions() { ready = posix_spawn_file_actions_init(&actions) == 0; }
    ~FileActions() {
        if (ready) posix_spawn_file_actions_destroy(&actions);
    }
};

}  // namespace

int RunChild(const std::vector<std::string>& argv, std::string* output, size_t maxOutput) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    Fd readEnd, writeEnd;
    if (output != nullptr) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return -1;
        readEnd.fd = fds[0];
        writeEnd.fd = fds[1];
    }
    FileActions fa;
    if (!fa.ready) return -1;
    if (posix_spawn_file_actions_addopen(&fa.actions, 0, "/dev/null", O_RDONLY, 0) != 0 ||
        posix_spawn_file_actions_addopen(&fa.actions, 2, "/dev/null", O_WRONLY, 0) != 0) {
        return -1;
    }
    if (output != nullptr) {
        if (posix_spawn_file_actions_adddup2(&fa.actions, writeEnd.fd, 1) != 0) return -1;
    } else if (posix_spawn_file_actions_addopen(&fa.actions, 1, "/dev/null", O_WRONLY, 0) != 0) {
        return -1;
    }
    SpawnAttributes sa;
    if (!sa.ready) return -1;
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &fa.actions, &sa.attributes, args.data(), environ) != 0) return -1;
    writeEnd.Close();

    if (output != nullptr) {
        output->clear();
        char buffer[4096];
        for (;;) {
            ssize_t got = read(readEnd.fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            size_t room = maxOutput - std::min(maxOutput, output->size());
            output->append(buffer, std::min(room, static_cast<size_t>(got)));
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace os::desktop
