// Display modes, screens and windows: the part of intuition, graphics and
// cybergraphics that does not depend on how a screen is shown, with the
// pointers (pointer_objects.cpp), colours and pixel writes (pixel_writes.cpp)
// beside it. The backend (SDL or headless) is told of every change.
#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/exec/wait_hooks.h"
#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/graphics_model.h"

namespace os {

namespace {

// A mode id holds the mode itself: bit 30 marks an id of ours, bit 31 a
// 24-bit mode, bits 14..27 width - 1 and bits 0..13 height - 1. Bits 28 and
// 29 stay clear, so no id is INVALID_ID.
constexpr uint32_t kMaxSide = 16384;
constexpr uint32_t kModeMark = 1u << 30;
constexpr uint32_t kModeDeep = 1u << 31;

struct Mode {
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t depth = 0;
};

bool DecodeMode(uint32_t id, Mode& mode) {
    if (id == INVALID_ID || (id & kModeMark) == 0 || (id & (3u << 28)) != 0) return false;
    mode.width = ((id >> 14) & 0x3FFF) + 1;
    mode.height = (id & 0x3FFF) + 1;
    mode.depth = (id & kModeDeep) ? 24 : 8;
    return true;
}

// Colours of a screen opened without SA_Colors32: black and white first (so
// a two-colour picture without a colour map reads as ink on paper), 14 plain
// colours, a 6x6x6 colour cube and a grey ramp.
void FillDefaultPalette(Rgb palette[256]) {
    static const Rgb kFirst[16] = {
        {0, 0, 0},       {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
        {0, 0, 255},     {255, 255, 0},   {255, 0, 255}, {0, 255, 255},
        {170, 170, 170}, {85, 85, 85},    {170, 0, 0},   {0, 170, 0},
        {0, 0, 170},     {170, 85, 0},    {170, 0, 170}, {0, 170, 170}};
    for (int i = 0; i < 16; ++i) palette[i] = kFirst[i];
    static const uint8_t kLevels[6] = {0, 51, 102, 153, 204, 255};
    for (int i = 0; i < 216; ++i)
        palette[16 + i] = {kLevels[i / 36], kLevels[(i / 6) % 6], kLevels[i % 6]};
    for (int i = 0; i < 24; ++i) {
        auto v = static_cast<uint8_t>(8 + i * 10);
        palette[232 + i] = {v, v, v};
    }
}

// Framebuffers are anonymous mappings: their pages are zero until first
// written. Large ones ask for transparent huge pages, so drawing a big
// picture takes a few hundred page faults instead of hundreds of thousands,
// and a worker makes the pages ready ahead of the rows
// (framebuffer_prefault.h). A small one keeps ordinary pages: a huge page
// would have the kernel clear 2 MiB for a screen of a few hundred KiB.
constexpr size_t HUGE_PAGE = size_t(2) << 20;
constexpr size_t SMALL_PAGE = 4096;
constexpr size_t HUGE_PAGES_FROM = 2 * HUGE_PAGE;

size_t FramebufferBytes(const ScreenPrivate* sp) {
    size_t bytes = sp->stride * sp->bitmapHeight;
    if (bytes == 0) bytes = 1;  // still one page: a mapping is never empty
    const size_t unit = bytes >= HUGE_PAGES_FROM ? HUGE_PAGE : SMALL_PAGE;
    return (bytes + unit - 1) / unit * unit;
}

// `bytes` comes from FramebufferBytes. A large mapping is aligned to a huge
// page, so the kernel can back it with huge pages.
uint8_t* AllocFramebuffer(size_t bytes) {
    if (bytes < HUGE_PAGES_FROM) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
    }
    size_t span = bytes + HUGE_PAGE;
    void* p = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    auto start = reinterpret_cast<uintptr_t>(p);
    uintptr_t aligned = (start + HUGE_PAGE - 1) & ~(uintptr_t(HUGE_PAGE) - 1);
    if (aligned > start) munmap(p, aligned - start);
    size_t tail = start + span - (aligned + bytes);
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);  // advice only
    return reinterpret_cast<uint8_t*>(aligned);
}

void FreeScreen(Screen* screen) {
    if (screen == nullptr) return;
    if (screen->priv != nullptr) {
        screen->priv->prefault.Stop();
        if (screen->priv->pixels != nullptr) munmap(screen->priv->pixels, FramebufferBytes(screen->priv));
        delete screen->priv;
    }
    delete screen;
}

void ReclaimReplies(WindowPrivate* wp) {
    if (wp->replyPort == nullptr) return;
    while (Message* m = GetMsg(wp->replyPort)) {
        auto* im = reinterpret_cast<IntuiMessage*>(m);
        for (size_t i = 0; i < wp->messages.size(); ++i) {
            if (wp->messages[i] == im) {
                wp->messages[i] = wp->messages.back();
                wp->messages.pop_back();
                delete im;
                break;
            }
        }
    }
}

}  // namespace

