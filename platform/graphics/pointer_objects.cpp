// Pointers: pointer objects made from a bitmap of up to 64 pixels a side,
// and the window's pointer (normal, busy or one of those), which the
// backend shows.
#include <cstring>
#include <new>

#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/graphics_model.h"

namespace os {

namespace {

void SetPointerState(Window* window, PointerKind kind, const Object* object) {
    auto* wp = static_cast<WindowPrivate*>(window->priv);
    wp->pointerKind = kind;
    wp->pointer = object;
    gfx::CurrentBackend()->pointerChanged(window);
}

}  // namespace

Object* NewObject(void* classPtr, const char* classId, Tags tags) {
    if (classPtr != nullptr || classId == nullptr || std::strcmp(classId, "pointerclass") != 0)
        return nullptr;
    const BitMap* bitmap = nullptr;
    uintptr_t wordWidth = 1;
    gfx::ForEachTag(tags, [&](uint32_t tag, uintptr_t data) {
        if (tag == POINTERA_BitMap) bitmap = reinterpret_cast<const BitMap*>(data);
        if (tag == POINTERA_WordWidth) wordWidth = data;
    });
    auto* object = new (std::nothrow) Object();
    if (object == nullptr) return nullptr;
    if (bitmap != nullptr && wordWidth > 0 && wordWidth <= 4 && bitmap->Rows <= 64) {
        uint32_t width = static_cast<uint32_t>(wordWidth) * 16;
        if (width > 8u * bitmap->BytesPerRow) width = 8u * bitmap->BytesPerRow;
        object->width = width;
        object->height = bitmap->Rows;
        object->image.assign(static_cast<size_t>(width) * bitmap->Rows, 0);
        uint32_t depth = bitmap->Depth > 8 ? 8 : bitmap->Depth;
        for (uint32_t y = 0; y < bitmap->Rows; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t pen = 0;
                for (uint32_t p = 0; p < depth; ++p) {
                    const uint8_t* plane = bitmap->Planes[p];
                    if (plane == nullptr) continue;
                    if (plane[y * bitmap->BytesPerRow + x / 8] & (0x80 >> (x % 8)))
                        pen = static_cast<uint8_t>(pen | (1u << p));
                }
                object->image[y * width + x] = pen;
                if (pen != 0) object->blank = false;
            }
        }
    }
    return object;
}

void DisposeObject(Object* object) { delete object; }

void SetWindowPointer(Window* window, Tags tags) {
    if (window == nullptr || window->priv == nullptr) return;
    bool busy = false;
    const Object* pointer = nullptr;
    gfx::ForEachTag(tags, [&](uint32_t tag, uintptr_t data) {
        if (tag == WA_BusyPointer) busy = data != 0;
        if (tag == WA_Pointer) pointer = reinterpret_cast<const Object*>(data);
    });
    if (busy)
        SetPointerState(window, PointerKind::Busy, nullptr);
    else if (pointer != nullptr)
        SetPointerState(window, PointerKind::Custom, pointer);
    else
        SetPointerState(window, PointerKind::Normal, nullptr);
}

}  // namespace os
