// The icon reader on icons made by the icon writer: every kind of icon is
// read back field by field, and broken icons (truncated anywhere, wrong
// magic, absurd counts and lengths) give no icon without crashing or leaking.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/dos/dos.h"
#include "platform/icon/icon.h"
#include "platform/testing/testing.h"
#include "tools/icon_writer/icon_writer.h"

namespace {

using namespace lanterna::iconw;

class IconReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/icon_reader_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        os::testing::ResetFaults();
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    std::string Name(const char* n) const { return dir_ + "/" + n; }
    // Writes bytes as the icon of `n` and reads it back.
    os::DiskObject* Roundtrip(const char* n, const Bytes& bytes) {
        EXPECT_TRUE(SaveBytes(Name(n) + ".info", bytes));
        return os::GetDiskObject(Name(n).c_str());
    }

    std::string dir_;
};

TEST_F(IconReaderTest, ToolIconWithSelectImageAndToolTypes) {
    IconDescription desc = ToolIcon({"WAIT=5", "CENTER", "(DONOTWAIT)"});
    desc.selectImage = IconImage{0, 0, 33, 10, 3, 7, 0, 0xAA};
    desc.stackSize = 20000;
    desc.currentX = -3;
    desc.currentY = 77;
    desc.toolWindow = "CON:0/0/200/100/Tool";
    os::DiskObject* icon = Roundtrip("tool", EncodeIcon(desc));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->do_Magic, os::WB_DISKMAGIC);
    EXPECT_EQ(icon->do_Type, os::WBTOOL);
    EXPECT_EQ(icon->do_StackSize, 20000);
    EXPECT_EQ(icon->do_CurrentX, -3);
    EXPECT_EQ(icon->do_CurrentY, 77);
    EXPECT_EQ(icon->do_DefaultTool, nullptr);
    EXPECT_EQ(icon->do_DrawerData, nullptr);
    ASSERT_NE(icon->do_ToolWindow, nullptr);
    EXPECT_STREQ(icon->do_ToolWindow, "CON:0/0/200/100/Tool");
    ASSERT_NE(icon->do_Gadget.GadgetRender, nullptr);
    EXPECT_EQ(icon->do_Gadget.GadgetRender->Width, 32);
    EXPECT_EQ(icon->do_Gadget.GadgetRender->Height, 12);
    EXPECT_EQ(icon->do_Gadget.GadgetRender->Depth, 2);
    ASSERT_NE(icon->do_Gadget.SelectRender, nullptr);
    EXPECT_EQ(icon->do_Gadget.SelectRender->Width, 33);
    EXPECT_EQ(icon->do_Gadget.SelectRender->Depth, 3);
    EXPECT_EQ(icon->do_Gadget.SelectRender->PlanePick, 7);
    ASSERT_NE(icon->do_ToolTypes, nullptr);
    EXPECT_STREQ(icon->do_ToolTypes[0], "WAIT=5");
    EXPECT_STREQ(icon->do_ToolTypes[1], "CENTER");
    EXPECT_STREQ(icon->do_ToolTypes[2], "(DONOTWAIT)");
    EXPECT_EQ(icon->do_ToolTypes[3], nullptr);
    os::FreeDiskObject(icon);
}

TEST_F(IconReaderTest, ProjectIconWithDefaultToolAndNoToolTypes) {
    IconDescription desc;
    desc.type = TYPE_PROJECT;
    desc.defaultTool = "Work:Tools/Viewer";
    os::DiskObject* icon = Roundtrip("project", EncodeIcon(desc));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->do_Type, os::WBPROJECT);
    ASSERT_NE(icon->do_DefaultTool, nullptr);
    EXPECT_STREQ(icon->do_DefaultTool, "Work:Tools/Viewer");
    EXPECT_EQ(icon->do_ToolTypes, nullptr);
    EXPECT_EQ(icon->do_Gadget.SelectRender, nullptr);
    os::FreeDiskObject(icon);

    // An empty tool-type list is a list with only its terminator.
    desc.toolTypes = std::vector<std::string>{};
    icon = Roundtrip("project", EncodeIcon(desc));
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(icon->do_ToolTypes, nullptr);
    EXPECT_EQ(icon->do_ToolTypes[0], nullptr);
    os::FreeDiskObject(icon);
}

