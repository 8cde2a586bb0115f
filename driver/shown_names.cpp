#include "driver/shown_names.h"

#include <cstdint>
#include <cstring>

#include "platform/dos/dos.h"

namespace lanterna {

namespace {

// The length of the valid UTF-8 character at p (0: not one), and its code
// point. Overlong forms, surrogates and values beyond U+10FFFF are not
// characters.
int32_t CharacterAt(const unsigned char* p, size_t left, uint32_t* code) {
    const unsigned char lead = p[0];
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    int32_t length = 0;
    uint32_t value = 0;
    uint32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (size_t(length) > left) return 0;
    for (int32_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (p[i] & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code = value;
    return length;
}

bool IsControl(uint32_t code) { return code < 0x20 || (code >= 0x7F && code < 0xA0); }

// Copies text, putting `standIn` for each byte that is no character and,
// when asked, for each control character.
std::string Replaced(const char* text, size_t size, const char* standIn, bool controls) {
    std::string out;
    out.reserve(size);
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (size_t at = 0; at < size;) {
        uint32_t code = 0;
        const int32_t length = CharacterAt(p + at, size - at, &code);
        if (length == 0 || (controls && IsControl(code))) {
            out += standIn;
            at += length == 0 ? 1 : size_t(length);
        } else {
            out.append(text + at, size_t(length));
            at += size_t(length);
        }
    }
    return out;
}

}  // namespace

std::string VisibleName(const char* name) {
    return name == nullptr ? std::string() : Replaced(name, std::strlen(name), "?", true);
}

std::string PrintedName(const char* name) {
    if (name == nullptr) return std::string();
    return os::IsInteractive(os::Output()) ? VisibleName(name) : std::string(name);
}

std::string ValidUtf8(const std::string& text) {
    return Replaced(text.data(), text.size(), "\xEF\xBF\xBD", false);
}

}  // namespace lanterna
