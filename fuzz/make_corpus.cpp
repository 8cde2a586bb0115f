// Writes the seed corpus of fuzz_picture (and fuzz_pixbuf_loader) into the
// directory given: small pictures of every kind the reader knows, and small
// animations, made with the project's writer.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/ilbm_writer/anim_writer.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

IlbmPicture Picture(int32_t w, int32_t h, int32_t planes, uint8_t compression, uint8_t masking = mskNone) {
    IlbmPicture p;
    p.header = SimpleHeader(w, h, planes, compression, masking);
    const uint32_t mask = planes >= 32 ? 0xFFFFFFFFu : (1u << planes) - 1;
    for (int32_t i = 0; i < w * h; ++i) {
        p.pixels.push_back(uint32_t((i / 3) * 2654435761u >> 7) & mask);
        p.mask.push_back(uint8_t(i % 5 != 0));
    }
    const int32_t colours = planes <= 8 ? (1 << planes) : 0;
    for (int32_t i = 0; i < colours; ++i) p.colours.push_back(Rgb{uint8_t(i * 3), uint8_t(i * 5), uint8_t(i * 7)});
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<std::pair<std::string, Bytes>> seeds;

    seeds.emplace_back("plain-4", MakeIlbm(Picture(17, 5, 4, cmpNone)));
    seeds.emplace_back("packed-8", MakeIlbm(Picture(33, 6, 8, cmpByteRun1)));
    seeds.emplace_back("packed-masked", MakeIlbm(Picture(21, 4, 3, cmpByteRun1, mskHasMask)));
    seeds.emplace_back("deep-24", MakeIlbm(Picture(9, 3, 24, cmpByteRun1)));
    seeds.emplace_back("deep-12", MakeIlbm(Picture(5, 3, 12, cmpNone)));
    seeds.emplace_back("one-pixel", MakeIlbm(Picture(1, 1, 1, cmpByteRun1)));
    {
        IlbmPicture p = Picture(40, 4, 6, cmpByteRun1);
        p.colours.resize(16);
        p.hasCamg = true;
        p.camg = HAM;
        std::vector<Rgb> targets;
        for (int i = 0; i < 40; ++i) targets.push_back(Rgb{uint8_t(i * 6), uint8_t(255 - i * 6), uint8_t(i * 3)});
        const auto codes = EncodeHamRow(targets, p.colours, 6);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 40; ++x) p.pixels[size_t(y * 40 + x)] = codes[size_t(x)];
        seeds.emplace_back("ham6", MakeIlbm(p));
    }
    {
        IlbmPicture p = Picture(16, 2, 6, cmpNone);
        p.colours.resize(32);
        p.hasCamg = true;
        p.camg = EXTRA_HALFBRITE;
        seeds.emplace_back("ehb", MakeIlbm(p));
    }
    {
        IlbmPicture p = Picture(24, 3, 5, cmpByteRun1);
        p.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(0, 4000, 1, 2, 9)));
        p.extraChunks.push_back(MakeChunk("CCRT", EncodeCycleTiming(1, 3, 7, 0, 50000)));
        p.extraChunks.push_back(MakeChunk("ANNO", Bytes{'s', 'e', 'e', 'd'}));
        p.colours.resize(31);
        seeds.emplace_back("ranges", MakeIlbm(p));
    }
    {
        // BODY before BMHD, then a proper one.
        IlbmPicture p = Picture(8, 2, 2, cmpNone);
        Bytes body = MakeChunk("BODY", MakeBodyData(p));
        seeds.emplace_back("body-first",
                           MakeGroup("FORM", "ILBM", Concat({body, MakeChunk("BMHD", EncodeBitMapHeader(p.header)), body})));
    }
    {
        IlbmPicture p = Picture(12, 3, 3, cmpByteRun1);
        Bytes prop = MakeGroup("PROP", "ILBM", Concat({MakeChunk("BMHD", EncodeBitMapHeader(p.header)),
                                                       MakeChunk("CMAP", EncodeColourMap(p.colours))}));
        Bytes form = MakeGroup("FORM", "ILBM", MakeChunk("BODY", MakeBodyData(p)));
        seeds.emplace_back("list-prop", MakeGroup("LIST", "ILBM", Concat({prop, form})));
        seeds.emplace_back("cat", MakeGroup("CAT ", "ILBM", Concat({MakeGroup("FORM", "8SVX", MakeChunk("VHDR", Bytes(20))), MakeIlbm(p)})));
    }
    {
        Bytes cut = MakeIlbm(Picture(30, 8, 4, cmpByteRun1));
        seeds.emplace_back("truncated", Truncated(cut, cut.size() - 17));
    }
    {
        // The rest of the picture family: chunky PBM (odd width, both
        // compressions, with ranges), BODYs packed as one stream, deep
        // pictures with masks, 32-plane RGBA, a file shorter than a header.
        IlbmPicture pbm = Picture(19, 5, 8, cmpByteRun1);
        pbm.formType = "PBM ";
        pbm.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(0, 4000, 1, 2, 9)));
        seeds.emplace_back("pbm-packed", MakeIlbm(pbm));
        pbm.header.compression = cmpNone;
        seeds.emplace_back("pbm-plain", MakeIlbm(pbm));
        pbm.header.compression = cmpByteRun1;
        pbm.packAsStream = true;
        seeds.emplace_back("pbm-stream", MakeIlbm(pbm));
        IlbmPicture stream = Picture(40, 6, 5, cmpByteRun1, mskHasMask);
        stream.packAsStream = true;
        seeds.emplace_back("stream-masked", MakeIlbm(stream));
        seeds.emplace_back("deep-masked", MakeIlbm(Picture(11, 3, 24, cmpByteRun1, mskHasMask)));
        seeds.emplace_back("deep-lasso", MakeIlbm(Picture(7, 3, 12, cmpNone, mskLasso)));
        seeds.emplace_back("rgba-32", MakeIlbm(Picture(9, 4, 32, cmpByteRun1)));
        seeds.emplace_back("short-header", Truncated(MakeIlbm(Picture(4, 1, 1, cmpNone)), 10));
        std::vector<std::vector<Rgb>> lines(3, std::vector<Rgb>(16, Rgb{200, 100, 50}));
        IlbmPicture sham = Picture(20, 4, 6, cmpByteRun1);
        sham.hasCamg = true;
        sham.camg = HAM;
        sham.extraChunks.push_back(MakeChunk("SHAM", EncodeLinePalettes(lines, true)));
        seeds.emplace_back("sham", MakeIlbm(sham));
        IlbmPicture ctbl = Picture(20, 4, 4, cmpNone);
        ctbl.extraChunks.push_back(MakeChunk("CTBL", EncodeLinePalettes(lines, false)));
        seeds.emplace_back("ctbl", MakeIlbm(ctbl));
        IlbmPicture acbm = Picture(23, 4, 5, cmpNone, mskHasMask);
        acbm.formType = "ACBM";
        seeds.emplace_back("acbm", MakeIlbm(acbm));
        // PCHG: both forms, plain and Huffman packed, on a colour-mapped and
        // a HAM picture, with lines above the picture too.
        for (int f = 0; f < 4; ++f) {
            PaletteChangeLines changes;
            changes.big = (f & 1) != 0;
            changes.huffman = (f & 2) != 0;
            changes.startLine = int16_t(f == 3 ? -2 : 0);
            changes.lines.resize(6);
            for (int l = 0; l < 6; l += 1 + f % 2) {
                changes.lines[size_t(l)].push_back({uint16_t(l * 5 % 32), Rgb{uint8_t(l * 40), 90, uint8_t(250 - l)}});
                changes.lines[size_t(l)].push_back({uint16_t(l + 16), Rgb{10, uint8_t(l * 30), 200}});
            }
            IlbmPicture pchg = Picture(21, 5, f < 2 ? 5 : 6, f % 2 == 0 ? cmpByteRun1 : cmpNone);
            if (f >= 2) {
                pchg.hasCamg = true;
                pchg.camg = HAM;
            }
            pchg.extraChunks.push_back(MakeChunk("PCHG", EncodePaletteChanges(changes)));
            seeds.emplace_back("pchg-" + std::to_string(f), MakeIlbm(pchg));
        }
        // DEEP in each compression, RGB and RGBA, with a DLOC once.
        for (uint16_t compression : {uint16_t(0), uint16_t(1), uint16_t(5)}) {
            DeepPicture deep;
            deep.width = 11;
            deep.height = 4;
            deep.compression = compression;
            if (compression != 0) deep.elements = {{1, 8}, {2, 8}, {3, 8}, {4, 8}};
            for (size_t i = 0; i < size_t(deep.width) * deep.height * deep.elements.size(); ++i) {
                deep.pixels.push_back(uint8_t(i / 5 * 16));
            }
            if (compression == 5) deep.tvdc = StandardTvdc();
            if (compression == 1) deep.extraChunks.push_back(MakeChunk("DLOC", Bytes{0, 11, 0, 4, 0, 0, 0, 0}));
            seeds.emplace_back("deep-" + std::to_string(compression), MakeDeep(deep));
        }
        for (const char* form : {"RGB8", "RGBN"}) {
            IlbmPicture rgb = Picture(13, 5, 25, cmpRgbn);
            rgb.formType = form;
            for (size_t i = 0; i < rgb.pixels.size(); ++i) rgb.pixels[i] = uint32_t(i / 7 * 0x102030);
            seeds.emplace_back(std::string(form) + "-runs", MakeIlbm(rgb));
            rgb.body = MakeRgbnBody(rgb.pixels, rgb.formType == "RGBN", 1);
            seeds.emplace_back(std::string(form) + "-long-counts", MakeIlbm(rgb));
        }
    }

    // Animations: a few frames of two delta operations, and one that loops
    // through its second frame.
    for (uint8_t operation : {uint8_t(5), uint8_t(7)}) {
        AnimFile anim;
        anim.first = Picture(24, 6, 3, cmpByteRun1);
        for (uint32_t k = 1; k <= 4; ++k) {
            AnimFrameInput frame;
            frame.operation = operation;
            frame.pixels = anim.first.pixels;
            for (size_t i = 0; i < frame.pixels.size(); i += k + 2) frame.pixels[i] = (frame.pixels[i] + k) & 7;
            if (k == 3) frame.pixels = anim.first.pixels;
            frame.relTime = k;
            anim.frames.push_back(frame);
        }
        seeds.emplace_back("anim-" + std::to_string(operation), MakeAnim(anim));
    }

    int failures = 0;
    for (const auto& [name, data] : seeds) {
        if (!WriteFile(dir + "/" + name + ".iff", data)) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
