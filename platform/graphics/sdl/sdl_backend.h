// The SDL2 backend: every screen is a real window on the desktop.
//
// SDL is called from one thread only, the display task (display_task.cpp),
// which starts SDL, makes the windows, takes their events and presents.
// The program's tasks never wait for it while a picture is read: SDL's
// start (the longest part of showing a first picture) runs while the file
// is opened and its first rows are written into the screen's framebuffer,
// and a screen's window is made only once its first rows are there or the
// program waits on it, so a picture that fails before its first row shows
// none. The program reaches the display task through commands (Send: in
// order, not waited for; Call: waited for) and through a few fields of a
// screen's record under the rows lock (rows written, presents held, the
// window wanted), which is never held across a call of SDL: a row written
// while the display task waits on the display server is not held up. The
// framebuffer's pixels are read here under the screen's pixel lock, which
// the drawing calls hold while they write (graphics_internal.h). The palette is reached as before, under
// its own lock, its serial telling of new colours.
//
// The backend's record and its table, shared by its files: the table
// (sdl_backend.cpp), the display task and SDL's start (display_task.cpp),
// the windows made, kept and fitted (sdl_windows.cpp), events
// (sdl_events.cpp), frames and presenting (sdl_present.cpp).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/sdl/compose_table.h"
#include "platform/graphics/sdl/palette_damage.h"
#include "platform/graphics/sdl/sdl_library.h"
#include "platform/graphics/sdl/view.h"
#include "platform/graphics/sdl/window_size.h"

namespace os::sdl {

// The loaded library; set once SDL is wanted and found.
extern const SdlLibrary* gSdl;

constexpr uint64_t kFrameMs = 16;
// How long a new window waits for the window manager's frame.
constexpr uint64_t kFrameWaitMs = 1500;
// The display task sleeps until the next frame is due (or it is woken: a
// command, rows, a wait, the X server sending input), so a picture standing
// still or cycling wakes it once a frame, but never for less than this.
constexpr uint64_t kMinSliceMs = 1;

struct SdlScreen {
    Screen* screen = nullptr;
    SDL_Window* window = nullptr;  // made once wanted (MakeWindow)
    // Under the rows lock: the program's task sets them as it draws and waits.
    uint32_t pendingTop = 0;       // rows [pendingTop, pendingBottom) written since the
    uint32_t pendingBottom = 0;    // display task last took them (TakeRows)
    bool wanted = false;           // its first rows are written or its window awaited
    bool held = false;             // HoldScreenPresents
    bool rowsShown = false;        // a present has shown rows of the picture (written, not filled)
    // The display task's own from here on.
    Task* owner = nullptr;         // the task that opened the screen (and alone opens its window)
    Window* modelWindow = nullptr; // the screen's window while it is open: input goes there
    PointerKind pointerKind = PointerKind::Normal;  // the model window's pointer, as last set
    const Object* pointer = nullptr;
    std::string title = "Lanterna";
    bool stopPosted = false;       // SDL failed to start: the window was told to stop
    uint32_t dirtyTop = 0;       // framebuffer rows [dirtyTop, dirtyBottom) written, to show
    uint32_t dirtyBottom = 0;
    uint32_t paletteShown = 0;   // paletteSerial of the colours in the window
    bool needPresent = true;     // the whole window: exposed, resized, new
    bool fullScreen = false;
    Placement placed;            // the part of the bitmap shown, and where in the window surface
    std::vector<uint32_t> xMap;  // source x of every surface x, from the view's left edge (placed.srcX)
    ViewState view;              // scrolled and zoomed by the window's own controls (view.h)
    Drag drag;
    int surfaceW = 0;            // the window surface's size at the last present
    int surfaceH = 0;
    std::string info;            // the picture's facts (SetWindowInfo)
    bool overlay = false;        // F1: keys and facts over the picture
    uint64_t openedAt = 0;       // SDL_GetTicks64 when the window was made
    bool frameAllowed = false;   // sized for its window manager's frame
    bool closeAsked = false;     // the user closed the window
    uint64_t keptAt = 0;         // when its screen closed (kept_window.h)
    bool tookOverFullScreen = false;  // taken over by a new screen while full screen
    uint64_t refitUntil = 0;     // after leaving that full screen: sized for the new screen until then
    PaletteDamage damage;        // which parts a change of colours reaches
    std::vector<DamageRect> changed;  // Present's own: those parts, in the bitmap
    std::vector<SDL_Rect> parts;      // and what it draws, in the surface
    Rgb shownPalette[256];       // the colours in the window (8-bit screens)
    bool paletteKnown = false;   // shownPalette has been filled
};

// Destroys the screen's window, then the record.
void Destroy(SdlScreen* s);

// The frame a window manager puts around a window, in pixels.
struct Borders {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

class SdlBackend final : public gfx::Backend {
public:
    bool available() override;
    bool screenOpened(Screen* screen) override;
    void screenClosing(Screen* screen) override;
    void windowOpened(Window* window) override;
    void windowClosing(Window*) override;
    bool keepsAreaBeyondScreen() override { return true; }
    void discarding(Screen* screen) override;
    void pixelArrayWritten(Screen*) override {}
    void rowsChanged(Screen* screen, uint32_t top, uint32_t bottom) override;
    void pointerChanged(Window* window) override;
    void toFront(Screen* screen) override;
    void titleChanged(Window* window, const char* title) override;
    void infoChanged(Window* window, const char* text) override;
    void releaseKept() override;
    void holdPresents(Screen* screen, bool hold) override;
    void waitHook(uint32_t signalMask) override;
    void runOnDisplayTask(const std::function<void()>& work) override { Call(work); }
    // The task stops calling SDL (at the end of the process).
    void Quit();

private:
    // The backend table (sdl_backend.cpp).
    SdlScreen* Of(Screen* screen) const;
    SdlScreen* ByWindowId(uint32_t id) const;
    void Post(SdlScreen* s, uint32_t imClass, uint16_t code);

