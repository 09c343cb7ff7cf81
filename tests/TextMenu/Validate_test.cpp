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

TEST_F(MenuTest, IntegerRealAndHexElements) {
    EXPECT_EQ(Check("5", "d(1,10)").code, 0);
    Verdict v = Check("11", "d(1,10)");
    EXPECT_EQ(v.code, 1);
    EXPECT_EQ(v.shown, "This number must be between 1 to 10." + kContinue);
    v = Check("1a", "d(1,10)");
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(v.shown, "Invalid digit:  a\n" + kContinue);
    EXPECT_EQ(Check("123456789", "d(0,0)").code, 0);
    EXPECT_EQ(Check("15", "d(1,99)-5").code, 3) << "an excluded character";

    EXPECT_EQ(Check("0.5", "f(0,1)").code, 0);
    v = Check("1.2.3", "f(0,1)");
    EXPECT_EQ(v.code, 1);
    EXPECT_EQ(v.shown, "Only one '.' may be entered." + kContinue);
    v = Check("1.5", "f(0,1)");
    EXPECT_EQ(v.code, 1);
    EXPECT_EQ(v.shown, "This number must be between 0.000000 to 1.000000." + kContinue);
    v = Check("1x", "f(0,1)");
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(v.shown, "Invalid character 'x'\nThis text may contain \"0123456789.\"" + kContinue);

    EXPECT_EQ(Check("2.5", "D(0,10)").code, 0);
    v = Check("12", "D(0,10)");
    EXPECT_EQ(v.code, 1);
    EXPECT_EQ(v.shown, "This number must be between 0 and 10." + kContinue);
    EXPECT_EQ(Check("1e5", "D(0,10)").code, 3);

    EXPECT_EQ(Check("ff", "x(0,255)").code, 0);
    v = Check("1ff", "x(0,255)");
    EXPECT_EQ(v.code, 1);
    EXPECT_EQ(v.shown, "This number must be between 0 to ff." + kContinue);
}

TEST_F(MenuTest, CharacterClassesLengthsAndForbiddenValues) {
    EXPECT_EQ(Check("abc1", "A(2,4)").code, 0);
    Verdict v = Check("abcde", "A(2,4)");
    EXPECT_EQ(v.code, 2);
    EXPECT_EQ(v.shown, "This text length must be from 2 to 4 characters long." + kContinue);
    v = Check("ab!", "A(2,4)");
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(v.shown, "Invalid character '!'\nThis text may contain \"abc..zABC..Z012..9\"" + kContinue);
    v = Check("a1", "a(1,5)+-");
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(v.shown, "Invalid character '1'\nThis text may contain \"abc..zABC..Z-\"" + kContinue);
    EXPECT_EQ(Check("a-b", "a(1,5)+-").code, 0);
    EXPECT_EQ(Check("any text!", "p(1,20)").code, 0);
    EXPECT_EQ(Check("abcd", "L(4,4)").code, 0);
    v = Check("abc", "t(4,4)");
    EXPECT_EQ(v.code, 2);
    EXPECT_EQ(v.shown, "This text must be exactly 4 characters long." + kContinue);

    v = Check("root", "!(root)");
    EXPECT_EQ(v.code, 4);
    EXPECT_EQ(v.shown, "Invalid entry \"root\"" + kContinue);
    EXPECT_EQ(Check("rootx", "!(root)").code, 0);

    EXPECT_EQ(Check("", "").code, 0);
    EXPECT_EQ(ValidateEntry("anything", nullptr), 0);
}

TEST_F(MenuTest, AlternativesAndConjunctions) {
    EXPECT_EQ(Check("abc", "a(1,3)|d(1,99)").code, 0);
    EXPECT_EQ(Check("42", "a(1,3)|d(1,99)").code, 0);
    Verdict v = Check("100", "a(1,3)|d(1,99)");
    EXPECT_EQ(v.code, 1);
    EXPECT_EQ(v.shown, "This number must be between 1 to 99." + kContinue);
    v = Check("abcd", "a(1,3)|d(1,99)");
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(v.shown, "Invalid digit:  a\n" + kContinue);

    EXPECT_EQ(Check("abc", "a(1,5)&!(abc)").code, 4);
    EXPECT_EQ(Check("abd", "a(1,5)&!(abc)").code, 0);

    const char* settings = "/A(1,255)+-+_+/";
    EXPECT_EQ(Check("/tmp/my-settings_1", settings).code, 0);
    EXPECT_EQ(Check("relative", settings).code, 3) << "no message: nothing was accepted yet";
    EXPECT_EQ(Check("relative", settings).shown, "");
    v = Check("/tmp/a b", settings);
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(Check("T:top", "T:A(3,6)").code, 0);
    v = Check("Tx", "T:A(3,6)");
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(v.shown, "Invalid character x\n: was expected after \"T\"" + kContinue);
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
