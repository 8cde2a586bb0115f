// libFuzzer target: a picture's icon whose tool types drive a whole
// Workbench run (project mode, headless), whatever WAIT, WAITAFTEROPEN,
// CYCLE, CENTER, HAM or EHB it sets, to any value.
//
// Input: the bytes of the icon file (pic.iff.info beside a small picture
// that has a colour range, so cycling starts when asked).
//
// Beyond "no crash" it checks the promise a user relies on: a break always
// gets through. No wait for window input is answered (the input script says
// "none" to each), so a picture ends only by its WAIT or by the break, which
// arrives every few milliseconds; a run that is still going after a few
// seconds is a finding, whether it hangs in the pause after opening, the
// drawing, the viewing or the cycling.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "display/display.h"
#include "driver/run_modes.h"
#include "driver/services.h"
#include "platform/asl/workbench.h"
#include "platform/exec/exec.h"
#include "platform/graphics/headless/headless.h"
#include "records/view_options.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;

namespace {

constexpr auto BREAK_BOUND = std::chrono::seconds(3);
constexpr auto BREAK_EVERY = std::chrono::milliseconds(4);

std::string gDir;

void SetUpOnce() {
    setenv("LANTERNA_DISPLAY", "headless", 1);
    unsetenv("LANTERNA_SNAPSHOTS");
    unsetenv("LANTERNA_DRAW_INPUT");
    std::string none;
    for (int i = 0; i < 4096; ++i) none += "none,";
    setenv("LANTERNA_INPUT", none.c_str(), 1);

    char dir[] = "/tmp/fuzz_icon_run.XXXXXX";
    if (mkdtemp(dir) == nullptr) std::abort();
    gDir = dir;

    ilbmw::IlbmPicture p;
    p.header = ilbmw::SimpleHeader(24, 8, 3, cmpByteRun1);
    for (int32_t i = 0; i < 24 * 8; ++i) p.pixels.push_back(uint32_t(i % 8));
    for (int32_t i = 0; i < 8; ++i) p.colours.push_back({uint8_t(i * 30), uint8_t(255 - i * 30), uint8_t(i * 9)});
    // Colours 1 to 6 cycle at 60 steps a second.
    p.extraChunks.push_back(ilbmw::MakeChunk("CRNG", ilbmw::EncodeColourRange(0, 16384, RNG_ACTIVE, 1, 6)));
    if (!ilbmw::WriteFile(gDir + "/pic.iff", ilbmw::MakeIlbm(p))) std::abort();
    if (OpenServices() != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (SetUpOnce(), true);
    (void)ready;
    if (!ilbmw::WriteFile(gDir + "/pic.iff.info", ilbmw::Bytes(data, data + size))) std::abort();

    gViewOptions = ViewOptions{};  // the tool types of the last input are gone
    os::headless::ReloadHeadlessSettings();
    const std::string picture = gDir + "/pic.iff";
    const char* files[] = {picture.c_str()};
    os::WBStartup* startup = os::CreateWorkbenchStartup((gDir + "/lanterna").c_str(), 1, files);
    if (startup == nullptr) std::abort();

    os::Task* self = os::FindTask(nullptr);
    std::atomic<bool> done{false};
    std::thread breaker([&] {
        while (!done.load()) {
            std::this_thread::sleep_for(BREAK_EVERY);
            os::Signal(self, os::SIGBREAKF_CTRL_C);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    RunWorkbenchMode(startup);
    const auto took = std::chrono::steady_clock::now() - start;
    done = true;
    breaker.join();
    os::FreeWorkbenchStartup(startup);
    CloseDisplay();
    os::SetSignal(0, os::SIGBREAKF_CTRL_C);
    if (took > BREAK_BOUND) {
        std::fprintf(stderr, "the run took %lld ms: a break did not get through\n",
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        std::abort();
    }
    return 0;
}
