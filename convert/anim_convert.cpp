#include "convert/anim_convert.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "convert/frame_sink.h"
#include "convert/picture_lines.h"
#include "display/pixels/pixel_aspect.h"
#include "display/pixels/row_pixels.h"
#include "ilbm/anim_frames.h"
#include "ilbm/anim_header.h"
#include "ilbm/ilbm_session.h"
#include "ilbm/picture_mode.h"
#include "platform/dos/dos.h"
#include "platform/exec/byte_order.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

// A first picture's chunks are small but for its BODY: at most what its
// planes could take packed at the worst.
constexpr int32_t MAX_FIRST_CHUNK = 64 << 20;

struct Anim {
    os::IFFHandle* iff = nullptr;
    AnimFrames frames;
    bool open = false;
    PictureInfo info;
    uint8_t colours[COLOUR_TABLE_BYTES] = {};
    RowBuffers* rows = nullptr;
    ~Anim() {
        if (open) CloseAnimFrames(&frames);
        FreeRowBuffers(rows);
        CloseIlbmSession(iff);
    }
};

int32_t OpenAnim(const std::string& path, bool halfBrite, Anim* a) {
    a->iff = OpenIlbmSession(path.c_str());
    if (a->iff == nullptr) return os::IoErr();
    for (uint32_t id : {ID_BMHD, ID_CMAP, ID_CAMG, ID_BODY}) {
        const int32_t pair[2] = {int32_t(ID_ILBM), int32_t(id)};
        if (os::StopChunks(a->iff, pair, 1) != 0) return ERR_OUT_OF_MEMORY;
    }
    bool haveHeader = false;
    std::vector<uint8_t> data, cmap;
    for (;;) {
        const int32_t parsed = os::ParseIFF(a->iff, os::IFFPARSE_SCAN);
        if (parsed != 0) return haveHeader ? ERR_CORRUPT : ERR_NOT_ILBM;
        const os::ContextNode* chunk = os::CurrentChunk(a->iff);
        if (chunk->cn_Size < 0 || chunk->cn_Size > MAX_FIRST_CHUNK) return ERR_CORRUPT;
        data.assign(size_t(chunk->cn_Size), 0);
        if (os::ReadChunkBytes(a->iff, data.data(), chunk->cn_Size) != chunk->cn_Size) return ERR_CORRUPT;
        if (chunk->cn_ID == ID_BMHD && data.size() >= 20) {
            BitMapHeader& h = a->info.header;
            h.w = os::Be16(&data[0]);
            h.h = os::Be16(&data[2]);
            h.nPlanes = data[8];
            h.masking = data[9];
            h.compression = data[10];
            haveHeader = true;
        } else if (chunk->cn_ID == ID_CMAP) {
            cmap.assign(data.begin(), data.begin() + std::min<size_t>(data.size(), COLOUR_TABLE_BYTES) / 3 * 3);
        } else if (chunk->cn_ID == ID_CAMG && data.size() >= 4) {
            a->info.modeId = os::Be32(&data[0]);
            a->info.hasMode = true;
        } else if (chunk->cn_ID == ID_BODY) {
            break;
        }
    }
    if (!haveHeader) return ERR_NOT_ILBM;
    std::memcpy(a->colours, cmap.data(), cmap.size());
    a->info.colours = a->colours;
    a->info.colourCount = int32_t(cmap.size() / 3);
    SettlePictureMode(a->info, halfBrite);
    if (const int32_t code = OpenAnimFrames(&a->frames, a->iff, a->info.header, cmap.data(), int32_t(cmap.size() / 3))) {
        return code;
    }
    a->open = true;
    AnimPlanes first = a->frames.shape;
    first.data = AnimFirstFrameRow(&a->frames, 0);
    if (const int32_t code = ApplyBody(data.data(), int32_t(data.size()), a->frames.coding, first)) return code;
    SeedAnimFrames(&a->frames);
    a->rows = AllocRowBuffers(a->info.header, a->info.modeId);
    return a->rows == nullptr ? ERR_NO_SCREEN_MODE : 0;
}

// The frame on show's colours as the screen loads them: every entry its
// planes reach, the halved ones for Extra-Half-Brite.
void FrameColours(const Anim& a, const uint8_t* colours, int32_t count, uint8_t* table) {
    std::memset(table, 0, COLOUR_TABLE_BYTES);
    count = std::min(count, COLOUR_TABLE_ENTRIES);
    std::memcpy(table, colours, size_t(count) * 3);
    if ((a.info.modeId & EXTRA_HALFBRITE) != 0 && a.info.header.nPlanes == 6) ExtendHalfBrite(table, count);
}

// The times of one pass: the frames' starts in ticks, and whether the
// animation loops through its second frame.
struct Pass {
    std::vector<int64_t> starts;
    bool loopsThroughSecond = false;
    int32_t failure = 0;
};

