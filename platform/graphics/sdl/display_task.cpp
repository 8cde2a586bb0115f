// The SDL2 backend's display task (sdl_backend.h): SDL's start, then a loop
// that runs the program's commands in order, makes the windows that are
// wanted, and shows a frame (events, then what changed) every kFrameMs while
// a window is up, at once when first rows or a wait ask for it.
//
// The task sleeps on its own condition, never in one of SDL's waits for an
// event. SDL 2's X11 driver arms a "wake-up" in those: when any event is
// queued during the wait it sends a client message to the waited-on window
// over a second X connection. The key or click that ends a picture is such
// an event, and the window is destroyed moments later over the main
// connection. The X server serves its clients in turn, not in the order
// their requests were written, so now and then it performs the destroy
// before the send, answers the send with BadWindow, and Xlib's default
// handler ends the process with 1 on the next wake-up. Window managers make
// that likely (the server is busy with their requests while windows come and
// go). Only this task calls SDL and nothing else queues SDL events, so no
// wake-up is needed: polling after the sleep sees everything the wait would
// have.
#include "platform/graphics/sdl/sdl_backend.h"

#include "platform/graphics/sdl/compose_table.h"
#include "platform/graphics/sdl/kept_window.h"
#include "platform/graphics/sdl/wayland_seat.h"
#include "platform/graphics/sdl/wayland_work_area.h"
#include "platform/graphics/sdl/x_server_check.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <langinfo.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

namespace os::sdl {

// Decides at once whether a desktop is there, then starts the display task,
// which starts SDL. Left to itself SDL falls back, when the desktop's server
// cannot be reached (a stale DISPLAY), to drivers that show nothing to
// anyone: the run would then wait for input that never comes, or say
// "Done." for pictures nobody saw. Only the drivers of a desktop a person
// looks at are tried, for the servers the environment names, unless
// SDL_VIDEODRIVER names a driver itself; then SDL's start is waited for.
void SdlBackend::BeginStart() {
    state_.store(-1, std::memory_order_release);
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    named_ = driver != nullptr && *driver != '\0';
    if (!named_) {
        const bool wayland = wl != nullptr && *wl != '\0' && WaylandCompositorHasSeat();
        if (wayland) drivers_ = "wayland";
        if (x != nullptr && *x != '\0') drivers_ += drivers_.empty() ? "x11" : ",x11";
        if (drivers_.empty()) return;
        if (!wayland && !XServerAnswers()) return;
    }
    kickFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (kickFd_ < 0) return;
    // What SDL's start reads from the process's environment and locale is
    // set here, before the display task exists: neither may change while
    // another thread reads them (SDL looks at the environment for every
    // hint), so these stay for the run.
    // Xlib converts window titles (UTF-8) through the character type of the
    // C library's locale, which is "C" until someone sets it: titles beyond
    // ASCII would reach the desktop mangled. The user's own is taken when it
    // is UTF-8, else C.UTF-8; the rest of the program handles its text byte
    // by byte and is not changed by it.
    const char* ctype = std::setlocale(LC_CTYPE, "");
    if (ctype == nullptr || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
    // With no session bus named, libdbus would start one itself for SDL's
    // input methods: it forks the process from the display task while the
    // program's task draws, and a child forked while another thread holds a
    // lock of the allocator never gets to its exec, nor SDL's start past its
    // read. Input methods and the screen saver's inhibition need a session's
    // bus anyway.
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (bus == nullptr || *bus == '\0') setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    compose_.emplace();
    state_.store(2, std::memory_order_release);
    try {
        std::thread(&SdlBackend::Loop, this).detach();
    } catch (const std::system_error&) {  // no thread to be had: no display
        state_.store(-1, std::memory_order_release);
        return;
    }
    taskRunning_.store(true, std::memory_order_release);
    // At the end of the process the task lets SDL be: a display server that
    // goes first (a session's end, a test's own server) is then no error.
    std::atexit([] { static_cast<SdlBackend*>(gfx::CreateSdlBackend())->Quit(); });
    if (named_) {
        std::unique_lock<std::mutex> lock(lock_);
        done_.wait(lock, [this] { return state_.load(std::memory_order_acquire) != 2; });
    }
}

// On the display task, before its loop.
void SdlBackend::Start() {
    gSdl = LoadSdlLibrary();
    if (gSdl == nullptr) return;
    // Over an empty SDL_VIDEODRIVER in the environment too.
    if (!named_) gSdl->SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers_.c_str(), SDL_HINT_OVERRIDE);
    // Ctrl-C and termination are the platform's break signals, not SDL's.
    gSdl->SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    gSdl->SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The desktop-bus library that SDL starts for input methods keeps a
    // block of its own to the end of the process; the leak checker of
    // the sanitizer builds need not report it.
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
    // A display server that is busy can refuse a connection for a moment
    // (its queue of new connections is full): SDL then finds no driver.
    // A few tries a short while apart tell that from a display that is
    // not there, which still fails within a fraction of a second.
    bool started = false;
    for (int attempt = 0; attempt < 4 && !started; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(40));
        started = gSdl->SDL_Init(SDL_INIT_VIDEO) == 0;
    }
    if (started) gSdl->SDL_StartTextInput();
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    if (!started) return;
    if (!named_ && !ShowsAWindow(gSdl->SDL_GetCurrentVideoDriver())) {
        gSdl->SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return;
    }
    // On X the window surface goes to the server's own shared-memory
    // images, not through a 3-D renderer that may be emulated in
    // software. Wayland has no such images: there a window surface is
    // only had through SDL's renderer, so its own choice stands.
    const char* current = gSdl->SDL_GetCurrentVideoDriver();
    if (current != nullptr && std::strcmp(current, "x11") == 0)
        gSdl->SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Wayland tells SDL neither the panels nor a window's frame.
    if (current != nullptr && std::strcmp(current, "wayland") == 0) {
        const WorkArea area = WaylandWorkArea();
        waylandArea_ = SDL_Rect{0, 0, area.w, area.h};
    }
    state_.store(1, std::memory_order_release);
    // SDL stays up until the process ends: every window has been closed
    // by then, and its connections go with the process.
}