namespace gfx {

BitMapSize KeptBitMapSize(uint32_t w, uint32_t h, uint32_t wantW, uint32_t wantH) {
    BitMapSize kept{w, h};
    if (wantW > w) kept.width = wantW < kMaxKeptSide ? wantW : (w > kMaxKeptSide ? w : kMaxKeptSide);
    if (wantH > h) kept.height = wantH < kMaxKeptSide ? wantH : (h > kMaxKeptSide ? h : kMaxKeptSide);
    const uint64_t screen = uint64_t{w} * h;
    const uint64_t budget = screen > kKeptPixelBudget ? screen : kKeptPixelBudget;
    if (uint64_t{kept.width} * kept.height <= budget) return kept;
    // Both sides give up the same share of what lies beyond the screen, so
    // the kept part keeps the picture's shape as far as the screen allows.
    // The share is found by halving: the largest at which the area fits.
    auto area = [&](uint64_t keep, uint64_t of) {  // keep / of of the excess kept
        const uint64_t kw = w + (uint64_t{kept.width} - w) * keep / of;
        const uint64_t kh = h + (uint64_t{kept.height} - h) * keep / of;
        return BitMapSize{static_cast<uint32_t>(kw), static_cast<uint32_t>(kh)};
    };
    constexpr uint64_t kSteps = 1u << 16;
    uint64_t low = 0, high = kSteps;  // area(low) fits, area(high) does not
    while (high - low > 1) {
        const uint64_t mid = (low + high) / 2;
        const BitMapSize s = area(mid, kSteps);
        if (uint64_t{s.width} * s.height <= budget) low = mid;
        else high = mid;
    }
    return area(low, kSteps);
}

WindowRegistry& OpenWindows() {
    static WindowRegistry registry;
    return registry;
}

namespace {
void DispatchWaitHook(uint32_t signalMask) { CurrentBackend()->waitHook(signalMask); }
}  // namespace

Backend* CurrentBackend() {
    static Backend* backend = [] {
        const char* choice = std::getenv("LANTERNA_DISPLAY");
        Backend* b = (choice != nullptr && std::strcmp(choice, "headless") == 0)
                         ? CreateHeadlessBackend()
                         : CreateSdlBackend();
        internal::SetWaitHook(&DispatchWaitHook);
        OpenTrace();
        return b;
    }();
    return backend;
}

void CopyPalette(Screen* screen, Rgb out[256]) {
    std::lock_guard<std::mutex> guard(screen->priv->paletteLock);
    std::memcpy(out, screen->priv->palette, sizeof(screen->priv->palette));
}

bool PostInput(Window* window, uint32_t imClass, uint16_t code) {
    if (window == nullptr || window->priv == nullptr || window->UserPort == nullptr) return false;
    auto* wp = static_cast<WindowPrivate*>(window->priv);
    if ((wp->idcmp & imClass) == 0) return false;
    ReclaimReplies(wp);
    auto* im = new (std::nothrow) IntuiMessage();
    if (im == nullptr) return false;
    wp->messages.push_back(im);
    im->ExecMessage.mn_Node.ln_Type = NT_MESSAGE;
    im->ExecMessage.mn_ReplyPort = wp->replyPort;
    im->ExecMessage.mn_Length = static_cast<uint16_t>(sizeof(IntuiMessage));
    im->Class = imClass;
    im->Code = code;
    im->IDCMPWindow = window;
    PutMsg(window->UserPort, &im->ExecMessage);
    return true;
}

}  // namespace gfx

void InitBitMap(BitMap* bitmap, int8_t depth, uint16_t width, uint16_t height) {
    if (bitmap == nullptr) return;
    bitmap->BytesPerRow = static_cast<uint16_t>(2 * ((static_cast<uint32_t>(width) + 15) / 16));
    bitmap->Rows = height;
    bitmap->Flags = 0;
    bitmap->Depth = static_cast<uint8_t>(depth);
}

uint32_t BestCModeIDTags(Tags tags) {
    uint32_t width = 0;
    uint32_t height = 0;
    uintptr_t depth = 8;
    gfx::ForEachTag(tags, [&](uint32_t tag, uintptr_t data) {
        if (tag == CYBRBIDTG_NominalWidth) width = data > kMaxSide ? kMaxSide + 1 : static_cast<uint32_t>(data);
        if (tag == CYBRBIDTG_NominalHeight) height = data > kMaxSide ? kMaxSide + 1 : static_cast<uint32_t>(data);
        if (tag == CYBRBIDTG_Depth) depth = data;
    });
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return INVALID_ID;
    if (depth != 8 && depth != 24) return INVALID_ID;
    return kModeMark | (depth == 24 ? kModeDeep : 0) | ((width - 1) << 14) | (height - 1);
}

