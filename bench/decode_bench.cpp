// Decoding speed of the BODY row decoders: a 4096x4096 picture of 8 planes
// and one of 24 planes, ByteRun1-packed by the writer into a temporary file,
// read through the session and the stream and decoded row by row into row
// buffers. Prints MB/s of decoded plane rows (and of packed input).
//
//   decode_bench [SIZE] [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "display/pixel_transfer.h"
#include "ilbm/body_decoding.h"
#include "ilbm/chunk_readers.h"
#include "ilbm/ilbm_session.h"
#include "platform/exec/exec.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

// A picture with the mix a real one has: smooth areas that pack into runs,
// and noisy ones that stay literal.
Bytes MakePicture(int32_t size, int32_t planes) {
    IlbmPicture p;
    p.header = SimpleHeader(size, size, planes, cmpByteRun1);
    p.pixels.resize(size_t(size) * size_t(size));
    std::mt19937 rng{uint32_t(planes)};
    const uint32_t mask = planes >= 32 ? 0xFFFFFFFFu : (1u << planes) - 1;
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            uint32_t v;
            if (((x >> 8) + (y >> 8)) % 3 == 0) {
                v = rng();  // noise
            } else if (planes > 8) {
                v = DeepPixel(uint32_t(x >> 4), uint32_t(y >> 4), uint32_t((x + y) >> 5), 8);
            } else {
                v = uint32_t((x >> 5) + (y >> 6));
            }
            p.pixels[size_t(y) * size_t(size) + size_t(x)] = v & mask;
        }
    }
    if (planes <= 8) p.colours.resize(size_t(1) << planes);
    return MakeIlbm(p);
}

struct Result {
    double seconds = 0;
    int64_t decoded = 0;
    int64_t packed = 0;
    bool ok = false;
};

Result DecodeFile(const std::string& path) {
    Result r;
    const auto start = std::chrono::steady_clock::now();
    os::IFFHandle* iff = OpenIlbmSession(path.c_str());
    if (!iff) return r;
    PictureInfo picture;
    RegisterIlbmStops(iff);
    os::ContextNode* cn = nullptr;
    while (ScanNextChunk(iff, &cn) == 0) {
        if (cn->cn_ID == ID_BMHD) ReadBitMapHeader(iff, picture);
        if (cn->cn_ID != ID_BODY) continue;
        RowBuffers* rows = AllocRowBuffers(picture.header, 0);
        BodyReader* reader = rows ? OpenBodyReader(iff, cn->cn_Size) : nullptr;
        if (reader) {
            r.packed = cn->cn_Size;
            const int32_t planes = picture.header.nPlanes;
            int32_t y = 0;
            for (; y < picture.header.h; ++y) {
                if (DecodeByteRun1Row(reader, rows, planes) != 0) break;
            }
            r.ok = y == picture.header.h;
            r.decoded = int64_t(rows->planeView.BytesPerRow) * planes * y;
        }
        CloseBodyReader(reader);
        FreeRowBuffers(rows);
        break;
    }
    CloseIlbmSession(iff);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const int32_t size = argc > 1 ? std::atoi(argv[1]) : 4096;
    const int32_t runs = argc > 2 ? std::atoi(argv[2]) : 5;
    int failures = 0;
    for (int32_t planes : {8, 24}) {
        const std::string path = TempPath("lanterna-decode-bench");
        if (!WriteFile(path, MakePicture(size, planes))) {
            std::fprintf(stderr, "decode_bench: cannot write %s\n", path.c_str());
            return 1;
        }
        Result best;
        for (int32_t i = 0; i < runs; ++i) {
            Result r = DecodeFile(path);
            if (!r.ok) ++failures;
            if (i == 0 || r.seconds < best.seconds) best = r;
        }
        std::filesystem::remove(path);
        std::printf("%dx%d, %2d planes, ByteRun1: %7.1f MB/s decoded (%6.1f MB/s packed input), best of %d: %.3f s\n",
                    size, size, planes, double(best.decoded) / 1e6 / best.seconds,
                    double(best.packed) / 1e6 / best.seconds, runs, best.seconds);
    }
    if (failures) std::fprintf(stderr, "decode_bench: %d runs did not decode every row\n", failures);
    return failures ? 1 : 0;
}
