// ReadArgs: the AmigaDOS template language over the program's arguments.
//
// A template is a list of items separated by ","; an item is one or more
// names separated by "=" (the first is the usual short form: "C=CENTER")
// followed by modifiers:
//   /A  required            /K  only with its keyword   /S  switch
//   /N  number (the slot points at an int32)            /T  toggle
//   /M  several values (a null-terminated array)        /F  rest of the line
//
// Arguments are taken in order. A keyword (any of an item's names, in any
// case) takes the next argument as its value; "KEY=value", "KEY= value" and
// "KEY = value" are the same. An argument that is not a keyword fills the
// first item that takes values without a keyword and has none yet; once a /M
// item is reached it collects all further such arguments. At the end, items
// after a /M item that are required and still empty take the last values of
// the /M item, so "FROM/M,TO/A" with "a b c" gives TO = c.
//
// The shell has already split and unquoted the arguments. A lone "?" prints
// the template and reads a line from standard input instead; that line is
// split here, with AmigaDOS quoting: "..." keeps blanks and is never a
// keyword, and inside it *" is a quote, *n a newline, *e an escape and ** a
// star.
//
// The array is written only when parsing succeeds, and only for the items
// given (a /T item's slot is toggled from the value the caller put there);
// everything it then points at belongs to the returned RDArgs until FreeArgs.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <vector>

#include "platform/dos/dos.h"

namespace os {

struct RDArgs {
    std::deque<std::string> strings;
    std::deque<int32_t> numbers;
    std::deque<std::vector<intptr_t>> arrays;
};

namespace {

constexpr intptr_t DOSTRUE = -1;
constexpr size_t MAX_LINE = 4096;  // a longer "?" answer is ERROR_LINE_TOO_LONG

std::vector<std::string>& ProgramArguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

struct TemplateItem {
    std::vector<std::string> names;
    bool required = false, keyword = false, sw = false, number = false;
    bool multiple = false, rest = false, toggle = false;

    bool TakesPositional() const { return !keyword && !sw && !toggle; }
};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// 0 or ERROR_BAD_TEMPLATE.
int32_t ParseTemplate(const char* tmpl, std::vector<TemplateItem>& items) {
    std::string t(tmpl);
    if (Trim(t).empty()) return 0;
    bool seenMultiple = false;
    size_t start = 0;
    while (start <= t.size()) {
        size_t comma = t.find(',', start);
        if (comma == std::string::npos) comma = t.size();
        std::string text = t.substr(start, comma - start);
        start = comma + 1;

        TemplateItem item;
        size_t slash = text.find('/');
        std::string names = Trim(text.substr(0, slash));
        size_t ns = 0;
        while (ns <= names.size()) {
            size_t eq = names.find('=', ns);
            if (eq == std::string::npos) eq = names.size();
            std::string name = Trim(names.substr(ns, eq - ns));
            if (name.empty() || name.find_first_of(" \t\"") != std::string::npos) return ERROR_BAD_TEMPLATE;
            item.names.push_back(name);
            ns = eq + 1;
        }
        while (slash != std::string::npos) {
            size_t next = text.find('/', slash + 1);
            std::string mod = Trim(text.substr(slash + 1, next == std::string::npos ? std::string::npos
                                                                                   : next - slash - 1));
            slash = next;
            if (mod.size() != 1) return ERROR_BAD_TEMPLATE;
            switch (mod[0]) {
            case 'A': case 'a': item.required = true; break;
            case 'K': case 'k': item.keyword = true; break;
            case 'S': case 's': item.sw = true; break;
            case 'N': case 'n': item.number = true; break;
            case 'M': case 'm': item.multiple = true; break;
            case 'F': case 'f': item.rest = true; break;
            case 'T': case 't': item.toggle = true; break;
            default: return ERROR_BAD_TEMPLATE;
            }
        }
        // Combinations that cannot mean anything.
        if ((item.sw || item.toggle) && (item.number || item.multiple || item.rest || item.keyword)) {
            return ERROR_BAD_TEMPLATE;
        }
        if (item.sw && item.toggle) return ERROR_BAD_TEMPLATE;
        if (item.rest && item.multiple) return ERROR_BAD_TEMPLATE;
        if (item.multiple) {
            if (seenMultiple) return ERROR_BAD_TEMPLATE;
            seenMultiple = true;
        }
        items.push_back(std::move(item));
        if (comma == t.size()) break;
    }
    return 0;
}

struct Token {
    std::string text;
    bool literal = false;  // quoted or the value half of KEY=value: never a keyword
    bool equals = false;   // a lone "=" between a keyword and its value
};

int FindKeyword(const std::vector<TemplateItem>& items, const std::string& word) {
    for (size_t i = 0; i < items.size(); ++i)
        for (const auto& name : items[i].names)
            if (SameIgnoringCase(name, word)) return static_cast<int>(i);
    return -1;
}

// Splits "KEY=value" when KEY is one of the template's names; any other
// argument with "=" in it (a file name, say) is left whole.
void AddArgument(const std::vector<TemplateItem>& items, const std::string& arg, bool literal,
                 std::vector<Token>& out) {
    if (!literal) {
        if (arg == "=") {
            out.push_back({arg, false, true});
            return;
        }
        size_t eq = arg.find('=');
        if (eq != std::string::npos && eq > 0 && FindKeyword(items, arg.substr(0, eq)) >= 0) {
            out.push_back({arg.substr(0, eq), false, false});
            out.push_back({"=", false, true});
            if (eq + 1 < arg.size()) out.push_back({arg.substr(eq + 1), true, false});
            return;
        }
    }
    out.push_back({arg, literal, false});
}

// Splits a typed line with AmigaDOS quoting. 0 or ERROR_UNMATCHED_QUOTES.
int32_t SplitLine(const std::vector<TemplateItem>& items, const std::string& line, std::vector<Token>& out) {
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= n) break;
        if (line[i] == '"') {
            std::string value;
            ++i;
            bool closed = false;
            while (i < n) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '*' && i < n) {
                    char e = line[i++];
                    switch (e) {
                    case '"': value += '"'; break;
                    case '*': value += '*'; break;
                    case 'n': case 'N': value += '\n'; break;
                    case 'e': case 'E': value += '\x1b'; break;
                    default: value += '*'; value += e; break;
                    }
                    continue;
                }
                value += c;
            }
            if (!closed) return ERROR_UNMATCHED_QUOTES;
            out.push_back({value, true, false});
            continue;
        }
        // An unquoted word ends at a blank, or after "=" when a quoted value
        // follows at once (KEY="a b").
        size_t start = i;
        while (i < n && line[i] != ' ' && line[i] != '\t') {
            if (line[i] == '=' && i + 1 < n && line[i + 1] == '"') {
                ++i;
                break;
            }
            ++i;
        }
        AddArgument(items, line.substr(start, i - start), false, out);
    }
    return 0;
}