Pass Times(const std::string& path, bool halfBrite) {
    Pass pass;
    Anim a;
    pass.failure = OpenAnim(path, halfBrite, &a);
    if (pass.failure != 0) return pass;
    pass.starts.push_back(0);
    AnimFrame frame;
    int32_t code;
    while ((code = NextAnimFrame(&a.frames, &frame)) == 0) pass.starts.push_back(pass.starts.back() + frame.delayTicks);
    if (code != ANIM_END) pass.failure = code;
    pass.loopsThroughSecond = a.frames.loopsThroughSecond;
    return pass;
}

}  // namespace

bool IsAnimFile(const std::string& path) {
    if (path == "-") return false;
    os::FileHandle* file = os::Open(path.c_str(), os::MODE_OLDFILE);
    if (file == nullptr) return false;
    uint8_t head[12] = {};
    const bool anim = os::Read(file, head, 12) == 12 && std::memcmp(head, "FORM", 4) == 0 &&
                      std::memcmp(head + 8, "ANIM", 4) == 0;
    os::Close(file);
    return anim;
}

ConvertResult ConvertAnimFile(const std::string& input, const ConvertOptions& options) {
    ConvertResult result;
    // A first pass for the times: a GIF frame's delay comes before it.
    const Pass pass = Times(input, options.halfBrite);
    if (pass.starts.empty()) {
        result.code = pass.failure;
        return result;
    }
    // A frame that cannot be decoded ends the animation: the frames before
    // it are written, and the file still counts as failed.
    const std::string broken = "frame " + std::to_string(pass.starts.size() + 1) + " cannot be decoded";
    // Painting programs' loops: the last two frames lead back to the first
    // two, so the animation is written without them unless each frame is asked for.
    size_t count = pass.starts.size();
    if (pass.loopsThroughSecond && !options.frames && count > 2) count -= 2;
    const int64_t loopDelay = pass.starts.size() > 1 ? pass.starts[1] : 6;

    Anim a;
    result.code = OpenAnim(input, options.halfBrite, &a);
    if (result.code != 0) return result;
    PixelAspect aspect;
    if (options.aspect) aspect = ChoosePixelAspect(a.info.modeId);
    const int32_t xs = aspect.xScale * options.scale, ys = aspect.yScale * options.scale;
    const uint32_t width = a.info.header.w, height = a.info.header.h;
    const bool indexed = (a.info.modeId & HAM) == 0 && a.info.header.nPlanes <= 8;
    if (options.kind == OutputKind::Gif && !indexed) {
        result.code = CONVERT_TOO_MANY_COLOURS;
        return result;
    }
    if (options.kind == OutputKind::Png && !options.frames) {
        result.code = CONVERT_NEEDS_ANIMATION;
        return result;
    }
    SinkFormat format;
    format.kind = options.frames ? SinkKind::PngSeries
                  : options.kind == OutputKind::Webp || !indexed ? SinkKind::Webp : SinkKind::Gif;
    format.width = width * uint32_t(xs);
    format.height = height * uint32_t(ys);
    format.indexed = indexed;
    format.paletteCount = std::min(COLOUR_TABLE_ENTRIES, std::max(a.info.colourCount, 1 << a.info.header.nPlanes));
    FrameSink* sink = nullptr;
    result.code = OpenOutputSink(input, options, format, &result, &sink);
    std::vector<uint8_t> line(size_t(format.width) * 3);
    uint8_t table[COLOUR_TABLE_BYTES];
    const uint8_t* colours = a.frames.colours;
    int32_t colourCount = a.frames.colourCount;
    for (size_t f = 0; f < count && result.code == 0; ++f) {
        AnimFrame frame;
        if (f > 0) {
            result.code = NextAnimFrame(&a.frames, &frame);
            if (result.code != 0) break;
            colours = frame.colours;
            colourCount = frame.colourCount;
        }
        FrameColours(a, colours, colourCount, table);
        const int64_t end = f + 1 < pass.starts.size() ? pass.starts[f + 1] : pass.starts[f] + loopDelay;
        result.code = BeginSinkFrame(sink, table, pass.starts[f], end);
        for (uint32_t y = 0; y < height && result.code == 0; ++y) {
            AnimShownRow(&a.frames, int32_t(y), &a.rows->planeView);
            const size_t bytes = ConvertRowPixels(a.rows, table, 0, width, false);
            WidenLine(a.rows->lineBuffer, width, bytes, xs, line.data());
            for (int32_t r = 0; r < ys && result.code == 0; ++r) result.code = WriteSinkRow(sink, line.data());
        }
    }
    if (sink != nullptr) result.output = SinkPath(sink);
    const int32_t closed = CloseFrameSink(sink, result.code == 0);
    if (result.code == 0) result.code = closed;
    if (result.code == 0 && pass.failure != 0) {
        result.code = pass.failure;
        result.note = broken + ": the frames before it are in " + result.output;
    }
    return result;
}

}  // namespace lanterna
