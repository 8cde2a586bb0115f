// MatchFirst/MatchNext/MatchEnd over real directory trees.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "tests/support/as_nobody.h"

namespace {

class MatchTree : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/match_anchor_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        ASSERT_EQ(chmod(root_.c_str(), 0755), 0);  // open to the ordinary user of the permission tests
        File("a.iff", 10);
        File("B.iff", 5);
        File("c.txt", 3);
        File("empty.iff", 0);
        File("w#?.iff", 7);
        Dir("pics");
        File("pics/x.iff", 1);
        File("pics/y.IFF", 2);
        Dir("pics/sub");
        File("pics/sub/deep.iff", 4);
        os::SetSignal(0, os::SIGBREAKF_CTRL_C);
    }
    void TearDown() override {
        std::string cmd = "chmod -R u+rwx '" + root_ + "' && rm -rf '" + root_ + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    void File(const std::string& name, size_t size) {
        std::ofstream(root_ + "/" + name, std::ios::binary) << std::string(size, 'x');
    }
    void Dir(const std::string& name) { ASSERT_EQ(mkdir((root_ + "/" + name).c_str(), 0755), 0); }
    std::string P(const std::string& rel) const { return root_ + "/" + rel; }

    // Walks every match; directories are entered when `all` (and the first
    // match always, as the viewer does). Each entry is "path:kind" with kind
    // D (directory), d (a directory returned after its contents), 0 (other)
    // or the file size; the root prefix is left off.
    std::vector<std::string> Walk(const std::string& pattern, bool all, int32_t* end = nullptr) {
        std::vector<std::string> seen;
        os::AnchorPath anchor;
        anchor.ap_Strlen = os::MATCH_PATH_SIZE;
        anchor.ap_BreakBits = os::SIGBREAKF_CTRL_C;
        int32_t err = os::MatchFirst(pattern.c_str(), &anchor);
        bool first = true;
        while (err == 0) {
            std::string path = anchor.ap_Buf;
            if (path.compare(0, root_.size() + 1, root_ + "/") == 0) path = path.substr(root_.size() + 1);
            const auto& fib = anchor.ap_Info;
            std::string kind;
            if (fib.fib_DirEntryType > 0) {
                kind = (anchor.ap_Flags & os::APF_DIDDIR) ? "d" : "D";
                if (anchor.ap_Flags & os::APF_DIDDIR) {
                    anchor.ap_Flags &= ~os::APF_DIDDIR;
                } else if (all || first) {
                    anchor.ap_Flags |= os::APF_DODIR;
                }
            } else if (fib.fib_DirEntryType < 0) {
                kind = std::to_string(fib.fib_Size);
            } else {
                kind = "0";
            }
            // The last component, cut to the block's 107 characters.
            std::string base = path;
            while (base.size() > 1 && base.back() == '/') base.pop_back();
            base = base.substr(base.find_last_of('/') + 1).substr(0, sizeof fib.fib_FileName - 1);
            EXPECT_STREQ(fib.fib_FileName, base.c_str());
            seen.push_back(path + ":" + kind);
            first = false;
            err = os::MatchNext(&anchor);
        }
        os::MatchEnd(&anchor);
        if (end != nullptr) *end = err;
        else EXPECT_EQ(err, os::ERROR_NO_MORE_ENTRIES);
        return seen;
    }

    std::string root_;
};

using Seen = std::vector<std::string>;

TEST_F(MatchTree, PatternInTheLastComponentSortedByName) {
    EXPECT_EQ(Walk(P("#?.iff"), false), (Seen{"a.iff:10", "B.iff:5", "empty.iff:0", "w#?.iff:7"}));
    EXPECT_EQ(Walk(P("~(#?.iff)"), false), (Seen{"c.txt:3", "pics:D"}));
}

TEST_F(MatchTree, DirectoryNamedAloneIsEnteredOnceAndReturnedAgain) {
    EXPECT_EQ(Walk(P("pics"), false), (Seen{"pics:D", "pics/sub:D", "pics/x.iff:1", "pics/y.IFF:2", "pics:d"}));
    EXPECT_EQ(Walk(P("pics"), true), (Seen{"pics:D", "pics/sub:D", "pics/sub/deep.iff:4", "pics/sub:d",
                                           "pics/x.iff:1", "pics/y.IFF:2", "pics:d"}));
    // A trailing slash is kept as typed, without doubling it.
    EXPECT_EQ(Walk(P("pics/sub/"), false), (Seen{"pics/sub/:D", "pics/sub/deep.iff:4", "pics/sub/:d"}));
}