// Reads one line from standard input. 0, or ERROR_LINE_TOO_LONG.
int32_t ReadLine(std::string& line) {
    line.clear();
    bool tooLong = false;
    for (;;) {
        int c = std::fgetc(stdin);
        if (c == EOF || c == '\n') break;
        if (line.size() >= MAX_LINE) {
            tooLong = true;  // keep reading so the rest of the line is consumed
            continue;
        }
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return tooLong ? ERROR_LINE_TOO_LONG : 0;
}

struct Values {
    bool given = false;
    std::string text;                // plain and /F items
    std::vector<std::string> many;   // /M items
    int32_t number = 0;
    std::vector<int32_t> numbers;    // /N/M
    intptr_t flag = 0;               // /S and /T
};

bool ToNumber(const std::string& text, int32_t& value) {
    int32_t v = 0;
    int32_t used = StrToLong(text.c_str(), &v);
    if (used <= 0 || static_cast<size_t>(used) != text.size()) return false;
    value = v;
    return true;
}

std::string JoinRest(const std::vector<Token>& tokens, size_t from) {
    std::string s;
    for (size_t i = from; i < tokens.size(); ++i) {
        if (i > from) s += ' ';
        s += tokens[i].text;
    }
    return s;
}

int32_t Store(const TemplateItem& item, Values& v, const std::string& text) {
    if (item.multiple) {
        if (item.number) {
            int32_t n = 0;
            if (!ToNumber(text, n)) return ERROR_BAD_NUMBER;
            v.numbers.push_back(n);
        }
        v.many.push_back(text);
    } else {
        if (item.number && !ToNumber(text, v.number)) return ERROR_BAD_NUMBER;
        v.text = text;
    }
    v.given = true;
    return 0;
}

int32_t Parse(const std::vector<TemplateItem>& items, const std::vector<Token>& tokens,
              const intptr_t* array, std::vector<Values>& values) {
    values.assign(items.size(), Values{});
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].toggle) values[i].flag = array[i] != 0 ? DOSTRUE : 0;

    for (size_t t = 0; t < tokens.size(); ++t) {
        const Token& tok = tokens[t];
        int k = tok.literal || tok.equals ? -1 : FindKeyword(items, tok.text);
        if (k >= 0) {
            const TemplateItem& item = items[static_cast<size_t>(k)];
            Values& v = values[static_cast<size_t>(k)];
            if (item.sw || item.toggle) {
                if (t + 1 < tokens.size() && tokens[t + 1].equals) return ERROR_TOO_MANY_ARGS;
                if (item.toggle) v.flag = v.flag ? 0 : DOSTRUE;
                else v.flag = DOSTRUE;
                v.given = true;
                continue;
            }
            if (t + 1 < tokens.size() && tokens[t + 1].equals) ++t;
            if (t + 1 >= tokens.size()) return ERROR_KEY_NEEDS_ARG;
            ++t;
            if (item.rest) {
                v.text = JoinRest(tokens, t);
                v.given = true;
                break;
            }
            int32_t err = Store(item, v, tokens[t].text);
            if (err != 0) return err;
            continue;
        }
        // Not a keyword: the first item that takes values without one.
        int target = -1;
        for (size_t i = 0; i < items.size(); ++i) {
            if (!items[i].TakesPositional()) continue;
            if (items[i].multiple || !values[i].given) {
                target = static_cast<int>(i);
                break;
            }
        }
        if (target < 0) return ERROR_TOO_MANY_ARGS;
        const TemplateItem& item = items[static_cast<size_t>(target)];
        Values& v = values[static_cast<size_t>(target)];
        if (item.rest) {
            v.text = JoinRest(tokens, t);
            v.given = true;
            break;
        }
        int32_t err = Store(item, v, tok.text);
        if (err != 0) return err;
    }

    // Required items after the /M item take its last values.
    for (size_t m = 0; m < items.size(); ++m) {
        if (!items[m].multiple) continue;
        for (size_t i = items.size(); i-- > m + 1;) {
            const TemplateItem& item = items[i];
            if (!item.required || !item.TakesPositional() || values[i].given) continue;
            Values& mv = values[m];
            if (mv.many.empty()) break;
            std::string last = mv.many.back();
            mv.many.pop_back();
            if (items[m].number) mv.numbers.pop_back();
            if (mv.many.empty()) mv.given = false;
            int32_t err = Store(item, values[i], last);
            if (err != 0) return err;
        }
    }

    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].required && (!values[i].given || (items[i].multiple && values[i].many.empty()))) {
            return ERROR_REQUIRED_ARG_MISSING;
        }
    }
    return 0;
}

