#include "convert/convert_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "convert/anim_convert.h"
#include "convert/changed_rect.h"
#include "convert/cycle_timeline.h"
#include "convert/frame_sink.h"
#include "convert/output_names.h"
#include "convert/picture_lines.h"
#include "convert/progress.h"
#include "convert/standard_input.h"
#include "display/pixels/pixel_shape.h"
#include "ilbm/anim_reader.h"
#include "ilbm/picture_reader.h"
#include "platform/dos/dos.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

struct Job {
    const std::string& input;
    const ConvertOptions& options;
    ConvertResult& result;
    Progress progress;
};

const char* Extension(SinkKind kind) {
    return kind == SinkKind::Gif ? ".gif" : kind == SinkKind::Webp ? ".webp" : ".png";
}

int32_t OpenSink(Job& job, SinkKind kind, const PictureLines& lines, FrameSink** sink) {
    SinkFormat format;
    format.kind = kind;
    format.width = lines.outWidth;
    format.height = lines.outHeight;
    format.indexed = lines.bytes == 1;
    format.paletteCount = lines.paletteCount;
    return OpenOutputSink(job.input, job.options, format, &job.result, sink);
}

int32_t Finish(Job& job, FrameSink* sink, int32_t code) {
    if (sink != nullptr) job.result.output = SinkPath(sink);
    const int32_t closed = CloseFrameSink(sink, code == 0);
    return code != 0 ? code : closed;
}

// The rows straight to the file as they are read: nothing is held.
int32_t ConvertStill(Job& job, PictureLines& lines, SinkKind kind) {
    FrameSink* sink = nullptr;
    int32_t code = OpenSink(job, kind, lines, &sink);
    if (code == 0) code = BeginSinkFrame(sink, lines.palette.data(), 0, 1);
    for (uint32_t y = 0; code == 0; ++y) {
        for (int32_t r = 0; r < lines.yRepeat && code == 0; ++r) code = WriteSinkRow(sink, lines.line.data());
        ReportProgress(&job.progress, y + 1, lines.height);
        if (code == 0 && y + 1 < lines.height) {
            code = NextPictureLine(&lines);
        } else {
            break;
        }
    }
    return Finish(job, sink, code);
}

// Cycling: the picture's indices are held (width x height bytes), each
// frame is the whole picture in that frame's colours.
int32_t ConvertCycle(Job& job, PictureLines& lines, SinkKind kind, const PictureInfo& info) {
    std::vector<uint8_t> indices;
    indices.reserve(size_t(lines.width) * lines.height);
    indices.insert(indices.end(), lines.raw.begin(), lines.raw.begin() + lines.width);
    for (uint32_t y = 1; y < lines.height; ++y) {
        if (const int32_t code = NextPictureLine(&lines)) return code;
        indices.insert(indices.end(), lines.raw.begin(), lines.raw.begin() + lines.width);
    }
    bool used[COLOUR_TABLE_ENTRIES] = {};
    for (const uint8_t index : indices) used[index] = true;
    const CycleTimeline timeline =
        BuildCycleTimeline(info, lines.palette.data(), lines.paletteCount, used, job.options.cycleSeconds);
    if (!timeline.wholePeriod) {
        job.result.note = "its colours repeat after more than a minute: " + std::to_string(job.options.cycleSeconds) +
                          " seconds written";
    }
    FrameSink* sink = nullptr;
    int32_t code = OpenSink(job, kind, lines, &sink);
    std::vector<ShownFrame> shown;
    if (code == 0) shown = SinkShownFrames(sink, timeline.ticks, timeline.endTick);
    const size_t frames = shown.size();
    const size_t paletteBytes = size_t(timeline.colourCount) * 3;
    const uint8_t* before = nullptr;  // the colours of the frame written before
    for (size_t f = 0; f < frames && code == 0; ++f) {
        const uint8_t* palette = &timeline.palettes[shown[f].frame * paletteBytes];
        SinkRect changed{0, 0, lines.width, lines.height};
        if (before != nullptr && SinkTakesRectangles(sink)) {
            changed = ChangedRect({indices.data(), before}, {indices.data(), palette}, lines.width, lines.height,
                                  timeline.colourCount);
        }
        before = palette;
        const SinkRect out{changed.left * lines.xRepeat, changed.top * lines.yRepeat, changed.width * lines.xRepeat,
                           changed.height * lines.yRepeat};
        code = BeginSinkFrame(sink, palette, shown[f].startTick, shown[f].endTick, &out);
        for (uint32_t y = changed.top; y < changed.top + changed.height && code == 0; ++y) {
            WidenLine(&indices[size_t(y) * lines.width + changed.left], changed.width, 1, lines.xRepeat,
                      lines.line.data());
            for (int32_t r = 0; r < lines.yRepeat && code == 0; ++r) code = WriteSinkRow(sink, lines.line.data());
        }
        ReportProgress(&job.progress, int64_t(f + 1), int64_t(frames));
    }
    return Finish(job, sink, code);
}

