// BODY decoding of FORM DEEP (its DBOD chunk): one picture row per call into
// the RGB row of RowBuffers, through the same BodyReader as ByteRun1.
#pragma once

#include <cstdint>

#include "ilbm/body_decoding.h"
#include "records/ilbm_records.h"
#include "records/row_buffers.h"

namespace lanterna {

// 0: the row is complete; -1: the data is used up before it; other
// negative: iffparse error. The format must be known (DPEL) and its
// compression deepNone, deepRunLength or deepTvdc (with its table).
int32_t DecodeDeepRow(BodyReader* reader, RowBuffers* rows, const DeepFormat& format);

}  // namespace lanterna
