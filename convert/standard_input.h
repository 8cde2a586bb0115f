// Standard input as the converter reads it. A still streams through (its
// rows are written as they are read); an animation is read twice (its
// frames' times first, since a GIF frame's delay comes before it, then the
// frames), which a pipe cannot give, so it is held in memory whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ilbm/ilbm_session.h"

namespace lanterna {

// The most of an animation held from standard input.
constexpr size_t STANDARD_INPUT_MOST_BYTES = size_t(1) << 30;

struct StandardInput {
    uint8_t head[12] = {};  // the bytes read to tell an animation, handed out first
    size_t headCount = 0;
    size_t headAt = 0;
    bool animation = false;      // a FORM ANIM
    std::vector<uint8_t> bytes;  // an animation, whole
};

// Reads the head, and an animation whole: 0, the read's failure, or
// ERR_OUT_OF_MEMORY for an animation beyond STANDARD_INPUT_MOST_BYTES.
int32_t ReadStandardInput(StandardInput* input);
// A still's source: the head, then the rest of standard input as it comes.
PictureSource StandardInputSource(StandardInput& input);

}  // namespace lanterna
