// The window's timing for one picture (bench/window.sh runs it under Xvfb).
//
//   window_bench LANTERNA FILE LABEL [RUNS [HEIGHT [FLOOR_MS]]]
//
// Starts LANTERNA on FILE in the real window (DISPLAY must name an X server)
// with LANTERNA_TRACE pointing at a temporary file, which gets a line
// "NANOSECONDS TOP BOTTOM" for every present that shows new rows. The time
// from the start of the process to the first such line is when the first row
// reached the screen, to the last one when the last row did. The same picture
// is also run headless for the whole-process time the window is compared
// with. With HEIGHT, the picture's height, a window run is ended (as Ctrl-C
// would) as soon as the trace shows that row HEIGHT - 1 has been presented;
// otherwise it ends after WAIT=1. Each window run starts 300 ms after the run
// before, with the X server idle. Each figure is the median of RUNS (7 by
// default). Prints one table row and exits with 1 when a target is missed.
// FLOOR_MS is what SDL alone takes to present a window of the size the
// viewer opens for the picture (--floor, measured in the same run): the
// first row within the floor and 3 ms, the last within 1.2 times the larger
// of the floor and the headless time. Without it: the first row within
// 50 ms, the last within 1.5 times the headless time.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr double kFirstRowMs = 50.0;
constexpr double kLastRowRatio = 1.5;
constexpr double kFirstOverFloorMs = 3.0;
constexpr double kLastOverFloorRatio = 1.2;
constexpr auto kSettle = std::chrono::milliseconds(300);

int64_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

// The environment of this process without the variables Lanterna reads,
// plus `extra`.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> out;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "LANTERNA_", 9) == 0) continue;
        out.emplace_back(*e);
    }
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

// The bottom of the last trace line so far, or 0.
uint32_t TraceBottom(const char* path) {
    std::ifstream in(path);
    int64_t ns = 0;
    uint32_t top = 0, bottom = 0, last = 0;
    while (in >> ns >> top >> bottom) last = bottom;
    return last;
}

// Runs the program and waits for it; its start and end times. With a trace
// and a height, the program is sent SIGINT once the trace shows the bottom
// row. False when it could not be started or did not end normally.
bool Run(const std::vector<std::string>& args, const std::vector<std::string>& env, int64_t& started,
         int64_t& ended, const char* trace = nullptr, uint32_t height = 0) {
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    started = Now();
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "window_bench: cannot start %s: %s\n", argv[0], std::strerror(rc));
        return false;
    }
    int status = 0;
    bool interrupted = false;
    for (;;) {
        const pid_t done = waitpid(pid, &status, trace != nullptr && height > 0 && !interrupted ? WNOHANG : 0);
        if (done == pid) break;
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (TraceBottom(trace) >= height) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    ended = Now();
    if (!WIFEXITED(status) || (!interrupted && WEXITSTATUS(status) != 0)) {
        std::fprintf(stderr, "window_bench: %s ended with status %d\n", argv[0], status);
        return false;
    }
    return true;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[(v.size() - 1) / 2];
}

}  // namespace

// window_bench --floor SDL_FLOOR_BENCH [RUNS [WIDTH HEIGHT]]: the median
// time from the start of a process to its first present for a program that
// does nothing but start SDL and present one window of that size (320x200
// unless given; sdl_floor_bench.cpp). No target: it is what the viewer's
// first row cannot beat on this desktop.
int Floor(const std::string& program, int runs, const std::string& width, const std::string& height) {
    char traceName[] = "/tmp/lanterna-floor-trace.XXXXXX";
    const int traceFd = mkstemp(traceName);
    if (traceFd < 0) return 2;
    close(traceFd);
    std::vector<double> presents;
    for (int i = 0; i < runs; ++i) {
        std::this_thread::sleep_for(kSettle);
        int64_t start = 0, end = 0;
        if (!Run({program, traceName, width, height}, Environment({}), start, end)) break;
        std::ifstream in(traceName);
        int64_t ns = 0;
        if (in >> ns) presents.push_back(double(ns - start) / 1e6);
    }
    unlink(traceName);
    if (presents.size() != static_cast<size_t>(runs)) return 2;
    std::printf("%-22s %9.1fms  (SDL alone: a %sx%s window presented once)\n", ("SDL floor " + width + "x" + height).c_str(),
                Median(presents), width.c_str(), height.c_str());
    return 0;
}

