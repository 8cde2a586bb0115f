// The IFF reader over an in-memory stream hook that logs what it is asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/iffparse/iffparse.h"
#include "tests/support/memory_iff.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna::ilbmw;
using os::MakeId;

namespace {

using Parser = lanterna::test_support::MemoryIff;

Bytes Data(size_t n, uint8_t seed = 1) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 7);
    return b;
}

const std::string kEof = std::to_string(os::IFFERR_EOF);

}  // namespace

TEST(IffParse, WalksNestedGroupsAndStopsWithTheEnclosingType) {
    // CAT { FORM 8SVX {BMHD}, LIST ILBM { PROP ILBM {BMHD}, FORM ILBM {CMAP, BODY} },
    //       FORM ANIM { FORM ILBM {BODY} } }
    Bytes svx = MakeGroup("FORM", "8SVX", MakeChunk("BMHD", Data(20)));
    Bytes prop = MakeGroup("PROP", "ILBM", MakeChunk("BMHD", Data(20)));
    Bytes form = MakeGroup("FORM", "ILBM", Concat({MakeChunk("CMAP", Data(6)), MakeChunk("BODY", Data(9))}));
    Bytes list = MakeGroup("LIST", "ILBM", Concat({prop, form}));
    Bytes anim = MakeGroup("FORM", "ANIM", MakeGroup("FORM", "ILBM", MakeChunk("BODY", Data(3))));
    Parser p(MakeGroup("CAT ", "    ", Concat({svx, list, anim})));
    p.Stop("ILBM", "BMHD");
    p.Stop("ILBM", "CMAP");
    p.Stop("ILBM", "BODY");
    p.Stop("ANIM", "BODY");
    EXPECT_EQ(p.Next(), "ILBM.BMHD:20");
    EXPECT_EQ(p.Next(), "ILBM.CMAP:6");
    EXPECT_EQ(p.Next(), "ILBM.BODY:9");
    EXPECT_EQ(p.Next(), "ILBM.BODY:3");
    EXPECT_EQ(p.Next(), kEof);
    EXPECT_EQ(p.Next(), kEof);  // the end repeats
    EXPECT_EQ(os::CurrentChunk(p.iff), nullptr);
}

TEST(IffParse, OddChunksKeepTheirPadAndReadsStopAtTheChunkEnd) {
    Bytes inner = Concat({MakeChunk("ANNO", Data(5)), MakeChunk("BMHD", Data(20, 9)), MakeChunk("CRNG", Data(3))});
    Bytes file = MakeGroup("FORM", "ILBM", inner);
    Parser p(file);
    p.Stop("ILBM", "ANNO");
    p.Stop("ILBM", "BMHD");
    p.Stop("ILBM", "CRNG");
    ASSERT_EQ(p.Next(), "ILBM.ANNO:5");
    uint8_t buf[64];
    EXPECT_EQ(os::ReadChunkBytes(p.iff, buf, 2), 2);
    EXPECT_EQ(os::ReadChunkBytes(p.iff, buf, 100), 3);  // never past the chunk
    EXPECT_EQ(os::ReadChunkBytes(p.iff, buf, 100), 0);
    EXPECT_EQ(os::CurrentChunk(p.iff)->cn_Scan, 5);
    ASSERT_EQ(p.Next(), "ILBM.BMHD:20");
    ASSERT_EQ(os::ReadChunkBytes(p.iff, buf, 20), 20);
    EXPECT_EQ(Bytes(buf, buf + 20), Data(20, 9));  // the pad byte after ANNO was passed over
    ASSERT_EQ(p.Next(), "ILBM.CRNG:3");
    EXPECT_EQ(p.Next(), kEof);

    // A writer that left the pad byte of the last chunk out of the FORM size.
    Bytes tight = file;
    PutBE32(tight, 4, uint32_t(file.size() - 8 - 1));
    tight.pop_back();
    Parser q(tight);
    q.Stop("ILBM", "CRNG");
    EXPECT_EQ(q.Next(), "ILBM.CRNG:3");
    EXPECT_EQ(q.Next(), kEof);
}

