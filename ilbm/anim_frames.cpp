#include "ilbm/anim_frames.h"

#include <bit>
#include <cstring>

#include "platform/exec/exec.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr size_t MAX_FRAME_BYTES = size_t(64) << 20;

uint64_t Hash(const uint8_t* data, size_t size) {
    uint64_t h = 0xcbf29ce484222325ull ^ size;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t w;
        std::memcpy(&w, data + i, 8);
        h = (h ^ w) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    for (; i < size; ++i) h = (h ^ data[i]) * 0x100000001b3ull;
    return h;
}

uint64_t ColourHash(const AnimFrames* f) { return Hash(f->colours, size_t(3 * f->colourCount)); }

int32_t RegisterStops(os::IFFHandle* iff) {
    const uint32_t ids[] = {ID_ANHD, ID_DLTA, ID_BODY, ID_CMAP, ID_BMHD, ID_DPAN};
    int32_t pairs[2 * 6];
    for (int i = 0; i < 6; ++i) {
        pairs[2 * i] = int32_t(ID_ILBM);
        pairs[2 * i + 1] = int32_t(ids[i]);
    }
    const int32_t r = os::StopChunks(iff, pairs, 6);
    return r ? IffResultCode(r) : 0;
}

// The whole chunk the parser stands at, into `to` (at most `max` bytes).
int32_t ReadWhole(os::IFFHandle* iff, uint8_t* to, int32_t size) {
    const int32_t got = os::ReadChunkBytes(iff, to, size);
    if (got < 0) return IffResultCode(got);
    return got == size ? 0 : ERR_CORRUPT;
}

int32_t ReadData(AnimFrames* f, int32_t size) {
    if (size < 0 || size > f->maxChunk) return ERR_CORRUPT;
    if (size > f->chunkCapacity) {
        os::FreeVec(f->chunk);
        f->chunkCapacity = 0;
        f->chunk = static_cast<uint8_t*>(os::AllocVec(size_t(size), os::MEMF_ANY));
        if (!f->chunk) return ERR_OUT_OF_MEMORY;
        f->chunkCapacity = size;
    }
    return ReadWhole(f->iff, f->chunk, size);
}

int32_t ReadColours(AnimFrames* f, int32_t size) {
    uint8_t data[3 * ANIM_MAX_COLOURS];
    const int32_t n = size < int32_t(sizeof data) ? size - size % 3 : int32_t(sizeof data);
    if (n <= 0) return 0;
    const int32_t r = ReadWhole(f->iff, data, n);
    if (r) return r;
    std::memcpy(f->colours, data, size_t(n));
    if (n / 3 > f->colourCount) f->colourCount = n / 3;
    return 0;
}

// A frame's BMHD must give the first picture's size and depth: the buffers
// hold no other.
int32_t CheckBitMapHeader(AnimFrames* f, int32_t size) {
    uint8_t data[20];
    if (size < 20) return ERR_CORRUPT;
    const int32_t r = ReadWhole(f->iff, data, 20);
    if (r) return r;
    const int32_t w = (data[0] << 8) | data[1], h = (data[2] << 8) | data[3];
    return w == f->shape.width && h == f->shape.rows && data[8] == f->shape.planes ? 0 : ERR_CORRUPT;
}

struct FrameState {
    AnimHeader header;
    bool haveHeader = false;
    bool haveData = false;
    bool coloursChanged = false;
};