// window_bench --pages LANTERNA RUNS FILE:HEIGHT...: LANTERNA on every FILE
// in one run in the real window. As soon as a picture's last row (HEIGHT) is
// presented, Page Down is sent to the window through the X server (a key
// press and release, flushed: the key's time), as fast as a person holding
// the key. Each next
// picture's time from that key to its last row presented is compared with
// its headless whole-process time (median of RUNS). Target: every picture
// within 1.2 times. Prints the median and the worst ratio.
int Pages(const std::string& lanterna, int runs, const std::vector<std::string>& entries) {
    std::vector<std::string> files;
    std::vector<uint32_t> heights;
    for (const std::string& e : entries) {
        const size_t colon = e.rfind(':');
        if (colon == std::string::npos) return 2;
        files.push_back(e.substr(0, colon));
        heights.push_back(static_cast<uint32_t>(std::atol(e.c_str() + colon + 1)));
    }
    // The headless time of each different file.
    std::vector<double> headless(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        size_t same = 0;
        while (same < i && files[same] != files[i]) ++same;
        if (same < i) {
            headless[i] = headless[same];
            continue;
        }
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            int64_t start = 0, end = 0;
            if (!Run({lanterna, files[i]}, Environment({"LANTERNA_DISPLAY=headless"}), start, end)) return 2;
            times.push_back(double(end - start) / 1e6);
        }
        headless[i] = Median(times);
    }
    char traceName[] = "/tmp/lanterna-pages-trace.XXXXXX";
    const int traceFd = mkstemp(traceName);
    if (traceFd < 0) return 2;
    close(traceFd);
    std::vector<std::string> args = {lanterna};
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::vector<std::string> env = Environment({std::string("LANTERNA_TRACE=") + traceName});
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int64_t started = Now();
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return 2;
    // Waits for a present at or below `height` among the trace lines after
    // the first `seen`; its time, or -1 after 5 s.
    size_t seen = 0;
    auto lastRow = [&](uint32_t height) -> int64_t {
        const int64_t give = Now() + 5000000000LL;
        while (Now() < give) {
            std::ifstream in(traceName);
            int64_t ns = 0;
            uint32_t top = 0, bottom = 0;
            size_t line = 0;
            while (in >> ns >> top >> bottom) {
                if (++line <= seen) continue;
                seen = line;
                if (bottom >= height) return ns;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return -1;
    };
    std::vector<double> ratios;
    bool ok = lastRow(heights[0]) >= 0;
    // The window: one for the whole run, each picture taking it over.
    ::Window window = 0;
    if (std::FILE* search = popen("xdotool search --sync --classname '^lanterna$' 2>/dev/null", "r")) {
        unsigned long id = 0;
        if (std::fscanf(search, "%lu", &id) == 1) window = id;
        pclose(search);
    }
    Display* x = ok && window != 0 ? XOpenDisplay(nullptr) : nullptr;
    ok = x != nullptr;
    for (size_t i = 1; ok && i < files.size(); ++i) {
        XKeyEvent e{};
        e.display = x;
        e.window = window;
        e.root = DefaultRootWindow(x);
        e.time = CurrentTime;
        e.same_screen = True;
        e.keycode = XKeysymToKeycode(x, XK_Next);
        e.type = KeyPress;
        XSendEvent(x, window, True, KeyPressMask, reinterpret_cast<XEvent*>(&e));
        e.type = KeyRelease;
        XSendEvent(x, window, True, KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
        XFlush(x);
        const int64_t key = Now();
        const int64_t shown = ok ? lastRow(heights[i]) : -1;
        ok = shown >= 0;
        if (ok) ratios.push_back(double(shown - key) / 1e6 / headless[i]);
    }
    if (x != nullptr) XCloseDisplay(x);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    unlink(traceName);
    (void)started;
    if (!ok || ratios.empty()) {
        std::fprintf(stderr, "window_bench: a picture's last row did not come after Page Down\n");
        return 2;
    }
    const double worst = *std::max_element(ratios.begin(), ratios.end());
    const long within = std::count_if(ratios.begin(), ratios.end(), [](double r) { return r <= kLastOverFloorRatio; });
    const bool met = within == long(ratios.size());
    std::printf("%-22s median %.2f, worst %.2f of the headless time; %ld of %zu within %.1f  %s\n", "Page Down",
                Median(ratios), worst, within, ratios.size(), kLastOverFloorRatio, met ? "ok" : "MISSED");
    return met ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--pages") == 0) {
        const int runs = std::atoi(argv[3]);
        if (runs < 1 || runs > 100 || std::getenv("DISPLAY") == nullptr) return 2;
        return Pages(argv[2], runs, std::vector<std::string>(argv + 4, argv + argc));
    }
    if (argc >= 3 && std::strcmp(argv[1], "--floor") == 0) {
        const int runs = argc > 3 ? std::atoi(argv[3]) : 7;
        const std::string width = argc > 5 ? argv[4] : "320";
        const std::string height = argc > 5 ? argv[5] : "200";
        return runs >= 1 && runs <= 100 && std::getenv("DISPLAY") != nullptr ? Floor(argv[2], runs, width, height) : 2;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s LANTERNA FILE LABEL [RUNS [HEIGHT]]\n       %s --floor SDL_FLOOR_BENCH [RUNS]\n",
                     argv[0], argv[0]);
        return 2;
    }
    const std::string lanterna = argv[1];
    const std::string file = argv[2];
    const std::string label = argv[3];
    const int runs = argc > 4 ? std::atoi(argv[4]) : 7;
    const long height = argc > 5 ? std::atol(argv[5]) : 0;
    const double floorMs = argc > 6 ? std::atof(argv[6]) : 0.0;
    if (runs < 1 || runs > 100 || height < 0 || height > 16384 || std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "window_bench: RUNS must be 1 to 100, HEIGHT 0 to 16384, and DISPLAY must be set\n");
        return 2;
    }
    char traceName[] = "/tmp/lanterna-window-trace.XXXXXX";
    const int traceFd = mkstemp(traceName);
    if (traceFd < 0) {
        std::perror("window_bench: trace file");
        return 2;
    }
    close(traceFd);

    std::vector<double> headless, first, last;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
        int64_t start = 0, end = 0;
        ok = Run({lanterna, file}, Environment({"LANTERNA_DISPLAY=headless"}), start, end);
        if (!ok) break;
        headless.push_back(double(end - start) / 1e6);

        // Emptied before each run; the picture stays up a second once drawn.
        if (truncate(traceName, 0) != 0) {
            ok = false;
            break;
        }
        // A person starts the viewer on an idle desktop, not while the X
        // server is still taking down the last run's window and images: a
        // window started at once waits 20 to 30 ms behind that.
        std::this_thread::sleep_for(kSettle);
        ok = Run({lanterna, file, "WAIT=1"}, Environment({std::string("LANTERNA_TRACE=") + traceName}), start,
                 end, traceName, static_cast<uint32_t>(height));
        if (!ok) break;
        std::ifstream in(traceName);
        int64_t ns = 0, firstNs = -1, lastNs = -1;
        uint32_t top = 0, bottom = 0;
        while (in >> ns >> top >> bottom) {
            if (firstNs < 0) firstNs = ns;
            lastNs = ns;
        }
        if (firstNs < 0) {
            std::fprintf(stderr, "window_bench: no row of %s was presented\n", file.c_str());
            ok = false;
            break;
        }
        first.push_back(double(firstNs - start) / 1e6);
        last.push_back(double(lastNs - start) / 1e6);
    }
    unlink(traceName);
    if (!ok) return 2;

    const double h = Median(headless), f = Median(first), l = Median(last);
    if (floorMs > 0) {
        const double bound = std::max(floorMs, h);
        const bool met = f <= floorMs + kFirstOverFloorMs && l <= kLastOverFloorRatio * bound;
        std::printf("%-22s %9.1fms %9.1fms %9.1fms %9.1fms %7.2f  %s\n", label.c_str(), f, l, h, floorMs, l / bound,
                    met ? "ok" : "MISSED");
        return met ? 0 : 1;
    }
    const bool met = f <= kFirstRowMs && l <= kLastRowRatio * h;
    std::printf("%-22s %9.1fms %9.1fms %9.1fms %7.2f  %s\n", label.c_str(), f, l, h, l / h, met ? "ok" : "MISSED");
    return met ? 0 : 1;
}
