// The template language of ReadArgs over split argument vectors, and the "?"
// answer read from standard input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dos/dos.h"

namespace {

constexpr const char* VIEWER =
    "FILES/M/A,C=CENTER/S,W=WAIT/K/N,Q=QUIET/S,A=ALL/S,WAO=WAITAFTEROPEN/K/N,CYCLE/S,HAM/S,EHB/S";

struct Parsed {
    os::RDArgs* rd = nullptr;
    intptr_t slots[16] = {};
    int32_t error = 0;
    ~Parsed() { os::FreeArgs(rd); }
    bool ok() const { return rd != nullptr; }
    const char* str(int i) const { return reinterpret_cast<const char*>(slots[i]); }
    int32_t num(int i) const { return *reinterpret_cast<const int32_t*>(slots[i]); }
    std::vector<std::string> many(int i) const {
        std::vector<std::string> out;
        auto* list = reinterpret_cast<const char* const*>(slots[i]);
        for (; list != nullptr && *list != nullptr; ++list) out.emplace_back(*list);
        return out;
    }
};

void Parse(Parsed& p, const char* tmpl, std::vector<const char*> args) {
    os::SetProgramArguments(static_cast<int>(args.size()), args.data());
    os::SetIoErr(0);
    p.rd = os::ReadArgs(tmpl, p.slots, nullptr);
    p.error = p.rd == nullptr ? os::IoErr() : 0;
}

using Strings = std::vector<std::string>;

TEST(ReadArgs, ViewerTemplateFillsEverySlot) {
    Parsed p;
    Parse(p, VIEWER, {"a.iff", "c", "WAIT", "5", "q", "ALL", "wao=3", "CYCLE", "b.iff", "HAM", "ehb"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.many(0), (Strings{"a.iff", "b.iff"}));
    EXPECT_NE(p.slots[1], 0);
    EXPECT_EQ(p.num(2), 5);
    EXPECT_NE(p.slots[3], 0);
    EXPECT_NE(p.slots[4], 0);
    EXPECT_EQ(p.num(5), 3);
    EXPECT_NE(p.slots[6], 0);
    EXPECT_NE(p.slots[7], 0);
    EXPECT_NE(p.slots[8], 0);
}

TEST(ReadArgs, ViewerTemplateLeavesAbsentItemsAlone) {
    Parsed p;
    Parse(p, VIEWER, {"pics/#?.iff"});
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.many(0), (Strings{"pics/#?.iff"}));
    for (int i = 1; i < 9; ++i) EXPECT_EQ(p.slots[i], 0) << i;
}

TEST(ReadArgs, KeywordFormsAndCase) {
    const std::vector<std::vector<const char*>> forms = {
        {"x", "W", "7"}, {"x", "w=7"}, {"x", "Wait=7"}, {"x", "WAIT", "=", "7"}, {"x", "wait=", "7"},
        {"W", "7", "x"},
    };
    for (const auto& f : forms) {
        Parsed p;
        Parse(p, VIEWER, f);
        ASSERT_TRUE(p.ok()) << f[1];
        EXPECT_EQ(p.num(2), 7) << f[1];
        EXPECT_EQ(p.many(0), (Strings{"x"}));
    }
}

TEST(ReadArgs, NumbersAcceptSignAndRejectJunk) {
    Parsed neg;
    Parse(neg, VIEWER, {"x", "W", "-3"});
    ASSERT_TRUE(neg.ok());
    EXPECT_EQ(neg.num(2), -3);

    for (const char* bad : {"abc", "5s", "", "99999999999", "C"}) {
        Parsed p;
        Parse(p, VIEWER, {"x", "WAIT", bad});
        EXPECT_FALSE(p.ok()) << bad;
        EXPECT_EQ(p.error, os::ERROR_BAD_NUMBER) << bad;
    }
}

TEST(ReadArgs, ErrorNumbers) {
    struct Case {
        const char* tmpl;
        std::vector<const char*> args;
        int32_t error;
    };
    const std::vector<Case> cases = {
        {VIEWER, {}, os::ERROR_REQUIRED_ARG_MISSING},
        {VIEWER, {"CENTER", "QUIET"}, os::ERROR_REQUIRED_ARG_MISSING},
        {VIEWER, {"x", "WAIT"}, os::ERROR_KEY_NEEDS_ARG},
        {VIEWER, {"x", "W="}, os::ERROR_KEY_NEEDS_ARG},
        {VIEWER, {"x", "CENTER=yes"}, os::ERROR_TOO_MANY_ARGS},
        {"FROM/A", {"a", "b"}, os::ERROR_TOO_MANY_ARGS},
        {"FROM/A,TO/K", {"a", "b"}, os::ERROR_TOO_MANY_ARGS},
        {"FROM/X", {"a"}, os::ERROR_BAD_TEMPLATE},
        {"FROM/M,TO/M", {"a"}, os::ERROR_BAD_TEMPLATE},
        {"A,,B", {"a"}, os::ERROR_BAD_TEMPLATE},
        {"Q/S/N", {"a"}, os::ERROR_BAD_TEMPLATE},
        {"FROM/AM", {"a"}, os::ERROR_BAD_TEMPLATE},
    };
    for (const auto& c : cases) {
        Parsed p;
        Parse(p, c.tmpl, c.args);
        EXPECT_FALSE(p.ok()) << c.tmpl;
        EXPECT_EQ(p.error, c.error) << c.tmpl << " " << (c.args.empty() ? "" : c.args.back());
    }
}

TEST(ReadArgs, FailureLeavesTheArrayUntouched) {
    Parsed p;
    p.slots[0] = 1234;
    p.slots[2] = 5678;
    Parse(p, VIEWER, {"a.iff", "WAIT", "x"});
    ASSERT_FALSE(p.ok());
    EXPECT_EQ(p.slots[0], 1234);
    EXPECT_EQ(p.slots[2], 5678);
}

// Found by fuzzing: a template of nothing (or of blanks) has no items; with
// no arguments it succeeds, writes nothing, and copies nothing from nowhere
// (which the undefined-behaviour checker caught); any argument is one too many.
TEST(ReadArgs, EmptyTemplateHasNoSlotsToFill) {
    for (const char* tmpl : {"", "  "}) {
        Parsed none;
        none.slots[0] = 77;
        Parse(none, tmpl, {});
        EXPECT_TRUE(none.ok()) << '"' << tmpl << '"';
        EXPECT_EQ(none.slots[0], 77);
        Parsed one;
        Parse(one, tmpl, {"x"});
        EXPECT_FALSE(one.ok());
        EXPECT_EQ(one.error, os::ERROR_TOO_MANY_ARGS);
    }
}

TEST(ReadArgs, AliasesAreAllKeywords) {
    Parsed p;
    Parse(p, "S=SOURCE=FROM/A,V=VERBOSE/S", {"from", "x", "v"});
    ASSERT_TRUE(p.ok());
    EXPECT_STREQ(p.str(0), "x");
    EXPECT_NE(p.slots[1], 0);
}

TEST(ReadArgs, MultipleGivesUpItsLastValuesToRequiredItemsAfterIt) {
    Parsed p;
    Parse(p, "FROM/M/A,TO/A", {"a", "b", "c", "d"});
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.many(0), (Strings{"a", "b", "c"}));
    EXPECT_STREQ(p.str(1), "d");

