// MatchFirst/MatchNext/MatchEnd: walking the names that match a pattern.
//
// The pattern is a path as typed. Components without wildcards before the
// first one with wildcards are taken as they are; every later component is
// matched against the entries of the directories matched so far, and only
// entries matching the last component are returned. A pattern without
// wildcards, or one whose text exists on disk as it is (a file really called
// "a(1).iff"), names one entry, returned once.
//
// After a directory has been returned the caller may set APF_DODIR: the next
// MatchNext then enters it and returns every entry in it (the pattern applies
// only to the level it was written for), in the same way for directories
// entered from there, and finally the directory itself again with APF_DIDDIR
// set. Every directory is walked at most once per pattern, however the walk
// reaches it: a directory whose entries were already returned (a link back
// up the tree, to the pattern's own directory, or across to a sibling) is
// returned with APF_DIDDIR at once instead of being entered again.
//
// Entries come sorted by name, case-insensitively, so runs are repeatable.
// ap_Buf receives the full path (the typed prefix plus the matched names) when
// ap_Strlen allows a buffer; a path that does not fit is ERROR_BUFFER_OVERFLOW,
// never a shortened name. fib_DirEntryType is ST_USERDIR for directories,
// ST_FILE for plain files and 0 for anything else (devices, pipes, sockets),
// which callers never open. Links are followed; entries that vanish or whose
// link leads nowhere are passed over.
//
// The break bits of ap_BreakBits are tested on every call and at every entry
// while a directory is read or passed over; a break is ERROR_BREAK with the
// bits in ap_FoundBreak.
//
// A failure that belongs to one entry (a directory that cannot be entered, a
// path longer than the buffer) leaves the walk where it was: the next
// MatchNext goes on past that entry. A failure of the pattern itself (its
// directory or its one name cannot be had) ends the walk, and MatchFirst then
// leaves no state behind (ap_Private is null).
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/dos/dos.h"

