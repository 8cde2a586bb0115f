// The file requester: the headless script, and the desktop choosers run as
// child processes (stand-ins for zenity and kdialog that record their
// arguments and answer what the test tells them).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/asl/asl.h"
#include "platform/asl/workbench.h"
#include "platform/dos/dos.h"
#include "tests/support/scoped_env.h"

namespace {

std::string LockPath(os::FileLock* lock) {
    char buffer[1024];
    if (!os::NameFromLock(lock, buffer, sizeof buffer)) return "";
    return buffer;
}

os::FileRequester* AllocLoadRequester(const char* pattern = nullptr) {
    uintptr_t patternTag = pattern != nullptr ? os::ASLFR_InitialPattern : os::TAG_IGNORE;
    return os::AllocAslRequestTags(
        os::ASL_FileRequest, {{os::ASLFR_TitleText, reinterpret_cast<uintptr_t>("Load which file?")},
                              {os::ASLFR_PositiveText, reinterpret_cast<uintptr_t>("Load")},
                              {os::ASLFR_Flags1, os::FRF_DOMULTISELECT | os::FRF_DOPATTERNS},
                              {static_cast<uint32_t>(patternTag), reinterpret_cast<uintptr_t>(pattern)},
                              {os::TAG_DONE, 0}});
}

bool Ask(os::FileRequester* requester) {
    return os::AslRequestTags(requester, {{os::ASLFR_RejectIcons, 1}, {os::TAG_DONE, 0}});
}

class RequesterTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/asl_requester_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        ASSERT_EQ(mkdir((dir_ + "/pics").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((dir_ + "/more").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((dir_ + "/bin").c_str(), 0755), 0);
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    // A chooser stand-in: records its arguments one per line in calls.txt
    // (with a "--" line after each call), prints answer.txt, exits with the
    // number in status.txt.
    // With refuseLabel it fails as a zenity does that takes no button label
    // for its file chooser.
    void InstallChooser(const char* name, bool refuseLabel = false) {
        std::string path = dir_ + "/bin/" + name;
        std::ofstream script(path);
        script << "#!/bin/sh\n"
               << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" << dir_ << "/calls.txt'\n"
               << "echo -- >> '" << dir_ << "/calls.txt'\n";
        if (refuseLabel) {
            script << "for a in \"$@\"; do case \"$a\" in --ok-label=*) exit 255;; esac; done\n";
        }
        script
               << "/bin/cat '" << dir_ << "/answer.txt'\n"
               << "exit $(/bin/cat '" << dir_ << "/status.txt')\n";
        script.close();
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }
    void Answer(const std::string& text, int status) {
        std::ofstream(dir_ + "/answer.txt") << text;
        std::ofstream(dir_ + "/status.txt") << status;
    }
    // The arguments of each call so far.
    std::vector<std::vector<std::string>> Calls() {
        std::ifstream in(dir_ + "/calls.txt");
        std::vector<std::vector<std::string>> calls(1);
        std::string line;
        while (std::getline(in, line)) {
            if (line == "--") {
                calls.emplace_back();
            } else {
                calls.back().push_back(line);
            }
        }
        calls.pop_back();
        return calls;
    }
    static bool Has(const std::vector<std::string>& args, const std::string& arg) {
        for (const std::string& a : args) {
            if (a == arg) return true;
        }
        return false;
    }

    std::string dir_;
};

TEST_F(RequesterTest, HeadlessScriptAnswersBatchByBatchThenCancels) {
    ScopedEnv headless("LANTERNA_DISPLAY", "headless");
    std::string script = dir_ + "/pics/a.iff|" + dir_ + "/more/b.iff|" + dir_ +
                         "/pics/a.iff.info;" + dir_ + "/pics/c.iff;";
    ScopedEnv requests("LANTERNA_REQUESTER", script.c_str());
    os::FileRequester* requester = AllocLoadRequester();
    ASSERT_NE(requester, nullptr);

    ASSERT_TRUE(Ask(requester));
    ASSERT_EQ(requester->fr_NumArgs, 2);  // the icon is not offered
    EXPECT_STREQ(requester->fr_ArgList[0].wa_Name, "a.iff");
    EXPECT_EQ(LockPath(requester->fr_ArgList[0].wa_Lock), dir_ + "/pics");
    EXPECT_STREQ(requester->fr_ArgList[1].wa_Name, "b.iff");
    EXPECT_EQ(LockPath(requester->fr_ArgList[1].wa_Lock), dir_ + "/more");
    EXPECT_STREQ(requester->fr_File, "a.iff");
    EXPECT_EQ(std::string(requester->fr_Drawer), dir_ + "/pics");

    ASSERT_TRUE(Ask(requester));
    ASSERT_EQ(requester->fr_NumArgs, 1);
    EXPECT_STREQ(requester->fr_ArgList[0].wa_Name, "c.iff");

    EXPECT_FALSE(Ask(requester));  // the script is used up: Cancel
    EXPECT_EQ(requester->fr_NumArgs, 0);
    EXPECT_FALSE(Ask(requester));
    os::FreeAslRequest(requester);
}

TEST_F(RequesterTest, HeadlessRelativePathsAndMissingScript) {
    ScopedEnv headless("LANTERNA_DISPLAY", "headless");
    {
        ScopedEnv requests("LANTERNA_REQUESTER", "x.iff|sub/y.iff");
        os::FileLock* lock = os::Lock(dir_.c_str(), os::SHARED_LOCK);
        ASSERT_NE(lock, nullptr);
        os::FileLock* old = os::CurrentDir(lock);
        ASSERT_EQ(mkdir("sub", 0755), 0);
        os::FileRequester* requester = AllocLoadRequester();
        ASSERT_NE(requester, nullptr);
        bool chosen = Ask(requester);
        os::CurrentDir(old);
        ASSERT_TRUE(chosen);
        ASSERT_EQ(requester->fr_NumArgs, 2);
        EXPECT_EQ(LockPath(requester->fr_ArgList[0].wa_Lock), dir_);
        EXPECT_EQ(LockPath(requester->fr_ArgList[1].wa_Lock), dir_ + "/sub");
        os::FreeAslRequest(requester);
        os::UnLock(lock);
    }
    ScopedEnv none("LANTERNA_REQUESTER", nullptr);
    os::FileRequester* requester = AllocLoadRequester();
    ASSERT_NE(requester, nullptr);
    EXPECT_FALSE(Ask(requester));
    os::FreeAslRequest(requester);
    EXPECT_EQ(os::AllocAslRequestTags(7, {{os::TAG_DONE, 0}}), nullptr);  // not a file requester
}

TEST_F(RequesterTest, NoChooserOrNoDisplayCannotBeAllocated) {
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    {
        ScopedEnv display("DISPLAY", ":99");
        ScopedEnv path("PATH", (dir_ + "/bin").c_str());  // nothing installed there
        EXPECT_EQ(AllocLoadRequester(), nullptr);
    }
    InstallChooser("zenity");
    ScopedEnv display("DISPLAY", nullptr);
    ScopedEnv path("PATH", (dir_ + "/bin").c_str());
    EXPECT_EQ(AllocLoadRequester(), nullptr);
}

TEST_F(RequesterTest, ZenityIsAskedForTheLoadRequesterAndOpensInTheLastDrawer) {
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", ":99");
    ScopedEnv path("PATH", (dir_ + "/bin").c_str());
    InstallChooser("zenity");
    InstallChooser("kdialog");  // zenity is preferred
    os::FileRequester* requester = AllocLoadRequester();
    ASSERT_NE(requester, nullptr);

    Answer(dir_ + "/more/one.iff\x1f" + dir_ + "/more/one.iff.info\x1f" + dir_ +
               "/more/two words.iff\n",
           0);
    ASSERT_TRUE(Ask(requester));
    ASSERT_EQ(requester->fr_NumArgs, 2);
    EXPECT_STREQ(requester->fr_ArgList[0].wa_Name, "one.iff");
    EXPECT_STREQ(requester->fr_ArgList[1].wa_Name, "two words.iff");
    EXPECT_EQ(LockPath(requester->fr_ArgList[1].wa_Lock), dir_ + "/more");

    Answer("", 1);  // the user cancels
    EXPECT_FALSE(Ask(requester));
    EXPECT_EQ(requester->fr_NumArgs, 0);
    os::FreeAslRequest(requester);

    std::vector<std::vector<std::string>> calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    const std::vector<std::string>& first = calls[0];
    EXPECT_EQ(first.at(0), "--file-selection");
    EXPECT_TRUE(Has(first, "--title=Load which file?"));
    EXPECT_TRUE(Has(first, "--ok-label=Load"));
    EXPECT_TRUE(Has(first, "--multiple"));
    EXPECT_TRUE(Has(first, "--separator=\x1f"));
    // "#?" with icons rejected: every name but those ending in ".info".
    EXPECT_TRUE(Has(first, "--file-filter=#? | *[!oO] *[!fF][oO] *[!nN][fF][oO] *[!iI][nN][fF][oO] "
                           "*[!.][iI][nN][fF][oO] ? ?? ??? ????"));
    // The first request opens in the current directory, the second in the
    // drawer of the first answer.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_TRUE(Has(first, "--filename=" + std::string(cwd) + "/"));
    EXPECT_TRUE(Has(calls[1], "--filename=" + dir_ + "/more/"));
}

TEST_F(RequesterTest, ZenityThatRefusesTheButtonLabelIsAskedWithoutIt) {
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", ":99");
    ScopedEnv path("PATH", (dir_ + "/bin").c_str());
    InstallChooser("zenity", true);
    os::FileRequester* requester = AllocLoadRequester();
    ASSERT_NE(requester, nullptr);
    Answer(dir_ + "/pics/a.iff\n", 0);
    ASSERT_TRUE(Ask(requester));
    EXPECT_EQ(requester->fr_NumArgs, 1);
    Answer("", 1);
    EXPECT_FALSE(Ask(requester));
    os::FreeAslRequest(requester);
    std::vector<std::vector<std::string>> calls = Calls();
    ASSERT_EQ(calls.size(), 3u);  // refused once, then never offered again
    EXPECT_TRUE(Has(calls[0], "--ok-label=Load"));
    EXPECT_FALSE(Has(calls[1], "--ok-label=Load"));
    EXPECT_TRUE(Has(calls[1], "--title=Load which file?"));
    EXPECT_FALSE(Has(calls[2], "--ok-label=Load"));
}

TEST_F(RequesterTest, PatternsBecomeChooserGlobsWhereTheyCan) {
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", ":99");
    ScopedEnv path("PATH", (dir_ + "/bin").c_str());
    InstallChooser("zenity");
    Answer("", 1);
    struct Case {
        const char* pattern;
        const char* filter;
    };
    const Case cases[] = {
        {"#?.(iff|ilbm)", "--file-filter=#?.(iff/ilbm) | *.[iI][fF][fF] *.[iI][lL][bB][mM]"},
        {"pic?[0-9]*", "--file-filter=pic?[0-9]* | [pP][iI][cC]?[0-9]*"},
        {"~(#?.info)", "--file-filter=~(#?.info) | *[!oO] *[!fF][oO] *[!nN][fF][oO] *[!iI][nN][fF][oO] "
                       "*[!.][iI][nN][fF][oO] ? ?? ??? ????"},
    };
    for (const Case& c : cases) {
        os::FileRequester* requester = AllocLoadRequester(c.pattern);
        ASSERT_NE(requester, nullptr);
        EXPECT_FALSE(Ask(requester));
        os::FreeAslRequest(requester);
    }
    std::vector<std::vector<std::string>> calls = Calls();
    ASSERT_EQ(calls.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(Has(calls[i], cases[i].filter)) << cases[i].pattern;
    }
}

TEST_F(RequesterTest, KDialogWhenZenityIsNotInstalled) {
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", nullptr);
    ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    ScopedEnv path("PATH", (dir_ + "/bin").c_str());
    InstallChooser("kdialog");
    os::FileRequester* requester = AllocLoadRequester();
    ASSERT_NE(requester, nullptr);
    Answer(dir_ + "/pics/a.iff\n" + dir_ + "/more/b.iff\n", 0);
    ASSERT_TRUE(Ask(requester));
    ASSERT_EQ(requester->fr_NumArgs, 2);
    EXPECT_EQ(LockPath(requester->fr_ArgList[0].wa_Lock), dir_ + "/pics");
    EXPECT_EQ(LockPath(requester->fr_ArgList[1].wa_Lock), dir_ + "/more");
    os::FreeAslRequest(requester);
    std::vector<std::vector<std::string>> calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(Has(calls[0], "--getopenfilename"));
    EXPECT_TRUE(Has(calls[0], "Load which file?"));
    EXPECT_TRUE(Has(calls[0], "--multiple"));
    EXPECT_TRUE(Has(calls[0], "--separate-output"));
}

// The desktop message box for failures when no shell is there: the text goes
// to the box as it is (no markup), and nothing happens headless or without
// a display.
TEST_F(RequesterTest, DesktopMessageGoesToZenityOrKDialogAndNowhereHeadless) {
    ScopedEnv path("PATH", (dir_ + "/bin").c_str());
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    InstallChooser("kdialog");
    Answer("", 0);
    {
        ScopedEnv headless("LANTERNA_DISPLAY", "headless");
        ScopedEnv display("DISPLAY", ":99");
        os::ShowDesktopMessage("Lanterna", "headless");
    }
    {
        ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
        ScopedEnv display("DISPLAY", nullptr);
        os::ShowDesktopMessage("Lanterna", "no display");
    }
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", ":99");
    os::ShowDesktopMessage("Lanterna", "Unable to open <screen> & window");
    InstallChooser("zenity");
    os::ShowDesktopMessage("Lanterna", "Unable to open <screen> & window");
    std::vector<std::vector<std::string>> calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"--title", "Lanterna", "--error",
                                                  "Unable to open <screen> & window"}));
    EXPECT_EQ(calls[1], (std::vector<std::string>{"--error", "--no-markup", "--title=Lanterna",
                                                  "--text=Unable to open <screen> & window"}));
}

}  // namespace
