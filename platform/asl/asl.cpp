// The file requester over the desktop's own file chooser, or over a script
// in the headless backend.
//
// zenity is run as
//   zenity --file-selection --title=T --ok-label=L [--multiple --separator=US]
//          --filename=DRAWER/ [--file-filter="PATTERN | GLOB..."]
// and kdialog as
//   kdialog --title T --getopenfilename DRAWER "GLOB...|PATTERN" [--multiple --separate-output]
// always with an argument vector, never through a shell. DRAWER is the
// drawer last used, the current directory until something was chosen. Not
// every zenity takes a button label for its file chooser: one that refuses
// it (exit status 255, its error status) is asked again without, and from
// then on. The chosen paths come back on standard output; exit status 0
// means chosen, anything else cancel. A chooser's filter is a list of globs,
// so the requester's AmigaDOS pattern is turned into globs where it can be
// (alternatives, "#?", "?", "[...]"; any letter in either case) and means
// all files otherwise. Icons are left out of the globs when they are to be
// rejected, and a chosen icon is dropped all the same.

#include "platform/asl/asl.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <strings.h>
#include <unistd.h>

#include "platform/asl/desktop_tools.h"
#include "platform/asl/path_names.h"
#include "platform/dos/dos.h"
#include "platform/graphics/graphics.h"

namespace os {

namespace {

enum class Chooser { Script, Zenity, KDialog };

constexpr char SEPARATOR = '\x1f';  // between zenity's paths: no file name has it
constexpr size_t MAX_CHOOSER_OUTPUT = 1 << 20;
constexpr size_t MAX_GLOBS = 64;
constexpr int ZENITY_ERROR = 255;  // an option it does not take, among others

}  // namespace

struct FileRequesterPrivate {
    Chooser chooser = Chooser::Script;
    std::string program;  // the chooser's full path
    bool labelRefused = false;  // this zenity takes no --ok-label here
    std::string title = "Select a file";
    std::string positive = "OK";
    std::string negative;
    uint32_t flags1 = 0;
    bool rejectIcons = false;
    std::string pattern = "#?";
    std::string drawer;  // where the chooser opens: the drawer last used
    std::string file;
    std::vector<std::vector<std::string>> batches;  // the headless script
    size_t nextBatch = 0;
    // The last answer, owned here.
    std::vector<WBArg> args;
    std::vector<std::unique_ptr<char[]>> names;
    std::string answerFile, answerDrawer;
};

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// "a|b;c" -> {{a, b}, {c}}; a trailing ";" adds no batch.
std::vector<std::vector<std::string>> ParseScript(const char* script) {
    std::vector<std::vector<std::string>> batches;
    if (script == nullptr || *script == '\0') return batches;
    std::vector<std::string> parts = Split(script, ';');
    if (!parts.empty() && parts.back().empty()) parts.pop_back();
    for (const std::string& part : parts) {
        std::vector<std::string> paths;
        for (std::string& path : Split(part, '|')) {
            if (!path.empty()) paths.push_back(std::move(path));
        }
        batches.push_back(std::move(paths));
    }
    return batches;
}

void ApplyTags(FileRequesterPrivate* p, Tags tags) {
    for (const TagItem& tag : tags) {
        if (tag.ti_Tag == TAG_DONE) break;
        const char* text = reinterpret_cast<const char*>(tag.ti_Data);
        switch (tag.ti_Tag) {
            case ASLFR_TitleText:
                if (text != nullptr) p->title = text;
                break;
            case ASLFR_PositiveText:
                if (text != nullptr) p->positive = text;
                break;
            case ASLFR_NegativeText:
                if (text != nullptr) p->negative = text;
                break;
            case ASLFR_InitialDrawer:
                if (text != nullptr) p->drawer = text;
                break;
            case ASLFR_InitialFile:
                if (text != nullptr) p->file = text;
                break;
            case ASLFR_InitialPattern:
                if (text != nullptr) p->pattern = text;
                break;
            case ASLFR_Flags1:
                p->flags1 = static_cast<uint32_t>(tag.ti_Data);
                break;
            case ASLFR_RejectIcons:
                p->rejectIcons = tag.ti_Data != 0;
                break;
            default:
                break;
        }
    }
}

bool IsIconName(const std::string& name) {
    constexpr size_t suffix = 5;  // ".info"
    if (name.size() < suffix) return false;
    return strcasecmp(name.c_str() + name.size() - suffix, ".info") == 0;
}

// A letter in either case, other characters as they are.
std::string CaselessGlobChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
        return std::string("[") + static_cast<char>(std::tolower(u)) +
               static_cast<char>(std::toupper(u)) + "]";
    }
    if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') return std::string("[") + c + "]";
    if (c == ' ') return "?";  // the filter's globs are separated by blanks
    return std::string(1, c);
}