void Fill(const std::vector<TemplateItem>& items, std::vector<Values>& values, RDArgs& store,
          intptr_t* array) {
    for (size_t i = 0; i < items.size(); ++i) {
        const TemplateItem& item = items[i];
        Values& v = values[i];
        if (item.toggle) {
            array[i] = v.flag;
            continue;
        }
        if (!v.given) continue;
        if (item.sw) {
            array[i] = v.flag;
        } else if (item.multiple) {
            std::vector<intptr_t>& list = store.arrays.emplace_back();
            for (size_t j = 0; j < v.many.size(); ++j) {
                if (item.number) {
                    list.push_back(reinterpret_cast<intptr_t>(&store.numbers.emplace_back(v.numbers[j])));
                } else {
                    list.push_back(reinterpret_cast<intptr_t>(store.strings.emplace_back(v.many[j]).c_str()));
                }
            }
            list.push_back(0);
            array[i] = reinterpret_cast<intptr_t>(list.data());
        } else if (item.number) {
            array[i] = reinterpret_cast<intptr_t>(&store.numbers.emplace_back(v.number));
        } else {
            array[i] = reinterpret_cast<intptr_t>(store.strings.emplace_back(v.text).c_str());
        }
    }
}

int32_t ReadArgsInto(const char* tmpl, intptr_t* array, RDArgs& store) {
    std::vector<TemplateItem> items;
    int32_t err = ParseTemplate(tmpl, items);
    if (err != 0) return err;

    std::vector<Token> tokens;
    const std::vector<std::string>& args = ProgramArguments();
    if (args.size() == 1 && args[0] == "?") {
        Printf("%s: ", tmpl);
        FFlush(Output());
        std::string line;
        err = ReadLine(line);
        if (err != 0) return err;
        err = SplitLine(items, line, tokens);
        if (err != 0) return err;
    } else {
        for (const std::string& a : args) AddArgument(items, a, false, tokens);
    }

    std::vector<Values> values;
    err = Parse(items, tokens, array, values);
    if (err != 0) return err;
    // Filled aside first, so that the caller's array never points into
    // storage that an allocation failure half-way through would release.
    std::vector<intptr_t> out(array, array + items.size());
    Fill(items, values, store, out.data());
    // An empty template has no slots (and the vector no storage to copy from).
    if (!out.empty()) std::memcpy(array, out.data(), out.size() * sizeof(intptr_t));
    return 0;
}

}  // namespace

void SetProgramArguments(int argc, const char* const* argv) {
    std::vector<std::string>& args = ProgramArguments();
    args.clear();
    for (int i = 0; i < argc; ++i)
        if (argv != nullptr && argv[i] != nullptr) args.emplace_back(argv[i]);
}

RDArgs* ReadArgs(const char* tmpl, intptr_t* array, RDArgs* args) {
    if (tmpl == nullptr || array == nullptr) {
        SetIoErr(ERROR_BAD_TEMPLATE);
        return nullptr;
    }
    RDArgs* store = args;
    bool own = false;
    try {
        if (store == nullptr) {
            store = new RDArgs;
            own = true;
        } else {
            *store = RDArgs{};
        }
        int32_t err = ReadArgsInto(tmpl, array, *store);
        if (err != 0) {
            if (own) delete store;
            SetIoErr(err);
            return nullptr;
        }
        return store;
    } catch (const std::bad_alloc&) {
        if (own) delete store;
        SetIoErr(ERROR_NO_FREE_STORE);
        return nullptr;
    }
}

void FreeArgs(RDArgs* args) { delete args; }

}  // namespace os
