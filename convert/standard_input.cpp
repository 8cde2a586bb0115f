#include "convert/standard_input.h"

#include <algorithm>
#include <cstring>

#include "platform/dos/dos.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

// 0 at the end, -1 on a failure, else the bytes read (a pipe gives them a
// few at a time).
int32_t ReadSome(void* buffer, size_t count) {
    return os::Read(os::Input(), buffer, int32_t(std::min(count, size_t(1) << 20)));
}

int32_t ReadFromHead(void* user, void* buffer, int32_t count) {
    auto* input = static_cast<StandardInput*>(user);
    if (input->headAt == input->headCount) return ReadSome(buffer, size_t(count));
    const size_t n = std::min(size_t(count), input->headCount - input->headAt);
    std::memcpy(buffer, input->head + input->headAt, n);
    input->headAt += n;
    return int32_t(n);
}

}  // namespace

int32_t ReadStandardInput(StandardInput* input) {
    while (input->headCount < sizeof input->head) {
        const int32_t got = ReadSome(input->head + input->headCount, sizeof input->head - input->headCount);
        if (got < 0) return os::IoErr();
        if (got == 0) return 0;
        input->headCount += size_t(got);
    }
    input->animation = std::memcmp(input->head, "FORM", 4) == 0 && std::memcmp(input->head + 8, "ANIM", 4) == 0;
    if (!input->animation) return 0;
    // The store doubles as it fills, up to the most held.
    std::vector<uint8_t>& bytes = input->bytes;
    bytes.assign(input->head, input->head + input->headCount);
    size_t filled = bytes.size();
    for (;;) {
        if (filled == STANDARD_INPUT_MOST_BYTES) {
            // Full: one byte more says whether there is more than is held.
            uint8_t more = 0;
            const int32_t got = ReadSome(&more, 1);
            if (got < 0) return os::IoErr();
            return got == 0 ? 0 : ERR_OUT_OF_MEMORY;
        }
        if (filled == bytes.size()) {
            bytes.resize(std::min(std::max(2 * filled, size_t(1) << 16), STANDARD_INPUT_MOST_BYTES));
        }
        const int32_t got = ReadSome(bytes.data() + filled, bytes.size() - filled);
        if (got <= 0) {
            bytes.resize(filled);
            return got < 0 ? os::IoErr() : 0;
        }
        filled += size_t(got);
    }
}

PictureSource StandardInputSource(StandardInput& input) { return PictureSource{ReadFromHead, nullptr, &input}; }

}  // namespace lanterna