TEST_F(IconReaderTest, DrawerIconsOfBothRevisionsAndNewerDataAfterThem) {
    // A 2.x drawer carries DrawerData2 after the strings; a 1.x one does not,
    // so its tool types must still be found right after the image.
    for (bool revision2 : {true, false}) {
        SCOPED_TRACE(revision2 ? "2.x" : "1.x");
        IconDescription desc;
        desc.type = TYPE_DRAWER;
        desc.drawerData = true;
        desc.revision2 = revision2;
        desc.selectImage = IconImage{};
        desc.toolTypes = std::vector<std::string>{"A=1"};
        desc.trailing = Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'C', 'O', 'N', 0xFF};
        os::DiskObject* icon = Roundtrip("drawer", EncodeIcon(desc));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->do_Type, os::WBDRAWER);
        ASSERT_NE(icon->do_DrawerData, nullptr);
        EXPECT_EQ(icon->do_DrawerData->dd_LeftEdge, 50);
        EXPECT_EQ(icon->do_DrawerData->dd_Width, 400);
        EXPECT_EQ(icon->do_DrawerData->dd_Height, 150);
        EXPECT_EQ(icon->do_DrawerData->dd_Flags, revision2 ? 2u : 0u);
        EXPECT_EQ(icon->do_DrawerData->dd_ViewModes, revision2 ? 1 : 0);
        ASSERT_NE(icon->do_ToolTypes, nullptr);
        EXPECT_STREQ(icon->do_ToolTypes[0], "A=1");
        os::FreeDiskObject(icon);
    }
}

