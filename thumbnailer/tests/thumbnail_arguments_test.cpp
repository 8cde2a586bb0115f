// The command lines the desktop's thumbnail conventions produce (%s %i %o
// and %u), and those that must be refused.
#include <gtest/gtest.h>

#include "thumbnailer/thumbnail_arguments.h"

namespace lanterna {
namespace {

TEST(ThumbnailArgumentsTest, CommandLines) {
    struct Case {
        std::vector<const char*> arguments;
        bool parses;
        uint32_t size;
        const char* input;
    };
    const Case cases[] = {
        {{"-s", "128", "/p/a.iff", "/o.png"}, true, 128, "/p/a.iff"},
        {{"-s64", "a b.iff", "o.png"}, true, 64, "a b.iff"},
        {{"in.iff", "o.png"}, true, 256, "in.iff"},
        {{"-s", "128", "file:///p/a%20b%C3%A9.iff", "o.png"}, true, 128, "/p/a b\xC3\xA9.iff"},
        {{"file://host/a.iff", "o.png"}, false, 0, ""},   // not a local file
        {{"file:///a%2.iff", "o.png"}, false, 0, ""},     // a broken escape
        {{"file:///a%00.iff", "o.png"}, false, 0, ""},    // a NUL in a path
        {{"-s", "0", "a", "o"}, false, 0, ""},
        {{"-s", "12x", "a", "o"}, false, 0, ""},
        {{"-s", "99999999999", "a", "o"}, false, 0, ""},
        {{"-s"}, false, 0, ""},
        {{"a"}, false, 0, ""},
        {{"a", "b", "c"}, false, 0, ""},
        {{"-x", "a", "b"}, false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "" : c.arguments.back());
        ThumbnailArguments parsed;
        ASSERT_EQ(ParseThumbnailArguments(int(c.arguments.size()), c.arguments.data(), &parsed), c.parses);
        if (!c.parses) continue;
        EXPECT_EQ(parsed.size, c.size);
        EXPECT_EQ(parsed.input, c.input);
    }
}

}  // namespace
}  // namespace lanterna
