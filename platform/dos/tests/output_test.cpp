// The DOS error texts, formatted printing counts, number conversion and delays.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/dos/dos.h"

namespace {

std::string FaultOf(int32_t code, const char* header = nullptr) {
    char buffer[256];
    int32_t n = os::Fault(code, header, buffer, sizeof buffer);
    EXPECT_EQ(static_cast<size_t>(n), std::strlen(buffer));
    return buffer;
}

TEST(Fault, SystemTexts) {
    EXPECT_EQ(FaultOf(304), "***Break");
    EXPECT_EQ(FaultOf(205), "object not found");
    EXPECT_EQ(FaultOf(103), "not enough memory available");
    EXPECT_EQ(FaultOf(232), "no more entries in directory");
    EXPECT_EQ(FaultOf(116), "required argument missing");
    EXPECT_EQ(FaultOf(303), "buffer overflow");
    // Every number the platform reports has a text of its own.
    for (int32_t code : {os::ERROR_NO_FREE_STORE, os::ERROR_TASK_TABLE_FULL, os::ERROR_BAD_TEMPLATE,
                         os::ERROR_BAD_NUMBER, os::ERROR_REQUIRED_ARG_MISSING, os::ERROR_KEY_NEEDS_ARG,
                         os::ERROR_TOO_MANY_ARGS, os::ERROR_UNMATCHED_QUOTES, os::ERROR_LINE_TOO_LONG,
                         os::ERROR_FILE_NOT_OBJECT, os::ERROR_OBJECT_IN_USE, os::ERROR_OBJECT_EXISTS,
                         os::ERROR_DIR_NOT_FOUND, os::ERROR_BAD_STREAM_NAME, os::ERROR_OBJECT_TOO_LARGE,
                         os::ERROR_ACTION_NOT_KNOWN, os::ERROR_INVALID_COMPONENT_NAME, os::ERROR_INVALID_LOCK,
                         os::ERROR_OBJECT_WRONG_TYPE, os::ERROR_DISK_NOT_VALIDATED,
                         os::ERROR_DISK_WRITE_PROTECTED, os::ERROR_DEVICE_NOT_MOUNTED, os::ERROR_SEEK_ERROR,
                         os::ERROR_DISK_FULL, os::ERROR_DELETE_PROTECTED, os::ERROR_WRITE_PROTECTED,
                         os::ERROR_READ_PROTECTED, os::ERROR_NOT_A_DOS_DISK, os::ERROR_NO_DISK,
                         os::ERROR_IS_SOFT_LINK, os::ERROR_NOT_IMPLEMENTED, os::ERROR_BUFFER_OVERFLOW}) {
        EXPECT_NE(FaultOf(code).rfind("unknown error", 0), 0u) << code;
    }
}

TEST(Fault, HeaderUnknownCodesAndZero) {
    EXPECT_EQ(FaultOf(205, "Lanterna"), "Lanterna: object not found");
    EXPECT_EQ(FaultOf(205, ""), "object not found");
    EXPECT_EQ(FaultOf(30034), "unknown error 30034");
    EXPECT_EQ(FaultOf(-7, "x"), "x: unknown error -7");
    EXPECT_EQ(FaultOf(0, "x"), "");
}

TEST(Fault, AlwaysTerminatedWithinTheLength) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    int32_t n = os::Fault(205, "header", buffer, 10);
    EXPECT_EQ(n, 9);
    EXPECT_STREQ(buffer, "header: o");
    EXPECT_EQ(buffer[10], '#');

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(os::Fault(205, nullptr, buffer, 1), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '#');
    EXPECT_EQ(os::Fault(205, nullptr, buffer, 0), 0);
    EXPECT_EQ(buffer[1], '#');
    EXPECT_EQ(os::Fault(205, nullptr, nullptr, 10), 0);
}

TEST(Printf, ReturnsTheCountAndStandardHandlesExist) {
    EXPECT_EQ(os::Printf("%s-%d|", "ab", 123), 7);
    EXPECT_NE(os::FFlush(os::Output()), 0);
    ASSERT_NE(os::Output(), nullptr);
    ASSERT_NE(os::Input(), nullptr);
    EXPECT_EQ(os::Output()->fd, 1);
    EXPECT_EQ(os::Input()->fd, 0);
    EXPECT_EQ(os::Output(), os::Output());
}

TEST(StrToLong, CountsAndValues) {
    struct Case {
        const char* text;
        int32_t used;
        int32_t value;
    };
    const Case cases[] = {
        {"42", 2, 42},
        {"  -17x", 5, -17},
        {"+8", 2, 8},
        {"\t007", 4, 7},
        {"2147483647", 10, 2147483647},
        {"-2147483648", 11, INT32_MIN},
        {"2147483648", -1, 0},
        {"-2147483649", -1, 0},
        {"99999999999999999999", -1, 0},
        {"", -1, 0},
        {"x1", -1, 0},
        {"-", -1, 0},
        {" + 1", -1, 0},
    };
    for (const Case& c : cases) {
        int32_t value = 12345;
        EXPECT_EQ(os::StrToLong(c.text, &value), c.used) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
    EXPECT_EQ(os::StrToLong(nullptr, nullptr), -1);
}

TEST(Delay, WaitsTheTicks) {
    auto start = std::chrono::steady_clock::now();
    os::Delay(5);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(ms.count(), 100);
    EXPECT_LT(ms.count(), 2000);
    start = std::chrono::steady_clock::now();
    os::Delay(0);
    os::Delay(-5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

}  // namespace