// Reads the chunks of one frame, applying them when `apply`; stops at the
// first chunk of the next frame (left for the next call) or at the end.
// 0: a frame was read; ANIM_END: no frame was left; else a failure.
int32_t ReadFrame(AnimFrames* f, FrameState* s, bool apply) {
    const int32_t back = 1 - f->shown;
    for (;;) {
        if (!f->atNextFrame) {
            const int32_t status = os::ParseIFF(f->iff, os::IFFPARSE_SCAN);
            if (status == os::IFFERR_EOC) continue;
            if (status != 0) {
                if (s->haveHeader || s->haveData) {
                    if (status != os::IFFERR_EOF) f->pendingError = IffResultCode(status);
                    break;
                }
                return status == os::IFFERR_EOF ? ANIM_END : IffResultCode(status);
            }
        }
        f->atNextFrame = false;
        const os::ContextNode* cn = os::CurrentChunk(f->iff);
        if (!cn || cn->cn_Type != ID_ILBM) continue;
        const int32_t size = cn->cn_Size;
        int32_t r = 0;
        if (cn->cn_ID == ID_ANHD || ((cn->cn_ID == ID_DLTA || cn->cn_ID == ID_BODY) && s->haveData)) {
            if (s->haveHeader || s->haveData) {
                f->atNextFrame = true;
                break;
            }
            if (cn->cn_ID == ID_ANHD) {
                uint8_t data[40] = {};
                const int32_t n = size < 40 ? size : 40;
                r = ReadWhole(f->iff, data, n < 0 ? 0 : n);
                if (!r) r = ParseAnimHeader(data, n, &s->header);
                s->haveHeader = true;
                if (r) return r;
                continue;
            }
        }
        if (cn->cn_ID == ID_DLTA || cn->cn_ID == ID_BODY) {
            s->haveData = true;
            if (!apply) continue;
            // A BODY is a whole picture, XORed in by op 1; a DLTA needs its ANHD.
            AnimHeader h = s->header;
            if (cn->cn_ID == ID_BODY && h.operation != ANIM_OP_XOR) h.operation = ANIM_OP_BODY;
            if (cn->cn_ID == ID_DLTA && !s->haveHeader) return ERR_CORRUPT;
            r = ReadData(f, size);
            if (r) return r;
            uint8_t* target = f->buffers[back];
            f->madeFrom[back] = h.interleave == 1 ? f->serials[f->shown] : f->serials[back];
            f->serials[back] = 0;  // no longer the frame it was, and not yet the next
            if (h.interleave == 1) std::memcpy(target, f->buffers[f->shown], f->frameBytes);
            AnimPlanes planes = f->shape;
            planes.data = target;
            r = ApplyAnimDelta(h, f->coding, f->chunk, size, planes, &f->written[back]);
        } else if (cn->cn_ID == ID_CMAP) {
            if (!apply) continue;
            r = ReadColours(f, size);
            s->coloursChanged = true;
        } else if (cn->cn_ID == ID_BMHD) {
            r = CheckBitMapHeader(f, size);
        } else if (cn->cn_ID == ID_DPAN) {
            uint8_t data[DPAN_SIZE];
            DisplayPan pan;
            if (size >= DPAN_SIZE && !ReadWhole(f->iff, data, DPAN_SIZE) && !ParseDisplayPan(data, DPAN_SIZE, &pan)) {
                f->dpanFrames = pan.frames;
                f->dpanTicks = DisplayPanTicks(pan);
            }
        }
        if (r) return r;
    }
    // A frame without data shows the frame before again.
    if (apply && !s->haveData) {
        std::memcpy(f->buffers[back], f->buffers[f->shown], f->frameBytes);
        f->madeFrom[back] = f->serials[f->shown];
        f->written[back] = AnimRowSpan{};
    }
    if (apply) f->serials[back] = ++f->made;
    return 0;
}

}  // namespace

int32_t OpenAnimFrames(AnimFrames* frames, os::IFFHandle* iff, const BitMapHeader& header, const uint8_t* colours,
                       int32_t colourCount) {
    AnimFrames& f = *frames;
    f.iff = iff;
    f.shape.width = header.w;
    f.shape.rows = header.h;
    f.shape.planes = header.nPlanes;
    f.shape.bytesPerRow = ((header.w + 15) / 16) * 2;
    f.coding.compression = header.compression;
    f.coding.hasMask = header.masking == mskHasMask;
    if (header.w == 0 || header.h == 0 || header.nPlanes == 0 || header.nPlanes > 32) return ERR_CORRUPT;
    f.frameBytes = size_t(f.shape.rows) * size_t(f.shape.planes) * size_t(f.shape.bytesPerRow);
    if (f.frameBytes > MAX_FRAME_BYTES) return ERR_CORRUPT;
    // The largest delta any writer makes is a few times the frame.
    f.maxChunk = int32_t(4 * f.frameBytes + 65536);
    // Both buffers, then each row's changed columns (a plane row's bytes fit 16 bits).
    f.storage = static_cast<uint8_t*>(
        os::AllocVec(2 * f.frameBytes + 2 * sizeof(uint16_t) * size_t(f.shape.rows), os::MEMF_CLEAR));
    if (!f.storage) return ERR_OUT_OF_MEMORY;
    f.buffers[0] = f.storage;
    f.buffers[1] = f.storage + f.frameBytes;
    f.rowChanges = reinterpret_cast<uint16_t*>(f.storage + 2 * f.frameBytes);
    f.colourCount = colours ? (colourCount < ANIM_MAX_COLOURS ? colourCount : ANIM_MAX_COLOURS) : 0;
    if (f.colourCount > 0) std::memcpy(f.colours, colours, size_t(3 * f.colourCount));
    const int32_t r = RegisterStops(iff);
    if (r) CloseAnimFrames(frames);
    return r;
}

