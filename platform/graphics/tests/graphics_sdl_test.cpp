// The SDL backend on a virtual X server: SDL events become the window's IDCMP
// messages (keys without a character give none, Page Up and Page Down raw
// keys), F11 switches full screen, closing the window stops, a wait ends on
// any awaited signal, and a closed screen's window is kept a moment for the
// next screen. SDL belongs to the backend's display task: the tests look at
// its windows there (OnDisplay).
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/sdl/sdl_backend.h"
#include "tests/support/window_events.h"
#include "tests/support/xvfb_support.h"

namespace {

// The real backend, whatever the test runner asked for.
const bool kSdl = (unsetenv("LANTERNA_DISPLAY"), true);

using window_test::Event;

void OnDisplay(const std::function<void()>& work) { os::gfx::CurrentBackend()->runOnDisplayTask(work); }

// A screen's window is made once it is wanted: waiting on it wants it.
void Want(os::Window* window) {
    for (int i = 0; i < 100; ++i) {
        window_test::Serve(window, 20);
        bool made = false;
        OnDisplay([&] {
            const auto* s = static_cast<const os::sdl::SdlScreen*>(window->WScreen->priv->backend);
            made = s != nullptr && s->window != nullptr;
        });
        if (made) return;
    }
}

class SdlWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!xvfb_test::HaveProgram("Xvfb")) return;
        if (xvfb_test::StartXvfb() < 0) return;
        available_ = os::DisplayAvailable();
    }

    void SetUp() override {
        if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(available_) << "SDL could not start on the virtual X server";
        uint32_t mode = os::BestCModeIDTags(
            {{os::CYBRBIDTG_NominalWidth, 64}, {os::CYBRBIDTG_NominalHeight, 48}, {os::CYBRBIDTG_Depth, 8}});
        screen_ = os::OpenScreenTags(nullptr, {{os::SA_DisplayID, mode}, {os::SA_Depth, 8}});
        ASSERT_NE(screen_, nullptr);
        window_ = os::OpenWindowTags(nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(screen_)},
                                               {os::WA_IDCMP, os::IDCMP_VANILLAKEY | os::IDCMP_MOUSEBUTTONS},
                                               {os::WA_BusyPointer, 1}});
        ASSERT_NE(window_, nullptr);
        Want(window_);
        OnDisplay([&] {
            for (uint32_t id = 1; id < 256; ++id) {
                SDL_Window* w = SDL_GetWindowFromID(id);
                if (w != nullptr && std::strcmp(SDL_GetWindowTitle(w), "Lanterna") == 0) sdlWindow_ = w;
            }
        });
        ASSERT_NE(sdlWindow_, nullptr);
    }

    void TearDown() override {
        os::CloseWindow(window_);
        os::CloseScreen(screen_);
    }

    // Serves the window as the program would for `ms`; the messages that arrived.
    std::vector<Event> WaitFor(int ms) { return window_test::Serve(window_, ms); }

    void Key(SDL_Keycode sym, uint16_t mod = 0, uint8_t repeat = 0) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = SDL_GetWindowID(sdlWindow_);
        e.key.state = SDL_PRESSED;
        e.key.repeat = repeat;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }
    void Text(const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = SDL_GetWindowID(sdlWindow_);
        std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        SDL_PushEvent(&e);
    }
    void Button(uint8_t button, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = SDL_GetWindowID(sdlWindow_);
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        SDL_PushEvent(&e);
    }
    void Close() {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(sdlWindow_);
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        SDL_PushEvent(&e);
    }

    static bool available_;
    os::Screen* screen_ = nullptr;
    os::Window* window_ = nullptr;
    SDL_Window* sdlWindow_ = nullptr;
};

bool SdlWindow::available_ = false;

constexpr uint32_t kKey = os::IDCMP_VANILLAKEY;
constexpr uint32_t kButton = os::IDCMP_MOUSEBUTTONS;

TEST_F(SdlWindow, EventsBecomeIdcmpMessagesAndKeysWithoutCharactersGiveNone) {
    WaitFor(100);  // whatever the window manager-less server sends at mapping
    Key(SDLK_ESCAPE);
    Key(SDLK_TAB);
    Key(SDLK_c, KMOD_LCTRL);
    Key(SDLK_RETURN);
    Key(SDLK_LEFT);
    Key(SDLK_F1);
    Key(SDLK_LSHIFT);
    Key(SDLK_a);                 // its character comes as text
    Key(SDLK_ESCAPE, 0, 1);      // held down: not again
    Text("a");
    Text("\xC3\xA9");            // e acute, Latin-1 0xE9
    Text("\xE2\x82\xAC");        // the euro sign has no Latin-1 code
    Text("Z!");
    Button(SDL_BUTTON_LEFT, true);
    Button(SDL_BUTTON_LEFT, false);
    Button(SDL_BUTTON_MIDDLE, true);
    Button(SDL_BUTTON_MIDDLE, false);
    Button(SDL_BUTTON_RIGHT, true);
    Button(SDL_BUTTON_RIGHT, false);
    Button(SDL_BUTTON_X1, true);
    Close();
    std::vector<Event> expected = {
        {kKey, 0x1B}, {kKey, 0x09}, {kKey, 0x03}, {kKey, 0x0D}, {kKey, 'a'}, {kKey, 0xE9},
        {kKey, 'Z'}, {kKey, '!'},
        {kButton, os::SELECTDOWN}, {kButton, os::SELECTUP}, {kButton, os::MIDDLEDOWN}, {kButton, os::MIDDLEUP},
        {kButton, os::MENUDOWN}, {kButton, os::MENUUP},
        {kKey, 0x1B},  // the window closed: stop
    };
    EXPECT_EQ(WaitFor(300), expected);
}

