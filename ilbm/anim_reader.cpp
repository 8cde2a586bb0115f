// The glue between the reader and the frame engine: the reader's rows are
// kept as the first frame, the engine reads on over the reader's handle,
// and the frame on show is handed back through the reader's rows.
#include "ilbm/anim_reader.h"

#include <cstring>
#include <new>

#include "ilbm/picture_mode.h"
#include "ilbm/picture_reader_state.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"

namespace lanterna {

struct PictureAnim {
    AnimFrames frames;
    uint8_t colours[COLOUR_TABLE_BYTES] = {};  // of the frame on show, halved ones added
    int32_t colourCount = 0;
    PictureReader* again = nullptr;  // the reader of a later pass, whose handle the engine reads
    int32_t fileColours = 0;         // the first picture's own colours, without halved ones
    bool seeded = false;
    bool keeping = true;             // rows handed are the first frame's
};

namespace {

bool HalfBrite(const PictureInfo& info) {
    return (info.modeId & EXTRA_HALFBRITE) != 0 && info.header.nPlanes == 6;
}

// The engine's colours as the rows need them: Extra-Half-Brite's halved
// colours follow the file's 32 again after a CMAP.
void TakeColours(PictureAnim& anim, const PictureInfo& info) {
    const AnimFrames& f = anim.frames;
    std::memset(anim.colours, 0, sizeof anim.colours);
    std::memcpy(anim.colours, f.colours, size_t(3 * f.colourCount));
    anim.colourCount = f.colourCount;
    if (HalfBrite(info)) {
        anim.colourCount = anim.colourCount < 32 ? anim.colourCount : 32;
        ExtendHalfBrite(anim.colours, anim.colourCount);
    }
}

bool SameShape(const BitMapHeader& a, const BitMapHeader& b) {
    return a.w == b.w && a.h == b.h && a.nPlanes == b.nPlanes && a.compression == b.compression &&
           a.masking == b.masking;
}

}  // namespace

void KeepFirstFrameRow(PictureAnim* anim, const RowBuffers* rows, int32_t y) {
    uint8_t* to = AnimFirstFrameRow(&anim->frames, y);
    if (to == nullptr || !anim->keeping) return;
    const AnimPlanes& s = anim->frames.shape;
    for (int32_t p = 0; p < s.planes; ++p) {
        std::memcpy(to + size_t(p) * size_t(s.bytesPerRow), rows->planeView.Planes[p], size_t(s.bytesPerRow));
    }
}

bool PictureIsAnimation(const PictureReader* reader) {
    const PictureInfo& info = reader->info;
    return reader->inAnimation && info.formType == ID_ILBM && reader->lineColours == nullptr &&
           reader->rows != nullptr && reader->rows->planeView.BytesPerRow == ((info.header.w + 15) / 16) * 2;
}

int32_t OpenPictureFrames(PictureReader* reader) {
    if (reader->anim != nullptr) return 0;
    void* memory = os::AllocVec(sizeof(PictureAnim), os::MEMF_ANY);
    if (memory == nullptr) return ERR_OUT_OF_MEMORY;
    auto* anim = new (memory) PictureAnim;
    const PictureInfo& info = reader->info;
    // The engine keeps the file's own colours; the halved ones are made anew.
    anim->fileColours = info.colours == nullptr ? 0 : HalfBrite(info) && info.colourCount > 32 ? 32 : info.colourCount;
    const int32_t opened = OpenAnimFrames(&anim->frames, reader->iff, info.header, info.colours, anim->fileColours);
    if (opened != 0) {
        anim->~PictureAnim();
        os::FreeVec(anim);
        return opened;
    }
    TakeColours(*anim, info);
    anim->frames.dpanFrames = reader->pan.frames;
    anim->frames.dpanTicks = DisplayPanTicks(reader->pan);
    reader->anim = anim;
    return 0;
}

int32_t NextPictureFrame(PictureReader* reader, AnimFrame* frame) {
    PictureAnim* anim = reader->anim;
    if (anim == nullptr) return ANIM_END;
    if (!anim->seeded) {
        // The second task of the rows stops and the handle is this task's again.
        EndPictureRows(reader);
        SeedAnimFrames(&anim->frames);
        anim->seeded = true;
        anim->keeping = false;
    }
    const int32_t r = NextAnimFrame(&anim->frames, frame);
    if (r == 0 && frame->coloursChanged) TakeColours(*anim, reader->info);
    return r;
}

RowBuffers* PictureFrameRow(PictureReader* reader, int32_t y) {
    RowBuffers* rows = reader->rows;
    PlaneView view;
    AnimShownRow(&reader->anim->frames, y, &view);
    // Copied into the reader's own rows: the conversion reads a little past
    // a row's end, which those rows allow for.
    for (int32_t p = 0; p < int32_t{view.Depth}; ++p) {
        std::memcpy(rows->planeRows[p], view.Planes[p], view.BytesPerRow);
        rows->planeView.Planes[p] = rows->planeRows[p];
    }
    return rows;
}

bool PictureFrameRowChanged(PictureReader* reader, int32_t y, uint32_t* firstPixel, uint32_t* endPixel) {
    const uint32_t width = reader->info.header.w;
    int32_t first = 0, end = 0;
    if (reader->anim == nullptr) {
        *firstPixel = 0;
        *endPixel = width;
        return true;
    }
    if (!AnimRowChanged(&reader->anim->frames, y, &first, &end)) return false;
    *firstPixel = 8 * uint32_t(first);
    *endPixel = 8 * uint32_t(end) < width ? 8 * uint32_t(end) : width;
    return true;
}

const uint8_t* PictureFrameColours(const PictureReader* reader, int32_t* count) {
    if (reader->anim == nullptr) {
        *count = reader->info.colourCount;
        return reader->info.colours;
    }
    *count = reader->anim->colourCount;
    return reader->anim->colourCount > 0 ? reader->anim->colours : nullptr;
}

const AnimFrames* PictureFrames(const PictureReader* reader) {
    return reader->anim != nullptr ? &reader->anim->frames : nullptr;
}

int32_t RestartPictureFrames(PictureReader* reader, PictureReader* again, bool fromFirst) {
    PictureAnim* anim = reader->anim;
    if (anim == nullptr) {
        ClosePictureReader(again);
        return ERR_CORRUPT;
    }
    ClosePictureReader(anim->again);
    anim->again = again;
    if (!SameShape(again->info.header, reader->info.header) || again->info.formType != ID_ILBM) {
        return ERR_CORRUPT;  // the file changed under the player
    }
    const bool loops = anim->frames.loopsThroughSecond;
    if (fromFirst || !loops) {
        // The first frame again, from the top.
        int32_t r = 0;
        PictureRow row;
        anim->keeping = true;
        while ((r = ReadPictureRow(again, &row)) == 0) KeepFirstFrameRow(anim, row.rows, row.y);
        anim->keeping = false;
        EndPictureRows(again);
        if (r != PICTURE_ROWS_END) return r;
        AnimFrames& f = anim->frames;
        std::memset(f.colours, 0, sizeof f.colours);
        if (anim->fileColours > 0) std::memcpy(f.colours, reader->info.colours, size_t(3 * anim->fileColours));
        f.colourCount = anim->fileColours;
        SeedAnimFrames(&f);
        TakeColours(*anim, reader->info);
    }
    // The engine passes the second frame over only when told the loop
    // goes through it.
    anim->frames.loopsThroughSecond = loops && !fromFirst;
    const int32_t r = RestartAnimFrames(&anim->frames, again->iff);
    anim->frames.loopsThroughSecond = loops;
    return r;
}

void ClosePictureFrames(PictureReader* reader) {
    PictureAnim* anim = reader->anim;
    if (anim == nullptr) return;
    reader->anim = nullptr;
    CloseAnimFrames(&anim->frames);
    ClosePictureReader(anim->again);
    anim->~PictureAnim();
    os::FreeVec(anim);
}

}  // namespace lanterna
