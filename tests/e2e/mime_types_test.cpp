// The MIME package as the desktop sees it: compiled with the desktop's own
// database by update-mime-database into a scratch data folder, and asked by
// gio (what GNOME's and Xfce's file managers use) for the type of every
// picture form the writer makes, named as such files are named, and of
// netpbm bitmaps called .pbm like the chunky PBM. Files that are none of
// the pictures keep the type the desktop gave them without the package.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna::ilbmw;
namespace fs = std::filesystem;
using e2e::Quote;

const std::string kDesktopDatabase = "/usr/share/mime/packages/freedesktop.org.xml";

// What a command wrote to its standard output.
std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

IlbmPicture SmallPicture(const char* form, int planes, uint8_t compression) {
    IlbmPicture picture;
    picture.formType = form;
    picture.header = SimpleHeader(8, 4, planes, compression);
    picture.pixels.assign(8 * 4, 1);
    if (planes <= 8) picture.colours = {{0, 0, 0}, {255, 255, 255}};
    return picture;
}

Bytes Bytes8(const std::string& text) { return Bytes(text.begin(), text.end()); }

class MimeTypesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::HaveProgram("update-mime-database") || !e2e::HaveProgram("gio") || !fs::exists(kDesktopDatabase)) {
            GTEST_SKIP() << "shared-mime-info or gio missing";
        }
        dir_ = fs::temp_directory_path() / ("lanterna-mime-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        // The desktop's database alone, and with the package.
        for (const char* data : {"plain", "with"}) {
            fs::create_directories(dir_ / data / "mime/packages");
            fs::copy_file(kDesktopDatabase, dir_ / data / "mime/packages/freedesktop.org.xml");
        }
        fs::copy_file(LANTERNA_SOURCE_DIR "/data/lanterna-ilbm.xml", dir_ / "with/mime/packages/lanterna-ilbm.xml");
        for (const char* data : {"plain", "with"}) {
            ASSERT_EQ(std::system(("update-mime-database " + Quote((dir_ / data / "mime").string())).c_str()), 0);
        }
        fs::create_directories(dir_ / "files");
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }

    std::string File(const std::string& name, const Bytes& data) {
        const std::string path = (dir_ / "files" / name).string();
        EXPECT_TRUE(WriteFile(path, data));
        return path;
    }

    // The type gio gives a file with the data folder `data` only.
    std::string TypeOf(const std::string& path, const char* data) {
        const std::string text = Output("XDG_DATA_DIRS=" + Quote((dir_ / data).string()) + " XDG_DATA_HOME=" +
                                        Quote((dir_ / "none").string()) + " gio info -a standard::content-type " +
                                        Quote(path) + " 2>&1");
        const std::string key = "standard::content-type: ";
        const size_t at = text.find(key);
        if (at == std::string::npos) return text;
        return text.substr(at + key.size(), text.find('\n', at) - at - key.size());
    }

    fs::path dir_;
};

TEST_F(MimeTypesTest, EveryFormIsNamedByItsContent) {
    IlbmPicture rgbn = SmallPicture("RGBN", 13, lanterna::cmpRgbn);
    rgbn.pixels.assign(8 * 4, 0xF0F0F0);
    IlbmPicture rgb8 = SmallPicture("RGB8", 25, lanterna::cmpRgbn);
    rgb8.pixels.assign(8 * 4, 0x204060);
    DeepPicture deep;
    deep.width = 4;
    deep.height = 2;
    deep.pixels.assign(4 * 2 * 3, 0x80);
    const Bytes ilbm = MakeIlbm(SmallPicture("ILBM", 1, lanterna::cmpByteRun1));
    const Bytes pbm = MakeIlbm(SmallPicture("PBM ", 8, lanterna::cmpNone));
    const Bytes acbm = MakeIlbm(SmallPicture("ACBM", 1, lanterna::cmpNone));
    const Bytes anim = MakeGroup("FORM", "ANIM", ilbm);
    const struct {
        std::string name;
        Bytes data;
        const char* type;
    } cases[] = {
        {"picture.iff", ilbm, "image/x-ilbm"},
        {"picture.lbm", ilbm, "image/x-ilbm"},
        {"picture", ilbm, "image/x-ilbm"},
        {"chunky.pbm", pbm, "image/x-ilbm"},
        {"CHUNKY.PBM", pbm, "image/x-ilbm"},
        {"chunky.iff", pbm, "image/x-ilbm"},
        {"planes.iff", acbm, "image/x-acbm"},
        {"planes.acbm", acbm, "image/x-acbm"},
        {"planes.dat", acbm, "image/x-acbm"},
        {"colour.iff", MakeIlbm(rgb8), "image/x-rgb8"},
        {"colour.rgb8", MakeIlbm(rgb8), "image/x-rgb8"},
        {"colour12.iff", MakeIlbm(rgbn), "image/x-rgbn"},
        {"colour12", MakeIlbm(rgbn), "image/x-rgbn"},
        {"deep.iff", MakeDeep(deep), "image/x-deep"},
        {"deep.bin", MakeDeep(deep), "image/x-deep"},
        {"film.iff", anim, "video/x-anim"},
        {"film.anim", anim, "video/x-anim"},
        {"film.anim5", anim, "video/x-anim"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TypeOf(File(c.name, c.data), "with"), c.type) << c.name;
    }
}

// Netpbm bitmaps and every other file the package has nothing to say about.
TEST_F(MimeTypesTest, OtherFilesKeepTheTypeTheDesktopGaveThem) {
    std::string raw, plain;
    if (e2e::HaveProgram("pbmmake")) {
        raw = Output("pbmmake -white 8 4");
        plain = Output("pbmmake -black 8 4 | pnmtoplainpnm");
    }
    ASSERT_EQ(raw.substr(0, 2), "P4") << "netpbm's pbmmake is needed";
    ASSERT_EQ(plain.substr(0, 2), "P1");
    const std::string bitmap = File("bitmap.pbm", Bytes8(raw));
    EXPECT_EQ(TypeOf(bitmap, "with"), "image/x-portable-bitmap");
    EXPECT_EQ(TypeOf(File("PLAIN.PBM", Bytes8(plain)), "with"), "image/x-portable-bitmap");
    const struct {
        std::string name;
        Bytes data;
    } cases[] = {
        {"sound.iff", MakeGroup("FORM", "8SVX", MakeChunk("VHDR", Bytes(20)))},
        {"sound.aiff", MakeGroup("FORM", "AIFF", MakeChunk("COMM", Bytes(18)))},
        {"notes.iff", Bytes8("Shopping list: bread, milk, tea.\n")},
        {"text.iff", MakeGroup("FORM", "FTXT", MakeChunk("CHRS", Bytes8("hello")))},
        {"noise.pbm", Bytes{0x9c, 0x01, 0xfe, 0x00, 0x37, 0x80, 0xff, 0x12}},
        {"empty.pbm", Bytes{}},
        {"bitmap", Bytes8(raw)},
    };
    for (const auto& c : cases) {
        const std::string path = File(c.name, c.data);
        EXPECT_EQ(TypeOf(path, "with"), TypeOf(path, "plain")) << c.name;
    }
}

}  // namespace