// Turns pattern[begin, end) into globs; false when it uses what globs cannot
// say (negation, repeats other than "#?") or gives too many.
bool PatternToGlobs(const std::string& pattern, size_t begin, size_t end,
                    std::vector<std::string>* globs) {
    std::vector<std::string> current{""};
    size_t i = begin;
    while (i < end) {
        char c = pattern[i];
        std::vector<std::string> pieces;
        if (c == '#' && i + 1 < end && pattern[i + 1] == '?') {
            pieces = {"*"};
            i += 2;
        } else if (c == '*') {
            pieces = {"*"};
            ++i;
        } else if (c == '?') {
            pieces = {"?"};
            ++i;
        } else if (c == '%') {
            pieces = {""};
            ++i;
        } else if (c == '\'') {
            if (i + 1 >= end) return false;
            pieces = {CaselessGlobChar(pattern[i + 1])};
            i += 2;
        } else if (c == '[') {
            size_t close = pattern.find(']', i + 1);
            if (close == std::string::npos || close >= end) return false;
            std::string set = pattern.substr(i + 1, close - i - 1);
            std::string glob = "[";
            size_t k = 0;
            if (!set.empty() && set[0] == '~') {
                glob += '!';
                k = 1;
            }
            for (; k < set.size(); ++k) {
                unsigned char u = static_cast<unsigned char>(set[k]);
                if (std::isalpha(u) && !(k + 1 < set.size() && set[k + 1] == '-') &&
                    !(k > 0 && set[k - 1] == '-')) {
                    glob += static_cast<char>(std::tolower(u));
                    glob += static_cast<char>(std::toupper(u));
                } else {
                    glob += set[k];
                }
            }
            glob += ']';
            pieces = {glob};
            i = close + 1;
        } else if (c == '(') {
            // The alternatives up to the matching parenthesis.
            int depth = 0;
            size_t close = i;
            std::vector<size_t> bars;
            for (size_t k = i; k < end; ++k) {
                if (pattern[k] == '\'') {
                    ++k;
                } else if (pattern[k] == '(') {
                    ++depth;
                } else if (pattern[k] == ')') {
                    if (--depth == 0) {
                        close = k;
                        break;
                    }
                } else if (pattern[k] == '|' && depth == 1) {
                    bars.push_back(k);
                }
            }
            if (close == i) return false;
            size_t from = i + 1;
            bars.push_back(close);
            for (size_t bar : bars) {
                if (!PatternToGlobs(pattern, from, bar, &pieces)) return false;
                from = bar + 1;
            }
            i = close + 1;
        } else if (c == '~' || c == '#' || c == '|' || c == ')') {
            return false;
        } else {
            pieces = {CaselessGlobChar(c)};
            ++i;
        }
        std::vector<std::string> next;
        for (const std::string& head : current) {
            for (const std::string& piece : pieces) {
                if (next.size() >= MAX_GLOBS) return false;
                next.push_back(head + piece);
            }
        }
        current = std::move(next);
    }
    for (std::string& glob : current) {
        if (globs->size() >= MAX_GLOBS) return false;
        globs->push_back(std::move(glob));
    }
    return true;
}

