// Names as shown: control characters and bytes that are no UTF-8 character.
#include <gtest/gtest.h>

#include "driver/shown_names.h"

namespace lanterna {
namespace {

TEST(ShownNames, ControlsAndBadBytesGetTheirStandIns) {
    const struct {
        const char* name;
        const char* visible;
        const char* utf8;
    } cases[] = {
        {"c1\xc2\x85", "c1?", "c1\xc2\x85"},                                  // U+0085, a control
        {"\xe2\x82", "??", "\xef\xbf\xbd\xef\xbf\xbd"},                       // cut short
        {"\xc0\xaf", "??", "\xef\xbf\xbd\xef\xbf\xbd"},                       // overlong '/'
        {"\xed\xa0\x80", "???", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},       // a surrogate
        {"\xf0\x9f\x96\xbc \xe2\x80\x94", "\xf0\x9f\x96\xbc \xe2\x80\x94", "\xf0\x9f\x96\xbc \xe2\x80\x94"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VisibleName(c.name), c.visible) << c.name;
        EXPECT_EQ(ValidUtf8(c.name), c.utf8) << c.name;
    }
}

}  // namespace
}  // namespace lanterna
