// libFuzzer target over the whole reading path of one picture file: the
// session (stream, parser), the stops, every chunk reader, and every BODY row
// with both row decoders. The input is a file image, put in a memory file and
// opened by name, so the real stream and its handler thread are exercised.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "display/row_buffers.h"
#include "driver/picture_info.h"
#include "ilbm/body_decoding.h"
#include "ilbm/chunk_readers.h"
#include "ilbm/ilbm_records.h"
#include "ilbm/ilbm_session.h"
#include "platform/exec.h"
#include "platform/memory_file.h"

using namespace lanterna;

namespace {

// The harness's own limit on the work per input (the program has none): a
// picture whose plane rows add up to more than this is not decoded.
constexpr int64_t MAX_BODY_BYTES = int64_t(4) << 20;

os::testing::MemoryFile* file = nullptr;

enum class Decoder { Plain, ByteRun1 };

void DecodeBody(os::IFFHandle* iff, const os::ContextNode* body, const PictureInfo& picture, Decoder decoder) {
    const BitMapHeader& h = picture.header;
    // The form of the BODY decides its rows: a PBM row is one chunky row.
    const uint32_t form = body->cn_Type;
    RowBuffers* rows = AllocRowBuffers(h, picture.modeId, form);
    if (!rows) return;
    const int32_t planeRows = form == ID_PBM ? 1 : h.nPlanes + (h.masking == mskHasMask ? 1 : 0);
    const int64_t work = int64_t(rows->planeView.BytesPerRow) * planeRows * h.h;
    if (planeRows <= MAX_PLANES && work <= MAX_BODY_BYTES) {
        if (decoder == Decoder::Plain) {
            for (int32_t y = 0; y < h.h; ++y) {
                if (ReadPlainRow(iff, rows, planeRows) != 0) break;
            }
        } else if (BodyReader* reader = OpenBodyReader(iff, body->cn_Size)) {
            for (int32_t y = 0; y < h.h; ++y) {
                if (DecodeByteRun1Row(reader, rows, planeRows) != 0) break;
            }
            CloseBodyReader(reader);
        }
    }
    FreeRowBuffers(rows);
}

// Collects the chunks as the picture pipeline does and decodes the BODY that
// follows a BMHD with the given decoder.
void ReadPicture(const char* name, Decoder decoder) {
    os::IFFHandle* iff = OpenIlbmSession(name);
    if (!iff) return;
    PictureInfo picture;
    bool header = false;
    if (RegisterIlbmStops(iff) == 0) {
        for (;;) {
            os::ContextNode* cn = nullptr;
            if (ScanNextChunk(iff, &cn) != 0) break;
            int32_t e = 0;
            switch (cn->cn_ID) {
                case ID_BMHD: e = ReadBitMapHeader(iff, picture); header = true; break;
                case ID_CMAP: e = ReadColourMap(iff, cn->cn_Size, picture); break;
                case ID_CAMG: e = ReadDisplayMode(iff, picture); break;
                case ID_CRNG: e = ReadColourRange(iff, picture); break;
                case ID_CCRT: e = ReadCycleTiming(iff, picture); break;
                default: break;
            }
            if (e != 0) break;
            if (picture.colourCount < 0 || picture.colourCount > COLOUR_TABLE_ENTRIES) std::abort();
            if (picture.rangeCount < 0 || picture.rangeCount > MAX_CYCLE_RANGES) std::abort();
            if (cn->cn_ID == ID_BODY && header) {
                DecodeBody(iff, cn, picture, decoder);
                break;
            }
        }
    }
    CloseIlbmSession(iff);
    os::FreeVec(picture.colours);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!file) {
        file = os::testing::CreateMemoryFile("fuzz_picture");
        if (!file) std::abort();
    }
    if (!os::testing::SetMemoryFileContents(file, data, size)) std::abort();
    ReadPicture(os::testing::MemoryFileName(file), Decoder::Plain);
    ReadPicture(os::testing::MemoryFileName(file), Decoder::ByteRun1);
    return 0;
}
