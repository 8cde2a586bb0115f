// libFuzzer target over ReadArgs: any template (empty included) over any
// argument vector, or over a "?" answer read from standard input.
//
// Input: byte 0 chooses the form (bit 0: "?" and a line on standard input);
// the rest is split at '\n': the template first, then one argument per line
// (in the "?" form, everything after the template is the standard input).
//
// Beyond "no crash" it checks what a caller relies on: the array is written
// only on success and never past the template's items; a required item is
// filled; a /M slot is a null-terminated array of strings, a /N slot points
// at a number; a failure leaves one of ReadArgs' own DOS codes in IoErr.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dos/dos.h"
#include "platform/testing/memory_file.h"

namespace {

constexpr intptr_t UNTOUCHED = 0x5A5A5A5A;
constexpr size_t GUARD_SLOTS = 4;

os::testing::MemoryFile* input = nullptr;

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(at, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// The modifiers of one template item, as far as the checks need them; false
// for an item whose form the checks do not try to follow.
struct Modifiers {
    bool required = false, sw = false, number = false, multiple = false, toggle = false;
};
bool ReadModifiers(const std::string& item, Modifiers& m) {
    const std::vector<std::string> parts = Split(item, '/');
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].size() != 1) return false;
        switch (parts[i][0] | 0x20) {
        case 'a': m.required = true; break;
        case 's': m.sw = true; break;
        case 'n': m.number = true; break;
        case 'm': m.multiple = true; break;
        case 't': m.toggle = true; break;
        case 'k': case 'f': break;
        default: return false;
        }
    }
    return true;
}

bool IsReadArgsCode(int32_t code) {
    switch (code) {
    case os::ERROR_NO_FREE_STORE: case os::ERROR_BAD_TEMPLATE: case os::ERROR_BAD_NUMBER:
    case os::ERROR_REQUIRED_ARG_MISSING: case os::ERROR_KEY_NEEDS_ARG: case os::ERROR_TOO_MANY_ARGS:
    case os::ERROR_UNMATCHED_QUOTES: case os::ERROR_LINE_TOO_LONG:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "ReadArgs: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (input == nullptr) {
        // The "?" form prints the template: keep it out of the fuzzer's output.
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        input = os::testing::CreateMemoryFile("fuzz_read_args_stdin");
        if (input == nullptr) std::abort();
    }
    if (size == 0) return 0;
    const bool question = (data[0] & 1) != 0;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.c_str();  // templates and arguments are C strings
    const size_t newline = text.find('\n');
    const std::string tmpl = text.substr(0, newline);
    const std::string rest = newline == std::string::npos ? std::string() : text.substr(newline + 1);

    std::vector<std::string> args;
    if (question) {
        args.push_back("?");
        if (!os::testing::SetMemoryFileContents(input, reinterpret_cast<const uint8_t*>(rest.data()), rest.size()) ||
            std::freopen(os::testing::MemoryFileName(input), "r", stdin) == nullptr) {
            std::abort();
        }
    } else if (newline != std::string::npos) {
        args = Split(rest, '\n');
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    os::SetProgramArguments(static_cast<int>(argv.size()), argv.data());

    // One slot per item; a template of blanks has none.
    const bool blank = tmpl.find_first_not_of(" \t") == std::string::npos;
    const std::vector<std::string> items = blank ? std::vector<std::string>{} : Split(tmpl, ',');
    std::vector<intptr_t> array(items.size() + GUARD_SLOTS, UNTOUCHED);

    os::RDArgs* rd = os::ReadArgs(tmpl.c_str(), array.data(), nullptr);
    for (size_t i = items.size(); i < array.size(); ++i) {
        if (array[i] != UNTOUCHED) Fail("wrote past the template's items");
    }
    if (rd == nullptr) {
        if (!IsReadArgsCode(os::IoErr())) Fail("failed with a code that is not its own");
        for (size_t i = 0; i < items.size(); ++i) {
            if (array[i] != UNTOUCHED) Fail("wrote the array although it failed");
        }
        return 0;
    }
    for (size_t i = 0; i < items.size(); ++i) {
        Modifiers m;
        if (!ReadModifiers(items[i], m)) continue;
        const intptr_t slot = array[i];
        if (slot == UNTOUCHED) {
            if (m.required) Fail("a required item was left empty");
            continue;
        }
        if (m.sw || m.toggle || slot == 0) continue;
        if (m.multiple) {
            const auto* values = reinterpret_cast<const char* const*>(slot);
            size_t n = 0;
            for (; values[n] != nullptr; ++n) {
                if (n > size) Fail("a /M array without its terminator");
                (void)std::strlen(values[n]);
            }
        } else if (m.number) {
            (void)*reinterpret_cast<const int32_t*>(slot);
        } else {
            (void)std::strlen(reinterpret_cast<const char*>(slot));
        }
    }
    os::FreeArgs(rd);
    return 0;
}