bool DisplayAvailable() { return gfx::CurrentBackend()->available(); }

void ReleaseKeptWindows() { gfx::CurrentBackend()->releaseKept(); }

Screen* OpenScreenTags(const void* /*newScreen*/, Tags tags) {
    uint32_t modeId = INVALID_ID;
    uintptr_t depth = 0;
    uintptr_t wantWidth = 0, wantHeight = 0;
    const uint32_t* colours = nullptr;
    gfx::ForEachTag(tags, [&](uint32_t tag, uintptr_t data) {
        if (tag == SA_DisplayID) modeId = static_cast<uint32_t>(data);
        if (tag == SA_Width) wantWidth = data;
        if (tag == SA_Height) wantHeight = data;
        if (tag == SA_Depth) depth = data;
        if (tag == SA_Colors32) colours = reinterpret_cast<const uint32_t*>(data);
        // SA_Quiet, SA_ShowTitle, SA_BackFill and SA_Interleaved ask for what
        // every screen here is: no title bar, no gadgets, no system fill.
    });
    Mode mode;
    if (!DecodeMode(modeId, mode)) return nullptr;
    if (depth != 0 && depth != static_cast<uintptr_t>(mode.depth)) return nullptr;
    gfx::Backend* backend = gfx::CurrentBackend();
    if (!backend->available()) return nullptr;

    auto* screen = new (std::nothrow) Screen();
    if (screen == nullptr) return nullptr;
    screen->priv = new (std::nothrow) ScreenPrivate();
    if (screen->priv == nullptr) {
        FreeScreen(screen);
        return nullptr;
    }
    ScreenPrivate* sp = screen->priv;
    sp->width = mode.width;
    sp->height = mode.height;
    sp->depth = mode.depth;
    sp->bytesPerPixel = mode.depth == 24 ? 3 : 1;
    sp->bitmapWidth = sp->width;
    sp->bitmapHeight = sp->height;
    if (backend->keepsAreaBeyondScreen()) {
        const gfx::BitMapSize kept = gfx::KeptBitMapSize(
            sp->width, sp->height, wantWidth > kMaxSide ? kMaxSide : static_cast<uint32_t>(wantWidth),
            wantHeight > kMaxSide ? kMaxSide : static_cast<uint32_t>(wantHeight));
        sp->bitmapWidth = kept.width;
        sp->bitmapHeight = kept.height;
    }
    sp->stride = static_cast<size_t>(sp->bitmapWidth) * sp->bytesPerPixel;
    sp->pixels = AllocFramebuffer(FramebufferBytes(sp));
    if (sp->pixels == nullptr) {
        FreeScreen(screen);
        return nullptr;
    }
    sp->prefault.Start(sp->pixels, sp->stride * sp->bitmapHeight);
    FillDefaultPalette(sp->palette);
    if (colours != nullptr) gfx::ApplyColourTable(sp->palette, colours);
    screen->Width = static_cast<int16_t>(sp->width > 32767 ? 32767 : sp->width);
    screen->Height = static_cast<int16_t>(sp->height > 32767 ? 32767 : sp->height);
    screen->ViewPort.screen = screen;
    screen->RastPort.screen = screen;
    if (!backend->screenOpened(screen)) {
        FreeScreen(screen);
        return nullptr;
    }
    return screen;
}

void CloseScreen(Screen* screen) {
    if (screen == nullptr || screen->priv == nullptr) return;
    // As on the real system, a screen with a window still open stays open.
    if (screen->priv->window != nullptr) return;
    gfx::Backend* backend = gfx::CurrentBackend();
    if (screen->priv->drawn) backend->discarding(screen);
    backend->screenClosing(screen);
    FreeScreen(screen);
}

