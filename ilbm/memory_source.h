// A file's bytes held in memory as the reader's source (ilbm_session.h):
// what a host program that already has the bytes hands the reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ilbm/ilbm_session.h"

namespace lanterna {

struct MemoryBytes {
    const uint8_t* bytes = nullptr;
    size_t count = 0;
    size_t at = 0;  // the next byte read
};

// Reads from `memory` and, with seeks, moves within it (a move outside the
// bytes fails); the record must outlive the reading.
PictureSource MemorySource(MemoryBytes& memory, bool seeks = true);

}  // namespace lanterna