int32_t Convert(Job& job, PictureReader* reader) {
    const PictureInfo& info = PictureReaderInfo(reader);
    PixelAspect aspect;
    if (job.options.aspect) aspect = PixelAspectOfMode(info.modeId);
    PictureLines lines;
    int32_t code = StartPictureLines(reader, aspect.xScale * job.options.scale, aspect.yScale * job.options.scale,
                                     &lines);
    if (code == 0) code = NextPictureLine(&lines);
    if (code != 0) return code;

    const bool indexed = lines.bytes == 1;
    const bool cycle = job.options.cycle && indexed && HasCyclingRanges(info);
    if (job.options.cycle && !cycle) job.result.note = "no colour ranges to cycle: written as a still";
    const OutputKind asked = job.options.kind;
    if (asked == OutputKind::Gif && !indexed) return CONVERT_TOO_MANY_COLOURS;
    SinkKind kind = asked == OutputKind::Gif ? SinkKind::Gif : asked == OutputKind::Webp ? SinkKind::Webp : SinkKind::Png;
    if (job.options.frames) {
        kind = SinkKind::PngSeries;
    } else if (cycle && asked == OutputKind::Chosen) {
        kind = SinkKind::Gif;
    } else if (cycle && asked == OutputKind::Png) {
        return CONVERT_NEEDS_ANIMATION;
    }
    code = cycle ? ConvertCycle(job, lines, kind, info) : ConvertStill(job, lines, kind);
    // A cut file is written as the screen shows it, and said so.
    const std::string cut = CutNote(lines);
    if (code == 0 && !cut.empty()) job.result.note += (job.result.note.empty() ? "" : "; ") + cut;
    return code;
}

}  // namespace

int32_t OpenOutputSink(const std::string& input, const ConvertOptions& options, SinkFormat format,
                       ConvertResult* result, FrameSink** sink) {
    format.replace = options.force;
    format.inputs = &options.files;
    const SinkKind kind = format.kind;
    const bool toStandardOutput =
        kind != SinkKind::PngSeries && (options.outputDir == "-" || (input == "-" && options.outputDir.empty()));
    const std::string base = OutputBase(input, options.outputDir == "-" ? "" : options.outputDir);
    const std::string path = toStandardOutput ? "-" : kind == SinkKind::PngSeries ? base : base + Extension(kind);
    result->output = kind == SinkKind::PngSeries ? base + "-0001.png" : path;
    return OpenFrameSink(path, format, sink);
}

ConvertResult ConvertFile(const std::string& input, const ConvertOptions& options) {
    ConvertResult result;
    Job job{input, options, result, {}};
    StartProgress(&job.progress, input);
    PictureReadOptions readOptions;
    readOptions.halfBriteWithoutMode = options.halfBrite;
    PictureReader* reader = nullptr;
    StandardInput standardInput;
    if (input == "-") {
        result.code = ReadStandardInput(&standardInput);
        if (result.code == ERR_OUT_OF_MEMORY && standardInput.animation) {
            result.note = "an animation on standard input is held in memory, at most 1 GiB: give it as a file";
        }
        if (result.code == 0 && standardInput.animation) {
            EndProgress(&job.progress);
            return ConvertAnimFile(input, options, &standardInput.bytes);
        }
        if (result.code == 0) {
            result.code = OpenPictureReaderFrom(StandardInputSource(standardInput), readOptions, &reader);
        }
    } else {
        result.code = OpenPictureReader(input.c_str(), readOptions, &reader);
    }
    // An animation is read twice; on standard input only one at the top is
    // held for that (one inside a list gives its first frame).
    if (result.code == 0 && input != "-" && PictureIsAnimation(reader)) {
        ClosePictureReader(reader);
        EndProgress(&job.progress);
        return ConvertAnimFile(input, options);
    }
    if (result.code == 0) {
        result.code = Convert(job, reader);
        EndPictureRows(reader);
    }
    ClosePictureReader(reader);
    EndProgress(&job.progress);
    return result;
}

}  // namespace lanterna
