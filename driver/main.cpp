// The program's entry: open the services, choose the run mode from how the
// program was started, and always close the services last.
#include <cstring>

#include "driver/error_text.h"
#include "driver/run_modes.h"
#include "driver/services.h"
#include "platform/asl/workbench.h"
#include "platform/dos/dos.h"

namespace {

// For the version command: it looks for "$VER: " in the binary.
[[gnu::used]] const char kVersionTag[] = "$VER: Lanterna 1.12 (29.11.2005)";
constexpr const char* kVersion = kVersionTag + 6;

constexpr const char* kTemplate =
    "FILES/M/A,C=CENTER/S,W=WAIT/K/N,Q=QUIET/S,A=ALL/S,WAO=WAITAFTEROPEN/K/N,CYCLE/S,HAM/S,EHB/S";

void PrintHelp() {
    os::Printf("%s\n", kTemplate);
    os::Printf("  FILES                 one or more picture files, patterns (#?, ?, (a|b), ~, [a-c]) or directories\n");
    os::Printf("  C=CENTER/S            centre each picture and keep the screen for the next one when it fits\n");
    os::Printf("  W=WAIT/K/N            seconds a finished picture stays up (0: until you end it)\n");
    os::Printf("  Q=QUIET/S             print nothing for good pictures; the first failing picture ends the run\n");
    os::Printf("  A=ALL/S               also show the pictures in sub-directories\n");
    os::Printf("  WAO=WAITAFTEROPEN/K/N seconds to pause after a new screen opens, before drawing\n");
    os::Printf("  CYCLE/S               start colour cycling at once\n");
    os::Printf("  HAM/S                 a 6-plane picture without a display mode is HAM (the default)\n");
    os::Printf("  EHB/S                 a 6-plane picture without a display mode is Extra-Half-Brite\n");
    os::Printf("Also: --version, --help (or -h), --workbench [FILE...]\n");
    os::Printf("Keys and mouse while a picture is up:\n");
    os::Printf("  click, middle click or an ordinary key  end this picture, go on to the next\n");
    os::Printf("  Esc, Ctrl-C, right button, closing      stop the whole run\n");
    os::Printf("  Tab                                     colour cycling on, or off with the colours restored\n");
    os::Printf("  Page Down                               end this picture, go on to the next\n");
    os::Printf("  Page Up                                 end this picture, show the one before again\n");
    os::Printf("  F11                                     full screen on and off\n");
    os::Printf("  arrow keys, drag with the left button   move over a picture larger than its page\n");
    os::Printf("  mouse wheel                             zoom in and out in whole steps\n");
    os::Printf("  Home                                    back to the first view\n");
    os::Printf("  F1                                      the keys and the picture's facts, on and off\n");
    os::Printf("Environment:\n");
    os::Printf("  LANTERNA_DISPLAY=headless        keep screens in memory instead of opening a window\n");
    os::Printf("  LANTERNA_SNAPSHOTS=DIR           headless: write each picture as seen, as DIR/001.png, ...\n");
    os::Printf("  LANTERNA_INPUT=TOKEN,...         headless input, one token a wait: click, middle, right, esc,\n");
    os::Printf("                                   ctrl-c, tab, pageup, pagedown, key:C, none; then clicks\n");
    os::Printf("  LANTERNA_DRAW_INPUT=N:TOKEN,...  headless input while drawing, at the Nth row written\n");
    os::Printf("  LANTERNA_REQUESTER=A|B;C         headless file requester: batches by ;, paths by |, then Cancel\n");
    os::Printf("  LANTERNA_TRACE=FILE              append a line each time the window shows new rows\n");
    os::Printf("  DISPLAY, WAYLAND_DISPLAY         the desktop the window opens on (Wayland first)\n");
    os::Printf("  SDL_VIDEODRIVER                  the SDL video driver to use\n");
}

// Set-up failed: say why and end with 20. Without a shell (a desktop start)
// the message also goes to the desktop.
int SetUpFailed(int32_t code, bool workbench) {
    const char* text = lanterna::ErrorText(code);
    os::Printf("%s: %s\n", "Lanterna", text);
    if (workbench) {
        os::ShowDesktopMessage("Lanterna", text);
    }
    os::FFlush(os::Output());
    lanterna::CloseServices();
    return 20;
}

}  // namespace

int main(int argc, char** argv) {
    os::InstallBreakHandlers();
    const int count = argc > 0 ? argc - 1 : 0;
    const char* const* arguments = argc > 0 ? argv + 1 : argv;
    os::SetProgramArguments(count, arguments);

    if (count == 1 && std::strcmp(arguments[0], "--version") == 0) {
        os::Printf("%s\n", kVersion);
        return 0;
    }
    if (count == 1 && (std::strcmp(arguments[0], "--help") == 0 || std::strcmp(arguments[0], "-h") == 0)) {
        PrintHelp();
        return 0;
    }
    const bool workbench = count >= 1 && std::strcmp(arguments[0], "--workbench") == 0;

    const int32_t setUp = lanterna::OpenServices();
    if (setUp != 0) {
        return SetUpFailed(setUp, workbench);
    }

    int32_t result = 0;
    if (workbench) {
        // The start message: the program itself, then each file.
        os::WBStartup* startup =
            os::CreateWorkbenchStartup(argc > 0 ? argv[0] : "lanterna", count - 1, arguments + 1);
        if (startup == nullptr) {
            result = 20;
        } else {
            result = lanterna::RunWorkbenchMode(startup);
            os::FreeWorkbenchStartup(startup);
        }
    } else {
        result = lanterna::RunShellMode();
    }
    os::FFlush(os::Output());
    lanterna::CloseServices();
    return result;
}