Window* OpenWindowTags(const void* /*newWindow*/, Tags tags) {
    Screen* screen = nullptr;
    uintptr_t left = 0, top = 0, width = 0, height = 0, idcmp = 0;
    bool haveWidth = false, haveHeight = false;
    PointerKind pointerKind = PointerKind::Normal;
    const Object* pointer = nullptr;
    gfx::ForEachTag(tags, [&](uint32_t tag, uintptr_t data) {
        switch (tag) {
            case WA_CustomScreen: screen = reinterpret_cast<Screen*>(data); break;
            case WA_Left: left = data; break;
            case WA_Top: top = data; break;
            case WA_Width: width = data; haveWidth = true; break;
            case WA_Height: height = data; haveHeight = true; break;
            case WA_IDCMP: idcmp = data; break;
            case WA_BusyPointer:
                if (data != 0) pointerKind = PointerKind::Busy;
                break;
            case WA_Pointer:
                pointer = reinterpret_cast<const Object*>(data);
                if (pointer != nullptr) pointerKind = PointerKind::Custom;
                break;
            default: break;  // backdrop, borderless, refresh and activation: what every window is
        }
    });
    if (screen == nullptr || screen->priv == nullptr || screen->priv->window != nullptr) return nullptr;
    ScreenPrivate* sp = screen->priv;
    if (left >= sp->width || top >= sp->height) return nullptr;
    if (!haveWidth || width > sp->width - left) width = sp->width - left;
    if (!haveHeight || height > sp->height - top) height = sp->height - top;
    if (width == 0 || height == 0) return nullptr;

    auto* window = new (std::nothrow) Window();
    auto* wp = new (std::nothrow) WindowPrivate();
    if (window == nullptr || wp == nullptr) {
        delete window;
        delete wp;
        return nullptr;
    }
    window->priv = wp;
    wp->idcmp = static_cast<uint32_t>(idcmp);
    wp->pointerKind = pointerKind;
    wp->pointer = pointer;
    if (idcmp != 0) {
        window->UserPort = CreateMsgPort();
        wp->replyPort = window->UserPort != nullptr ? CreateMsgPort() : nullptr;
        if (wp->replyPort == nullptr) {
            DeleteMsgPort(window->UserPort);
            delete wp;
            delete window;
            return nullptr;
        }
        wp->replyPort->mp_Flags = PA_IGNORE;  // replies are collected, not waited for
    }
    window->LeftEdge = static_cast<int16_t>(left);
    window->TopEdge = static_cast<int16_t>(top);
    window->Width = static_cast<int16_t>(width > 32767 ? 32767 : width);
    window->Height = static_cast<int16_t>(height > 32767 ? 32767 : height);
    window->RPort = &screen->RastPort;
    window->WScreen = screen;
    sp->window = window;
    {
        gfx::WindowRegistry& reg = gfx::OpenWindows();
        std::lock_guard<std::mutex> guard(reg.lock);
        reg.windows.push_back(window);
        reg.count.fetch_add(1);
    }
    gfx::CurrentBackend()->windowOpened(window);
    return window;
}

void CloseWindow(Window* window) {
    if (window == nullptr || window->priv == nullptr) return;
    auto* wp = static_cast<WindowPrivate*>(window->priv);
    gfx::CurrentBackend()->windowClosing(window);
    {
        gfx::WindowRegistry& reg = gfx::OpenWindows();
        std::lock_guard<std::mutex> guard(reg.lock);
        for (size_t i = 0; i < reg.windows.size(); ++i) {
            if (reg.windows[i] == window) {
                reg.windows.erase(reg.windows.begin() + static_cast<std::ptrdiff_t>(i));
                reg.count.fetch_sub(1);
                break;
            }
        }
    }
    // Messages still queued or not yet replied die with the window.
    if (window->UserPort != nullptr) {
        while (GetMsg(window->UserPort) != nullptr) {
        }
        DeleteMsgPort(window->UserPort);
    }
    if (wp->replyPort != nullptr) {
        while (GetMsg(wp->replyPort) != nullptr) {
        }
        DeleteMsgPort(wp->replyPort);
    }
    for (IntuiMessage* im : wp->messages) delete im;
    if (window->WScreen != nullptr && window->WScreen->priv != nullptr)
        window->WScreen->priv->window = nullptr;
    delete wp;
    delete window;
}

void ScreenToFront(Screen* screen) {
    if (screen == nullptr || screen->priv == nullptr) return;
    gfx::CurrentBackend()->toFront(screen);
}

void SetWindowTitles(Window* window, const char* windowTitle, const char* /*screenTitle*/) {
    if (window == nullptr || window->priv == nullptr) return;
    gfx::CurrentBackend()->titleChanged(window, windowTitle != nullptr ? windowTitle : "");
}

void HoldScreenPresents(Screen* screen, bool hold) {
    if (screen == nullptr || screen->priv == nullptr) return;
    gfx::CurrentBackend()->holdPresents(screen, hold);
}

void SetWindowPaced(Window* window, bool paced) {
    if (window == nullptr || window->priv == nullptr) return;
    auto* wp = static_cast<WindowPrivate*>(window->priv);
    wp->paced = paced;
    wp->pacedQuiet = false;
}

void SetWindowInfo(Window* window, const char* text) {
    if (window == nullptr || window->priv == nullptr) return;
    gfx::CurrentBackend()->infoChanged(window, text != nullptr ? text : "");
}

}  // namespace os