TEST(IffParse, UnwantedChunksAreSkippedBySeekingOrReading) {
    Bytes file = MakeGroup("FORM", "ILBM", Concat({MakeChunk("ANNO", Data(1001)), MakeChunk("BODY", Data(4))}));
    {
        Parser p(file);
        p.Stop("ILBM", "BODY");
        EXPECT_EQ(p.Next(), "ILBM.BODY:4");
        EXPECT_EQ(p.stream.seeks, std::vector<int32_t>{1002});  // data and pad in one seek
        EXPECT_EQ(p.stream.bytesRead, 12 + 8 + 8);              // headers only
        EXPECT_EQ(p.stream.pos, 12 + 8 + 1002 + 8);
        EXPECT_EQ(p.Next(), kEof);
        EXPECT_EQ(p.stream.pos, int64_t(file.size()));  // the BODY left by a seek, nothing read past the FORM
        EXPECT_EQ(p.stream.seeks, (std::vector<int32_t>{1002, 4}));
    }
    {
        Parser p(file, 0);  // a stream that cannot seek
        p.Stop("ILBM", "BODY");
        EXPECT_EQ(p.Next(), "ILBM.BODY:4");
        EXPECT_TRUE(p.stream.seeks.empty());
        EXPECT_EQ(p.stream.pos, 12 + 8 + 1002 + 8);
    }
}

TEST(IffParse, EndsAtTheOutermostGroupAndIgnoresWhatFollows) {
    Bytes form = MakeGroup("FORM", "ILBM", MakeChunk("BMHD", Data(20)));
    Bytes junk = form;
    Bytes tail = Data(37);
    junk.insert(junk.end(), tail.begin(), tail.end());
    Parser p(junk);
    p.Stop("ILBM", "BMHD");
    EXPECT_EQ(p.Next(), "ILBM.BMHD:20");
    EXPECT_EQ(p.Next(), kEof);
    EXPECT_EQ(p.stream.pos, int64_t(form.size()));
}

TEST(IffParse, AFormLongerThanTheFileIsReadUpToWhereTheDataEnds) {
    Bytes file = MakeGroup("FORM", "ILBM", Concat({MakeChunk("BMHD", Data(20)), MakeChunk("BODY", Data(10))}));
    PutBE32(file, 4, 0x00100000);  // claims a megabyte
    Parser p(file);
    p.Stop("ILBM", "BMHD");
    p.Stop("ILBM", "BODY");
    EXPECT_EQ(p.Next(), "ILBM.BMHD:20");
    EXPECT_EQ(p.Next(), "ILBM.BODY:10");
    uint8_t buf[10];
    EXPECT_EQ(os::ReadChunkBytes(p.iff, buf, 10), 10);
    EXPECT_EQ(p.Next(), std::to_string(os::IFFERR_READ));  // no further chunk header

    Bytes huge = file;
    PutBE32(huge, 4, 0xFFFFFFF0u);
    Parser q(huge);
    q.Stop("ILBM", "BODY");
    EXPECT_EQ(q.Next(), "ILBM.BODY:10");
}

TEST(IffParse, ReportsBrokenStructure) {
    struct Case {
        const char* name;
        Bytes file;
        int32_t status;
    };
    Bytes bmhd = MakeChunk("BMHD", Data(20));
    Bytes overlong = MakeGroup("FORM", "ILBM", bmhd);
    PutBE32(overlong, 16, 21);  // BMHD claims one byte more than the FORM holds
    Bytes tinyInner = MakeGroup("FORM", "ANIM", MakeChunkWithSize("FORM", 2, Bytes{'I', 'L', 0, 0}));
    Bytes tinyOuter = Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 2, 'I', 'L', 'B', 'M'};
    std::vector<Case> cases = {
        {"plain text", Bytes{'H', 'e', 'l', 'l', 'o', ',', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, os::IFFERR_NOTIFF},
        {"PROP outside a LIST", MakeGroup("PROP", "ILBM", bmhd), os::IFFERR_NOTIFF},
        {"chunk larger than its FORM", overlong, os::IFFERR_MANGLED},
        {"nested FORM too small for its type", tinyInner, os::IFFERR_MANGLED},
        {"outer FORM too small for its type", tinyOuter, os::IFFERR_MANGLED},
        {"data chunk directly in a LIST", MakeGroup("LIST", "ILBM", bmhd), os::IFFERR_SYNTAX},
        {"PROP inside a FORM", MakeGroup("FORM", "ILBM", MakeGroup("PROP", "ILBM", bmhd)), os::IFFERR_SYNTAX},
        {"cut inside the group header", Bytes{'F', 'O', 'R', 'M', 0, 0}, os::IFFERR_READ},
        {"cut inside a chunk header", Truncated(overlong, 15), os::IFFERR_READ},
        {"empty stream", Bytes{}, os::IFFERR_READ},
    };
    for (const Case& c : cases) {
        Parser p(c.file);
        p.Stop("ILBM", "BMHD");
        EXPECT_EQ(p.Next(), std::to_string(c.status)) << c.name;
        EXPECT_EQ(p.Next(), std::to_string(c.status)) << c.name << " (repeated)";
    }
}

