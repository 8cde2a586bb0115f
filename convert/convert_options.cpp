#include "convert/convert_options.h"

#include <cstdlib>
#include <cstring>

namespace lanterna {

namespace {

bool WholeNumber(const std::string& text, int32_t low, int32_t high, int32_t* value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const long number = std::strtol(text.c_str(), nullptr, 10);
    if (number < low || number > high) return false;
    *value = int32_t(number);
    return true;
}

// An option's value: after "=" in the same word, or the next word.
bool TakeValue(const std::string& word, size_t nameLength, int argc, const char* const* argv, int* i,
               std::string* value) {
    if (word.size() > nameLength && word[nameLength] == '=') {
        *value = word.substr(nameLength + 1);
        return true;
    }
    if (word.size() > nameLength && word[1] != '-') {  // -oDIR
        *value = word.substr(nameLength);
        return true;
    }
    if (word.size() != nameLength || *i + 1 >= argc) return false;
    *value = argv[++*i];
    return true;
}

bool StartsWith(const std::string& word, const char* name) {
    const size_t n = std::strlen(name);
    return word.compare(0, n, name) == 0 && (word.size() == n || word[n] == '=' || name[1] != '-');
}

}  // namespace

int32_t ParseConvertOptions(int argc, const char* const* argv, ConvertOptions* options, std::string* message) {
    *options = ConvertOptions{};
    bool onlyFiles = false;
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        std::string value;
        if (onlyFiles || word == "-" || word.empty() || word[0] != '-') {
            options->files.push_back(word);
        } else if (word == "--") {
            onlyFiles = true;
        } else if (word == "-h" || word == "--help") {
            options->help = true;
        } else if (word == "--version") {
            options->version = true;
        } else if (word == "--aspect") {
            options->aspect = true;
        } else if (word == "--frames") {
            options->frames = true;
        } else if (word == "--force" || word == "-f") {
            options->force = true;
        } else if (word == "--ehb") {
            options->halfBrite = true;
        } else if (word == "--cycle") {
            options->cycle = true;
        } else if (word.compare(0, 8, "--cycle=") == 0) {
            options->cycle = true;
            if (!WholeNumber(word.substr(8), 1, CONVERT_MAX_CYCLE_SECONDS, &options->cycleSeconds)) {
                *message = "--cycle takes whole seconds from 1 to " + std::to_string(CONVERT_MAX_CYCLE_SECONDS);
                return 1;
            }
        } else if (StartsWith(word, "-o") || StartsWith(word, "--output")) {
            const size_t length = word[1] == '-' ? 8 : 2;
            if (!TakeValue(word, length, argc, argv, &i, &value) || value.empty()) {
                *message = "-o needs a directory";
                return 1;
            }
            options->outputDir = value;
        } else if (StartsWith(word, "--scale")) {
            if (!TakeValue(word, 7, argc, argv, &i, &value) ||
                !WholeNumber(value, 1, CONVERT_MAX_SCALE, &options->scale)) {
                *message = "--scale takes a whole number from 1 to " + std::to_string(CONVERT_MAX_SCALE);
                return 1;
            }
        } else if (StartsWith(word, "--format")) {
            if (!TakeValue(word, 8, argc, argv, &i, &value)) value.clear();
            if (value == "png") options->kind = OutputKind::Png;
            else if (value == "gif") options->kind = OutputKind::Gif;
            else if (value == "webp") options->kind = OutputKind::Webp;
            else {
                *message = "--format takes png, gif or webp";
                return 1;
            }
        } else {
            *message = "unknown option " + word;
            return 1;
        }
    }
    if (options->help || options->version) return 0;
    if (options->files.empty()) {
        *message = "no file given";
        return 1;
    }
    if (options->outputDir == "-" && (options->files.size() != 1 || options->frames)) {
        *message = "-o - writes one picture to standard output: give one file, without --frames";
        return 1;
    }
    if (options->frames && (options->kind == OutputKind::Gif || options->kind == OutputKind::Webp)) {
        *message = "--frames writes PNG files";
        return 1;
    }
    return 0;
}

}  // namespace lanterna
