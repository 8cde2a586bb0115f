#include "convert/output_names.h"

namespace lanterna {

std::string FileStem(const std::string& input) {
    if (input == "-") return "stdin";
    const size_t slash = input.find_last_of('/');
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    // A leading dot is part of the name (".hidden"), not an extension.
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string OutputBase(const std::string& input, const std::string& outputDir) {
    const std::string stem = FileStem(input);
    if (!outputDir.empty()) {
        return outputDir.back() == '/' ? outputDir + stem : outputDir + "/" + stem;
    }
    const size_t slash = input.find_last_of('/');
    if (input == "-" || slash == std::string::npos) return stem;
    return input.substr(0, slash + 1) + stem;
}

}  // namespace lanterna