    Parsed one;
    Parse(one, "FROM/M/A,TO/A", {"a"});
    EXPECT_EQ(one.error, os::ERROR_REQUIRED_ARG_MISSING);

    Parsed optional;  // without /A the item after the /M stays empty
    Parse(optional, "FROM/M,TO", {"a", "b"});
    ASSERT_TRUE(optional.ok());
    EXPECT_EQ(optional.many(0), (Strings{"a", "b"}));
    EXPECT_EQ(optional.slots[1], 0);

    Parsed keyed;  // a keyword value joins the list in order
    Parse(keyed, "FROM/M,TO/K", {"a", "TO", "z", "FROM", "b", "c"});
    ASSERT_TRUE(keyed.ok());
    EXPECT_EQ(keyed.many(0), (Strings{"a", "b", "c"}));
    EXPECT_STREQ(keyed.str(1), "z");
}

TEST(ReadArgs, PositionalItemsFillInOrderAroundKeywords) {
    Parsed p;
    Parse(p, "FROM,TO,OPT/K", {"OPT", "o", "TO", "t", "f"});
    ASSERT_TRUE(p.ok());
    EXPECT_STREQ(p.str(0), "f");
    EXPECT_STREQ(p.str(1), "t");
    EXPECT_STREQ(p.str(2), "o");
}

TEST(ReadArgs, NumberListsAndToggles) {
    Parsed p;
    p.slots[1] = 0;
    p.slots[2] = 1;  // toggles start from the caller's value
    Parse(p, "N/M/N,T1/T,T2/T", {"1", "-2", "30", "T1", "T2"});
    ASSERT_TRUE(p.ok());
    auto* list = reinterpret_cast<int32_t* const*>(p.slots[0]);
    ASSERT_NE(list[0], nullptr);
    EXPECT_EQ(*list[0], 1);
    EXPECT_EQ(*list[1], -2);
    EXPECT_EQ(*list[2], 30);
    EXPECT_EQ(list[3], nullptr);
    EXPECT_NE(p.slots[1], 0);
    EXPECT_EQ(p.slots[2], 0);

    Parsed twice;
    Parse(twice, "T/T", {"t", "t"});
    ASSERT_TRUE(twice.ok());
    EXPECT_EQ(twice.slots[0], 0);
}

