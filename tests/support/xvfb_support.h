// A virtual X server for the tests of the real window: started once per test
// process on a free display number, ended (by its own process id) after
// everything else at exit, so that SDL leaves it first.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace xvfb_test {

inline bool HaveProgram(const char* name) {
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Input and screenshots: xdotool, xwd and netpbm's xwdtopnm (scripts/deps.sh).
inline bool HaveInputAndScreenshotTools() {
    return HaveProgram("xdotool") && HaveProgram("xwd") && HaveProgram("xwdtopnm");
}

struct Server {
    int display = -1;
    long pid = 0;
};

inline Server& TheServer() {
    static Server server;
    return server;
}

// Starts Xvfb with a 1280x1024 screen and sets DISPLAY; the display number,
// or -1 when no server could be started.
inline int StartXvfb() {
    Server& s = TheServer();
    if (s.display >= 0) return s.display;
    namespace fs = std::filesystem;
    unsigned seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 8; ++attempt) {
        int n = 100 + static_cast<int>((seed + attempt * 7919u) % 800u);
        if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
        fs::path pidFile = fs::temp_directory_path() / ("lanterna-xvfb-" + std::to_string(n) + ".pid");
        std::string command = "Xvfb :" + std::to_string(n) +
                              " -screen 0 1280x1024x24 -br -nolisten tcp >/dev/null 2>&1 & echo $! > " +
                              pidFile.string();
        if (std::system(command.c_str()) != 0) continue;
        long pid = 0;
        {
            std::ifstream in(pidFile);
            in >> pid;
        }
        fs::remove(pidFile);
        if (pid <= 0) continue;
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        for (int i = 0; i < 100 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!fs::exists(socket)) {
            std::system(("kill " + std::to_string(pid) + " 2>/dev/null").c_str());
            continue;
        }
        s.display = n;
        s.pid = pid;
        setenv("DISPLAY", (":" + std::to_string(n)).c_str(), 1);
        std::atexit([] {
            Server& server = TheServer();
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

}  // namespace xvfb_test
