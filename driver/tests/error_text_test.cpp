// The message table and the lookup of any result code's text.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver/error_text.h"
#include "platform/dos/dos.h"
#include "records/result_codes.h"

namespace lanterna {
namespace {

std::string SystemText(int32_t code) {
    char buffer[256] = {};
    os::Fault(code, nullptr, buffer, sizeof buffer);
    return buffer;
}

TEST(ErrorTextTest, TableHoldsTheProgramsOwnCodesOnceEach) {
    std::set<int32_t> codes;
    int32_t rows = 0;
    for (const ErrorEntry* entry = ErrorTable; entry->message != nullptr; ++entry, ++rows) {
        EXPECT_TRUE(codes.insert(entry->code).second) << "code twice: " << entry->code;
        EXPECT_GE(entry->code, 30001);
        EXPECT_LE(entry->code, 30033);
        EXPECT_NE(entry->message[0], '\0');
        EXPECT_STREQ(ErrorText(entry->code), entry->message);
    }
    EXPECT_EQ(rows, 32);
    // The base of the iffparse mapping and the user's stop have no row.
    EXPECT_EQ(codes.count(IFF_CODE_BASE), 0u);
    EXPECT_EQ(codes.count(CODE_STOP), 0u);
    // Table order is kept: set-up messages first, the iffparse ones last.
    EXPECT_EQ(ErrorTable[0].code, 30001);
    EXPECT_EQ(ErrorTable[2].code, 30004);
    EXPECT_EQ(ErrorTable[31].code, 30026);
}

TEST(ErrorTextTest, MessagesThePrintedLinesCarry) {
    EXPECT_STREQ(ErrorText(ERR_NOT_ILBM), "Not an IFF-ILBM file");
    EXPECT_STREQ(ErrorText(ERR_NOT_IFF), "Not an IFF file");
    EXPECT_STREQ(ErrorText(ERR_COMPRESSION), "Unknown compression format");
    EXPECT_STREQ(ErrorText(ERR_CORRUPT), "Data in file is corrupt");
    EXPECT_STREQ(ErrorText(IffResultCode(-1)), "Reached logical end of file");
    EXPECT_STREQ(ErrorText(IffResultCode(-11)), "No call-back hook provided");
    EXPECT_STREQ(ErrorText(ERR_CYBERGRAPHICS), "Error opening cybergraphics.library v40");
    EXPECT_STREQ(ErrorText(ERR_SCREEN), "Error opening screen");
    EXPECT_STREQ(ErrorText(ERR_WINDOW), "Error opening window");
}

TEST(ErrorTextTest, OtherCodesGetTheSystemsText) {
    EXPECT_EQ(std::string(ErrorText(os::ERROR_OBJECT_NOT_FOUND)), SystemText(205));
    EXPECT_NE(std::string(ErrorText(205)).find("object not found"), std::string::npos);
    EXPECT_EQ(std::string(ErrorText(CODE_NEXT)), "***Break");
    EXPECT_EQ(std::string(ErrorText(CODE_STOP)), SystemText(CODE_STOP));
    EXPECT_EQ(std::string(ErrorText(os::ERROR_NO_FREE_STORE)), SystemText(103));
    EXPECT_EQ(std::string(ErrorText(IFF_CODE_BASE)), SystemText(IFF_CODE_BASE));

    // The text stays as it was until the next lookup that reaches the system;
    // table lookups do not disturb it.
    const char* text = ErrorText(205);
    const std::string kept = text;
    ErrorText(ERR_NOT_ILBM);
    EXPECT_EQ(std::string(text), kept);
}

}  // namespace
}  // namespace lanterna