TEST(ReadArgs, RestOfLineTakesEverythingAfterIt) {
    Parsed p;
    Parse(p, "NAME,TEXT/F", {"n", "hello", "WORLD", "NAME", "x"});
    ASSERT_TRUE(p.ok());
    EXPECT_STREQ(p.str(0), "n");
    EXPECT_STREQ(p.str(1), "hello WORLD NAME x");

    Parsed keyed;
    Parse(keyed, "NAME,TEXT/K/F", {"TEXT", "a", "b"});
    ASSERT_TRUE(keyed.ok());
    EXPECT_EQ(keyed.slots[0], 0);
    EXPECT_STREQ(keyed.str(1), "a b");
}

TEST(ReadArgs, EqualsInANonKeywordIsPartOfTheName) {
    Parsed q;
    Parse(q, VIEWER, {"x=1.iff", "y=2.iff"});
    ASSERT_TRUE(q.ok());
    EXPECT_EQ(q.many(0), (Strings{"x=1.iff", "y=2.iff"}));

    // "c" is CENTER's short form, and a switch takes no value.
    Parsed p;
    Parse(p, VIEWER, {"a.iff", "c=d"});
    EXPECT_FALSE(p.ok());
    EXPECT_EQ(p.error, os::ERROR_TOO_MANY_ARGS);
}

TEST(ReadArgs, ValuesSurviveUntilFreeArgs) {
    Parsed p;
    std::string a = "first.iff";
    std::vector<const char*> args = {a.c_str(), "W", "12"};
    Parse(p, VIEWER, args);
    ASSERT_TRUE(p.ok());
    a.assign("XXXXXXXXX");
    os::SetProgramArguments(0, nullptr);
    EXPECT_EQ(p.many(0), (Strings{"first.iff"}));
    EXPECT_EQ(p.num(2), 12);
}

// Runs ReadArgs in a child with `input` as its standard input; returns what
// the child printed, followed by one line describing the parse.
std::string AskInChild(const char* tmpl, const std::string& input) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return "pipe failed";
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]); close(in[1]); close(out[0]); close(out[1]);
        const char* args[] = {"?"};
        os::SetProgramArguments(1, args);
        intptr_t slots[8] = {};
        os::RDArgs* rd = os::ReadArgs(tmpl, slots, nullptr);
        if (rd == nullptr) {
            std::printf("|error %d", static_cast<int>(os::IoErr()));
        } else {
            std::printf("|");
            for (auto* list = reinterpret_cast<const char* const*>(slots[0]); list && *list; ++list)
                std::printf("[%s]", *list);
            std::printf(" sw=%d", slots[1] != 0);
            if (slots[2] != 0) std::printf(" n=%d", *reinterpret_cast<int32_t*>(slots[2]));
            os::FreeArgs(rd);
        }
        std::fflush(stdout);
        _exit(0);
    }
    close(in[0]);
    close(out[1]);
    ssize_t w = write(in[1], input.data(), input.size());
    (void)w;
    close(in[1]);
    std::string got;
    char buf[512];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return got;
}

TEST(ReadArgs, QuestionMarkPrintsTheTemplateAndReadsALine) {
    const char* tmpl = "FILES/M/A,Q=QUIET/S,W=WAIT/K/N";
    EXPECT_EQ(AskInChild(tmpl, "a.iff \"b c.iff\" q w=4\nignored\n"),
              std::string(tmpl) + ": |[a.iff][b c.iff] sw=1 n=4");
    // Quoted words are never keywords; escapes inside quotes.
    EXPECT_EQ(AskInChild(tmpl, "\"q\" \"say *\"hi*\"\" \"a**b\"\n"),
              std::string(tmpl) + ": |[q][say \"hi\"][a*b] sw=0");
    EXPECT_EQ(AskInChild(tmpl, "W=\"12\" x\n"), std::string(tmpl) + ": |[x] sw=0 n=12");
    EXPECT_EQ(AskInChild(tmpl, "x \"open\n"), std::string(tmpl) + ": |error 119");
    EXPECT_EQ(AskInChild(tmpl, ""), std::string(tmpl) + ": |error 116");
    EXPECT_EQ(AskInChild(tmpl, std::string(5000, 'a') + "\n"), std::string(tmpl) + ": |error 120");
}

}  // namespace
