// A virtual X server for the tests of the real window: started once per test
// process on a free display number, ended (by its own process id) after
// everything else at exit, so that SDL leaves it first. The tests run on the
// bare server and again under a window manager (openbox), which reparents,
// decorates and focuses the windows and talks to them while they come and go.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace xvfb_test {

inline bool HaveProgram(const char* name) {
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Input, windows and screenshots: xdotool, xwininfo and xprop, xwd (and
// xlogo, a window to try a window manager with), netpbm's xwdtopnm
// (scripts/deps.sh).
inline bool HaveInputAndScreenshotTools() {
    return HaveProgram("xdotool") && HaveProgram("xwininfo") && HaveProgram("xprop") && HaveProgram("xwd") &&
           HaveProgram("xlogo") && HaveProgram("xwdtopnm");
}

struct Server {
    int display = -1;
    long pid = 0;
    long windowManager = 0;  // openbox's process id while it runs
};

inline Server& TheServer() {
    static Server server;
    return server;
}

// The screen's size for this test process: LANTERNA_TEST_SCREEN ("800x600")
// when it names one, 1280x1024 otherwise.
inline std::string ScreenSize() {
    const char* asked = std::getenv("LANTERNA_TEST_SCREEN");
    if (asked == nullptr) return "1280x1024";
    int w = 0, h = 0;
    char end = 0;
    if (std::sscanf(asked, "%dx%d%c", &w, &h, &end) != 2 || w < 64 || h < 64 || w > 8192 || h > 8192)
        return "1280x1024";
    return std::to_string(w) + "x" + std::to_string(h);
}

// Starts Xvfb with a screen of ScreenSize() and sets DISPLAY; the display
// number, or -1 when no server could be started.
inline int StartXvfb() {
    Server& s = TheServer();
    if (s.display >= 0) return s.display;
    namespace fs = std::filesystem;
    // Xvfb picks a free display number itself (-displayfd) and writes it
    // once it serves: tests running side by side never pick the same one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::string stem = "lanterna-xvfb-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        fs::path pidFile = fs::temp_directory_path() / (stem + ".pid");
        fs::path displayFile = fs::temp_directory_path() / (stem + ".display");
        std::string command = "Xvfb -displayfd 3 -screen 0 " + ScreenSize() + "x24 -br -nolisten tcp 3>" +
                              displayFile.string() + " >/dev/null 2>&1 & echo $! > " + pidFile.string();
        if (std::system(command.c_str()) != 0) continue;
        long pid = 0;
        {
            std::ifstream in(pidFile);
            in >> pid;
        }
        fs::remove(pidFile);
        if (pid <= 0) continue;
        int n = -1;
        for (int i = 0; i < 200 && n < 0; ++i) {
            std::ifstream in(displayFile);
            std::string text;
            if (std::getline(in, text) && !text.empty()) n = std::atoi(text.c_str());
            if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        fs::remove(displayFile);
        if (n < 0) {
            std::system(("kill " + std::to_string(pid) + " 2>/dev/null").c_str());
            continue;
        }
        s.display = n;
        s.pid = pid;
        setenv("DISPLAY", (":" + std::to_string(n)).c_str(), 1);
        std::atexit([] {
            Server& server = TheServer();
            if (server.windowManager > 0) kill(static_cast<pid_t>(server.windowManager), SIGTERM);
            server.windowManager = 0;
            if (server.pid > 0) std::system(("kill " + std::to_string(server.pid) + " 2>/dev/null").c_str());
            server.pid = 0;
        });
        return n;
    }
    return -1;
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    bool Is(int x, int y, uint8_t r, uint8_t g, uint8_t b) const {
        const uint8_t* p = At(x, y);
        return p[0] == r && p[1] == g && p[2] == b;
    }
};

// The whole X screen, through xwd and netpbm's xwdtopnm.
inline Image Screenshot() {
    Image image;
    namespace fs = std::filesystem;
    fs::path file = fs::temp_directory_path() / ("lanterna-shot-" + std::to_string(TheServer().display) + ".ppm");
    std::string command = "xwd -root -silent -display :" + std::to_string(TheServer().display) +
                          " | xwdtopnm > " + file.string() + " 2>/dev/null";
    int status = std::system(command.c_str());
    if (status != 0) {
        std::fprintf(stderr, "screenshot failed (%d): %s\n", status, command.c_str());
        return image;
    }
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> image.width >> image.height >> maxval;
    in.get();
    // xwdtopnm gives 16-bit samples for some visuals: v * 257 for 8-bit v.
    if (magic != "P6" || (maxval != 255 && maxval != 65535) || image.width <= 0 || image.height <= 0) {
        image = Image();
    } else {
        size_t samples = static_cast<size_t>(image.width) * image.height * 3;
        size_t size = maxval == 255 ? 1 : 2;
        std::vector<uint8_t> raw(samples * size);
        in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
        if (!in) {
            image = Image();
        } else if (size == 1) {
            image.rgb = std::move(raw);
        } else {
            image.rgb.resize(samples);
            for (size_t i = 0; i < samples; ++i)
                image.rgb[i] = static_cast<uint8_t>(((raw[2 * i] << 8 | raw[2 * i + 1]) * 255 + 32767) / 65535);
        }
    }
    fs::remove(file);
    return image;
}

// Runs xdotool on the test's display.
inline bool XdoTool(const std::string& arguments) {
    std::string command = "DISPLAY=:" + std::to_string(TheServer().display) + " xdotool " + arguments +
                          " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// What a command printed on standard output.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

inline std::string OnDisplay(const std::string& command) {
    return "DISPLAY=:" + std::to_string(TheServer().display) + " " + command;
}

enum class Desktop { Bare, Openbox };

inline const char* DesktopName(Desktop d) { return d == Desktop::Openbox ? "Openbox" : "Bare"; }

// True while a window manager serves the screen: the window it names in the
// root's _NET_SUPPORTING_WM_CHECK exists (a name left by one that ended
// points at a window that is gone).
inline bool WindowManagerRunning() {
    std::string text = CommandOutput(OnDisplay("xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null"));
    size_t at = text.find("0x");
    if (at == std::string::npos) return false;
    unsigned long check = std::strtoul(text.c_str() + at, nullptr, 16);
    return check != 0 && std::system(OnDisplay("xwininfo -id " + std::to_string(check) + " >/dev/null 2>&1").c_str()) == 0;
}

// Polls `done` every stepMs until it holds or ms have passed; its last answer.
inline bool WaitUntil(const std::function<bool()>& done, int ms, int stepMs = 50) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return done();
}

inline bool ProcessGone(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string pidField, name, state;
    stat >> pidField >> name >> state;
    return state == "Z" || state == "X";
}

// Starts openbox on the server and waits until it frames windows; false
// when it ends or does not get there in time.
inline bool StartOpenbox(Server& s, bool last) {
    namespace fs = std::filesystem;
    fs::path pidFile = fs::temp_directory_path() / ("lanterna-openbox-" + std::to_string(s.display) + ".pid");
    fs::path logFile = fs::temp_directory_path() / ("lanterna-openbox-" + std::to_string(s.display) + ".log");
    std::string command =
        OnDisplay("openbox --sm-disable >" + logFile.string() + " 2>&1 & echo $! > " + pidFile.string());
    if (std::system(command.c_str()) != 0) return false;
    long pid = 0;
    {
        std::ifstream in(pidFile);
        in >> pid;
    }
    fs::remove(pidFile);
    if (pid <= 0) return false;
    s.windowManager = pid;
    bool announced = false;
    for (int i = 0; i < 750 && !announced; ++i) {
        if (ProcessGone(pid)) break;
        announced = WindowManagerRunning();
        if (!announced) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // openbox names itself on the root window before it has finished its
    // start, and a window mapped in between is never mapped (SDL would wait
    // for it for ever). It serves the screen once a probe window (xlogo) it
    // is given gets its frame; a probe that fell into that gap is replaced.
    for (int probe = 0; announced && probe < 10; ++probe) {
        std::string title = "lanterna-probe-" + std::to_string(s.display) + "-" + std::to_string(probe);
        fs::path probePid = fs::temp_directory_path() / (title + ".pid");
        if (std::system(OnDisplay("xlogo -name " + title + " -title " + title + " >/dev/null 2>&1 & echo $! > " + probePid.string()).c_str()) != 0)
            break;
        long xlogo = 0;
        {
            std::ifstream in(probePid);
            in >> xlogo;
        }
        fs::remove(probePid);
        bool framed = false;
        for (int i = 0; i < 50 && !framed; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            framed = CommandOutput(OnDisplay("xprop -name " + title + " _NET_FRAME_EXTENTS 2>/dev/null")).find(" = ") !=
                     std::string::npos;
        }
        if (xlogo > 0) kill(static_cast<pid_t>(xlogo), SIGTERM);
        if (framed) {
            fs::remove(logFile);
            return true;
        }
    }
    kill(static_cast<pid_t>(pid), SIGTERM);
    for (int i = 0; i < 100 && !ProcessGone(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    s.windowManager = 0;
    if (last) {
        std::ifstream in(logFile);
        std::cerr << "openbox (pid " << pid << ") said:\n" << in.rdbuf() << "\n";
    }
    fs::remove(logFile);
    return false;
}

// The server bare or under openbox, as the test asks; false when that cannot
// be had (openbox is not installed or did not start within fifteen seconds:
// on a busy two-core machine its start alone has taken more than five).
inline bool UseDesktop(Desktop desktop) {
    Server& s = TheServer();
    if (s.display < 0) return false;
    if (desktop == Desktop::Bare) {
        if (s.windowManager > 0) {
            kill(static_cast<pid_t>(s.windowManager), SIGTERM);
            for (int i = 0; i < 100 && !ProcessGone(s.windowManager); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            s.windowManager = 0;
        }
        return true;
    }
    if (s.windowManager > 0 && !ProcessGone(s.windowManager)) return true;
    if (!HaveProgram("openbox")) return false;
    // A start that ends at once (seen on a loaded machine) is tried again;
    // what openbox said is shown when the last try fails too.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (StartOpenbox(s, attempt == 2)) return true;
    }
    return false;
}

// The client area of an X window on the screen (inclusive bounds, the frame
// of a window manager left out), through xwininfo; empty when it is gone.
struct Area {
    int left = 0, top = 0, width = 0, height = 0;
};

inline Area WindowArea(unsigned long window) {
    Area a;
    std::string text = CommandOutput(OnDisplay("xwininfo -id " + std::to_string(window) + " 2>/dev/null"));
    auto field = [&](const char* name) {
        size_t at = text.find(name);
        return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + std::strlen(name));
    };
    a.left = field("Absolute upper-left X:");
    a.top = field("Absolute upper-left Y:");
    a.width = field("Width:");
    a.height = field("Height:");
    if (a.width <= 0 || a.height <= 0) a = Area();
    return a;
}

// The visible windows xdotool finds with a search's arguments ("--pid 123",
// "--classname '^lanterna$'"), in the order it lists them.
inline std::vector<unsigned long> VisibleWindows(const std::string& search) {
    std::vector<unsigned long> ids;
    std::string text = CommandOutput(OnDisplay("xdotool search --onlyvisible " + search + " 2>/dev/null"));
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        unsigned long id = std::strtoul(text.c_str() + at, nullptr, 10);
        if (id != 0) ids.push_back(id);
        at = end + 1;
    }
    return ids;
}

// The window that has the keyboard focus (0 for none or the pointer root).
inline unsigned long FocusedWindow() {
    return std::strtoul(CommandOutput(OnDisplay("xdotool getwindowfocus 2>/dev/null")).c_str(), nullptr, 10);
}

}  // namespace xvfb_test
