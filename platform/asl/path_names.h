// Paths as (directory, name) pairs, as the Workbench and the file requester
// hand files to the program.
#pragma once

#include <string>

namespace os::internal {

// "a/b/c" -> ("a/b", "c"); "c" -> (".", "c"); "/c" -> ("/", "c").
// Trailing slashes are not part of the name.
void SplitPath(std::string path, std::string* directory, std::string* name);

}  // namespace os::internal
