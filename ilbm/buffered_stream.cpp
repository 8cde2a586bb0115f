#include "ilbm/buffered_stream.h"

#include <atomic>
#include <new>

namespace lanterna {

namespace {

// The handler thread looks at the reply port's flags when it replies, so
// they are switched with an atomic store.
void SetPortFlags(os::MsgPort& port, uint8_t flags) {
    std::atomic_ref<uint8_t>(port.mp_Flags).store(flags, std::memory_order_relaxed);
}

void SendReadPacket(BufferedStream* s, uint8_t* buffer) {
    if (!s->handlerPort) return;
    s->packet.sp_Pkt.dp_Arg2 = reinterpret_cast<intptr_t>(buffer);
    os::SendPkt(&s->packet.sp_Pkt, s->handlerPort, &s->replyPort);
    s->packetPending = 1;
}

// The byte count of the outstanding transfer once it has come back; with no
// transfer outstanding, the last result again (so an end of file or a
// failure repeats).
int32_t WaitForPacket(BufferedStream* s) {
    os::DosPacket& pkt = s->packet.sp_Pkt;
    if (!s->packetPending) {
        os::SetIoErr(pkt.dp_Res2);
        return pkt.dp_Res1;
    }
    for (;;) {
        // A transfer the file system has not begun yet is done now, by this
        // task, rather than waited for.
        os::ServePktNow(&pkt, s->handlerPort);
        SetPortFlags(s->replyPort, os::PA_SIGNAL);
        os::WaitPort(&s->replyPort);
        os::Remove(&s->packet.sp_Msg.mn_Node);
        SetPortFlags(s->replyPort, os::PA_IGNORE);
        s->packetPending = 0;
        if (pkt.dp_Res1 >= 0) return pkt.dp_Res1;
        os::SetIoErr(pkt.dp_Res2);
        if (os::ErrorReport(pkt.dp_Res2, os::REPORT_STREAM, s->file, nullptr) != 0) return -1;
        SendReadPacket(s, s->buffers[s->fillIndex]);  // the user asked to retry
        if (!s->packetPending) return -1;
    }
}

int32_t FailStream(BufferedStream* s) {
    s->packet.sp_Pkt.dp_Res1 = -1;
    s->packet.sp_Pkt.dp_Res2 = os::IoErr();
    s->bytesLeft = 0;
    return -1;
}

}  // namespace

BufferedStream* StreamOpen(const char* name, int32_t bufferSize) {
    os::FileHandle* file = os::Open(name, os::MODE_OLDFILE);
    if (!file) return nullptr;

    // The volume's block size, from an Info on the file's directory.
    int64_t block = STREAM_DEFAULT_BLOCK_SIZE;
    if (os::FileLock* parent = os::ParentOfFH(file)) {
        os::InfoData info;
        if (os::Info(parent, &info) && info.id_BytesPerBlock > 0) block = info.id_BytesPerBlock;
        os::UnLock(parent);
    }
    // Both buffers together: at least 8 blocks, a whole number of block pairs.
    int64_t total = bufferSize > 8 * block ? int64_t(bufferSize) : 8 * block;
    total = (total + 2 * block - 1) / (2 * block) * (2 * block);
    // There is no device list to name a memory type or a DMA alignment: the
    // defaults apply.
    const uint32_t memFlags = os::MEMF_PUBLIC;
    const int64_t align = STREAM_DEFAULT_ALIGNMENT;

    void* memory = nullptr;
    if (total <= INT32_MAX - int64_t(sizeof(BufferedStream)) - align) {
        memory = os::AllocVec(sizeof(BufferedStream) + size_t(align) + size_t(total), memFlags);
    }
    if (!memory) {
        os::Close(file);
        os::SetIoErr(os::ERROR_NO_FREE_STORE);
        return nullptr;
    }
    auto* s = new (memory) BufferedStream;
    const uintptr_t recordEnd = reinterpret_cast<uintptr_t>(s + 1);
    const uintptr_t first = (recordEnd / uintptr_t(align) + 1) * uintptr_t(align);
    s->file = file;
    s->blockSize = int32_t(block);
    s->handlerPort = file->fh_Type;
    s->bufferSize = int32_t(total / 2);
    s->buffers[0] = reinterpret_cast<uint8_t*>(first);
    s->buffers[1] = s->buffers[0] + s->bufferSize;
    s->fillIndex = 0;
    s->skipBytes = 0;
    s->packetPending = 0;

    os::MsgPort& port = s->replyPort;
    port.mp_Node.ln_Type = os::NT_MSGPORT;
    port.mp_Node.ln_Name = nullptr;
    port.mp_Flags = os::PA_IGNORE;
    port.mp_SigBit = os::SIGB_SINGLE;
    port.mp_SigTask = os::FindTask(nullptr);
    os::NewList(&port.mp_MsgList);

    os::StandardPacket& p = s->packet;
    p.sp_Msg.mn_Node.ln_Name = reinterpret_cast<char*>(&p.sp_Pkt);
    p.sp_Msg.mn_Node.ln_Type = os::NT_MESSAGE;
    p.sp_Msg.mn_Length = uint16_t(sizeof(os::StandardPacket));
    p.sp_Pkt.dp_Link = &p.sp_Msg;
    p.sp_Pkt.dp_Type = os::ACTION_READ;
    p.sp_Pkt.dp_Arg1 = file->fh_Arg1;
    p.sp_Pkt.dp_Arg3 = s->bufferSize;
    p.sp_Pkt.dp_Res1 = 0;
    p.sp_Pkt.dp_Res2 = 0;

    // Nothing buffered yet: the first read waits for buffer 0.
    s->bytesLeft = 0;
    s->cursor = s->buffers[1];
    SendReadPacket(s, s->buffers[0]);
    return s;
}

int32_t StreamRead(BufferedStream* s, void* destination, int32_t count) {
    if (count <= 0) return 0;
    auto* dest = static_cast<uint8_t*>(destination);
    int32_t total = 0;
    for (;;) {
        if (s->bytesLeft >= count) {
            os::CopyMem(s->cursor, dest, size_t(count));
            s->cursor += count;
            s->bytesLeft -= count;
            return total + count;
        }
        if (s->bytesLeft > 0) {
            os::CopyMem(s->cursor, dest, size_t(s->bytesLeft));
            total += s->bytesLeft;
            count -= s->bytesLeft;
            dest += s->bytesLeft;
            s->cursor += s->bytesLeft;
            s->bytesLeft = 0;
        }
        const int32_t n = WaitForPacket(s);
        if (n < 0) return -1;
        if (n == 0) {
            os::SetIoErr(0);
            return total;
        }
        // Read on into the other buffer before copying anything out of this one.
        SendReadPacket(s, s->buffers[1 - s->fillIndex]);
        // Skip the head of a block that a far seek asked for. Only a transfer
        // that ends at the end of the file can be shorter than the skip: then
        // the rest of the skip stays, so the position past the end is kept,
        // and none of the buffer counts as held (it all lies before the
        // position, which the cursor cannot express).
        if (s->skipBytes <= uint32_t(n)) {
            s->cursor = s->buffers[s->fillIndex] + s->skipBytes;
            s->bytesLeft = n - int32_t(s->skipBytes);
            s->skipBytes = 0;
        } else {
            s->cursor = s->buffers[s->fillIndex];
            s->bytesLeft = 0;
            s->skipBytes -= uint32_t(n);
        }
        s->fillIndex = 1 - s->fillIndex;
    }
}

int32_t StreamSeek(BufferedStream* s, int32_t distance) {
    const int32_t a = WaitForPacket(s);
    if (a < 0) return -1;
    const int32_t p = os::Seek(s->file, 0, os::OFFSET_CURRENT);
    if (p == -1) return FailStream(s);

    const int64_t pos = int64_t(p) - a - s->bytesLeft + s->skipBytes;
    const int64_t target = pos + distance;
    const int64_t heldStart = pos - (s->cursor - s->buffers[1 - s->fillIndex]);
    const int64_t heldEnd = pos + s->bytesLeft + a - int64_t(s->skipBytes);

    if (target >= heldStart && target < heldEnd) {
        if (target < pos || distance <= s->bytesLeft) {
            // Within the buffer being consumed: the completed transfer is put
            // back so that the next wait collects it at once.
            os::PutBackMsg(&s->replyPort, &s->packet.sp_Msg);
            s->packetPending = 1;
            s->cursor += distance;
            s->bytesLeft -= distance;
            return int32_t(pos);
        }
        // Into the buffer that has just arrived: refill the one being left.
        SendReadPacket(s, s->buffers[1 - s->fillIndex]);
        const int32_t i = distance - s->bytesLeft + int32_t(s->skipBytes);
        s->cursor = s->buffers[s->fillIndex] + i;
        s->bytesLeft = a - i;
        s->skipBytes = 0;
        s->fillIndex = 1 - s->fillIndex;
        return int32_t(pos);
    }

    // Far seek: reposition the file to the block holding the target.
    if (target < 0 || target > INT32_MAX) {
        os::SetIoErr(os::ERROR_SEEK_ERROR);
        return FailStream(s);
    }
    const int64_t aligned = target / s->blockSize * s->blockSize;
    if (os::Seek(s->file, int32_t(aligned - p), os::OFFSET_CURRENT) == -1) return FailStream(s);
    SendReadPacket(s, s->buffers[0]);
    s->cursor = s->buffers[1];
    s->bytesLeft = 0;
    s->fillIndex = 0;
    s->skipBytes = uint32_t(target - aligned);
    return int32_t(pos);
}

void StreamAdopt(BufferedStream* s) {
    if (s != nullptr) os::SetPortTask(&s->replyPort, os::FindTask(nullptr));
}

int32_t StreamClose(BufferedStream* s) {
    if (!s) {
        os::SetIoErr(os::ERROR_INVALID_LOCK);
        return -1;
    }
    int32_t r = WaitForPacket(s);
    if (os::Close(s->file) == 0) r = -1;
    s->~BufferedStream();
    os::FreeVec(s);
    return r;
}

}  // namespace lanterna