TEST_F(IconReaderTest, MissingIconIsNullWithObjectNotFound) {
    EXPECT_EQ(os::GetDiskObject(Name("nothing").c_str()), nullptr);
    EXPECT_EQ(os::IoErr(), os::ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(os::GetDiskObject(nullptr), nullptr);
}

TEST_F(IconReaderTest, TruncationAtEveryOffsetGivesNull) {
    IconDescription tool = ToolIcon({"WAIT=3", "CYCLE=YES"});
    tool.selectImage = IconImage{0, 0, 4, 2, 1, 1, 0, 0};
    tool.image = IconImage{0, 0, 4, 2, 1, 1, 0, 0};
    tool.toolWindow = "W";
    IconDescription drawer;
    drawer.type = TYPE_DISK;
    drawer.drawerData = true;
    drawer.image = IconImage{0, 0, 16, 1, 1, 1, 0, 0};
    drawer.defaultTool = "T";
    for (const IconDescription& desc : {tool, drawer}) {
        Bytes whole = EncodeIcon(desc);
        os::DiskObject* icon = Roundtrip("cut", whole);
        ASSERT_NE(icon, nullptr);
        os::FreeDiskObject(icon);
        int64_t live = os::testing::LiveAllocations();
        for (size_t length = 0; length < whole.size(); ++length) {
            Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            icon = Roundtrip("cut", cut);
            EXPECT_EQ(icon, nullptr) << "truncated to " << length << " of " << whole.size();
            os::FreeDiskObject(icon);
        }
        EXPECT_EQ(os::testing::LiveAllocations(), live);
    }
}

TEST_F(IconReaderTest, MalformedHeadersAndFieldsGiveNull) {
    IconLayout at;
    IconDescription desc = ProjectIcon({"WAIT=1", "CENTER=YES"});
    const Bytes good = EncodeIcon(desc, &at);
    struct Damage {
        const char* what;
        size_t offset;
        uint32_t value;
        bool wide;
    };
    const Damage damages[] = {
        {"magic", 0, 0xE311, false},
        {"version", 2, 2, false},
        {"type 0", 48, 0x0000, false},
        {"type 200", 48, 0xC800, false},
        {"image depth 200", at.image + 8, 200, false},
        {"negative image width", at.image + 4, 0x8000, false},
        {"image planes past the end", at.image + 6, 0x7FFF, false},
        {"default tool longer than the file", at.defaultTool, 0x7FFFFFFF, true},
        {"default tool of length 0", at.defaultTool, 0, true},
        {"tool-type count field 0", at.toolTypes, 0, true},
        {"tool-type count field not a multiple of 4", at.toolTypes, 9, true},
        {"four billion tool types", at.toolTypes, 0xFFFFFFFC, true},
        {"more tool types than the file holds", at.toolTypes, 400, true},
        {"tool-type string longer than the file", at.toolTypes + 4, 0xFFFFFFFF, true},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        Bytes bad = good;
        if (d.wide) {
            PutBE32(bad, d.offset, d.value);
        } else {
            PutBE16(bad, d.offset, d.value);
        }
        os::DiskObject* icon = Roundtrip("bad", bad);
        EXPECT_EQ(icon, nullptr);
        os::FreeDiskObject(icon);
    }
    // A tool-type string without its NUL ends at its length.
    Bytes noNul = good;
    noNul[at.toolTypes + 4 + 4 + 6] = 'X';  // "WAIT=1" NUL -> 'X'
    os::DiskObject* icon = Roundtrip("nonul", noNul);
    ASSERT_NE(icon, nullptr);
    EXPECT_STREQ(icon->do_ToolTypes[0], "WAIT=1X");
    os::FreeDiskObject(icon);
}

TEST_F(IconReaderTest, OneBlockReleasedByFreeAndOutOfMemoryReported) {
    const Bytes bytes = EncodeIcon(ToolIcon({"A", "B=2"}));
    ASSERT_TRUE(SaveBytes(Name("mem") + ".info", bytes));
    int64_t live = os::testing::LiveAllocations();
    os::DiskObject* icon = os::GetDiskObject(Name("mem").c_str());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(os::testing::LiveAllocations(), live + 1);
    os::FreeDiskObject(icon);
    EXPECT_EQ(os::testing::LiveAllocations(), live);

    os::testing::FailNthAlloc(1);
    EXPECT_EQ(os::GetDiskObject(Name("mem").c_str()), nullptr);
    EXPECT_EQ(os::IoErr(), os::ERROR_NO_FREE_STORE);
    EXPECT_EQ(os::testing::LiveAllocations(), live);
}

TEST_F(IconReaderTest, RelativeNamesAreReadFromTheCurrentDirectory) {
    ASSERT_TRUE(SaveIcon(Name("here"), ToolIcon({"WAIT=9"})));
    os::FileLock* lock = os::Lock(dir_.c_str(), os::SHARED_LOCK);
    ASSERT_NE(lock, nullptr);
    os::FileLock* old = os::CurrentDir(lock);
    os::DiskObject* icon = os::GetDiskObject("here");
    os::CurrentDir(old);
    os::UnLock(lock);
    ASSERT_NE(icon, nullptr);
    EXPECT_STREQ(os::FindToolType(icon->do_ToolTypes, "WAIT"), "9");
    os::FreeDiskObject(icon);
}

// The icons the writer makes are also read by an independent icon reader,
// so the writer's idea of the format is not just the reader's echo.
TEST_F(IconReaderTest, WriterIconsAreReadByNetpbm) {
    if (access("/usr/bin/infotopam", X_OK) != 0) GTEST_SKIP() << "infotopam not installed";
    IconDescription desc = ToolIcon({"WAIT=5"});
    desc.type = TYPE_DRAWER;
    desc.drawerData = true;
    desc.image = IconImage{0, 0, 21, 7, 2, 3, 0, 0x0F};
    desc.selectImage = IconImage{0, 0, 21, 7, 2, 3, 0, 0xF0};
    ASSERT_TRUE(SaveIcon(Name("oracle"), desc));
    for (const char* which : {"", "-selected"}) {
        std::string cmd = "infotopam " + std::string(which) + " '" + Name("oracle") +
                          ".info' 2>/dev/null | head -c 200";
        FILE* pipe = popen(cmd.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char buffer[256] = {};
        size_t got = fread(buffer, 1, sizeof buffer - 1, pipe);
        pclose(pipe);
        std::string header(buffer, got);
        EXPECT_NE(header.find("WIDTH 21"), std::string::npos) << which << header;
        EXPECT_NE(header.find("HEIGHT 7"), std::string::npos) << which << header;
    }
}

TEST(ToolTypeLookup, FindToolTypeMatchesWholeNamesWithoutCase) {
    char a[] = "WAIT=5";
    char b[] = "center";
    char c[] = "CENTERED=YES";
    char d[] = "(CYCLE=YES)";
    char e[] = "Ham=on|off";
    char f[] = "wait=7";
    char* types[] = {c, a, b, d, e, f, nullptr};
    EXPECT_STREQ(os::FindToolType(types, "wait"), "5");  // the first one wins
    const char* center = os::FindToolType(types, "CENTER");
    ASSERT_NE(center, nullptr);
    EXPECT_STREQ(center, "");                               // bare name: empty value
    EXPECT_EQ(os::FindToolType(types, "CYCLE"), nullptr);   // disabled in parentheses
    EXPECT_EQ(os::FindToolType(types, "CENTERE"), nullptr);
    EXPECT_STREQ(os::FindToolType(types, "HAM"), "on|off");
    EXPECT_EQ(os::FindToolType(types, "EHB"), nullptr);
    EXPECT_EQ(os::FindToolType(nullptr, "WAIT"), nullptr);
}

TEST(ToolTypeLookup, MatchToolValueTakesAlternativesWithoutCase) {
    EXPECT_TRUE(os::MatchToolValue("YES", "yes"));
    EXPECT_TRUE(os::MatchToolValue("on|Yes", "YES"));
    EXPECT_TRUE(os::MatchToolValue("no|yes|", "yes"));
    EXPECT_FALSE(os::MatchToolValue("YESS", "YES"));
    EXPECT_FALSE(os::MatchToolValue("YE", "YES"));
    EXPECT_FALSE(os::MatchToolValue("Y|ES", "YES"));
    EXPECT_FALSE(os::MatchToolValue("", "YES"));
    EXPECT_FALSE(os::MatchToolValue(" YES", "YES"));
    EXPECT_FALSE(os::MatchToolValue(nullptr, "YES"));
}

}  // namespace
