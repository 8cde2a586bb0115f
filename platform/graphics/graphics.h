// intuition, graphics and cybergraphics: display modes, screens with a
// palette, one backdrop window per screen with its input port, pointers,
// raster fills, colour loading and pixel-array writes.
//
// A screen is a framebuffer of its mode's size: 8-bit indices with a
// 256-entry palette, or 24-bit RGB. A backend shows it: SDL2 in a real window
// (the default) or headless in memory (LANTERNA_DISPLAY=headless).
//
// Relies on: exec (the window's input port, and the wait hook through which a
// backend serves its windows while the program waits). libSDL2 is loaded only
// when the first window is wanted; libpng writes the headless snapshots.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/exec/exec.h"

namespace os {

struct TagItem {
    uint32_t ti_Tag;
    uintptr_t ti_Data;
};
using Tags = std::initializer_list<TagItem>;

constexpr uint32_t TAG_DONE = 0;
constexpr uint32_t TAG_IGNORE = 1;
constexpr uint32_t TAG_USER = 0x80000000u;

// ---- bitmaps -------------------------------------------------------------------
struct BitMap {
    uint16_t BytesPerRow = 0;
    uint16_t Rows = 0;
    uint8_t Flags = 0;
    uint8_t Depth = 0;
    uint16_t pad = 0;
    uint8_t* Planes[8] = {};
};

// BytesPerRow = 2 * ceil(width / 16), Rows = height, Depth = depth. Planes
// are left as they are.
void InitBitMap(BitMap* bitmap, int8_t depth, uint16_t width, uint16_t height);

// ---- screens, windows, rastports ---------------------------------------------------
struct ScreenPrivate;
struct Screen;

struct ViewPort {
    Screen* screen = nullptr;  // the screen this viewport shows
};

struct RastPort {
    Screen* screen = nullptr;  // the screen drawn into
};

struct Screen {
    int16_t Width = 0;
    int16_t Height = 0;
    ::os::ViewPort ViewPort;  // qualified: the member takes the type's name
    ::os::RastPort RastPort;
    ScreenPrivate* priv = nullptr;
};

struct Window {
    int16_t LeftEdge = 0;
    int16_t TopEdge = 0;
    int16_t Width = 0;
    int16_t Height = 0;
    MsgPort* UserPort = nullptr;  // IDCMP messages arrive here
    RastPort* RPort = nullptr;    // the screen's rastport
    Screen* WScreen = nullptr;
    void* priv = nullptr;
};

constexpr uint32_t IDCMP_MOUSEBUTTONS = 0x00000008;
constexpr uint32_t IDCMP_VANILLAKEY = 0x00200000;
// Keys without a character, by their raw key code (a release has
// IECODE_UP_PREFIX set).
constexpr uint32_t IDCMP_RAWKEY = 0x00000400;
constexpr uint16_t RAWKEY_PAGEUP = 0x48;
constexpr uint16_t RAWKEY_PAGEDOWN = 0x49;
constexpr uint16_t RAWKEY_F5 = 0x54;
constexpr uint16_t RAWKEY_F6 = 0x55;
constexpr uint16_t RAWKEY_F7 = 0x56;

constexpr uint16_t IECODE_LBUTTON = 0x68;
constexpr uint16_t IECODE_RBUTTON = 0x69;
constexpr uint16_t IECODE_MBUTTON = 0x6A;
constexpr uint16_t IECODE_UP_PREFIX = 0x80;
constexpr uint16_t SELECTDOWN = IECODE_LBUTTON;
constexpr uint16_t SELECTUP = IECODE_LBUTTON | IECODE_UP_PREFIX;
constexpr uint16_t MENUDOWN = IECODE_RBUTTON;
constexpr uint16_t MENUUP = IECODE_RBUTTON | IECODE_UP_PREFIX;
constexpr uint16_t MIDDLEDOWN = IECODE_MBUTTON;
constexpr uint16_t MIDDLEUP = IECODE_MBUTTON | IECODE_UP_PREFIX;

struct IntuiMessage {
    Message ExecMessage;
    uint32_t Class = 0;
    uint16_t Code = 0;
    uint16_t Qualifier = 0;
    Window* IDCMPWindow = nullptr;
};

constexpr uint32_t INVALID_ID = 0xFFFFFFFFu;

// Tags.
constexpr uint32_t CYBRBIDTG_Depth = TAG_USER + 0x40000;
constexpr uint32_t CYBRBIDTG_NominalWidth = TAG_USER + 0x40001;
constexpr uint32_t CYBRBIDTG_NominalHeight = TAG_USER + 0x40002;

constexpr uint32_t SA_Dummy = TAG_USER + 32;
constexpr uint32_t SA_Width = SA_Dummy + 0x0003;
constexpr uint32_t SA_Height = SA_Dummy + 0x0004;
constexpr uint32_t SA_Depth = SA_Dummy + 0x0005;
constexpr uint32_t SA_ShowTitle = SA_Dummy + 0x0011;
constexpr uint32_t SA_Quiet = SA_Dummy + 0x0018;
constexpr uint32_t SA_DisplayID = SA_Dummy + 0x0012;
constexpr uint32_t SA_BackFill = SA_Dummy + 0x001F;
constexpr uint32_t SA_Colors32 = SA_Dummy + 0x0023;
constexpr uint32_t SA_Interleaved = SA_Dummy + 0x0022;

constexpr uint32_t WA_Dummy = TAG_USER + 99;
constexpr uint32_t WA_Left = WA_Dummy + 0x01;
constexpr uint32_t WA_Top = WA_Dummy + 0x02;
constexpr uint32_t WA_Width = WA_Dummy + 0x03;
constexpr uint32_t WA_Height = WA_Dummy + 0x04;
constexpr uint32_t WA_IDCMP = WA_Dummy + 0x07;
constexpr uint32_t WA_CustomScreen = WA_Dummy + 0x0D;
constexpr uint32_t WA_SimpleRefresh = WA_Dummy + 0x1A;
constexpr uint32_t WA_Backdrop = WA_Dummy + 0x22;
constexpr uint32_t WA_Borderless = WA_Dummy + 0x24;
constexpr uint32_t WA_Activate = WA_Dummy + 0x25;
constexpr uint32_t WA_RMBTrap = WA_Dummy + 0x26;
constexpr uint32_t WA_NoCareRefresh = WA_Dummy + 0x2A;
constexpr uint32_t WA_BackFill = WA_Dummy + 0x2D;
constexpr uint32_t WA_Pointer = WA_Dummy + 0x50;
constexpr uint32_t WA_BusyPointer = WA_Dummy + 0x51;

constexpr uint32_t POINTERA_Dummy = TAG_USER + 0x39000;
constexpr uint32_t POINTERA_BitMap = POINTERA_Dummy + 0x01;
constexpr uint32_t POINTERA_WordWidth = POINTERA_Dummy + 0x04;

constexpr uintptr_t LAYERS_NOBACKFILL = 1;

constexpr uint8_t RECTFMT_RGB = 0;
constexpr uint8_t RECTFMT_LUT8 = 3;

// GetBitMapAttr: the size of the bitmap a rastport draws into.
constexpr uint32_t BMA_HEIGHT = 0;
constexpr uint32_t BMA_WIDTH = 8;

// A mode of exactly the nominal size for depths 8 and 24; INVALID_ID for a
// zero size, one beyond 16384 on a side, or another depth.
uint32_t BestCModeIDTags(Tags tags);

// A screen shows its mode's size. SA_Width and SA_Height beyond that ask for
// a larger bitmap, as an autoscrolling screen has: rows and columns outside
// the visible screen are kept, and a backend that lets a person scroll (the
// desktop's window) shows them. The kept area is capped (KeptBitMapSize); a
// backend that shows nothing beyond the first view (headless) keeps only the
// mode's size. Screen::Width and Height are always the visible size.
Screen* OpenScreenTags(const void* newScreen, Tags tags);  // null on failure
void CloseScreen(Screen* screen);
Window* OpenWindowTags(const void* newWindow, Tags tags);  // null on failure
void CloseWindow(Window* window);
void ScreenToFront(Screen* screen);  // raises the screen's window
// The window's title (UTF-8; null: none); the screen's title is not kept.
void SetWindowTitles(Window* window, const char* windowTitle, const char* screenTitle);
// The facts of the picture on the window (lines of UTF-8; null: none): a
// desktop's window shows them, with its keys, over the picture while F1 is
// on. They never reach the screen's pixels or a snapshot.
void SetWindowInfo(Window* window, const char* text);

// While held, rows written to the screen are not shown: a whole frame of an
// animation is written, then let go, so no present shows half of one.
void HoldScreenPresents(Screen* screen, bool hold);
// A paced window's program waits for its own frames as well as for the
// user: headless input then gives its tokens one a wait until a "none",
// after which the window gets nothing until it is no longer paced.
void SetWindowPaced(Window* window, bool paced);

struct Object;
Object* NewObject(void* classPtr, const char* classId, Tags tags);  // "pointerclass"
void DisposeObject(Object* object);
void SetWindowPointer(Window* window, Tags tags);  // WA_Pointer or WA_BusyPointer

// BMA_WIDTH or BMA_HEIGHT of the screen's bitmap (0 for anything else): the
// visible size, or the larger area the screen keeps. WritePixelArray clips
// to it.
uint32_t GetBitMapAttr(const RastPort* rastPort, uint32_t attribute);

void SetRast(RastPort* rastPort, uint8_t pen);
void SetRGB4(ViewPort* viewPort, int32_t index, uint8_t r, uint8_t g, uint8_t b);
// table: (count << 16 | first), then count * 3 words, then 0. Any task.
void LoadRGB32(ViewPort* viewPort, const uint32_t* table);

// Writes a width x height block of pixels (RECTFMT_LUT8: 1 byte per pixel,
// RECTFMT_RGB: 3), clipped to the screen's bitmap. Returns the pixels written.
uint32_t WritePixelArray(const void* source, uint16_t sourceX, uint16_t sourceY,
                         uint16_t sourceModulo, RastPort* rastPort, uint16_t destX,
                         uint16_t destY, uint16_t width, uint16_t height, uint8_t format);

// True when a display backend can start (libraries may open).
bool DisplayAvailable();

// The desktop's window of a closed screen is kept a moment for the next
// screen to take over. This lets it go at once: before the program waits
// for something that is not a picture (a file requester, a message box),
// and at the end of the run. The display's own thread only.
void ReleaseKeptWindows();

}  // namespace os