namespace os {
namespace {

constexpr size_t MAX_ENTRIES = size_t{1} << 20;  // per directory; more is ERROR_NO_FREE_STORE
constexpr size_t MAX_PATH_LENGTH = 4096;         // what the kernel accepts as a path
constexpr unsigned BREAK_INTERVAL = 1;           // entries between break tests

struct Frame {
    std::string prefix;              // put before an entry's name: "" or ending in "/"
    std::vector<std::string> names;  // sorted
    size_t next = 0;
    int component = -1;  // pattern component this level matches; -1: every entry
    // A directory entered with APF_DODIR, returned again with APF_DIDDIR.
    bool entered = false;
    std::string selfPath;
    std::string selfName;
    struct stat selfStat {};
};

struct MatchState {
    std::vector<std::string> components;  // the pattern components after the literal prefix
    std::vector<Frame> stack;
    bool haveLast = false;
    bool lastDidDir = false;
    std::string lastPath;
    std::string lastName;
    struct stat lastStat {};
    unsigned sinceBreakTest = 0;
    // The directories whose entries have been returned, by device and inode.
    std::vector<std::pair<dev_t, ino_t>> walked;
};

// Records a directory as walked; false when it was walked before.
bool FirstWalk(MatchState& state, const struct stat& st) {
    const std::pair<dev_t, ino_t> key{st.st_dev, st.st_ino};
    for (const auto& seen : state.walked)
        if (seen == key) return false;
    state.walked.push_back(key);
    return true;
}

MatchState* StateOf(AnchorPath* anchor) { return static_cast<MatchState*>(anchor->ap_Private); }

int32_t TestBreak(AnchorPath* anchor) {
    if (anchor->ap_BreakBits == 0) return 0;
    uint32_t bits = CheckSignal(anchor->ap_BreakBits);
    if (bits == 0) return 0;
    anchor->ap_FoundBreak |= bits;
    return ERROR_BREAK;
}

int32_t CodeForErrno(int error) {
    if (error == ENOENT || error == ENOTDIR) return ERROR_OBJECT_NOT_FOUND;
    if (error == ENAMETOOLONG) return ERROR_BUFFER_OVERFLOW;
    return ErrnoToDos(error);
}

char FoldByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool NameBefore(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char x = FoldByte(a[i]);
        char y = FoldByte(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names differing only in case: a fixed order all the same
}

struct DirCloser {
    DIR* dir;
    ~DirCloser() {
        if (dir != nullptr) closedir(dir);
    }
};

// Reads the names in a directory, sorted. 0 or a DOS code.
int32_t ReadDirectory(AnchorPath* anchor, MatchState& state, const std::string& path,
                      std::vector<std::string>& names) {
    names.clear();
    DirCloser dir{opendir(path.empty() ? "." : path.c_str())};
    if (dir.dir == nullptr) return CodeForErrno(errno);
    for (;;) {
        if (++state.sinceBreakTest >= BREAK_INTERVAL) {
            state.sinceBreakTest = 0;
            int32_t err = TestBreak(anchor);
            if (err != 0) return err;
        }
        errno = 0;
        dirent* entry = readdir(dir.dir);
        if (entry == nullptr) {
            if (errno != 0) return CodeForErrno(errno);
            break;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (names.size() >= MAX_ENTRIES) return ERROR_NO_FREE_STORE;
        names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end(), NameBefore);
    return 0;
}

std::string WithSlash(const std::string& path) {
    if (path.empty() || path.back() == '/') return path;
    return path + '/';
}

std::string BaseName(const std::string& path) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    size_t start = path.rfind('/', end - 1);
    start = (start == std::string::npos || end == 1) ? 0 : start + 1;
    return path.substr(start, end - start);
}

// Puts one entry into the anchor. 0 or ERROR_BUFFER_OVERFLOW.
int32_t Report(AnchorPath* anchor, MatchState& state, const std::string& path, const std::string& name,
               const struct stat& st, bool didDir) {
    state.haveLast = true;
    state.lastDidDir = didDir;
    state.lastPath = path;
    state.lastName = name;
    state.lastStat = st;

    int32_t allowed = std::min<int32_t>(anchor->ap_Strlen, MATCH_PATH_SIZE);
    if (path.size() >= MAX_PATH_LENGTH) return ERROR_BUFFER_OVERFLOW;
    if (allowed > 0) {
        if (path.size() + 1 > static_cast<size_t>(allowed)) {
            anchor->ap_Buf[0] = '\0';
            return ERROR_BUFFER_OVERFLOW;
        }
        std::memcpy(anchor->ap_Buf, path.c_str(), path.size() + 1);
    }

    FileInfoBlock& fib = anchor->ap_Info;
    fib = FileInfoBlock{};
    if (S_ISDIR(st.st_mode)) {
        fib.fib_DirEntryType = ST_USERDIR;
    } else if (S_ISREG(st.st_mode)) {
        fib.fib_DirEntryType = ST_FILE;
        fib.fib_Size = st.st_size;
    }
    fib.fib_EntryType = fib.fib_DirEntryType;
    fib.fib_Protection = 0;
    // The block holds 107 characters; longer names are cut at a character
    // boundary. The full name is always in ap_Buf.
    size_t n = std::min(name.size(), sizeof fib.fib_FileName - 1);
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    std::memcpy(fib.fib_FileName, name.data(), n);
    fib.fib_FileName[n] = '\0';

    if (didDir) {
        anchor->ap_Flags |= APF_DIDDIR;
    }
    return 0;
}

// Steps to the next entry to return. 0, ERROR_NO_MORE_ENTRIES or a DOS code.
int32_t Advance(AnchorPath* anchor, MatchState& state) {
    while (!state.stack.empty()) {
        if (++state.sinceBreakTest >= BREAK_INTERVAL) {
            state.sinceBreakTest = 0;
            int32_t err = TestBreak(anchor);
            if (err != 0) return err;
        }
        Frame& top = state.stack.back();
        if (top.next >= top.names.size()) {
            if (top.entered) {
                std::string path = top.selfPath;
                std::string name = top.selfName;
                struct stat st = top.selfStat;
                state.stack.pop_back();
                return Report(anchor, state, path, name, st, true);
            }
            state.stack.pop_back();
            continue;
        }
        const std::string name = top.names[top.next++];
        if (top.component >= 0) {
            const std::string& comp = state.components[static_cast<size_t>(top.component)];
            if (!MatchPatternNoCase(comp.c_str(), name.c_str())) continue;
        }
        const std::string path = top.prefix + name;
        if (path.size() >= MAX_PATH_LENGTH) return ERROR_BUFFER_OVERFLOW;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;  // vanished, or a link to nowhere
        if (top.component < 0 || static_cast<size_t>(top.component) + 1 == state.components.size()) {
            return Report(anchor, state, path, name, st, false);
        }
        // A directory on the way to the last component: look inside it.
        if (!S_ISDIR(st.st_mode)) continue;
        if (static_cast<size_t>(top.component) + 2 == state.components.size() && !FirstWalk(state, st)) {
            continue;  // its entries were returned already
        }
        Frame frame;
        frame.prefix = path + '/';
        frame.component = top.component + 1;
        int32_t err = ReadDirectory(anchor, state, path, frame.names);
        if (err == ERROR_BREAK || err == ERROR_NO_FREE_STORE) return err;
        if (err != 0) continue;  // an unreadable directory on the way has no matches
        state.stack.push_back(std::move(frame));
    }
    return ERROR_NO_MORE_ENTRIES;
}

int32_t Start(const char* pattern, AnchorPath* anchor, MatchState& state) {
    const std::string text(pattern);
    if (text.empty()) return ERROR_OBJECT_NOT_FOUND;
    if (text.size() >= MAX_PATH_LENGTH) return ERROR_BUFFER_OVERFLOW;

    struct stat st {};
    if (!HasWildcards(pattern) || stat(pattern, &st) == 0) {
        if (stat(pattern, &st) != 0) return CodeForErrno(errno);
        return Report(anchor, state, text, BaseName(text), st, false);
    }

    // The literal prefix ends at the "/" before the first component with wildcards.
    size_t prefixEnd = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t slash = text.find('/', pos);
        if (slash == std::string::npos) slash = text.size();
        std::string comp = text.substr(pos, slash - pos);
        if (HasWildcards(comp.c_str())) break;
        prefixEnd = slash + 1;
        pos = slash + 1;
    }
    std::string prefix = text.substr(0, prefixEnd);
    pos = prefixEnd;
    while (pos < text.size()) {
        size_t slash = text.find('/', pos);
        if (slash == std::string::npos) slash = text.size();
        if (slash > pos) state.components.push_back(text.substr(pos, slash - pos));
        pos = slash + 1;
    }

    Frame frame;
    frame.prefix = prefix;
    frame.component = 0;
    if (state.components.size() == 1) {
        struct stat self {};
        if (stat(prefix.empty() ? "." : prefix.c_str(), &self) == 0) FirstWalk(state, self);
    }
    int32_t err = ReadDirectory(anchor, state, prefix, frame.names);
    if (err != 0) return err;
    state.stack.push_back(std::move(frame));
    // Nothing at all matching is ERROR_NO_MORE_ENTRIES from MatchFirst itself.
    return Advance(anchor, state);
}

int32_t Finish(int32_t code) {
    if (code != 0) SetIoErr(code);
    return code;
}

}  // namespace

int32_t MatchFirst(const char* pattern, AnchorPath* anchor) {
    if (anchor == nullptr) return ERROR_REQUIRED_ARG_MISSING;
    MatchEnd(anchor);
    anchor->ap_FoundBreak = 0;
    anchor->ap_Flags &= ~(APF_DODIR | APF_DIDDIR);
    if (anchor->ap_Strlen > 0) anchor->ap_Buf[0] = '\0';
    if (pattern == nullptr) return Finish(ERROR_OBJECT_NOT_FOUND);
    int32_t err = TestBreak(anchor);
    if (err != 0) return Finish(err);
    try {
        auto* state = new MatchState;
        anchor->ap_Private = state;
        err = Start(pattern, anchor, *state);
        // Nothing left to walk after a failure: the pattern itself failed.
        if (err != 0 && state->stack.empty()) MatchEnd(anchor);
    } catch (const std::bad_alloc&) {
        err = ERROR_NO_FREE_STORE;
    }
    return Finish(err);
}

int32_t MatchNext(AnchorPath* anchor) {
    if (anchor == nullptr) return ERROR_REQUIRED_ARG_MISSING;
    MatchState* state = StateOf(anchor);
    if (state == nullptr) return Finish(ERROR_NO_MORE_ENTRIES);
    // APF_DIDDIR belongs to the entry returned last; it is cleared here too in
    // case the caller did not.
    const bool enter = (anchor->ap_Flags & APF_DODIR) != 0;
    anchor->ap_Flags &= ~(APF_DODIR | APF_DIDDIR);
    int32_t err = TestBreak(anchor);
    if (err != 0) return Finish(err);
    try {
        if (enter && state->haveLast && !state->lastDidDir && S_ISDIR(state->lastStat.st_mode)) {
            state->haveLast = false;
            if (!FirstWalk(*state, state->lastStat)) {
                return Finish(Report(anchor, *state, state->lastPath, state->lastName,
                                             state->lastStat, true));
            }
            Frame frame;
            frame.prefix = WithSlash(state->lastPath);
            frame.entered = true;
            frame.selfPath = state->lastPath;
            frame.selfName = state->lastName;
            frame.selfStat = state->lastStat;
            err = ReadDirectory(anchor, *state, state->lastPath, frame.names);
            if (err != 0) return Finish(err);
            state->stack.push_back(std::move(frame));
        }
        state->haveLast = false;
        err = Advance(anchor, *state);
    } catch (const std::bad_alloc&) {
        err = ERROR_NO_FREE_STORE;
    }
    return Finish(err);
}

void MatchEnd(AnchorPath* anchor) {
    if (anchor == nullptr) return;
    delete StateOf(anchor);
    anchor->ap_Private = nullptr;
}

}  // namespace os