TEST_F(MatchTree, WildcardsInEveryComponent) {
    EXPECT_EQ(Walk(P("p#?/#?.iff"), false), (Seen{"pics/x.iff:1", "pics/y.IFF:2"}));
    EXPECT_EQ(Walk(P("#?/s?b/#?"), false), (Seen{"pics/sub/deep.iff:4"}));
    EXPECT_EQ(Walk(P("#?/SUB"), false), (Seen{"pics/sub:D", "pics/sub/deep.iff:4", "pics/sub:d"}));
}

TEST_F(MatchTree, NameWithPatternCharactersThatExistsIsLiteral) {
    EXPECT_EQ(Walk(P("w#?.iff"), false), (Seen{"w#?.iff:7"}));
    File("(x).iff", 2);
    File("x.iff", 3);
    EXPECT_EQ(Walk(P("(x).iff"), false), (Seen{"(x).iff:2"}));
    ASSERT_EQ(unlink(P("(x).iff").c_str()), 0);
    EXPECT_EQ(Walk(P("(x).iff"), false), (Seen{"x.iff:3"}));
}

TEST_F(MatchTree, MissingNamesAndEmptyMatches) {
    int32_t end = 0;
    os::SetIoErr(0);
    EXPECT_TRUE(Walk(P("nothere.iff"), false, &end).empty());
    EXPECT_EQ(end, os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(os::IoErr(), os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_TRUE(Walk(P("nodir/#?.iff"), false, &end).empty());
    EXPECT_EQ(end, os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_TRUE(Walk(P("a.iff/x"), false, &end).empty());
    EXPECT_EQ(end, os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_TRUE(Walk(P("#?.gif"), false, &end).empty());
    EXPECT_EQ(end, os::ERROR_NO_MORE_ENTRIES);
    EXPECT_TRUE(Walk("", false, &end).empty());
    EXPECT_EQ(end, os::ERROR_OBJECT_NOT_FOUND);
}

TEST_F(MatchTree, RelativePatternsUseTheCurrentDirectory) {
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(root_.c_str()), 0);
    auto seen = Walk("#?.txt", false);
    auto sub = Walk("pics/#?.iff", false);
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(seen, (Seen{"c.txt:3"}));
    EXPECT_EQ(sub, (Seen{"pics/x.iff:1", "pics/y.IFF:2"}));
}

TEST_F(MatchTree, PathsThatDoNotFitTheBufferAreErrorsNotTruncations) {
    os::AnchorPath anchor;
    std::string pattern = P("a.iff");
    anchor.ap_Strlen = static_cast<int16_t>(pattern.size() + 1);  // exactly enough
    ASSERT_EQ(os::MatchFirst(pattern.c_str(), &anchor), 0);
    EXPECT_EQ(std::string(anchor.ap_Buf), pattern);
    os::MatchEnd(&anchor);

    anchor = os::AnchorPath{};
    anchor.ap_Strlen = static_cast<int16_t>(pattern.size());  // one short
    std::memset(anchor.ap_Buf, 'z', sizeof anchor.ap_Buf);
    EXPECT_EQ(os::MatchFirst(pattern.c_str(), &anchor), os::ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(os::IoErr(), os::ERROR_BUFFER_OVERFLOW);
    EXPECT_NE(std::string(anchor.ap_Buf, pattern.size() - 1), pattern.substr(0, pattern.size() - 1));
    os::MatchEnd(&anchor);

    // A deep tree overflows the 512 characters only when entered.
    std::string deep = "pics";
    for (int i = 0; i < 3; ++i) {
        deep += "/" + std::string(180, static_cast<char>('k' + i));
        Dir(deep);
    }
    File(deep + "/f.iff", 1);
    int32_t end = 0;
    Seen seen = Walk(P("pics"), true, &end);
    EXPECT_EQ(end, os::ERROR_BUFFER_OVERFLOW);
    for (const auto& s : seen) EXPECT_LT(s.size() + root_.size(), 512u) << s;
}

TEST_F(MatchTree, BreakSignalEndsMatching) {
    os::AnchorPath anchor;
    anchor.ap_Strlen = os::MATCH_PATH_SIZE;
    anchor.ap_BreakBits = os::SIGBREAKF_CTRL_C;
    ASSERT_EQ(os::MatchFirst(P("#?").c_str(), &anchor), 0);
    os::Signal(os::FindTask(nullptr), os::SIGBREAKF_CTRL_C);
    EXPECT_EQ(os::MatchNext(&anchor), os::ERROR_BREAK);
    EXPECT_EQ(anchor.ap_FoundBreak, os::SIGBREAKF_CTRL_C);
    EXPECT_EQ(os::SetSignal(0, 0) & os::SIGBREAKF_CTRL_C, 0u);  // taken by the matcher
    os::MatchEnd(&anchor);

    // Pending before the first call, and other bits are left alone.
    anchor = os::AnchorPath{};
    anchor.ap_Strlen = os::MATCH_PATH_SIZE;
    anchor.ap_BreakBits = os::SIGBREAKF_CTRL_C;
    os::Signal(os::FindTask(nullptr), os::SIGBREAKF_CTRL_C | os::SIGBREAKF_CTRL_F);
    EXPECT_EQ(os::MatchFirst(P("pics").c_str(), &anchor), os::ERROR_BREAK);
    EXPECT_EQ(os::SetSignal(0, os::SIGBREAKF_CTRL_F) & os::SIGBREAKF_CTRL_F, os::SIGBREAKF_CTRL_F);
    os::MatchEnd(&anchor);
}

// Run as an ordinary user: root reads every directory.
TEST_F(MatchTree, UnreadableDirectory) {
    Dir("locked");
    File("locked/in.iff", 1);
    ASSERT_EQ(chmod(P("locked").c_str(), 0), 0);
    EXPECT_EQ(test_support::RunAsOrdinaryUser([&] {
        int32_t end = 0;
        EXPECT_TRUE(Walk(P("locked/#?"), false, &end).empty());
        EXPECT_EQ(end, os::ErrnoToDos(EACCES));
        EXPECT_NE(end, os::ERROR_NO_MORE_ENTRIES);
        // Entered with APF_DODIR: the error comes from MatchNext.
        Seen seen = Walk(P("locked"), false, &end);
        EXPECT_EQ(seen, (Seen{"locked:D"}));
        EXPECT_EQ(end, os::ErrnoToDos(EACCES));
    }), 0);
}

TEST_F(MatchTree, FailureOfOneEntryLeavesTheWalkToGoOn) {
    Dir("pics/locked");
    File("pics/locked/in.iff", 1);
    File("pics/z.iff", 6);
    ASSERT_EQ(chmod(P("pics/locked").c_str(), 0), 0);
    EXPECT_EQ(test_support::RunAsOrdinaryUser([&] {
        os::AnchorPath anchor;
        anchor.ap_Strlen = os::MATCH_PATH_SIZE;
        ASSERT_EQ(os::MatchFirst(P("pics/#?").c_str(), &anchor), 0);
        EXPECT_EQ(std::string(anchor.ap_Buf), P("pics/locked"));
        anchor.ap_Flags |= os::APF_DODIR;
        // The directory cannot be entered: its failure, then the entries after it.
        EXPECT_EQ(os::MatchNext(&anchor), os::ErrnoToDos(EACCES));
        EXPECT_NE(anchor.ap_Private, nullptr);
        std::vector<std::string> after;
        while (os::MatchNext(&anchor) == 0) after.push_back(anchor.ap_Buf);
        EXPECT_EQ(after, (std::vector<std::string>{P("pics/sub"), P("pics/x.iff"), P("pics/y.IFF"), P("pics/z.iff")}));
        os::MatchEnd(&anchor);
    }), 0);

    // A failure of the pattern itself leaves nothing to go on with.
    os::AnchorPath anchor;
    anchor.ap_Strlen = os::MATCH_PATH_SIZE;
    EXPECT_EQ(os::MatchFirst(P("nodir/#?").c_str(), &anchor), os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(anchor.ap_Private, nullptr);
    EXPECT_EQ(os::MatchFirst(P("nothere.iff").c_str(), &anchor), os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(anchor.ap_Private, nullptr);
}

TEST_F(MatchTree, OverlongPathOfOneEntryLeavesTheWalkToGoOn) {
    // The first entry's path does not fit; the walk goes on with the next.
    const std::string longName(200, 'l');
    std::string deep = "pics/sub";
    for (int i = 0; i < 2; ++i) {
        deep += "/" + longName;
        Dir(deep);
    }
    File(deep + "/" + longName, 1);
    os::AnchorPath anchor;
    anchor.ap_Strlen = os::MATCH_PATH_SIZE;
    ASSERT_EQ(os::MatchFirst(P(deep + "/#?").c_str(), &anchor), os::ERROR_BUFFER_OVERFLOW);
    ASSERT_NE(anchor.ap_Private, nullptr);  // the failure is the entry's, not the pattern's
    EXPECT_EQ(os::MatchNext(&anchor), os::ERROR_NO_MORE_ENTRIES);  // it was the only one

    File(deep + "/a.iff", 2);
    ASSERT_EQ(os::MatchFirst(P(deep + "/#?").c_str(), &anchor), 0);
    EXPECT_EQ(std::string(anchor.ap_Buf), P(deep + "/a.iff"));
    EXPECT_EQ(os::MatchNext(&anchor), os::ERROR_BUFFER_OVERFLOW);
    File("pics/sub/" + longName.substr(0, 10) + "z", 3);
    os::MatchEnd(&anchor);

    // Walking the tree: the overflowing entry is reported, the rest follow.
    anchor = os::AnchorPath{};
    anchor.ap_Strlen = os::MATCH_PATH_SIZE;
    ASSERT_EQ(os::MatchFirst(P("pics/sub").c_str(), &anchor), 0);
    std::vector<std::string> seen;
    std::vector<int32_t> failures;
    int32_t err = 0;
    while (err == 0 || err == os::ERROR_BUFFER_OVERFLOW) {
        if (err == 0) {
            seen.push_back(anchor.ap_Buf);
            if (anchor.ap_Info.fib_DirEntryType > 0 && (anchor.ap_Flags & os::APF_DIDDIR) == 0)
                anchor.ap_Flags |= os::APF_DODIR;
        } else {
            failures.push_back(err);
        }
        err = os::MatchNext(&anchor);
    }
    os::MatchEnd(&anchor);
    EXPECT_EQ(err, os::ERROR_NO_MORE_ENTRIES);
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_NE(std::find(seen.begin(), seen.end(), P("pics/sub/deep.iff")), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), P("pics/sub/" + longName.substr(0, 10) + "z")), seen.end());
}

TEST_F(MatchTree, LinkBackUpTheTreeIsNotEnteredTwice) {
    ASSERT_EQ(symlink("..", P("pics/sub/up").c_str()), 0);
    Seen seen = Walk(P("pics"), true);
    EXPECT_EQ(seen, (Seen{"pics:D", "pics/sub:D", "pics/sub/deep.iff:4", "pics/sub/up:D", "pics/sub/up:d",
                          "pics/sub:d", "pics/x.iff:1", "pics/y.IFF:2", "pics:d"}));
}

TEST_F(MatchTree, PatternsOwnDirectoryReachedThroughALinkIsWalkedOnce) {
    // pics/sub/up leads back to pics, whose entries the pattern returns.
    ASSERT_EQ(symlink("..", P("pics/sub/up").c_str()), 0);
    EXPECT_EQ(Walk(P("pics/#?"), true), (Seen{"pics/sub:D", "pics/sub/deep.iff:4", "pics/sub/up:D", "pics/sub/up:d",
                                              "pics/sub:d", "pics/x.iff:1", "pics/y.IFF:2"}));
    // A link across to a sibling already walked, and the sibling reached later.
    Dir("pics/other");
    File("pics/other/o.iff", 9);
    ASSERT_EQ(symlink("../other", P("pics/sub/side").c_str()), 0);
    EXPECT_EQ(Walk(P("pics"), true), (Seen{"pics:D", "pics/other:D", "pics/other/o.iff:9", "pics/other:d", "pics/sub:D",
                                           "pics/sub/deep.iff:4", "pics/sub/side:D", "pics/sub/side:d", "pics/sub/up:D",
                                           "pics/sub/up:d", "pics/sub:d", "pics/x.iff:1", "pics/y.IFF:2", "pics:d"}));
    // Two components: the last level's directory is walked once too.
    ASSERT_EQ(symlink("sub", P("pics/twin").c_str()), 0);
    EXPECT_EQ(Walk(P("pics/#?/deep.iff"), false), (Seen{"pics/sub/deep.iff:4"}));
}

TEST_F(MatchTree, SpecialFilesHaveTypeZeroAndBrokenLinksAreSkipped) {
    ASSERT_EQ(mkfifo(P("pipe.iff").c_str(), 0644), 0);
    ASSERT_EQ(symlink("gone", P("dangling.iff").c_str()), 0);
    EXPECT_EQ(Walk(P("#?.iff"), false), (Seen{"a.iff:10", "B.iff:5", "empty.iff:0", "pipe.iff:0", "w#?.iff:7"}));
}

TEST_F(MatchTree, StrayCallsAreHarmless) {
    os::AnchorPath anchor;
    EXPECT_EQ(os::MatchNext(&anchor), os::ERROR_NO_MORE_ENTRIES);
    os::MatchEnd(&anchor);
    os::MatchEnd(&anchor);
    anchor.ap_Strlen = os::MATCH_PATH_SIZE;
    ASSERT_EQ(os::MatchFirst(P("#?.iff").c_str(), &anchor), 0);
    // A second MatchFirst without MatchEnd starts over.
    ASSERT_EQ(os::MatchFirst(P("c.txt").c_str(), &anchor), 0);
    EXPECT_EQ(std::string(anchor.ap_Buf), P("c.txt"));
    EXPECT_EQ(os::MatchNext(&anchor), os::ERROR_NO_MORE_ENTRIES);
    EXPECT_EQ(os::MatchNext(&anchor), os::ERROR_NO_MORE_ENTRIES);
    os::MatchEnd(&anchor);
}

}  // namespace
