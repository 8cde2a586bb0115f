// Decoding ahead on a second task: while the program converts and writes row
// r, a worker task decodes the ByteRun1 BODY rows after it into a small ring
// of row buffers. Rows still come out one at a time and in order, the picture
// is never held whole, and the worker owns the file's stream until it is
// stopped.
#pragma once

#include <cstdint>

#include "ilbm/body_decoding.h"
#include "records/ilbm_records.h"
#include "records/row_buffers.h"

namespace lanterna {

// Rows in the ring; the worker is at most this far ahead.
constexpr int32_t DECODE_AHEAD_ROWS = 16;
// A BODY of fewer unpacked bytes than this is decoded by the program itself:
// starting the worker would cost more than it saves.
constexpr int64_t DECODE_AHEAD_MIN_BYTES = int64_t(1) << 20;

struct DecodeAhead;

// Starts the worker on rows [0, rowCount) of `body` (DecodeByteRun1Row with
// `planeRows`), into row buffers laid out as AllocRowBuffers(header, modeId,
// formType, rgbRows) lays them out. Null when it cannot start (memory, a
// signal, the task): the caller then decodes the rows itself, from where
// the body stands.
DecodeAhead* StartDecodeAhead(BodyReader* body, const BitMapHeader& header, uint32_t modeId, uint32_t formType,
                              bool rgbRows, int32_t planeRows, int32_t rowCount);
// The next row, in order, once the worker has it: *rows holds it until the
// next call. DecodeByteRun1Row's result for it (0: complete; -1: the data ran
// out; other negative: a parser error, with the worker's IoErr now the
// caller's). After a non-zero result there are no more rows.
int32_t NextDecodedRow(DecodeAhead* ahead, RowBuffers** rows);
// Stops the worker after the row it is decoding, gives the stream back to
// the calling task and frees everything. Null is ignored.
void StopDecodeAhead(DecodeAhead* ahead);

}  // namespace lanterna