bool SdlBackend::ShowsAWindow(const char* driver) {
    return driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

bool SdlBackend::Live() const { return state_.load(std::memory_order_acquire) == 1; }

void SdlBackend::Quit() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (std::this_thread::get_id() == taskThread_) return;  // the task itself is ending the process
    }
    Call([this] { quit_ = true; });
}

void SdlBackend::Loop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        taskThread_ = std::this_thread::get_id();
    }
    Start();
    std::unique_lock<std::mutex> lock(lock_);
    if (!Live()) state_.store(-1, std::memory_order_release);
    done_.notify_all();
    bool serverSent = false;
    while (!quit_) {
        while (!commands_.empty()) {
            std::function<void()> command = std::move(commands_.front());
            commands_.pop_front();
            command();
            ++run_;
            done_.notify_all();
        }
        if (quit_) break;
        bool urgent;
        {
            std::lock_guard<std::mutex> guard(rowsLock_);
            live_ = screens_;
            urgent = urgent_;
            urgent_ = false;
        }
        if (!Live()) {
            // SDL did not start after all (the server went between the
            // check and the start): a screen's window is told to stop, so
            // no one waits for input that cannot come.
            for (SdlScreen* s : live_) {
                if (s->modelWindow != nullptr && !s->stopPosted) {
                    Post(s, IDCMP_VANILLAKEY, 0x1B);
                    s->stopPosted = true;
                }
            }
            Sleep(lock, -1);
            serverSent = false;
            continue;
        }
        for (SdlScreen* s : live_) {
            bool wanted;
            {
                std::lock_guard<std::mutex> guard(rowsLock_);
                wanted = s->wanted;
            }
            if (s->window == nullptr && wanted) MakeWindow(s);
        }
        if (kept_ != nullptr &&
            (kept_->closeAsked || gSdl->SDL_GetTicks64() - kept_->keptAt >= kKeepWindowMs))
            DestroyKeptWindow();
        bool windows = kept_ != nullptr;
        for (const SdlScreen* s : live_) windows = windows || s->window != nullptr;
        if (!windows) {
            Sleep(lock, -1);
            serverSent = false;
            continue;
        }
        uint64_t since = gSdl->SDL_GetTicks64() - lastFrame_;
        if (urgent || since >= kFrameMs) {
            Frame();
            since = 0;
        } else if (serverSent) {
            Pump();  // input at once; what it changes in the window waits for the frame
        }
        serverSent = Sleep(lock, int64_t(std::max(kMinSliceMs, kFrameMs - std::min(since, kFrameMs))));
    }
}

// Up to `ms` (for ever when negative), until kicked, or, while a window is
// up on X, until the server sends something; commands can be given
// meanwhile. Everything SDL had read from the connection was taken by the
// last look at the events, so what is left to see is on the connection.
// True when the server sent something: the events are to be taken now.
bool SdlBackend::Sleep(std::unique_lock<std::mutex>& lock, int64_t ms) {
    lock.unlock();
    pollfd fds[2] = {{kickFd_, POLLIN, 0}, {xFd_, POLLIN, 0}};
    const nfds_t count = ms >= 0 && xFd_ >= 0 ? 2 : 1;
    const bool woken = poll(fds, count, ms < 0 ? -1 : static_cast<int>(ms)) > 0;
    if (woken && (fds[0].revents & POLLIN) != 0) {
        uint64_t kicks = 0;
        if (read(kickFd_, &kicks, sizeof kicks) < 0) kicks = 0;  // emptied: the next kick wakes it again
    }
    lock.lock();
    return woken && count == 2 && fds[1].revents != 0;
}

void SdlBackend::Kick() {
    const uint64_t one = 1;
    if (write(kickFd_, &one, sizeof one) < 0) return;  // the counter is full: the task is awake anyway
}

void SdlBackend::Send(std::function<void()> command) {
    if (!taskRunning_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> guard(lock_);
    if (quit_) return;
    commands_.push_back(std::move(command));
    ++sent_;
    Kick();
}

void SdlBackend::Call(std::function<void()> command) {
    if (!taskRunning_.load(std::memory_order_acquire)) return;
    std::unique_lock<std::mutex> lock(lock_);
    if (quit_) return;
    commands_.push_back(std::move(command));
    const uint64_t ticket = ++sent_;
    Kick();
    done_.wait(lock, [&] { return run_ >= ticket; });
}

}  // namespace os::sdl
