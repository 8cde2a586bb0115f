// lanterna-convert: pictures of the IFF family to PNG, animations and
// colour cycling to animated GIF or WebP, through the viewer's own reader and
// pixel conversion. Each file is converted on its own: one that fails is
// reported and the rest go on; the result says whether any failed.
#include <cstdio>
#include <filesystem>
#include <string>

#include "convert/convert_options.h"
#include "convert/convert_picture.h"
#include "convert/frame_sink.h"
#include "platform/dos/dos.h"
#include "records/message_table.h"

namespace {

constexpr const char* kProgram = "lanterna-convert";
constexpr const char* kVersion = "lanterna-convert 1.12";

void PrintHelp() {
    std::printf(
        "Usage: %s [OPTION]... FILE...\n"
        "Converts IFF pictures (ILBM, PBM, ACBM, RGB8, RGBN, DEEP) to PNG, and animations\n"
        "(FORM ANIM) and colour cycling to animated GIF or lossless WebP.\n"
        "FILE - reads standard input and writes standard output.\n"
        "\n"
        "  -o, --output DIR     write into DIR (default: beside each file); - for standard output\n"
        "      --aspect         hires and interlaced pictures in the shape the viewer gives them\n"
        "      --scale N        every pixel N times in each direction (1 to 16)\n"
        "      --frames         one PNG a frame: NAME-0001.png, NAME-0002.png, ...\n"
        "      --cycle[=SECONDS]  write the colour cycling as an animation: one whole period of\n"
        "                       its ranges when that is at most a minute, else SECONDS (10)\n"
        "      --format FORMAT  png, gif or webp (default: png; gif for cycling and colour-mapped\n"
        "                       animations, webp for HAM and deeper ones)\n"
        "  -f, --force          replace existing output files (never an input)\n"
        "      --ehb            a 6-plane picture without a display mode is Extra-Half-Brite\n"
        "  -h, --help           show this help and exit\n"
        "      --version        show the version and exit\n"
        "\n"
        "Exit status: 0 when every file was converted, 1 when any failed, 2 for a wrong command line.\n",
        kProgram);
}

// The message table's words where it has a row, the system's otherwise.
std::string Reason(int32_t code) {
    switch (code) {
        case lanterna::CONVERT_WOULD_REPLACE_INPUT: return "would replace an input file";
        case lanterna::CONVERT_TOO_MANY_COLOURS: return "more than 256 colours: a GIF cannot hold it (use --format webp)";
        case lanterna::CONVERT_NEEDS_ANIMATION: return "colour cycling is an animation: use --format gif or webp, or --frames";
        case os::ERROR_OBJECT_EXISTS: return "exists (use --force to replace it)";
        default: break;
    }
    if (const char* message = lanterna::TableMessage(code)) return message;
    char text[256] = {};
    os::Fault(code, nullptr, text, sizeof text);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    lanterna::ConvertOptions options;
    std::string message;
    if (lanterna::ParseConvertOptions(argc - 1, argv + 1, &options, &message) != 0) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, message.c_str(), kProgram);
        return 2;
    }
    if (options.help) {
        PrintHelp();
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", kVersion);
        return 0;
    }
    std::error_code error;
    if (!options.outputDir.empty() && options.outputDir != "-" &&
        !std::filesystem::is_directory(options.outputDir, error)) {
        std::fprintf(stderr, "%s: %s: not a directory\n", kProgram, options.outputDir.c_str());
        return 2;
    }
    int failures = 0;
    for (const std::string& file : options.files) {
        const lanterna::ConvertResult result = lanterna::ConvertFile(file, options);
        if (result.code != 0) {
            ++failures;
            // Whose fault: the output's for refusals of the file to write.
            const bool output = result.code == os::ERROR_OBJECT_EXISTS ||
                                result.code == lanterna::CONVERT_WOULD_REPLACE_INPUT;
            const std::string& name = output ? result.output : file;
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, name.c_str(), Reason(result.code).c_str());
        }
        if (!result.note.empty()) {
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, file.c_str(), result.note.c_str());
        }
    }
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
