// The screen model shared by the display backends.
//
// A screen owns one framebuffer of its mode's size: one byte per pixel (a
// palette index) on an 8-bit screen, three bytes (R, G, B) on a 24-bit one.
// The palette of 256 entries belongs to every screen; on a 24-bit screen it
// only gives the colour of SetRast's pen. Everything but the palette is
// touched by the task that owns the display; the palette is written by any
// task (LoadRGB32 from the cycling task) under its lock, and every change
// bumps paletteSerial so a backend can tell it has to show new colours.
// A backend that shows the framebuffer from a task of its own reads the
// pixels under pixelsLock, which the drawing calls hold while they write
// them (and never while they call the backend).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/graphics/framebuffer_prefault.h"
#include "platform/graphics/graphics.h"

namespace os {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};

struct ScreenPrivate {
    uint32_t width = 0;             // the visible screen: the mode's size
    uint32_t height = 0;
    uint32_t bitmapWidth = 0;       // the framebuffer: the visible size, or the
    uint32_t bitmapHeight = 0;      // larger area kept for scrolling
    int32_t depth = 8;              // 8 or 24
    uint32_t bytesPerPixel = 1;     // 1 or 3
    size_t stride = 0;              // bytes per framebuffer row (bitmapWidth pixels)
    uint8_t* pixels = nullptr;      // bitmapHeight * stride bytes
    bool drawn = false;             // pixels written since opened or cleared
    bool allZero = true;            // every byte is 0 (fresh, or cleared to black)
    Window* window = nullptr;       // the one window on this screen
    void* backend = nullptr;        // the backend's own record
    uint32_t tracedTop = 0;         // rows [tracedTop, tracedBottom) written since
    uint32_t tracedBottom = 0;      // the last present, kept only with LANTERNA_TRACE
    gfx::FramebufferPrefault prefault;  // pages made ready ahead of the rows

    std::mutex pixelsLock;          // pixels, drawn, allZero and the traced rows

    std::mutex paletteLock;
    Rgb palette[256];
    std::atomic<uint32_t> paletteSerial{0};
};

enum class PointerKind : uint8_t { Normal, Busy, Custom };

struct Object {
    uint32_t width = 0;             // pixels
    uint32_t height = 0;
    std::vector<uint8_t> image;     // width * height pen numbers, 0 transparent
    bool blank = true;              // every pixel transparent
};

struct WindowPrivate {
    uint32_t idcmp = 0;
    MsgPort* replyPort = nullptr;   // replied IntuiMessages come back here
    std::vector<IntuiMessage*> messages;  // every message not yet freed
    PointerKind pointerKind = PointerKind::Normal;
    const Object* pointer = nullptr;      // with PointerKind::Custom
    bool paced = false;                   // SetWindowPaced
    bool pacedQuiet = false;              // a "none" came while paced
};

namespace gfx {

// Copies the palette under its lock.
void CopyPalette(Screen* screen, Rgb out[256]);

// Queues an IntuiMessage on the window's port when the window asked for its
// class. Owner task only. False when it was not delivered.
bool PostInput(Window* window, uint32_t imClass, uint16_t code);

// What a backend does for the model. Every call but paletteChanged comes from
// the task that owns the display.
struct Backend {
    virtual ~Backend() = default;
    virtual bool available() = 0;
    virtual bool screenOpened(Screen* screen) = 0;  // false: the screen fails to open
    virtual void screenClosing(Screen* screen) = 0;
    virtual void windowOpened(Window* window) = 0;
    virtual void windowClosing(Window* window) = 0;
    // Drawn contents are about to go (cleared or closed).
    virtual void discarding(Screen* screen) = 0;
    // True when the backend shows a screen's bitmap beyond its visible size
    // (a person can scroll to it); otherwise no larger area is kept.
    virtual bool keepsAreaBeyondScreen() { return false; }
    // Framebuffer rows [top, bottom) changed; called for every WritePixelArray and SetRast.
    virtual void rowsChanged(Screen* screen, uint32_t top, uint32_t bottom) = 0;
    virtual void pixelArrayWritten(Screen* screen) = 0;
    virtual void pointerChanged(Window* window) = 0;
    virtual void toFront(Screen* screen) = 0;
    virtual void waitHook(uint32_t signalMask) = 0;
    // The window's title changed (UTF-8); only a desktop's window shows it.
    virtual void titleChanged(Window* /*window*/, const char* /*title*/) {}
    // The picture's facts for the window's F1 overlay changed (UTF-8 lines).
    virtual void infoChanged(Window* /*window*/, const char* /*text*/) {}
    // HoldScreenPresents.
    virtual void holdPresents(Screen* /*screen*/, bool /*hold*/) {}
    // A window kept for the next screen is to go now.
    virtual void releaseKept() {}
    // Runs `work` where the backend's own library may be called (tests
    // look at the SDL windows so), and returns once it has run.
    virtual void runOnDisplayTask(const std::function<void()>& work) { work(); }
};

// The bitmap a screen of w x h keeps when wantW x wantH is asked for: at
// least the screen, at most what was asked and kMaxKeptSide a side, and
// within kKeptPixelBudget pixels unless the screen alone is larger. A picture
// beyond that (a header of 25452 x 26979) keeps its top-left part of that
// budget and is clipped beyond it, as the screen alone would clip it.
constexpr uint32_t kMaxKeptSide = 16384;
constexpr uint64_t kKeptPixelBudget = uint64_t{32} << 20;
struct BitMapSize {
    uint32_t width = 0;
    uint32_t height = 0;
};
BitMapSize KeptBitMapSize(uint32_t w, uint32_t h, uint32_t wantW, uint32_t wantH);

// A backend calls this once it has put a screen's new pixels in front of
// the user. With LANTERNA_TRACE=FILE set when the backend was chosen, every
// present that shows rows written since the one before appends a line
// "NANOSECONDS TOP BOTTOM" (CLOCK_MONOTONIC; rows [TOP, BOTTOM)) to FILE, so
// a benchmark can tell when the first and the last row of a picture reached
// the screen. Without the variable it returns at once.
void NotePresented(Screen* screen);

Backend* CreateHeadlessBackend();
Backend* CreateSdlBackend();

// The backend of this process: headless when LANTERNA_DISPLAY is "headless",
// SDL otherwise. Chosen once.
Backend* CurrentBackend();

// The windows open now, for the wait hooks: the list under its lock, and a
// count that any task may read without it.
struct WindowRegistry {
    std::mutex lock;
    std::vector<Window*> windows;
    std::atomic<int32_t> count{0};
};
WindowRegistry& OpenWindows();

}  // namespace gfx
}  // namespace os
