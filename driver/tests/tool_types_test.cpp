// ApplyToolTypes: which values set, clear or leave each option, and how the
// settings of successive icons accumulate.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/tool_types.h"
#include "platform/icon/icon.h"
#include "records/view_options.h"

namespace lanterna {
namespace {

// An icon in memory whose tool types are the given strings.
struct TestIcon {
    explicit TestIcon(std::vector<std::string> entries) : strings(std::move(entries)) {
        for (std::string& s : strings) pointers.push_back(s.data());
        pointers.push_back(nullptr);
        object.do_Magic = os::WB_DISKMAGIC;
        object.do_Type = os::WBPROJECT;
        object.do_ToolTypes = pointers.data();
    }
    std::vector<std::string> strings;
    std::vector<char*> pointers;
    os::DiskObject object;
};

class ToolTypesTest : public ::testing::Test {
protected:
    void SetUp() override { gViewOptions = ViewOptions{}; }
    void TearDown() override { gViewOptions = ViewOptions{}; }
    static void Apply(std::vector<std::string> entries) {
        TestIcon icon(std::move(entries));
        ApplyToolTypes(&icon.object);
    }
};

TEST_F(ToolTypesTest, IconsWithoutToolTypesChangeNothing) {
    gViewOptions.center = true;
    gViewOptions.waitSeconds = 4;
    ApplyToolTypes(nullptr);
    os::DiskObject bare;
    ApplyToolTypes(&bare);
    Apply({});
    Apply({"(WAIT=1)", "CENTRE=NO", "FOO=BAR"});
    EXPECT_TRUE(gViewOptions.center);
    EXPECT_EQ(gViewOptions.waitSeconds, 4);
}

TEST_F(ToolTypesTest, SwitchesTakeOnYesOffNoInAnyCase) {
    Apply({"CENTER=yes", "cycle=On", "Ham=YES", "EHB=on"});
    EXPECT_TRUE(gViewOptions.center);
    EXPECT_TRUE(gViewOptions.cycle);
    EXPECT_TRUE(gViewOptions.ham);
    EXPECT_TRUE(gViewOptions.ehb);
    Apply({"CENTER=No", "CYCLE=off", "HAM=maybe", "EHB=TRUE"});
    EXPECT_FALSE(gViewOptions.center);
    EXPECT_FALSE(gViewOptions.cycle);
    EXPECT_TRUE(gViewOptions.ham);  // neither word: unchanged
    EXPECT_TRUE(gViewOptions.ehb);
    Apply({"CYCLE=please|yes"});  // an alternative names YES
    EXPECT_TRUE(gViewOptions.cycle);
}

TEST_F(ToolTypesTest, ClearingWinsWhenAValueNamesBoth) {
    Apply({"CENTER=YES|NO", "CYCLE=OFF|ON"});
    EXPECT_FALSE(gViewOptions.center);
    EXPECT_FALSE(gViewOptions.cycle);
}

TEST_F(ToolTypesTest, BareWordWithoutValueChangesNothing) {
    Apply({"CENTER", "CYCLE="});
    EXPECT_FALSE(gViewOptions.center);
    EXPECT_FALSE(gViewOptions.cycle);
    gViewOptions.center = true;
    Apply({"CENTER"});
    EXPECT_TRUE(gViewOptions.center);
}

TEST_F(ToolTypesTest, SecondsTakeNumbersAboveZeroAndAnythingElseMeansNone) {
    struct Case {
        const char* value;
        int32_t seconds;
    };
    const Case cases[] = {{"12", 12}, {"7s", 7}, {"0", 0}, {"-5", 0}, {"abc", 0}, {"", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        gViewOptions.waitSeconds = 99;
        gViewOptions.waitAfterOpenSeconds = 99;
        Apply({std::string("WAIT=") + c.value, std::string("WAITAFTEROPEN=") + c.value});
        EXPECT_EQ(gViewOptions.waitSeconds, c.seconds);
        EXPECT_EQ(gViewOptions.waitAfterOpenSeconds, c.seconds);
    }
    // WAIT is not a prefix of WAITAFTEROPEN: each is looked up by its whole name.
    gViewOptions = ViewOptions{};
    Apply({"WAITAFTEROPEN=2"});
    EXPECT_EQ(gViewOptions.waitSeconds, 0);
    EXPECT_EQ(gViewOptions.waitAfterOpenSeconds, 2);
}

TEST_F(ToolTypesTest, SettingsPersistAcrossIconsUntilChanged) {
    Apply({"WAIT=10", "CENTER=YES", "HAM=YES", "EHB=YES"});  // the program's icon
    EXPECT_EQ(gViewOptions.waitSeconds, 10);
    Apply({"WAIT=3"});  // first picture
    EXPECT_EQ(gViewOptions.waitSeconds, 3);
    Apply({"CYCLE=YES"});  // second picture: WAIT stays 3
    EXPECT_EQ(gViewOptions.waitSeconds, 3);
    EXPECT_TRUE(gViewOptions.center);
    EXPECT_TRUE(gViewOptions.cycle);
    EXPECT_TRUE(gViewOptions.ham);
    EXPECT_TRUE(gViewOptions.ehb);
    EXPECT_FALSE(gViewOptions.quiet);
    EXPECT_FALSE(gViewOptions.all);
}

}  // namespace
}  // namespace lanterna
