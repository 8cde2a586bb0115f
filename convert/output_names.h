// The names of the converted files: the input's name without its
// extension, beside the input or in the chosen directory.
#pragma once

#include <string>

namespace lanterna {

// "pics/intro.anim" gives "intro"; standard input ("-") gives "stdin".
std::string FileStem(const std::string& input);
// Where the outputs of `input` go, without extension: the stem beside the
// input, or in outputDir when one is given.
std::string OutputBase(const std::string& input, const std::string& outputDir);

}  // namespace lanterna