// Every name that does not end in ".info", in either case.
const std::vector<std::string>& NonIconGlobs() {
    static const std::vector<std::string> globs = {
        "*[!oO]", "*[!fF][oO]", "*[!nN][fF][oO]", "*[!iI][nN][fF][oO]", "*[!.][iI][nN][fF][oO]",
        "?",      "??",         "???",            "????"};
    return globs;
}

// The globs the chooser filters by.
std::vector<std::string> FilterGlobs(const FileRequesterPrivate* p) {
    std::vector<std::string> globs;
    if (!(p->flags1 & FRF_DOPATTERNS) || !PatternToGlobs(p->pattern, 0, p->pattern.size(), &globs)) {
        globs = {"*"};
    }
    if (p->rejectIcons && globs.size() == 1 && globs[0] == "*") return NonIconGlobs();
    return globs;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

// Runs the chooser; false on cancel. `paths` receives what was chosen.
bool RunChooser(FileRequesterPrivate* p, std::vector<std::string>* paths) {
    bool multi = (p->flags1 & FRF_DOMULTISELECT) != 0;
    std::vector<std::string> globs = FilterGlobs(p);
    // Until something was chosen the chooser opens in the current directory,
    // as the requester's empty drawer means.
    std::string start = p->drawer;
    if (start.empty()) {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) != nullptr) start = cwd;
    }
    if (!start.empty() && start.back() != '/') start += '/';
    std::vector<std::string> argv{p->program};
    if (p->chooser == Chooser::Zenity) {
        argv.push_back("--file-selection");
        argv.push_back("--title=" + p->title);
        if (!p->labelRefused) argv.push_back("--ok-label=" + p->positive);
        if (!p->negative.empty()) argv.push_back("--cancel-label=" + p->negative);
        if (multi) {
            argv.push_back("--multiple");
            argv.push_back(std::string("--separator=") + SEPARATOR);
        }
        if (!start.empty() || !p->file.empty()) argv.push_back("--filename=" + start + p->file);
        std::string name = (p->flags1 & FRF_DOPATTERNS) ? p->pattern : "All files";
        for (char& c : name) {
            if (c == '|') c = '/';  // the filter's name ends at its "|"
        }
        argv.push_back("--file-filter=" + name + " | " + Join(globs, " "));
    } else {
        argv.push_back("--title");
        argv.push_back(p->title);
        argv.push_back("--getopenfilename");
        argv.push_back(start.empty() ? "." : start + p->file);
        std::string name = (p->flags1 & FRF_DOPATTERNS) ? p->pattern : "All files";
        argv.push_back(Join(globs, " ") + "|" + name);
        if (multi) {
            argv.push_back("--multiple");
            argv.push_back("--separate-output");
        }
    }
    std::string output;
    int status = desktop::RunChild(argv, &output, MAX_CHOOSER_OUTPUT);
    if (status == ZENITY_ERROR && p->chooser == Chooser::Zenity && !p->labelRefused) {
        p->labelRefused = true;
        return RunChooser(p, paths);
    }
    if (status != 0) return false;
    while (!output.empty() && output.back() == '\n') output.pop_back();
    char separator = p->chooser == Chooser::Zenity && multi ? SEPARATOR : '\n';
    for (std::string& path : Split(output, separator)) {
        if (!path.empty()) paths->push_back(std::move(path));
    }
    return true;
}

void ReleaseAnswer(FileRequester* requester) {
    FileRequesterPrivate* p = requester->priv;
    for (WBArg& arg : p->args) UnLock(arg.wa_Lock);
    p->args.clear();
    p->names.clear();
    p->answerFile.clear();
    p->answerDrawer.clear();
    requester->fr_NumArgs = 0;
    requester->fr_ArgList = nullptr;
    requester->fr_File = nullptr;
    requester->fr_Drawer = nullptr;
}