    // The display task and SDL's start (display_task.cpp).
    void BeginStart();
    void Start();
    static bool ShowsAWindow(const char* driver);
    bool Live() const;
    void Loop();
    bool Sleep(std::unique_lock<std::mutex>& lock, int64_t ms);
    void Kick();
    bool TakeRows(SdlScreen* s);
    void Send(std::function<void()> command);
    void Call(std::function<void()> command);

    // The windows: made, kept for the next screen, fitted to the frame, their pointers (sdl_windows.cpp).
    void MakeWindow(SdlScreen* s);
    void WindowReady(SdlScreen* s);
    void KeepWindow(SdlScreen* s);
    void DestroyKeptWindow();
    bool TakeKeptWindow(SdlScreen* s, ClientSize size, SDL_Rect desk);
    void Refit(SdlScreen* s);
    SDL_Rect UsableDesktop();
    void AllowForFrame(SdlScreen* s);
    void FreeCustomCursor();
    void ApplyPointer(SdlScreen* s);

    // Events (sdl_events.cpp).
    void KeptWindowEvent(const SDL_WindowEvent& e);
    static int ControlCode(const SDL_Keysym& key);
    void Pump();
    bool ViewControl(const SDL_Event& e);

    // Frames and presenting (sdl_present.cpp).
    void Frame();
    static void DrawRows(SdlScreen* s, SDL_Surface* surface, const uint32_t* lut, uint32_t top, uint32_t bottom,
                         uint32_t left, uint32_t right);
    void Present(SdlScreen* s);
    void DrawOverlay(SdlScreen* s, SDL_Surface* surface);

    // 0 not tried, 2 starting, 1 running, -1 unavailable.
    std::atomic<int> state_{0};
    std::once_flag startOnce_;
    bool named_ = false;      // SDL_VIDEODRIVER names the driver: SDL alone decides
    std::string drivers_;     // otherwise the drivers tried, for the servers the environment names
    std::atomic<bool> taskRunning_{false};
    std::optional<EmptyComposeTableWhileStarting> compose_;  // set before the task starts, for the run

    // Under lock_: the commands, and whatever the display task does but SDL's
    // start and its sleep.
    std::mutex lock_;
    std::condition_variable done_;   // Call: its command has run
    std::deque<std::function<void()>> commands_;
    uint64_t sent_ = 0;              // commands sent, and run
    uint64_t run_ = 0;
    bool quit_ = false;              // the process is ending
    std::thread::id taskThread_;     // set by the task itself before anything else
    std::vector<SdlScreen*> live_;   // the open screens, as at the start of the task's turn

    // Under rowsLock_: the open screens, their records' fields said so, and
    // the wish for a frame now (first rows, or drawing has stopped for a wait).
    std::mutex rowsLock_;
    std::vector<SdlScreen*> screens_;
    bool urgent_ = false;

    // The display task's sleep: ended by a command, rows or a wait (Kick,
    // through an event counter), or by the X server sending something.
    int kickFd_ = -1;
    int xFd_ = -1;  // the display task's own: the X connection, once a window shows it
    Borders frame_;  // the window manager's frame around the last window
    SDL_Rect waylandArea_{0, 0, 0, 0};  // what a maximized window gets on Wayland (wayland_work_area.h)
    SdlScreen* kept_ = nullptr;      // the window of the screen closed last
    bool stopAtNextWindow_ = false;  // the kept window was closed by the user
    uint64_t lastFrame_ = 0;
    SDL_Cursor* waitCursor_ = nullptr;
    SDL_Cursor* customCursor_ = nullptr;
};

}  // namespace os::sdl
