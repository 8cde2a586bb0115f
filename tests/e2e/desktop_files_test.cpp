// The desktop integration as the desktop's own tools see it: the desktop
// entry validated by desktop-file-validate, the MIME package compiled by
// update-mime-database and asked by gio, the man page formatted by groff,
// and `cmake --install` into a staging directory.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = LANTERNA_SOURCE_DIR "/data";
// The desktop entry and the metainfo as the build makes them from the type list.
const std::string kBuiltData = LANTERNA_BINARY_DIR "/data";

bool HaveProgram(const char* name) {
    std::string cmd = std::string("command -v ") + name + " > /dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Runs a shell command; its exit status and what it wrote (both streams).
int Capture(const std::string& cmd, std::string* output) {
    std::string file = fs::temp_directory_path() / ("desktop_files_" + std::to_string(getpid()));
    int raw = std::system((cmd + " > '" + file + "' 2>&1").c_str());
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    *output = text.str();
    fs::remove(file);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class TempDir {
public:
    TempDir() {
        char templ[] = "/tmp/desktop_files_XXXXXX";
        path = mkdtemp(templ) != nullptr ? templ : "";
    }
    ~TempDir() {
        if (!path.empty()) fs::remove_all(path);
    }
    std::string path;
};

// The types of mime-types.list, each defined by the MIME package.
std::vector<std::string> ListedTypes() {
    std::vector<std::string> types;
    std::istringstream lines(ReadText(kData + "/mime-types.list"));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') types.push_back(line);
    }
    return types;
}

TEST(DesktopFiles, DesktopEntryIsValidAndStartsTheWorkbenchModeOnEveryListedType) {
    std::string entry = ReadText(kBuiltData + "/lanterna.desktop");
    EXPECT_NE(entry.find("\nExec=lanterna --workbench %F\n"), std::string::npos);
    std::string types;
    for (const std::string& type : ListedTypes()) types += type + ";";
    EXPECT_NE(entry.find("\nMimeType=" + types + "\n"), std::string::npos) << entry;
    const std::string thumbnailer = ReadText(kBuiltData + "/lanterna.thumbnailer");
    EXPECT_EQ(thumbnailer, "[Thumbnailer Entry]\nTryExec=lanterna-thumbnailer\n"
                           "Exec=lanterna-thumbnailer -s %s %i %o\nMimeType=" + types + "\n");
    EXPECT_EQ(ListedTypes().front(), "image/x-ilbm");
    const std::string package = ReadText(kData + "/lanterna-ilbm.xml");
    for (const std::string& type : ListedTypes()) {
        EXPECT_NE(package.find("<mime-type type=\"" + type + "\">"), std::string::npos) << type;
    }
    if (!HaveProgram("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate not installed";
    std::string output;
    EXPECT_EQ(Capture("desktop-file-validate '" + kBuiltData + "/lanterna.desktop'", &output), 0) << output;
    EXPECT_EQ(output, "");  // no warnings either
}

TEST(DesktopFiles, MetainfoIsValidAndProvidesEveryListedType) {
    const std::string file = kBuiltData + "/org.lanterna.Lanterna.metainfo.xml";
    const std::string metainfo = ReadText(file);
    for (const std::string& type : ListedTypes()) {
        EXPECT_NE(metainfo.find("<mediatype>" + type + "</mediatype>"), std::string::npos) << type;
    }
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">lanterna.desktop</launchable>"), std::string::npos);
    if (!HaveProgram("appstreamcli")) GTEST_SKIP() << "appstream not installed";
    std::string output;
    EXPECT_EQ(Capture("appstreamcli validate --no-net '" + file + "'", &output), 0) << output;
}

TEST(DesktopFiles, MimePackageRecognisesIlbmByContentAndByName) {
    if (!HaveProgram("update-mime-database")) GTEST_SKIP() << "shared-mime-info not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path.empty());
    fs::create_directories(tmp.path + "/mime/packages");
    fs::copy_file(kData + "/lanterna-ilbm.xml", tmp.path + "/mime/packages/lanterna-ilbm.xml");
    std::string output;
    ASSERT_EQ(Capture("update-mime-database '" + tmp.path + "/mime'", &output), 0) << output;
    std::string globs = ReadText(tmp.path + "/mime/globs");
    for (const char* glob : {"image/x-ilbm:*.ilbm\n", "image/x-ilbm:*.lbm\n"}) {
        EXPECT_NE(globs.find(glob), std::string::npos) << glob;
    }
    // Every IFF file is called .iff: the name alone never makes a picture.
    EXPECT_EQ(globs.find("image/x-ilbm:*.iff\n"), std::string::npos) << globs;
    if (!HaveProgram("gio")) GTEST_SKIP() << "gio not installed";
    // Names that say nothing: only the content can tell.
    std::ofstream(tmp.path + "/picture.dat") << std::string("FORM\0\0\0\x20ILBMBMHD", 16);
    std::ofstream(tmp.path + "/sound.dat") << std::string("FORM\0\0\0\x20" "8SVXVHDR", 16);
    std::string env = "XDG_DATA_DIRS='" + tmp.path + "' XDG_DATA_HOME='" + tmp.path + "/none' ";
    ASSERT_EQ(Capture(env + "gio info -a standard::content-type '" + tmp.path + "/picture.dat'", &output), 0);
    EXPECT_NE(output.find("standard::content-type: image/x-ilbm"), std::string::npos) << output;
    ASSERT_EQ(Capture(env + "gio info -a standard::content-type '" + tmp.path + "/sound.dat'", &output), 0);
    EXPECT_EQ(output.find("image/x-ilbm"), std::string::npos) << output;
}

TEST(DesktopFiles, ManPageFormatsCleanlyAndNamesEveryEnvironmentVariable) {
    std::string page = ReadText(kData + "/lanterna.1");
    for (const char* name : {"LANTERNA_DISPLAY", "LANTERNA_SNAPSHOTS", "LANTERNA_INPUT", "LANTERNA_REQUESTER",
                             "LANTERNA_DRAW_INPUT", "LANTERNA_TRACE",
                             "WAITAFTEROPEN", "EXIT STATUS", "TOOL TYPES", "KEYS AND MOUSE"}) {
        EXPECT_NE(page.find(name), std::string::npos) << name;
    }
    if (!HaveProgram("groff")) GTEST_SKIP() << "groff not installed";
    std::string output;
    EXPECT_EQ(Capture("groff -t -man -ww -z '" + kData + "/lanterna.1'", &output), 0);
    EXPECT_EQ(output, "");
}

// A reader copies an example from the formatted page into a shell: every
// word has to reach the program as the page shows it, quotes taken off. An
// unquoted pattern would be expanded by the shell, or dropped as a comment.
TEST(DesktopFiles, ManPageExamplesReachTheProgramAsWritten) {
    if (!HaveProgram("groff")) GTEST_SKIP() << "groff not installed";
    std::string page;
    ASSERT_EQ(Capture("groff -t -man -Tutf8 -P -cbou '" + kData + "/lanterna.1'", &page), 0);
    const size_t examples = page.find("\nEXAMPLES\n");
    ASSERT_NE(examples, std::string::npos);
    TempDir dir;  // holds files a shell pattern would match
    ASSERT_FALSE(dir.path.empty());
    for (const char* name : {"a.iff", "b.iff", "c.ilbm"}) std::ofstream(dir.path + "/" + name) << "x";
    fs::create_directories(dir.path + "/Pictures");
    std::ofstream(dir.path + "/Pictures/d.iff") << "x";

    std::istringstream lines(page.substr(examples + 10));
    std::string line;
    int commands = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != ' ') break;  // the next section
        // A command is set 7 columns in; its description further.
        if (line.rfind("       ", 0) != 0 || line.size() < 8 || line[7] == ' ') continue;
        const std::string command = line.substr(7);
        if (command.find("lanterna ") == std::string::npos) continue;
        ++commands;
        std::string expected;
        std::istringstream words(command);
        std::string word;
        while (words >> word) {
            std::string bare;
            for (char c : word)
                if (c != '\'') bare += c;
            expected += bare + "\n";
        }
        std::string got;
        ASSERT_EQ(Capture("cd '" + dir.path + "' && sh -c 'for w; do printf \"%s\\n\" \"$w\"; done' sh " + command, &got), 0)
            << command;
        EXPECT_EQ(got, expected) << command;
    }
    EXPECT_GE(commands, 3);
}

