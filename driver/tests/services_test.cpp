// Set-up and teardown of the program-wide services: each set-up step fails
// with its own code and leaves exactly what was opened before it for the
// teardown, which releases it in its fixed order; the WAIT timer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "driver/error_text.h"
#include "driver/services.h"
#include "platform/exec/exec.h"
#include "platform/testing/testing.h"
#include "tests/support/service_log_fixture.h"

namespace lanterna {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ServicesTest : public test_support::ServiceLogFixture {
protected:
    void TearDown() override {
        CloseServices();
        ServiceLogFixture::TearDown();
    }
    // What OpenServices opened and what CloseServices then released.
    void OpenThenClose(int32_t expectedCode, std::vector<std::string>* opened,
                       std::vector<std::string>* closed) {
        EXPECT_EQ(OpenServices(), expectedCode);
        *opened = Lines(os::testing::ServiceLog());
        os::testing::ClearServiceLog();
        CloseServices();
        *closed = Lines(os::testing::ServiceLog());
        os::testing::ClearServiceLog();
    }
};

const std::vector<std::string> kAllOpened = {
    "open intuition.library",     "interface intuition.library",
    "open graphics.library",      "interface graphics.library",
    "open utility.library",       "interface utility.library",
    "open iffparse.library",      "interface iffparse.library",
    "open cybergraphics.library", "interface cybergraphics.library",
    "open icon.library",          "interface icon.library",
    "open asl.library",           "interface asl.library",
    "create port",                "create request",
    "open timer.device",
};

const std::vector<std::string> kAllClosed = {
    "close timer.device",       "delete request",         "delete port",
    "drop intuition.library",   "drop graphics.library",  "drop asl.library",
    "drop utility.library",     "drop cybergraphics.library", "drop iffparse.library",
    "drop icon.library",        "close cybergraphics.library", "close iffparse.library",
    "close asl.library",        "close icon.library",     "close utility.library",
    "close graphics.library",   "close intuition.library",
};

// The teardown's lines restricted to what is in `held`, in teardown order.
std::vector<std::string> ClosedFor(const std::vector<std::string>& opened) {
    std::vector<std::string> expected;
    for (const std::string& line : kAllClosed) {
        const std::string name = line.substr(line.find(' ') + 1);
        const std::string verb = line.substr(0, line.find(' '));
        std::string needed;
        if (verb == "drop") needed = "interface " + name;
        else if (verb == "close") needed = "open " + name;
        else if (line == "delete request") needed = "create request";
        else if (line == "delete port") needed = "create port";
        for (const std::string& o : opened) {
            if (o == needed) expected.push_back(line);
        }
    }
    return expected;
}

TEST_F(ServicesTest, EverythingOpensInOrderAndClosesInTheTeardownOrder) {
    std::vector<std::string> opened, closed;
    OpenThenClose(0, &opened, &closed);
    EXPECT_EQ(opened, kAllOpened);
    EXPECT_EQ(closed, kAllClosed);
    EXPECT_EQ(gServices.intuition, nullptr);
    EXPECT_EQ(gServices.timerRequest, nullptr);
    EXPECT_EQ(gServices.timerPort, nullptr);
}

TEST_F(ServicesTest, EachLibraryFailureGivesItsCodeAndReleasesWhatWasOpenedBefore) {
    struct Step {
        const char* library;
        int32_t code;
        const char* message;
    };
    const Step steps[] = {
        {"intuition.library", 30001, "Error opening intuition.library v39"},
        {"graphics.library", 30002, "Error opening graphics.library v39"},
        {"utility.library", 30004, "Error opening utility.library v37"},
        {"iffparse.library", 30006, "Error opening iffparse.library v40"},
        {"cybergraphics.library", 30007, "Error opening cybergraphics.library v40"},
        {"icon.library", 30003, "Error opening icon.library v37"},
        {"asl.library", 30005, "Error opening asl.library v37"},
    };
    for (int pass = 0; pass < 2; ++pass) {
        const bool interfaceFails = pass == 1;
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(step.library) + (interfaceFails ? " (interface)" : ""));
            os::testing::ResetFaults();
            if (interfaceFails) {
                os::testing::FailInterface(step.library);
            } else {
                os::testing::FailLibrary(step.library);
            }
            std::vector<std::string> opened, closed;
            OpenThenClose(step.code, &opened, &closed);
            EXPECT_STREQ(ErrorText(step.code), step.message);

            // Everything up to the failing step, nothing after it.
            std::vector<std::string> expected;
            for (const std::string& line : kAllOpened) {
                if (line == "open " + std::string(step.library)) break;
                expected.push_back(line);
            }
            if (interfaceFails) {
                // The library opened, its interface did not: closed at once.
                expected.push_back("open " + std::string(step.library));
                expected.push_back("close " + std::string(step.library));
                std::vector<std::string> before(expected.begin(), expected.end() - 2);
                EXPECT_EQ(opened, expected);
                EXPECT_EQ(closed, ClosedFor(before));
            } else {
                EXPECT_EQ(opened, expected);
                EXPECT_EQ(closed, ClosedFor(expected));
            }
        }
    }
}

