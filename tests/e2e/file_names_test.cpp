// File names with control characters or bytes that are not UTF-8: on a
// terminal each is a visible "?", as ls shows them; a pipe gets the bytes.
#include <string>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class FileNames : public e2e::ProgramTest {};

TEST_F(FileNames, ControlCharactersAndBadBytesAreVisibleOnATerminalOnly) {
    if (!e2e::HaveProgram("script")) GTEST_SKIP() << "script (util-linux) runs the program on a terminal";
    const struct {
        std::string name, onTerminal;
    } cases[] = {{"bell\a.iff", "bell?.iff"}, {"esc\x1b" "c.iff", "esc?c.iff"},
                 {"bad\xff\xfe.iff", "bad??.iff"}, {"caf\xc3\xa9.iff", "caf\xc3\xa9.iff"}};
    const Bytes picture = MakeIlbm(e2e::CountingPicture(16, 4, 1, cmpByteRun1));
    std::vector<std::string> names;
    std::string piped, terminal;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFile(Path(c.name).string(), picture));
        names.push_back(c.name);
        piped += e2e::Showing(c.name) + "Done.\n";
        terminal += e2e::Showing(c.onTerminal) + "Done.\n";
    }
    EXPECT_EQ(Lanterna(names).output, piped);

    // script gives the program a terminal; its lines end in CR LF there.
    std::string shown = Lanterna(names, {}, "", "script -qec \"$LANTERNA\" /dev/null").output;
    std::erase(shown, '\r');
    EXPECT_EQ(shown, terminal);
}

}  // namespace
