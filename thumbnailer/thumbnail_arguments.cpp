// Parsing the thumbnailer's command line.
#include "thumbnailer/thumbnail_arguments.h"

#include <cstring>

namespace lanterna {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A file:// URI (%u) names a local path, its bytes percent-encoded; any
// other text is a path as it is (%i).
bool InputPath(const char* text, std::string* path) {
    constexpr char kScheme[] = "file://";
    if (std::strncmp(text, kScheme, sizeof kScheme - 1) != 0) {
        *path = text;
        return !path->empty();
    }
    const char* at = text + sizeof kScheme - 1;
    if (*at != '/') return false;  // a host other than the local one
    path->clear();
    for (; *at != '\0'; ++at) {
        if (*at != '%') {
            path->push_back(*at);
            continue;
        }
        const int high = HexDigit(at[1]);
        const int low = high < 0 ? -1 : HexDigit(at[2]);
        if (low < 0) return false;
        const char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') return false;
        path->push_back(byte);
        at += 2;
    }
    return true;
}

bool Size(const char* text, uint32_t* size) {
    uint64_t value = 0;
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return false;
        value = value * 10 + static_cast<uint64_t>(*text - '0');
        if (value > 65536) return false;
    }
    *size = static_cast<uint32_t>(value);
    return value > 0;
}

}  // namespace

bool ParseThumbnailArguments(int count, const char* const* arguments, ThumbnailArguments* parsed) {
    const char* files[2] = {};
    int fileCount = 0;
    for (int i = 0; i < count; ++i) {
        const char* a = arguments[i];
        if (std::strcmp(a, "-s") == 0 || std::strcmp(a, "--size") == 0) {
            if (i + 1 >= count || !Size(arguments[++i], &parsed->size)) return false;
        } else if (std::strncmp(a, "-s", 2) == 0 && a[2] != '\0') {
            if (!Size(a + 2, &parsed->size)) return false;
        } else if (a[0] == '-' && a[1] != '\0') {
            return false;
        } else if (fileCount < 2) {
            files[fileCount++] = a;
        } else {
            return false;
        }
    }
    if (fileCount != 2 || !InputPath(files[0], &parsed->input)) return false;
    parsed->output = files[1];
    return !parsed->output.empty();
}

}  // namespace lanterna
