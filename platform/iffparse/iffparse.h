// iffparse: an IFF reader that walks FORM, LIST, CAT and PROP groups through
// a caller's stream hook, stopping at registered (type, id) chunks.
//
// Relies on: exec (memory) only; the bytes come through the caller's hook.
#pragma once

#include <cstdint>

namespace os {

constexpr int32_t IFFERR_EOF = -1;
constexpr int32_t IFFERR_EOC = -2;
constexpr int32_t IFFERR_NOSCOPE = -3;
constexpr int32_t IFFERR_NOMEM = -4;
constexpr int32_t IFFERR_READ = -5;
constexpr int32_t IFFERR_WRITE = -6;
constexpr int32_t IFFERR_SEEK = -7;
constexpr int32_t IFFERR_MANGLED = -8;
constexpr int32_t IFFERR_SYNTAX = -9;
constexpr int32_t IFFERR_NOTIFF = -10;
constexpr int32_t IFFERR_NOHOOK = -11;

constexpr int32_t IFFF_READ = 0;
constexpr int32_t IFFF_WRITE = 1;
constexpr int32_t IFFF_FSEEK = 2;
constexpr int32_t IFFF_RSEEK = 4;

constexpr int32_t IFFPARSE_SCAN = 0;
constexpr int32_t IFFPARSE_STEP = 1;
constexpr int32_t IFFPARSE_RAWSTEP = 2;

constexpr int32_t IFFCMD_INIT = 0;
constexpr int32_t IFFCMD_CLEANUP = 1;
constexpr int32_t IFFCMD_READ = 2;
constexpr int32_t IFFCMD_WRITE = 3;
constexpr int32_t IFFCMD_SEEK = 4;

constexpr uint32_t MakeId(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}
constexpr uint32_t ID_FORM = MakeId('F', 'O', 'R', 'M');
constexpr uint32_t ID_LIST = MakeId('L', 'I', 'S', 'T');
constexpr uint32_t ID_CAT = MakeId('C', 'A', 'T', ' ');
constexpr uint32_t ID_PROP = MakeId('P', 'R', 'O', 'P');

struct IFFHandle;

struct IFFStreamCmd {
    int32_t sc_Command = 0;
    void* sc_Buf = nullptr;
    int32_t sc_NBytes = 0;
};

struct Hook {
    // 0 = success, non-zero = failure.
    int32_t (*h_Entry)(Hook* hook, IFFHandle* iff, IFFStreamCmd* command) = nullptr;
    void* h_SubEntry = nullptr;
    void* h_Data = nullptr;
};

struct ContextNode {
    uint32_t cn_ID = 0;
    uint32_t cn_Type = 0;
    int32_t cn_Size = 0;
    int32_t cn_Scan = 0;  // bytes of the chunk's data already read or skipped
};

struct IFFHandle {
    void* iff_Stream = nullptr;
    uint32_t iff_Flags = 0;
    int32_t iff_Depth = 0;
    void* priv = nullptr;  // the parser's own state
};

IFFHandle* AllocIFF();
void FreeIFF(IFFHandle* iff);
void InitIFF(IFFHandle* iff, int32_t flags, Hook* hook);
int32_t OpenIFF(IFFHandle* iff, int32_t rwMode);
void CloseIFF(IFFHandle* iff);
// `pairs` holds count (type, id) pairs one after another.
int32_t StopChunks(IFFHandle* iff, const int32_t* pairs, int32_t count);
int32_t ParseIFF(IFFHandle* iff, int32_t control);
ContextNode* CurrentChunk(IFFHandle* iff);
// The context that holds `node` (a FORM round a chunk, a FORM ANIM round a
// FORM ILBM); null at the outermost one.
ContextNode* ParentChunk(IFFHandle* iff, const ContextNode* node);
// Bytes read (never past the current chunk's end), or a negative IFFERR_*.
int32_t ReadChunkBytes(IFFHandle* iff, void* buffer, int32_t size);

}  // namespace os
