// A read-only file stream with two buffers and real read-ahead: while the
// program consumes one buffer, the file system's handler fills the other
// through one outstanding DOS read packet. Seeks are served from the bytes
// already held when they can be; others reposition the file to a block
// boundary and skip the head of the block that arrives.
//
// The operations follow the DOS conventions: -1 (or null) on failure with the
// DOS error in the task's IoErr, 0 from a read at the end of the file.
#pragma once

#include <cstdint>

#include "platform/dos/dos.h"
#include "platform/exec/exec.h"

namespace lanterna {

// One allocation: this record, then the two buffers (aligned, adjacent).
struct BufferedStream {
    os::FileHandle* file = nullptr;
    int32_t blockSize = 512;            // far seeks align to it
    os::MsgPort* handlerPort = nullptr; // null: no I/O, every read ends at once
    uint8_t* cursor = nullptr;          // next unread byte of the buffer being consumed
    int32_t bytesLeft = 0;              // unread bytes from cursor
    int32_t bufferSize = 0;             // size of one buffer
    uint8_t* buffers[2] = {};
    os::StandardPacket packet;          // the one read packet, reused
    os::MsgPort replyPort;              // built in place; PA_IGNORE except while waiting
    uint32_t fillIndex = 0;             // the buffer the outstanding packet fills
    uint32_t skipBytes = 0;             // bytes before the logical position in the next buffer
    uint8_t packetPending = 0;          // a packet is outstanding or was put back
};

constexpr int32_t STREAM_DEFAULT_BLOCK_SIZE = 512;
constexpr int32_t STREAM_DEFAULT_ALIGNMENT = 16;

// Opens `name` for reading with `bufferSize` bytes for both buffers together
// (raised to at least 8 blocks, in whole pairs of blocks) and starts reading
// the first buffer. Null on failure, IoErr set (103 when memory runs out).
BufferedStream* StreamOpen(const char* name, int32_t bufferSize);
// Bytes copied (fewer than count only at the end of the file), 0 at the end,
// -1 on failure.
int32_t StreamRead(BufferedStream* stream, void* destination, int32_t count);
// Moves the position by a signed distance; the position before the move, or
// -1 on failure (and every later read or seek fails too).
int32_t StreamSeek(BufferedStream* stream, int32_t distance);
// The calling task takes the stream over: the replies to its read-ahead
// signal this task from now on. One task at a time uses a stream; the task
// that gives it up does so before the other adopts it.
void StreamAdopt(BufferedStream* stream);
// Waits for the outstanding transfer, closes the file, frees the stream. The
// last transfer's result (>= 0) or -1; a null stream sets IoErr 211.
int32_t StreamClose(BufferedStream* stream);

}  // namespace lanterna
