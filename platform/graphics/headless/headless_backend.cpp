// The headless backend: snapshots of discarded pictures and scripted input.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/headless/headless.h"

namespace os::headless {

namespace {

std::vector<std::string> SplitList(const char* text) {
    std::vector<std::string> out;
    if (text == nullptr) return out;
    std::string item;
    for (const char* p = text;; ++p) {
        if (*p == ',' || *p == '\0') {
            // Spaces around a token are not part of it.
            size_t a = item.find_first_not_of(" \t");
            size_t b = item.find_last_not_of(" \t");
            if (a != std::string::npos) out.push_back(item.substr(a, b - a + 1));
            item.clear();
            if (*p == '\0') break;
        } else {
            item += *p;
        }
    }
    return out;
}

struct DrawInput {
    uint64_t call = 0;
    std::string token;
};

struct Settings {
    std::mutex lock;  // waits of several tasks may look at the script
    std::string snapshotDir;
    uint32_t snapshotCount = 0;
    std::vector<std::string> script;
    size_t scriptPos = 0;
    std::vector<DrawInput> drawInput;
    uint64_t pixelArrayCalls = 0;
    bool loaded = false;
};

Settings& State() {
    static Settings settings;
    return settings;
}

void LoadLocked(Settings& s) {
    const char* dir = std::getenv("LANTERNA_SNAPSHOTS");
    s.snapshotDir = dir != nullptr ? dir : "";
    s.snapshotCount = 0;
    s.script = SplitList(std::getenv("LANTERNA_INPUT"));
    s.scriptPos = 0;
    s.drawInput.clear();
    for (const std::string& item : SplitList(std::getenv("LANTERNA_DRAW_INPUT"))) {
        size_t colon = item.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        char* end = nullptr;
        unsigned long long n = std::strtoull(item.c_str(), &end, 10);
        if (end != item.c_str() + colon || n == 0) continue;
        s.drawInput.push_back({n, item.substr(colon + 1)});
    }
    s.pixelArrayCalls = 0;
    s.loaded = true;
}

Settings& LoadedState() {
    Settings& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.loaded) LoadLocked(s);
    return s;
}

void Deliver(Window* window, const std::string& token) {
    std::vector<InputEvent> events;
    if (!ParseInputToken(token, events)) {
        std::fprintf(stderr, "LANTERNA_INPUT: unknown token \"%s\", taken as a click\n", token.c_str());
        ParseInputToken("click", events);
    }
    for (const InputEvent& e : events) gfx::PostInput(window, e.imClass, e.code);
}

class HeadlessBackend final : public gfx::Backend {
public:
    bool available() override { return true; }
    bool screenOpened(Screen*) override { return true; }
    void screenClosing(Screen*) override {}
    void windowOpened(Window*) override {}
    void windowClosing(Window*) override {}
    void rowsChanged(Screen*, uint32_t, uint32_t) override {}
    void pointerChanged(Window*) override {}
    void toFront(Screen*) override {}

    void discarding(Screen* screen) override {
        Settings& s = LoadedState();
        std::string path;
        {
            std::lock_guard<std::mutex> guard(s.lock);
            if (s.snapshotDir.empty()) return;
            char name[32];
            std::snprintf(name, sizeof name, "/%03u.png", ++s.snapshotCount);
            path = s.snapshotDir + name;
        }
        if (mkdir(s.snapshotDir.c_str(), 0777) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "LANTERNA_SNAPSHOTS: cannot make %s: %s\n", s.snapshotDir.c_str(),
                         std::strerror(errno));
            return;
        }
        if (!WriteScreenPng(screen, path)) std::fprintf(stderr, "LANTERNA_SNAPSHOTS: cannot write %s\n", path.c_str());
    }

    void pixelArrayWritten(Screen* screen) override {
        Settings& s = LoadedState();
        std::string token;
        {
            std::lock_guard<std::mutex> guard(s.lock);
            ++s.pixelArrayCalls;
            for (const DrawInput& d : s.drawInput) {
                if (d.call == s.pixelArrayCalls) {
                    token = d.token;
                    break;
                }
            }
        }
        if (!token.empty() && screen->priv->window != nullptr) Deliver(screen->priv->window, token);
    }

    void waitHook(uint32_t signalMask) override {
        gfx::WindowRegistry& reg = gfx::OpenWindows();
        if (reg.count.load(std::memory_order_acquire) == 0) return;
        Task* me = FindTask(nullptr);
        Window* target = nullptr;
        {
            std::lock_guard<std::mutex> guard(reg.lock);
            for (Window* w : reg.windows) {
                MsgPort* port = w->UserPort;
                if (port == nullptr || port->mp_SigTask != me) continue;
                if ((signalMask & (1u << port->mp_SigBit)) == 0) continue;
                if (!IsListEmpty(&port->mp_MsgList)) continue;
                target = w;
                break;
            }
        }
        // Only the owner closes its window, and the owner is this task.
        if (target == nullptr) return;
        auto* wp = static_cast<WindowPrivate*>(target->priv);
        if (wp != nullptr && wp->paced && wp->pacedQuiet) return;
        Settings& s = LoadedState();
        std::string token = "click";
        {
            std::lock_guard<std::mutex> guard(s.lock);
            if (s.scriptPos < s.script.size()) token = s.script[s.scriptPos++];
        }
        if (wp != nullptr && wp->paced && token == "none") wp->pacedQuiet = true;
        Deliver(target, token);
    }
};

}  // namespace

bool ParseInputToken(const std::string& token, std::vector<InputEvent>& events) {
    events.clear();
    auto key = [&](uint16_t code) { events.push_back({IDCMP_VANILLAKEY, code}); };
    auto button = [&](uint16_t down) {
        events.push_back({IDCMP_MOUSEBUTTONS, down});
        events.push_back({IDCMP_MOUSEBUTTONS, static_cast<uint16_t>(down | IECODE_UP_PREFIX)});
    };
    if (token == "none") return true;
    if (token == "click") button(SELECTDOWN);
    else if (token == "middle") button(MIDDLEDOWN);
    else if (token == "right") button(MENUDOWN);
    else if (token == "esc") key(0x1B);
    else if (token == "ctrl-c") key(0x03);
    else if (token == "tab") key(0x09);
    else if (token == "pageup") events.push_back({IDCMP_RAWKEY, RAWKEY_PAGEUP});
    else if (token == "pagedown") events.push_back({IDCMP_RAWKEY, RAWKEY_PAGEDOWN});
    else if (token == "f5") events.push_back({IDCMP_RAWKEY, RAWKEY_F5});
    else if (token == "f6") events.push_back({IDCMP_RAWKEY, RAWKEY_F6});
    else if (token == "f7") events.push_back({IDCMP_RAWKEY, RAWKEY_F7});
    else if (token.rfind("key:", 0) == 0) {
        std::string c = token.substr(4);
        if (c.size() == 1) {
            key(static_cast<uint8_t>(c[0]));
        } else if (c.size() > 2 && c.size() <= 4 && c[0] == '0' && (c[1] == 'x' || c[1] == 'X')) {
            char* end = nullptr;
            unsigned long v = std::strtoul(c.c_str() + 2, &end, 16);
            if (*end != '\0' || v > 255) return false;
            key(static_cast<uint16_t>(v));
        } else {
            return false;
        }
    } else {
        return false;
    }
    return true;
}

void ReloadHeadlessSettings() {
    Settings& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    LoadLocked(s);
}

}  // namespace os::headless

namespace os::gfx {

Backend* CreateHeadlessBackend() {
    static headless::HeadlessBackend backend;
    return &backend;
}

}  // namespace os::gfx