TEST(DesktopFiles, InstallPutsProgramEntryTypeAndPageUnderDestdirAndPrefix) {
    TempDir stage;
    ASSERT_FALSE(stage.path.empty());
    std::string output;
    ASSERT_EQ(Capture("DESTDIR='" + stage.path + "' cmake --install '" LANTERNA_BINARY_DIR "' --prefix /opt/lt",
                      &output),
              0)
        << output;
    const std::string root = stage.path + "/opt/lt";
    struct stat info {};
    ASSERT_EQ(stat((root + "/bin/lanterna").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    EXPECT_EQ(ReadText(root + "/share/applications/lanterna.desktop"), ReadText(kBuiltData + "/lanterna.desktop"));
    EXPECT_TRUE(fs::exists(root + "/share/metainfo/org.lanterna.Lanterna.metainfo.xml"));
    EXPECT_EQ(ReadText(root + "/share/mime/packages/lanterna-ilbm.xml"), ReadText(kData + "/lanterna-ilbm.xml"));
    EXPECT_EQ(ReadText(root + "/share/man/man1/lanterna.1"), ReadText(kData + "/lanterna.1"));
    EXPECT_TRUE(fs::exists(root + "/share/man/man1/lanterna-thumbnailer.1"));
    EXPECT_TRUE(fs::exists(root + "/bin/lanterna-thumbnailer"));
    EXPECT_EQ(ReadText(root + "/share/thumbnailers/lanterna.thumbnailer"),
              ReadText(kBuiltData + "/lanterna.thumbnailer"));
    // A staged install leaves the databases to the package's own scripts.
    EXPECT_FALSE(fs::exists(root + "/share/mime/mime.cache"));
    // The installed program runs.
    ASSERT_EQ(Capture("'" + root + "/bin/lanterna' --version", &output), 0);
    EXPECT_EQ(output, "Lanterna 1.12 (29.11.2005)\n");

    // Installed for real (no staging), the desktop's databases are brought
    // up to date, so the new type and its program are known at once.
    TempDir prefix;
    ASSERT_FALSE(prefix.path.empty());
    ASSERT_EQ(Capture("env -u DESTDIR cmake --install '" LANTERNA_BINARY_DIR "' --prefix '" + prefix.path + "'",
                      &output),
              0)
        << output;
    if (HaveProgram("update-mime-database")) {
        EXPECT_NE(ReadText(prefix.path + "/share/mime/globs").find("image/x-ilbm:*.lbm"), std::string::npos);
    }
    if (HaveProgram("update-desktop-database")) {
        EXPECT_NE(ReadText(prefix.path + "/share/applications/mimeinfo.cache").find("image/x-ilbm=lanterna.desktop"),
                  std::string::npos);
    }
}

// Opening a picture through the desktop entry, as a file manager does on a
// double click, starts the program on it.
TEST(DesktopFiles, LaunchingTheEntryOnAPictureShowsIt) {
    if (!HaveProgram("gio")) GTEST_SKIP() << "gio not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path.empty());
    fs::create_directories(tmp.path + "/bin");
    fs::create_directories(tmp.path + "/snaps");
    fs::copy_file(LANTERNA_BINARY_DIR "/lanterna", tmp.path + "/bin/lanterna");
    lanterna::ilbmw::IlbmPicture picture;
    picture.header = lanterna::ilbmw::SimpleHeader(8, 4, 1, lanterna::cmpNone);
    picture.colours = {{0, 0, 0}, {255, 255, 255}};
    picture.pixels.assign(8 * 4, 1);
    ASSERT_TRUE(lanterna::ilbmw::WriteFile(tmp.path + "/picture.iff", lanterna::ilbmw::MakeIlbm(picture)));
    std::string output;
    ASSERT_EQ(Capture("PATH='" + tmp.path + "/bin':\"$PATH\" LANTERNA_DISPLAY=headless LANTERNA_SNAPSHOTS='" +
                          tmp.path + "/snaps' gio launch '" + kBuiltData + "/lanterna.desktop' '" + tmp.path +
                          "/picture.iff'",
                      &output),
              0)
        << output;
    // The program runs on its own; its one picture leaves one snapshot.
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        shown = fs::exists(tmp.path + "/snaps/001.png");
        if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(shown);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let it end before the files go
}

}  // namespace
