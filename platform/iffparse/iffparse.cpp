// The platform's IFF reader.
//
// An IFF file is a tree of chunks: a chunk is a four-character id, a
// big-endian 32-bit size and that many data bytes, plus one pad byte when the
// size is odd. The group chunks FORM, LIST, CAT and PROP start their data with
// a four-character type and hold further chunks. The reader keeps a stack of
// the chunks it is inside (a bounded array: nothing grows with the input) and
// walks the tree with reads and seeks through the caller's stream hook. It
// never reads beyond the outermost group, so junk after it is ignored, and it
// checks a group's claimed size only against its container, never against the
// file: a FORM that claims more than the file holds is read up to the point
// where data actually runs out.
#include "platform/iffparse/iffparse.h"

#include <cstring>
#include <new>

#include "platform/exec/byte_order.h"
#include "platform/exec/exec.h"

namespace os {

namespace {

constexpr int32_t MAX_DEPTH = 32;      // nested groups and the chunk inside them
constexpr int32_t MAX_STOP_PAIRS = 64;

struct ParserState {
    Hook* hook = nullptr;
    int32_t flags = 0;
    bool open = false;
    bool started = false;      // the outermost group header has been read
    int32_t status = 0;        // sticky end or error status once the walk is over
    bool leavePending = false; // step mode: the top context is finished but not yet left
    int32_t depth = 0;
    ContextNode nodes[MAX_DEPTH];
    bool isGroup[MAX_DEPTH] = {};
    bool hasPad[MAX_DEPTH] = {};  // the context's pad byte lies within its container
    int32_t stops[2 * MAX_STOP_PAIRS] = {};
    int32_t stopCount = 0;
};

ParserState* StateOf(IFFHandle* iff) { return iff ? static_cast<ParserState*>(iff->priv) : nullptr; }

bool IsGroupId(uint32_t id) { return id == ID_FORM || id == ID_LIST || id == ID_CAT || id == ID_PROP; }

int32_t CallHook(ParserState* st, IFFHandle* iff, int32_t command, void* buffer, int32_t count) {
    IFFStreamCmd cmd;
    cmd.sc_Command = command;
    cmd.sc_Buf = buffer;
    cmd.sc_NBytes = count;
    return st->hook->h_Entry(st->hook, iff, &cmd);
}

int32_t ReadExact(ParserState* st, IFFHandle* iff, void* buffer, int32_t count) {
    if (count <= 0) return 0;
    return CallHook(st, iff, IFFCMD_READ, buffer, count) == 0 ? 0 : IFFERR_READ;
}

// Moves forward by `distance` bytes, by seeking when the stream allows it,
// otherwise by reading and discarding.
int32_t SkipForward(ParserState* st, IFFHandle* iff, int64_t distance) {
    if (distance <= 0) return 0;
    if (st->flags & IFFF_FSEEK) {
        while (distance > 0) {
            const int32_t step = distance > INT32_MAX ? INT32_MAX : int32_t(distance);
            if (CallHook(st, iff, IFFCMD_SEEK, nullptr, step) != 0) return IFFERR_SEEK;
            distance -= step;
        }
        return 0;
    }
    uint8_t scratch[512];
    while (distance > 0) {
        const int32_t step = distance > int64_t(sizeof scratch) ? int32_t(sizeof scratch) : int32_t(distance);
        if (int32_t e = ReadExact(st, iff, scratch, step)) return e;
        distance -= step;
    }
    return 0;
}

bool IsStop(const ParserState* st, uint32_t type, uint32_t id) {
    for (int32_t i = 0; i < st->stopCount; ++i) {
        if (uint32_t(st->stops[2 * i]) == type && uint32_t(st->stops[2 * i + 1]) == id) return true;
    }
    return false;
}

// Leaves the top context: skips what is left of its data and its pad byte.
int32_t LeaveTop(ParserState* st, IFFHandle* iff) {
    ContextNode& top = st->nodes[st->depth - 1];
    const int64_t rest = int64_t(top.cn_Size) - int64_t(top.cn_Scan) + (st->hasPad[st->depth - 1] ? 1 : 0);
    --st->depth;
    iff->iff_Depth = st->depth;
    if (st->depth == 0) return IFFERR_EOF;  // the outermost group is done: nothing after it is read
    return SkipForward(st, iff, rest);
}

// Reads the header of the next chunk inside the top group and enters it.
// Returns 0 with the new context on top, or an error.
int32_t EnterNext(ParserState* st, IFFHandle* iff) {
    ContextNode& parent = st->nodes[st->depth - 1];
    uint8_t header[8];
    if (int32_t e = ReadExact(st, iff, header, 8)) return e;
    const uint32_t id = Be32(header);
    const uint32_t size = Be32(header + 4);
    const int64_t room = int64_t(parent.cn_Size) - int64_t(parent.cn_Scan) - 8;
    if (int64_t(size) > room) return IFFERR_MANGLED;  // claims more than its container holds
    const bool group = IsGroupId(id);
    if (group && size < 4) return IFFERR_MANGLED;
    if (!group && parent.cn_ID != ID_FORM && parent.cn_ID != ID_PROP) {
        return IFFERR_SYNTAX;  // LIST and CAT hold only groups
    }
    if (id == ID_PROP && parent.cn_ID != ID_LIST) return IFFERR_SYNTAX;
    // Nesting beyond the stack's bound is a file no writer makes: a fault of
    // the file's structure, not of memory.
    if (st->depth >= MAX_DEPTH) return IFFERR_SYNTAX;
    // The pad byte of an odd chunk belongs to it when the container has room
    // for it; some writers leave it out of the last chunk of a group.
    const bool pad = (size & 1) && int64_t(size) + 1 <= room;
    parent.cn_Scan += int32_t(8 + int64_t(size) + (pad ? 1 : 0));

    ContextNode& node = st->nodes[st->depth];
    node.cn_ID = id;
    node.cn_Size = int32_t(size);
    node.cn_Scan = 0;
    node.cn_Type = parent.cn_Type;
    st->isGroup[st->depth] = group;
    st->hasPad[st->depth] = pad;
    ++st->depth;
    iff->iff_Depth = st->depth;
    if (group) {
        uint8_t type[4];
        if (int32_t e = ReadExact(st, iff, type, 4)) return e;
        node.cn_Type = Be32(type);
        node.cn_Scan = 4;
    }
    return 0;
}

int32_t EnterOutermost(ParserState* st, IFFHandle* iff) {
    uint8_t header[12];
    if (int32_t e = ReadExact(st, iff, header, 4)) return e;
    const uint32_t id = Be32(header);
    if (!IsGroupId(id) || id == ID_PROP) return IFFERR_NOTIFF;
    if (int32_t e = ReadExact(st, iff, header + 4, 8)) return e;
    uint32_t size = Be32(header + 4);
    if (size < 4) return IFFERR_MANGLED;
    // A size beyond what a chunk can describe is taken as "up to the end of
    // the data": the walk stops where the stream does.
    if (size > uint32_t(INT32_MAX)) size = uint32_t(INT32_MAX);
    ContextNode& node = st->nodes[0];
    node.cn_ID = id;
    node.cn_Type = Be32(header + 8);
    node.cn_Size = int32_t(size);
    node.cn_Scan = 4;
    st->isGroup[0] = true;
    st->hasPad[0] = false;
    st->depth = 1;
    iff->iff_Depth = 1;
    st->started = true;
    return 0;
}

int32_t Walk(ParserState* st, IFFHandle* iff, int32_t control) {
    if (!st->started) {
        if (int32_t e = EnterOutermost(st, iff)) return e;
        if (control != IFFPARSE_SCAN) return 0;
    } else if (st->depth > 0 && !st->isGroup[st->depth - 1]) {
        // Leave the data chunk the caller was stopped at.
        if (control != IFFPARSE_SCAN && !st->leavePending) {
            st->leavePending = true;
            return IFFERR_EOC;
        }
        st->leavePending = false;
        if (int32_t e = LeaveTop(st, iff)) return e;
    }
    for (;;) {
        ContextNode& top = st->nodes[st->depth - 1];
        const int64_t left = int64_t(top.cn_Size) - int64_t(top.cn_Scan);
        if (left < 8) {
            // The group is done (bytes too few for a chunk header are skipped).
            if (control != IFFPARSE_SCAN && !st->leavePending) {
                st->leavePending = true;
                return IFFERR_EOC;
            }
            st->leavePending = false;
            if (int32_t e = LeaveTop(st, iff)) return e;
            continue;
        }
        if (int32_t e = EnterNext(st, iff)) return e;
        const int32_t d = st->depth - 1;
        if (control != IFFPARSE_SCAN) return 0;
        if (st->isGroup[d]) continue;
        if (IsStop(st, st->nodes[d].cn_Type, st->nodes[d].cn_ID)) return 0;
        if (int32_t e = LeaveTop(st, iff)) return e;
    }
}

}  // namespace

IFFHandle* AllocIFF() {
    void* memory = AllocVec(sizeof(IFFHandle) + sizeof(ParserState), MEMF_PUBLIC | MEMF_CLEAR);
    if (!memory) return nullptr;
    auto* iff = new (memory) IFFHandle();
    iff->priv = new (static_cast<uint8_t*>(memory) + sizeof(IFFHandle)) ParserState();
    return iff;
}

void FreeIFF(IFFHandle* iff) {
    if (!iff) return;
    StateOf(iff)->~ParserState();
    iff->~IFFHandle();
    FreeVec(iff);
}

void InitIFF(IFFHandle* iff, int32_t flags, Hook* hook) {
    ParserState* st = StateOf(iff);
    if (!st) return;
    st->flags = flags;
    st->hook = hook;
    iff->iff_Flags = uint32_t(flags);
}

int32_t OpenIFF(IFFHandle* iff, int32_t rwMode) {
    ParserState* st = StateOf(iff);
    if (!st || !st->hook || !st->hook->h_Entry) return IFFERR_NOHOOK;
    if (rwMode != IFFF_READ) return IFFERR_WRITE;  // this parser only reads
    if (CallHook(st, iff, IFFCMD_INIT, nullptr, 0) != 0) return IFFERR_READ;
    st->open = true;
    st->started = false;
    st->status = 0;
    st->leavePending = false;
    st->depth = 0;
    iff->iff_Depth = 0;
    return 0;
}

void CloseIFF(IFFHandle* iff) {
    ParserState* st = StateOf(iff);
    if (!st || !st->open) return;
    CallHook(st, iff, IFFCMD_CLEANUP, nullptr, 0);
    st->open = false;
    st->depth = 0;
    iff->iff_Depth = 0;
}

int32_t StopChunks(IFFHandle* iff, const int32_t* pairs, int32_t count) {
    ParserState* st = StateOf(iff);
    if (!st) return IFFERR_NOMEM;
    if (count < 0 || (count > 0 && !pairs)) return IFFERR_SYNTAX;
    if (st->stopCount + count > MAX_STOP_PAIRS) return IFFERR_NOMEM;
    std::memcpy(st->stops + 2 * st->stopCount, pairs, size_t(count) * 2 * sizeof(int32_t));
    st->stopCount += count;
    return 0;
}

int32_t ParseIFF(IFFHandle* iff, int32_t control) {
    ParserState* st = StateOf(iff);
    if (!st || !st->open) return IFFERR_NOHOOK;
    if (control != IFFPARSE_SCAN && control != IFFPARSE_STEP && control != IFFPARSE_RAWSTEP) {
        return IFFERR_SYNTAX;
    }
    if (st->status != 0) return st->status;
    const int32_t result = Walk(st, iff, control);
    if (result != 0 && result != IFFERR_EOC) {
        // The walk is over: every later call reports the same status.
        st->status = result;
        st->depth = 0;
        iff->iff_Depth = 0;
    }
    return result;
}

ContextNode* CurrentChunk(IFFHandle* iff) {
    ParserState* st = StateOf(iff);
    if (!st || !st->open || st->depth == 0) return nullptr;
    return &st->nodes[st->depth - 1];
}

ContextNode* ParentChunk(IFFHandle* iff, const ContextNode* node) {
    ParserState* st = StateOf(iff);
    if (!st || !st->open || node == nullptr) return nullptr;
    for (int32_t i = st->depth - 1; i > 0; --i) {
        if (&st->nodes[i] == node) return &st->nodes[i - 1];
    }
    return nullptr;
}

int32_t ReadChunkBytes(IFFHandle* iff, void* buffer, int32_t size) {
    ParserState* st = StateOf(iff);
    if (!st || !st->open || st->depth == 0) return IFFERR_EOF;
    ContextNode& top = st->nodes[st->depth - 1];
    if (size <= 0) return 0;
    const int32_t left = top.cn_Size - top.cn_Scan;
    const int32_t n = size < left ? size : left;
    if (n <= 0) return 0;
    if (int32_t e = ReadExact(st, iff, buffer, n)) return e;
    top.cn_Scan += n;
    return n;
}

}  // namespace os
