// lanterna-thumbnailer: the desktop's thumbnailer for the pictures Lanterna
// shows. It runs in the file manager's sandbox: it reads the one input,
// writes the one output, needs no display, no configuration and no helper
// process, and knows the form by the file's content alone. Result 0 with
// the PNG written; 1 with no file left behind.
#include <cstdio>
#include <cstring>

#include "ilbm/picture_reader.h"
#include "thumbnailer/thumbnail.h"
#include "thumbnailer/thumbnail_arguments.h"

namespace {

using namespace lanterna;

constexpr char kUsage[] =
    "Usage: lanterna-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "Writes a PNG thumbnail of an IFF picture (ILBM, PBM, ACBM, RGB8, RGBN, DEEP,\n"
    "the first frame of an ANIM), its longer side SIZE pixels (256 unless given),\n"
    "never larger than the picture is shown. INPUT is a path or a file:// URI.\n";

// The input read through the reader's source hook from a plain stdio
// stream: one task, no file-system handler, no read-ahead to wait for.
int32_t ReadInput(void* user, void* buffer, int32_t count) {
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(count), static_cast<std::FILE*>(user));
    return got == 0 && std::ferror(static_cast<std::FILE*>(user)) != 0 ? -1 : static_cast<int32_t>(got);
}

int32_t SeekInput(void* user, int64_t distance) {
    return std::fseek(static_cast<std::FILE*>(user), static_cast<long>(distance), SEEK_CUR) == 0 ? 0 : -1;
}

// The thumbnail replaces an output of the same name, as the file manager
// expects of a thumbnailer.
int32_t OpenOutput(void* user, os::ImageOutput* output) {
    return os::OpenImageOutput(static_cast<const char*>(user), true, output);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 0 ? argc - 1 : 0;
    const char* const* arguments = argc > 0 ? argv + 1 : argv;
    if (count == 1 && (std::strcmp(arguments[0], "--help") == 0 || std::strcmp(arguments[0], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    ThumbnailArguments parsed;
    if (!ParseThumbnailArguments(count, arguments, &parsed)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::FILE* input = std::fopen(parsed.input.c_str(), "rb");
    if (input == nullptr) {
        std::fprintf(stderr, "lanterna-thumbnailer: cannot open %s\n", parsed.input.c_str());
        return 1;
    }
    std::setvbuf(input, nullptr, _IOFBF, size_t{1} << 16);  // fewer reads of a large file
    PictureSource source;
    source.read = &ReadInput;
    source.seek = &SeekInput;
    source.user = input;
    PictureReader* reader = nullptr;
    int32_t result = OpenPictureReaderFrom(source, PictureReadOptions{}, &reader);
    if (result == 0) {
        ThumbnailOutput output;
        output.open = &OpenOutput;
        output.user = const_cast<char*>(parsed.output.c_str());
        result = WriteThumbnail(reader, parsed.size, output);
    }
    ClosePictureReader(reader);
    std::fclose(input);
    if (result != 0) {
        std::fprintf(stderr, "lanterna-thumbnailer: no thumbnail of %s (code %d)\n", parsed.input.c_str(),
                     static_cast<int>(result));
        return 1;
    }
    return 0;
}
