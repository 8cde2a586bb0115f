// A test fixture for the platform's services: the headless display, no
// injected faults left over from another test, and an empty service log that
// records what the test opens and closes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/testing/testing.h"

namespace test_support {

class ServiceLogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LANTERNA_DISPLAY", "headless", 1);
        os::testing::ResetFaults();
        os::testing::RecordServiceLog(true);
        os::testing::ClearServiceLog();
    }
    void TearDown() override { os::testing::ResetFaults(); }
};

}  // namespace test_support
