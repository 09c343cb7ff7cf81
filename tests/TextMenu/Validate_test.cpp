// Entry validation: every element kind, the alternatives and "&", the
// messages shown, and inputs too long for the validator's buffers.
#include "MenuTest.h"

namespace {

const std::string kContinue = "\nPress <Return> to continue ";

struct Verdict {
    int code;
    std::string shown;
};

Verdict Check(const std::string& text, const char* pattern) {
    ChildRun run = InChild("\n", [&] { return ValidateEntry(text.c_str(), pattern); });
    return {run.status, run.out};
}

// One entry tested against one pattern: the code, and the message shown
// (none: nothing shown; "-": not looked at).
struct Case {
    const char* text;
    const char* pattern;
    int code;
    const char* shown;
};

void CheckAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        Verdict v = Check(c.text, c.pattern);
        EXPECT_EQ(v.code, c.code) << c.text << " against " << c.pattern;
        if (!c.shown) {
            EXPECT_EQ(v.shown, "") << c.text << " against " << c.pattern;
        } else if (std::string(c.shown) != "-") {
            EXPECT_EQ(v.shown, c.shown + kContinue) << c.text << " against " << c.pattern;
        }
    }
}

TEST_F(MenuTest, IntegerRealAndHexElements) {
    CheckAll({
        {"5", "d(1,10)", 0, nullptr},
        {"11", "d(1,10)", 1, "This number must be between 1 to 10."},
        {"1a", "d(1,10)", 3, "Invalid digit:  a\n"},
        {"123456789", "d(0,0)", 0, nullptr},
        {"15", "d(1,99)-5", 3, "Invalid digit:  5\n"},
        {"0.5", "f(0,1)", 0, nullptr},
        {"1.2.3", "f(0,1)", 1, "Only one '.' may be entered."},
        {"1.5", "f(0,1)", 1, "This number must be between 0.000000 to 1.000000."},
        {"1x", "f(0,1)", 3, "Invalid character 'x'\nThis text may contain \"0123456789.\""},
        {"2.5", "D(0,10)", 0, nullptr},
        {"12", "D(0,10)", 1, "This number must be between 0 and 10."},
        {"1e5", "D(0,10)", 3, "Invalid character 'e'\nThis text may contain \"0123456789.\""},
        {"ff", "x(0,255)", 0, nullptr},
        {"1ff", "x(0,255)", 1, "This number must be between 0 to ff."},
    });
}

TEST_F(MenuTest, CharacterClassesLengthsAndForbiddenValues) {
    CheckAll({
        {"abc1", "A(2,4)", 0, nullptr},
        {"abcde", "A(2,4)", 2, "This text length must be from 2 to 4 characters long."},
        {"ab!", "A(2,4)", 3, "Invalid character '!'\nThis text may contain \"abc..zABC..Z012..9\""},
        {"a1", "a(1,5)+-", 3, "Invalid character '1'\nThis text may contain \"abc..zABC..Z-\""},
        {"a-b", "a(1,5)+-", 0, nullptr},
        {"any text!", "p(1,20)", 0, nullptr},
        {"abcd", "L(4,4)", 0, nullptr},
        {"abc", "t(4,4)", 2, "This text must be exactly 4 characters long."},
        {"root", "!(root)", 4, "Invalid entry \"root\""},
        {"rootx", "!(root)", 0, nullptr},
        {"", "", 0, nullptr},
    });
    EXPECT_EQ(ValidateEntry("anything", nullptr), 0);
}

TEST_F(MenuTest, AlternativesAndConjunctions) {
    CheckAll({
        {"abc", "a(1,3)|d(1,99)", 0, nullptr},
        {"42", "a(1,3)|d(1,99)", 0, nullptr},
        {"100", "a(1,3)|d(1,99)", 1, "This number must be between 1 to 99."},
        {"abcd", "a(1,3)|d(1,99)", 3, "Invalid digit:  a\n"},
        {"abc", "a(1,5)&!(abc)", 4, "-"},
        {"abd", "a(1,5)&!(abc)", 0, nullptr},
        {"/tmp/my-settings_1", "/A(1,255)+-+_+/", 0, nullptr},
        // A literal mismatch before anything was accepted shows nothing.
        {"relative", "/A(1,255)+-+_+/", 3, "\"relative\" is not accepted"},
        {"a", "b", 3, "\"a\" is not accepted"},
        {"/tmp/a b", "/A(1,255)+-+_+/", 3, "-"},
        {"T:top", "T:A(3,6)", 0, nullptr},
        {"Tx", "T:A(3,6)", 3, "Invalid character x\n: was expected after \"T\""},
    });
}

TEST_F(MenuTest, InputsBeyondTheBuffersAreRefusedWithTheLengthMessage) {
    std::string longText(5000, '7');
    Verdict v = Check(longText, "d(0,0)");
    EXPECT_EQ(v.code, 2);
    EXPECT_EQ(v.shown, "This text length must be from 0 to 511 characters long." + kContinue);
    EXPECT_EQ(Check(std::string(511, 'a'), "p(0,0)").code, 0);
    // Sets of more than 79 pairs keep their first 79.
    std::string pattern = "A(0,0)";
    for (int i = 0; i < 200; ++i)
        pattern += "+-";
    EXPECT_EQ(Check("a-b", pattern.c_str()).code, 0);
    EXPECT_EQ(Check("!", "d(").code, 3) << "a pattern cut short is read up to its end";
    EXPECT_EQ(Check("x", "!").code, 0);

    EXPECT_EQ(ValidateEntryDigit("12a"), 'a');
    EXPECT_EQ(ValidateEntryDigit("12"), 0);
    int min = 0;
    EXPECT_EQ(getMinMax("(3,17)", &min), 17);
    EXPECT_EQ(min, 3);
    EXPECT_EQ(ValidateEntryLen("abcd", nullptr), nullptr);
    EXPECT_STREQ(ValidateEntryLen("abc", nullptr), "This text must be exactly 4 characters long.");
    EXPECT_STREQ(ValidateEntryLen("abc", "(4,8)"), "This text length must be from 4 to 8 characters long.");
    ChildRun run = InChild("\n", [] { return ValidateEntryTty("12x4", "(4,4)"); });
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "Invalid digit:  x\n" + kContinue);
}

}  // namespace