TEST(IffParse, NestingDeeperThanTheParserHoldsIsASyntaxErrorNotNoMemory) {
    Bytes nested = MakeGroup("FORM", "ILBM", MakeChunk("BMHD", Data(20)));
    for (int i = 0; i < 40; ++i) nested = MakeGroup("LIST", "ILBM", nested);
    Parser p(nested);
    p.Stop("ILBM", "BMHD");
    EXPECT_EQ(p.Next(), std::to_string(os::IFFERR_SYNTAX));

    // Within the bound the same nesting is read.
    Bytes shallow = MakeGroup("FORM", "ILBM", MakeChunk("BMHD", Data(20)));
    for (int i = 0; i < 20; ++i) shallow = MakeGroup("LIST", "ILBM", shallow);
    Parser q(shallow);
    q.Stop("ILBM", "BMHD");
    EXPECT_EQ(q.Next(), "ILBM.BMHD:20");
}

TEST(IffParse, HookFailuresBecomeReadAndSeekErrors) {
    Bytes file = MakeGroup("FORM", "ILBM", Concat({MakeChunk("ANNO", Data(30)), MakeChunk("BMHD", Data(20))}));
    {
        Parser p(file);
        p.Stop("ILBM", "BMHD");
        p.stream.failSeeks = true;
        EXPECT_EQ(p.Next(), std::to_string(os::IFFERR_SEEK));
    }
    {
        Parser p(file);
        p.Stop("ILBM", "BMHD");
        ASSERT_EQ(p.Next(), "ILBM.BMHD:20");
        p.stream.failReadCall = p.stream.readCalls + 1;
        uint8_t buf[20];
        EXPECT_EQ(os::ReadChunkBytes(p.iff, buf, 20), os::IFFERR_READ);
    }
}

TEST(IffParse, NestingIsBounded) {
    Bytes inner = MakeChunk("BMHD", Data(20));
    for (int i = 0; i < 200; ++i) inner = MakeGroup("FORM", "ILBM", inner);
    Parser p(inner);
    p.Stop("ILBM", "BMHD");
    EXPECT_EQ(p.Next(), std::to_string(os::IFFERR_SYNTAX));  // the file's fault, no memory ran out

    Bytes shallow = MakeChunk("BMHD", Data(20));
    for (int i = 0; i < 20; ++i) shallow = MakeGroup("FORM", "ILBM", shallow);
    Parser q(shallow);
    q.Stop("ILBM", "BMHD");
    EXPECT_EQ(q.Next(), "ILBM.BMHD:20");
    EXPECT_EQ(q.Next(), kEof);
}

TEST(IffParse, StepModeEntersAndLeavesEveryContext) {
    Bytes file = MakeGroup("FORM", "ILBM", Concat({MakeChunk("BMHD", Data(20)), MakeChunk("BODY", Data(2))}));
    Parser p(file);
    std::vector<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        int32_t r = os::ParseIFF(p.iff, os::IFFPARSE_STEP);
        if (r == os::IFFERR_EOF) break;
        if (r == 0) {
            os::ContextNode* cn = os::CurrentChunk(p.iff);
            seen.push_back(std::string{char(cn->cn_ID >> 24), char(cn->cn_ID >> 16), char(cn->cn_ID >> 8),
                                       char(cn->cn_ID)});
        } else {
            ASSERT_EQ(r, os::IFFERR_EOC);
            seen.push_back("end");
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"FORM", "BMHD", "end", "BODY", "end", "end"}));
}

TEST(IffParse, OpeningNeedsAHookAndTooManyStopsAreRefused) {
    os::IFFHandle* iff = os::AllocIFF();
    ASSERT_NE(iff, nullptr);
    EXPECT_EQ(os::OpenIFF(iff, os::IFFF_READ), os::IFFERR_NOHOOK);
    std::vector<int32_t> pairs(2 * 100, 1);
    EXPECT_EQ(os::StopChunks(iff, pairs.data(), 100), os::IFFERR_NOMEM);
    EXPECT_EQ(os::StopChunks(iff, pairs.data(), 10), 0);
    os::FreeIFF(iff);
}