TEST_F(SdlWindow, F11SwitchesFullScreenAndIsNoInput) {
    WaitFor(50);
    auto flags = [&] {
        uint32_t f = 0;
        OnDisplay([&] { f = SDL_GetWindowFlags(sdlWindow_); });
        return f;
    };
    Key(SDLK_F11);
    EXPECT_TRUE(WaitFor(300).empty());
    EXPECT_NE(flags() & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    Key(SDLK_F11);
    EXPECT_TRUE(WaitFor(300).empty());
    EXPECT_EQ(flags() & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
}

TEST_F(SdlWindow, WaitEndsOnOtherSignalsWhileTheWindowIsServed) {
    os::Task* me = os::FindTask(nullptr);
    std::thread other([me] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        os::Signal(me, os::SIGBREAKF_CTRL_E);
    });
    auto start = std::chrono::steady_clock::now();
    uint32_t got = os::Wait((1u << window_->UserPort->mp_SigBit) | os::SIGBREAKF_CTRL_E);
    auto waited = std::chrono::steady_clock::now() - start;
    other.join();
    EXPECT_EQ(got, os::SIGBREAKF_CTRL_E);
    EXPECT_GE(waited, std::chrono::milliseconds(90));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

TEST_F(SdlWindow, ResizedWindowsShowThePictureFittedWithBlackAround) {
    os::SetRast(window_->RPort, 1);  // white in the default colours
    auto pixel = [&](int x, int y) {
        uint8_t r = 0, g = 0, b = 0;
        OnDisplay([&] {
            SDL_Surface* surface = SDL_GetWindowSurface(sdlWindow_);
            uint32_t v = 0;
            std::memcpy(&v,
                        static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + x * surface->format->BytesPerPixel,
                        surface->format->BytesPerPixel);
            SDL_GetRGB(v, surface->format, &r, &g, &b);
        });
        return (r << 16) | (g << 8) | b;
    };
    auto resize = [&](int w, int h) {
        OnDisplay([&] { SDL_SetWindowSize(sdlWindow_, w, h); });
        WaitFor(300);
        SDL_Point size{0, 0};
        OnDisplay([&] {
            SDL_Surface* surface = SDL_GetWindowSurface(sdlWindow_);
            size = {surface->w, surface->h};
        });
        return size;
    };
    // 300x100 holds 64x48 twice (100 / 48): 128x96, centred.
    SDL_Point size = resize(300, 100);
    ASSERT_EQ(size.x, 300);
    ASSERT_EQ(size.y, 100);
    EXPECT_EQ(pixel(85, 50), 0);
    EXPECT_EQ(pixel(86, 50), 0xFFFFFF);
    EXPECT_EQ(pixel(213, 50), 0xFFFFFF);
    EXPECT_EQ(pixel(214, 50), 0);
    EXPECT_EQ(pixel(150, 1), 0);
    EXPECT_EQ(pixel(150, 2), 0xFFFFFF);
    EXPECT_EQ(pixel(150, 97), 0xFFFFFF);
    EXPECT_EQ(pixel(150, 98), 0);
    // Smaller than the picture: shrunk, aspect kept (32 / 64 = 0.5: 32x24).
    size = resize(32, 40);
    ASSERT_EQ(size.x, 32);
    EXPECT_EQ(pixel(16, 7), 0);
    EXPECT_EQ(pixel(16, 8), 0xFFFFFF);
    EXPECT_EQ(pixel(0, 31), 0xFFFFFF);
    EXPECT_EQ(pixel(31, 32), 0);
}

TEST(SdlScreens, HugeScreensOpenShrunkToTheDesktop) {
    if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    ASSERT_TRUE(os::DisplayAvailable());
    uint32_t mode = os::BestCModeIDTags(
        {{os::CYBRBIDTG_NominalWidth, 16384}, {os::CYBRBIDTG_NominalHeight, 8}, {os::CYBRBIDTG_Depth, 24}});
    os::Screen* screen = os::OpenScreenTags(nullptr, {{os::SA_DisplayID, mode}});
    ASSERT_NE(screen, nullptr);
    std::vector<uint8_t> row(16384 * 3, 200);
    EXPECT_EQ(os::WritePixelArray(row.data(), 0, 0, 0, &screen->RastPort, 0, 7, 16384, 1, os::RECTFMT_RGB), 16384u);
    os::CloseScreen(screen);
}

// The desktop's window of a closed screen waits a moment for the next
// screen: taken over and resized when one opens in time, closed when the
// moment passes without one, when the program lets it go, or when the user
// closed it (the next screen's window then gets the stop).
TEST(SdlKeptWindow, TheNextScreenTakesItOverInTimeOtherwiseItGoes) {
    if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    ASSERT_TRUE(os::DisplayAvailable());
    os::ReleaseKeptWindows();
    struct Shown {
        os::Screen* screen = nullptr;
        os::Window* window = nullptr;
    };
    auto open = [](uint32_t w, uint32_t h) {
        Shown shown;
        uint32_t mode = os::BestCModeIDTags(
            {{os::CYBRBIDTG_NominalWidth, w}, {os::CYBRBIDTG_NominalHeight, h}, {os::CYBRBIDTG_Depth, 8}});
        shown.screen = os::OpenScreenTags(nullptr, {{os::SA_DisplayID, mode}, {os::SA_Depth, 8}});
        if (shown.screen != nullptr)
            shown.window = os::OpenWindowTags(nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(shown.screen)},
                                                        {os::WA_IDCMP, os::IDCMP_VANILLAKEY | os::IDCMP_RAWKEY}});
        return shown;
    };
    auto close = [](Shown& shown) {
        os::CloseWindow(shown.window);
        os::CloseScreen(shown.screen);
    };
    // The ids of SDL's windows now.
    auto windows = [] {
        std::vector<uint32_t> ids;
        OnDisplay([&] {
            for (uint32_t id = 1; id < 512; ++id)
                if (SDL_GetWindowFromID(id) != nullptr) ids.push_back(id);
        });
        return ids;
    };

    // A screen that is closed before its window is wanted never shows one.
    Shown unseen = open(64, 48);
    ASSERT_NE(unseen.window, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(windows().empty());
    close(unseen);
    EXPECT_TRUE(windows().empty());

    Shown first = open(64, 48);
    ASSERT_NE(first.window, nullptr);
    Want(first.window);
    const std::vector<uint32_t> one = windows();
    ASSERT_EQ(one.size(), 1u);
    close(first);
    EXPECT_EQ(windows(), one);  // kept

    // 1280x1024 holds 32x16 four times over: 128x64, in the same window
    // (160 wide, the narrowest a window is).
    Shown second = open(32, 16);
    ASSERT_NE(second.window, nullptr);
    Want(second.window);
    EXPECT_EQ(windows(), one);
    int w = 0, h = 0;
    OnDisplay([&] { SDL_GetWindowSize(SDL_GetWindowFromID(one[0]), &w, &h); });
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 64);
    // Page Up and Page Down come as raw keys to a window that asks for
    // them; other keys without a character still give nothing.
    for (SDL_Keycode sym : {SDLK_PAGEUP, SDLK_LEFT, SDLK_PAGEDOWN}) {
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.windowID = one[0];
        key.key.state = SDL_PRESSED;
        key.key.keysym.sym = sym;
        SDL_PushEvent(&key);
    }
    EXPECT_EQ(window_test::Serve(second.window, 200),
              (std::vector<Event>{{os::IDCMP_RAWKEY, os::RAWKEY_PAGEUP}, {os::IDCMP_RAWKEY, os::RAWKEY_PAGEDOWN}}));
    close(second);

    // Closed by the user while kept: a new window, and it is told to stop.
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = one[0];
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
    Shown third = open(32, 16);
    ASSERT_NE(third.window, nullptr);
    EXPECT_EQ(window_test::Serve(third.window, 200), (std::vector<Event>{{os::IDCMP_VANILLAKEY, 0x1B}}));
    const std::vector<uint32_t> two = windows();
    ASSERT_EQ(two.size(), 1u);
    EXPECT_NE(two, one);
    close(third);

    // No screen within the moment: it goes while the program waits.
    EXPECT_EQ(windows(), two);
    os::Task* me = os::FindTask(nullptr);
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            os::Signal(me, os::SIGBREAKF_CTRL_F);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    while (!windows().empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(3))
        os::Wait(os::SIGBREAKF_CTRL_F);
    const auto waited = std::chrono::steady_clock::now() - start;
    stop = true;
    ticker.join();
    os::SetSignal(0, os::SIGBREAKF_CTRL_F);
    EXPECT_TRUE(windows().empty());
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));

    // Let go by the program: at once.
    Shown fourth = open(16, 16);
    ASSERT_NE(fourth.window, nullptr);
    Want(fourth.window);
    close(fourth);
    EXPECT_EQ(windows().size(), 1u);
    os::ReleaseKeptWindows();
    EXPECT_TRUE(windows().empty());
}

}  // namespace