TEST_F(ServicesTest, TimerPortRequestAndDeviceFailures) {
    std::vector<std::string> opened, closed;

    os::testing::FailCreateMsgPort(1);
    OpenThenClose(30008, &opened, &closed);
    EXPECT_EQ(opened, std::vector<std::string>(kAllOpened.begin(), kAllOpened.end() - 3));
    EXPECT_EQ(closed, ClosedFor(opened));
    EXPECT_STREQ(ErrorText(30008), "Error opening message port");

    os::testing::ResetFaults();
    os::testing::FailCreateIORequest(1);
    OpenThenClose(30009, &opened, &closed);
    EXPECT_EQ(opened, std::vector<std::string>(kAllOpened.begin(), kAllOpened.end() - 2));
    EXPECT_EQ(closed, ClosedFor(opened));
    EXPECT_STREQ(ErrorText(30009), "Error allocating timer request");

    // The device did not open on the request: no CloseDevice, but the
    // request and the port are deleted.
    os::testing::ResetFaults();
    os::testing::FailOpenDevice(1);
    OpenThenClose(30010, &opened, &closed);
    EXPECT_EQ(opened, std::vector<std::string>(kAllOpened.begin(), kAllOpened.end() - 1));
    EXPECT_EQ(closed, std::vector<std::string>(kAllClosed.begin() + 1, kAllClosed.end()));
    EXPECT_STREQ(ErrorText(30010), "Error opening timer.device");
}

TEST_F(ServicesTest, TeardownWithNothingHeldDoesNothingAndMayRunTwice) {
    CloseServices();
    EXPECT_EQ(os::testing::ServiceLog(), "");
    ASSERT_EQ(OpenServices(), 0);
    CloseServices();
    os::testing::ClearServiceLog();
    CloseServices();
    EXPECT_EQ(os::testing::ServiceLog(), "");
}

TEST_F(ServicesTest, NothingLeaksAcrossSetUpFailures) {
    const int64_t before = os::testing::LiveAllocations();
    for (uint32_t n = 1; n <= 6; ++n) {
        os::testing::ResetFaults();
        os::testing::FailNthAlloc(n);
        OpenServices();
        CloseServices();
    }
    EXPECT_EQ(os::testing::LiveAllocations(), before);
}

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST_F(ServicesTest, TimerSignalsItsPortWhenTheTimeHasPassed) {
    ASSERT_EQ(OpenServices(), 0);
    const uint32_t timerSignal = 1u << gServices.timerPort->mp_SigBit;

    const auto start = Clock::now();
    StartTimer(0, 60000);
    EXPECT_TRUE(gServices.timerPending);
    EXPECT_EQ(os::Wait(timerSignal), timerSignal);
    const int64_t elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 55);
    EXPECT_LT(elapsed, 1000);
    StopTimer();
    EXPECT_FALSE(gServices.timerPending);
    EXPECT_EQ(os::SetSignal(0, 0) & timerSignal, 0u);
}

TEST_F(ServicesTest, StoppingAPendingTimerAbortsItAndLeavesNoStaleSignal) {
    ASSERT_EQ(OpenServices(), 0);
    const uint32_t timerSignal = 1u << gServices.timerPort->mp_SigBit;

    const auto start = Clock::now();
    StartTimer(30, 0);
    StopTimer();
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_FALSE(gServices.timerPending);
    EXPECT_EQ(os::SetSignal(0, 0) & timerSignal, 0u);

    // A restart while pending replaces the old request: only the new time counts.
    StartTimer(30, 0);
    const auto restart = Clock::now();
    StartTimer(0, 20000);
    EXPECT_EQ(os::Wait(timerSignal), timerSignal);
    EXPECT_LT(MillisecondsSince(restart), 1000);
    StopTimer();

    // A signal left over from before is cleared when the next request goes out.
    os::Signal(os::FindTask(nullptr), timerSignal);
    StartTimer(0, 80000);
    EXPECT_EQ(os::SetSignal(0, 0) & timerSignal, 0u);
    StopTimer();

    StopTimer();  // nothing pending: nothing happens
    EXPECT_FALSE(gServices.timerPending);
}

}  // namespace
}  // namespace lanterna