void CloseAnimFrames(AnimFrames* frames) {
    os::FreeVec(frames->storage);
    os::FreeVec(frames->chunk);
    frames->storage = frames->chunk = nullptr;
    frames->buffers[0] = frames->buffers[1] = nullptr;
    frames->rowChanges = nullptr;
    frames->chunkCapacity = 0;
}

uint8_t* AnimFirstFrameRow(AnimFrames* frames, int32_t y) {
    if (y < 0 || y >= frames->shape.rows) return nullptr;
    frames->serials[0] = 0;  // a first frame in the making: SeedAnimFrames numbers it
    return frames->buffers[0] + size_t(y) * size_t(frames->shape.planes) * size_t(frames->shape.bytesPerRow);
}

void AnimShownRow(AnimFrames* frames, int32_t y, PlaneView* view) {
    const AnimPlanes& s = frames->shape;
    view->BytesPerRow = uint16_t(s.bytesPerRow);
    view->Rows = 1;
    view->Depth = uint8_t(s.planes);
    uint8_t* row = frames->buffers[frames->shown] + size_t(y) * size_t(s.planes) * size_t(s.bytesPerRow);
    for (int32_t p = 0; p < s.planes && p < MAX_PLANES; ++p) view->Planes[p] = row + size_t(p) * size_t(s.bytesPerRow);
}

