// libFuzzer target over the headless backend's scripts: the window input
// (LANTERNA_INPUT), the input while drawing (LANTERNA_DRAW_INPUT) and the
// file requester's answers (LANTERNA_REQUESTER), each any text.
//
// Input: the three scripts, separated by NUL bytes.
//
// Beyond "no crash" it checks the promises the scripts make: every wait for
// input gives a result the viewer knows (nothing, next picture, stop), and
// once the input script is used up every wait gets a click, so a run never
// hangs; the requester answers at most one batch per ";" part and then
// cancels, and every answer is a list of named entries.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/display_state.h"
#include "platform/asl/asl.h"
#include "platform/exec/exec.h"
#include "platform/exec/wait_hooks.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/headless/headless.h"
#include "records/result_codes.h"

using namespace lanterna;

namespace {

constexpr uint16_t WIDTH = 16;
constexpr uint16_t HEIGHT = 4;
constexpr int32_t DRAW_CALLS = 64;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "scripts: %s\n", what);
    std::abort();
}

size_t CountOf(const std::string& text, char c) {
    size_t n = 0;
    for (char x : text) n += (x == c);
    return n;
}

bool KnownResult(int32_t r) { return r == 0 || r == CODE_NEXT || r == CODE_STOP; }

// One wait for window input: what Wait runs before it blocks, which is where
// the backend delivers the script's next token (nothing, for "none"; a real
// wait would then block until another signal, such as the timer's, came).
int32_t WaitOnce(os::Window* window) {
    os::internal::RunWaitHook(1u << window->UserPort->mp_SigBit);
    return PollWindowInput(window).code;
}

void RunInputScripts(const std::string& input) {
    if (gDisplay.window == nullptr && OpenDisplay(WIDTH, HEIGHT, 8, 0, nullptr, 0) != 0) std::abort();
    os::Window* window = gDisplay.window;
    PollWindowInput(window);  // nothing left from the last input

    uint8_t row[WIDTH] = {};
    for (int32_t call = 0; call < DRAW_CALLS; ++call) {
        os::WritePixelArray(row, 0, 0, WIDTH, window->RPort, 0, static_cast<uint16_t>(call % HEIGHT), WIDTH, 1,
                            os::RECTFMT_LUT8);
        if (!KnownResult(PollWindowInput(window).code)) Fail("unknown result while drawing");
    }
    const size_t tokens = input.empty() ? 0 : CountOf(input, ',') + 1;
    for (size_t wait = 0; wait < tokens; ++wait) {
        if (!KnownResult(WaitOnce(window))) Fail("unknown result of a wait");
    }
    for (int i = 0; i < 3; ++i) {
        if (WaitOnce(window) != CODE_NEXT) Fail("a wait after the script did not get a click");
    }
}

void RunRequesterScript(const std::string& script) {
    os::FileRequester* requester = os::AllocAslRequestTags(os::ASL_FileRequest, {{os::TAG_DONE, 0}});
    if (requester == nullptr) Fail("the headless requester was not allocated");
    const size_t batches = script.empty() ? 0 : CountOf(script, ';') + 1;
    size_t answers = 0;
    while (os::AslRequestTags(requester, {{os::TAG_DONE, 0}})) {
        if (++answers > batches) Fail("more answers than batches");
        if (requester->fr_NumArgs < 0 || (requester->fr_NumArgs > 0 && requester->fr_ArgList == nullptr)) {
            Fail("an answer without its list");
        }
        for (int32_t i = 0; i < requester->fr_NumArgs; ++i) {
            const char* name = requester->fr_ArgList[i].wa_Name;
            if (name == nullptr) Fail("an entry without a name");
            (void)std::strlen(name);
        }
    }
    os::FreeAslRequest(requester);
}

// Sets NAME to value through putenv with a buffer this file owns. setenv
// would copy every new value into memory glibc never gives back, so a long
// campaign would grow by every script it tried.
void SetScript(const char* name, const std::string& value) {
    static std::map<std::string, std::vector<char>> held;
    const std::string entry = std::string(name) + "=" + value;
    std::vector<char> fresh(entry.begin(), entry.end());
    fresh.push_back('\0');
    if (putenv(fresh.data()) != 0) Fail("putenv failed");
    held[name].swap(fresh);  // the environment now points into held[name]; the old buffer goes
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("LANTERNA_DISPLAY", "headless", 1);
    unsetenv("LANTERNA_SNAPSHOTS");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string parts[3];
    size_t part = 0;
    for (size_t i = 0; i < size && part < 3; ++i) {
        if (data[i] == 0) {
            ++part;
        } else {
            parts[part] += static_cast<char>(data[i]);
        }
    }
    SetScript("LANTERNA_INPUT", parts[0]);
    SetScript("LANTERNA_DRAW_INPUT", parts[1]);
    SetScript("LANTERNA_REQUESTER", parts[2]);
    os::headless::ReloadHeadlessSettings();
    RunInputScripts(parts[0]);
    RunRequesterScript(parts[2]);
    return 0;
}
