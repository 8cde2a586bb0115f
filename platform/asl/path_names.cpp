#include "platform/asl/path_names.h"

namespace os::internal {

void SplitPath(std::string path, std::string* directory, std::string* name) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.find_last_of('/');
    // assign() with counts rather than from literals: GCC 12 at -O2 reports a
    // false -Wrestrict overlap for the literal form.
    if (slash == std::string::npos) {
        directory->assign(1, '.');
        name->assign(path);
    } else {
        if (slash == 0) {
            directory->assign(1, '/');
        } else {
            directory->assign(path, 0, slash);
        }
        name->assign(path, slash + 1, std::string::npos);
    }
}

}  // namespace os::internal
