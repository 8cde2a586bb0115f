// Libraries and their interfaces, the service log and the named fault switches.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/libraries/libraries.h"
#include "platform/testing/testing.h"
#include "tests/support/service_log_fixture.h"

namespace {

using namespace os;

using Services = test_support::ServiceLogFixture;

TEST_F(Services, LibrariesOpenByVersionAndLogTheirLife) {
    const char* names[] = {"intuition.library", "graphics.library", "cybergraphics.library",
                           "utility.library",   "iffparse.library", "icon.library",
                           "asl.library"};
    for (const char* name : names) {
        Library* library = OpenLibrary(name, 40);
        ASSERT_NE(library, nullptr) << name;
        Interface* main = GetInterface(library, "main", 1, nullptr);
        ASSERT_NE(main, nullptr) << name;
        EXPECT_EQ(GetInterface(library, "main", 2, nullptr), nullptr);
        EXPECT_EQ(GetInterface(library, "private", 1, nullptr), nullptr);
        DropInterface(main);
        CloseLibrary(library);
    }
    EXPECT_EQ(OpenLibrary("utility.library", 51), nullptr);  // newer than offered
    EXPECT_EQ(OpenLibrary("mathieeedoubbas.library", 0), nullptr);
    EXPECT_EQ(OpenLibrary(nullptr, 0), nullptr);
    DropInterface(nullptr);
    CloseLibrary(nullptr);

    const std::string log = os::testing::ServiceLog();
    EXPECT_EQ(log.substr(0, log.find("open graphics.library")),
              "open intuition.library\ninterface intuition.library\n"
              "drop intuition.library\nclose intuition.library\n");
    EXPECT_NE(log.find("close asl.library\n"), std::string::npos);
    EXPECT_EQ(log.find("utility.library\nopen utility"), std::string::npos);  // failures log nothing
    os::testing::ClearServiceLog();
    EXPECT_EQ(os::testing::ServiceLog(), "");
}

TEST_F(Services, NamedLibraryAndInterfaceFailuresHitOnlyThatName) {
    os::testing::FailLibrary("cybergraphics.library");
    os::testing::FailInterface("icon.library");
    EXPECT_EQ(OpenLibrary("cybergraphics.library", 40), nullptr);
    Library* icon = OpenLibrary("icon.library", 37);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(GetInterface(icon, "main", 1, nullptr), nullptr);
    Library* asl = OpenLibrary("asl.library", 37);
    ASSERT_NE(asl, nullptr);
    Interface* aslMain = GetInterface(asl, "main", 1, nullptr);
    EXPECT_NE(aslMain, nullptr);
    DropInterface(aslMain);
    CloseLibrary(asl);
    CloseLibrary(icon);
    EXPECT_EQ(os::testing::ServiceLog(),
              "open icon.library\nopen asl.library\ninterface asl.library\ndrop asl.library\n"
              "close asl.library\nclose icon.library\n");
    os::testing::ResetFaults();
    EXPECT_NE(OpenLibrary("cybergraphics.library", 40), nullptr);
}

}  // namespace
