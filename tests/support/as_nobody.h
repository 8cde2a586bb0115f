// Runs a piece of a test as an ordinary user, for tests of permission faults
// (an unreadable directory or file): root reads everything, and CI runs the
// tests as root. The body runs in a forked child that drops to nobody's uid
// and gid when it starts as root; its gtest failures are printed there and
// turn into a non-zero exit, which the parent sees.
#pragma once

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace test_support {

constexpr uid_t kNobodyFallback = 65534;

// nobody's uid and gid, from the password database when it has the user.
inline void NobodyIds(uid_t* uid, gid_t* gid) {
    *uid = kNobodyFallback;
    *gid = kNobodyFallback;
    if (const passwd* entry = getpwnam("nobody")) {
        *uid = entry->pw_uid;
        *gid = entry->pw_gid;
    }
}

// The body's exit status: 0 when it ran as a user without root's rights and
// had no failure. Everything the body touches must be reachable by nobody.
inline int RunAsOrdinaryUser(const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (geteuid() == 0) {
            uid_t uid = 0;
            gid_t gid = 0;
            NobodyIds(&uid, &gid);
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(3);
        }
        if (geteuid() == 0) _exit(4);  // still root: the test would prove nothing
        body();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace test_support