// Turns the chosen paths into (directory lock, name) pairs. Icons are dropped
// when they are rejected; a path whose directory cannot be locked is left out.
void SetAnswer(FileRequester* requester, const std::vector<std::string>& paths) {
    FileRequesterPrivate* p = requester->priv;
    bool multi = (p->flags1 & FRF_DOMULTISELECT) != 0;
    for (const std::string& path : paths) {
        std::string drawer, name;
        internal::SplitPath(path, &drawer, &name);
        if (name.empty() || (p->rejectIcons && IsIconName(name))) continue;
        FileLock* lock = Lock(drawer.c_str(), SHARED_LOCK);
        if (lock == nullptr) continue;
        std::unique_ptr<char[]> copy(new (std::nothrow) char[name.size() + 1]);
        if (copy == nullptr) {
            UnLock(lock);
            continue;
        }
        std::memcpy(copy.get(), name.c_str(), name.size() + 1);
        if (p->args.empty()) {
            p->answerDrawer = drawer;
            p->answerFile = name;
        }
        p->args.push_back(WBArg{lock, copy.get()});
        p->names.push_back(std::move(copy));
        if (!multi) break;
    }
    requester->fr_NumArgs = static_cast<int32_t>(p->args.size());
    requester->fr_ArgList = p->args.empty() ? nullptr : p->args.data();
    requester->fr_File = p->answerFile.data();
    requester->fr_Drawer = p->answerDrawer.data();
    // The next request opens where this one ended.
    if (!p->args.empty()) {
        p->drawer = p->answerDrawer;
        p->file.clear();
    }
}

}  // namespace

FileRequester* AllocAslRequestTags(uint32_t requesterType, Tags tags) {
    if (requesterType != ASL_FileRequest) return nullptr;
    std::unique_ptr<FileRequesterPrivate> p(new (std::nothrow) FileRequesterPrivate);
    if (p == nullptr) return nullptr;
    if (desktop::HeadlessRequested()) {
        p->chooser = Chooser::Script;
        p->batches = ParseScript(std::getenv("LANTERNA_REQUESTER"));
    } else {
        if (!desktop::DisplayPresent()) return nullptr;
        if (std::string zenity = desktop::FindProgram("zenity"); !zenity.empty()) {
            p->chooser = Chooser::Zenity;
            p->program = zenity;
        } else if (std::string kdialog = desktop::FindProgram("kdialog"); !kdialog.empty()) {
            p->chooser = Chooser::KDialog;
            p->program = kdialog;
        } else {
            return nullptr;
        }
    }
    ApplyTags(p.get(), tags);
    auto* requester = new (std::nothrow) FileRequester;
    if (requester == nullptr) return nullptr;
    requester->priv = p.release();
    requester->fr_Pattern = requester->priv->pattern.data();
    return requester;
}

bool AslRequestTags(FileRequester* requester, Tags tags) {
    if (requester == nullptr || requester->priv == nullptr) return false;
    FileRequesterPrivate* p = requester->priv;
    ReleaseAnswer(requester);
    ApplyTags(p, tags);
    requester->fr_Pattern = p->pattern.data();
    std::vector<std::string> paths;
    if (p->chooser == Chooser::Script) {
        if (p->nextBatch >= p->batches.size()) return false;  // Cancel
        paths = p->batches[p->nextBatch++];
    } else {
        ReleaseKeptWindows();  // no picture's window left behind the chooser
        if (!RunChooser(p, &paths)) return false;
    }
    SetAnswer(requester, paths);
    return true;
}

void FreeAslRequest(FileRequester* requester) {
    if (requester == nullptr) return;
    if (requester->priv != nullptr) {
        ReleaseAnswer(requester);
        delete requester->priv;
    }
    delete requester;
}

}  // namespace os