namespace {

uint64_t Word(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// Rows compared eight bytes at a time: the first byte of [0, n) that
// differs (n for none), and the end of the last one in [from, n) that
// differs (from for none).
size_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t x = Word(a + i) ^ Word(b + i);
        if (x == 0) continue;
        const int bit = std::endian::native == std::endian::little ? std::countr_zero(x) : std::countl_zero(x);
        return i + size_t(bit / 8);
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

size_t EndOfDifference(const uint8_t* a, const uint8_t* b, size_t from, size_t n) {
    size_t i = n;
    for (; i >= from + 8; i -= 8) {
        const uint64_t x = Word(a + i - 8) ^ Word(b + i - 8);
        if (x == 0) continue;
        const int bit = std::endian::native == std::endian::little ? std::countl_zero(x) : std::countr_zero(x);
        return i - size_t(bit / 8);
    }
    while (i > from && a[i - 1] == b[i - 1]) --i;
    return i;
}

// Row y's changed byte columns between the two buffers, into rowChanges.
void CompareRow(AnimFrames* frames, int32_t y) {
    const AnimPlanes& s = frames->shape;
    const size_t bpr = size_t(s.bytesPerRow), bytes = size_t(s.planes) * bpr, at = size_t(y) * bytes;
    const uint8_t* now = frames->buffers[frames->shown] + at;
    const uint8_t* before = frames->buffers[1 - frames->shown] + at;
    uint16_t* span = frames->rowChanges + 2 * y;
    span[0] = span[1] = 0;
    // Most rows of an animation stand still: the row's planes lie together,
    // and the C library compares them whole faster than the search below.
    if (std::memcmp(now, before, bytes) == 0) return;
    size_t from = bpr, to = 0;
    for (size_t p = 0; p < bytes; p += bpr) {
        const size_t a = FirstDifference(now + p, before + p, bpr);
        if (a == bpr) continue;  // this plane's row is the same
        if (a < from) from = a;
        const size_t b = EndOfDifference(now + p, before + p, a > to ? a : to, bpr);
        if (b > to) to = b;
    }
    if (to == 0) return;
    span[0] = uint16_t(from);
    span[1] = uint16_t(to);
}

// The changes of every row between the frame on show (N) and the other one
// (M). N was made from a frame F and differs from it only in the rows its
// delta wrote; elsewhere N's row is F's. So outside those rows N is M where
// F is M (a frame copied first), and changes as F changed against M where
// those changes are known: the case of a delta on the frame two back, when
// the changes of M were found at the frame before. Only the rows the delta
// wrote are compared then.
void FindChangedRows(AnimFrames* frames) {
    AnimFrames& f = *frames;
    const uint32_t now = f.serials[f.shown], before = f.serials[1 - f.shown], from = f.madeFrom[f.shown];
    AnimRowSpan compare = f.written[f.shown];
    const bool known = (f.changesOf[0] == before && f.changesOf[1] == from) ||
                       (f.changesOf[0] == from && f.changesOf[1] == before);
    const bool same = from == before;
    if (from == 0 || (!same && !known)) compare = AnimRowSpan{0, f.shape.rows};
    for (int32_t y = 0; y < f.shape.rows; ++y) {
        if (y >= compare.first && y < compare.end) {
            CompareRow(frames, y);
        } else if (same) {
            f.rowChanges[2 * y] = f.rowChanges[2 * y + 1] = 0;
        }
    }
    f.changesOf[0] = now;
    f.changesOf[1] = before;
}

}  // namespace

bool AnimRowChanged(AnimFrames* frames, int32_t y, int32_t* first, int32_t* end) {
    if (y < 0 || y >= frames->shape.rows) return false;
    const uint32_t now = frames->serials[frames->shown], before = frames->serials[1 - frames->shown];
    if (now == 0 || before == 0) {
        // A frame in the making (nothing keeps its changes).
        frames->changesOf[0] = frames->changesOf[1] = 0;
        CompareRow(frames, y);
    } else if (frames->changesOf[0] != now || frames->changesOf[1] != before) {
        FindChangedRows(frames);
    }
    const uint16_t* span = frames->rowChanges + 2 * y;
    if (span[0] == span[1]) return false;
    *first = span[0];
    *end = span[1];
    return true;
}

void SeedAnimFrames(AnimFrames* frames) {
    AnimFrames& f = *frames;
    std::memcpy(f.buffers[1], f.buffers[0], f.frameBytes);
    f.serials[0] = f.serials[1] = ++f.made;
    f.madeFrom[0] = f.madeFrom[1] = 0;  // made whole
    f.shown = 0;
    f.number = 1;
    f.lastAbsTime = 0;
    f.firstHash = Hash(f.buffers[0], f.frameBytes);
    f.firstColours = ColourHash(&f);
}

int32_t NextAnimFrame(AnimFrames* frames, AnimFrame* frame) {
    AnimFrames& f = *frames;
    if (f.pendingError) {
        const int32_t r = f.pendingError;
        f.pendingError = 0;
        return r;
    }
    if (f.passOver) return ANIM_END;
    const uint64_t coloursBefore = ColourHash(&f);
    FrameState s;
    const int32_t r = ReadFrame(&f, &s, true);
    if (r == ANIM_END) {
        f.passOver = true;
        if (!f.framesInFile) f.framesInFile = f.number;
        f.loopsThroughSecond = f.number >= 4 && Hash(f.buffers[1 - f.shown], f.frameBytes) == f.firstHash &&
                               Hash(f.buffers[f.shown], f.frameBytes) == f.secondHash &&
                               f.lastButOneColours == f.firstColours && ColourHash(&f) == f.secondColours;
        return ANIM_END;
    }
    if (r) return r;
    f.shown = 1 - f.shown;
    ++f.number;
    if (f.number == 2) {
        f.secondHash = Hash(f.buffers[f.shown], f.frameBytes);
        f.secondColours = ColourHash(&f);
    }
    if (!f.passOver) f.lastButOneColours = coloursBefore;
    uint32_t delay = s.header.relTime;
    if (delay == 0 && s.header.absTime > f.lastAbsTime) delay = s.header.absTime - f.lastAbsTime;
    if (s.header.absTime) f.lastAbsTime = s.header.absTime;
    if (delay == 0) delay = f.dpanTicks;
    *frame = AnimFrame{f.buffers[f.shown], f.colours, f.colourCount, s.coloursChanged, delay ? delay : 1, f.number,
                       f.serials[f.shown], f.serials[1 - f.shown]};
    return 0;
}

int32_t RestartAnimFrames(AnimFrames* frames, os::IFFHandle* iff) {
    AnimFrames& f = *frames;
    f.iff = iff;
    f.atNextFrame = false;
    f.pendingError = 0;
    f.passOver = false;
    f.lastAbsTime = 0;
    int32_t r = RegisterStops(iff);
    if (r || !f.loopsThroughSecond) return r;
    FrameState s;
    r = ReadFrame(&f, &s, false);  // the second frame, as the buffers already hold it
    f.number = 2;
    return r == ANIM_END ? ERR_CORRUPT : r;
}

}  // namespace lanterna
