// Configuration-file editors and the manual pair, on real files in a
// directory of the test's own: what each edit leaves in the file, the names
// of the file and its copy, the mode and owner kept, long lines, and a copy
// that cannot be put in place.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "utils/utils.h"

using ::testing::ExitedWithCode;

namespace {

constexpr uid_t NOBODY = 65534;

// A directory of files to edit; Base names one without its extension.
struct EditDir {
    TempDir dir{"/tmp/fileedit_test."};
    std::string Base(const std::string& name = "cfg") const { return dir / name; }
    std::string Put(const std::string& name, const std::string& text) const {
        WriteFile(dir / name, text);
        return dir / name;
    }
    std::string Get(const std::string& name) const { return ReadFile(dir / name); }
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Drops to the unprivileged user in a child (death-test statement) when the
// tests run as root; the child's exit status is the routine's result.
void BecomeNobody() {
    if (geteuid() == 0 && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) _exit(99);
}

} // namespace

TEST(FileEdit, ChangeReplacesTheFirstOccurrenceOnly) {
    EditDir d;
    d.Put("hosts.conf", "a.b.a\nnone here\n");
    std::string base = d.Base("hosts");
    EXPECT_EQ(FileChange(base.c_str(), "conf", "a", "x"), 0);
    EXPECT_EQ(d.Get("hosts.conf"), "x.b.a\nnone here\n");
    EXPECT_FALSE(Exists(d.dir / "hosts.confout"));

    // An empty pattern matches nothing; a replacement may be longer than a piece.
    std::string longer(600, 'y');
    EXPECT_EQ(FileChange(base.c_str(), "conf", "", "z"), 0);
    EXPECT_EQ(FileChange(base.c_str(), "conf", "b", longer.c_str()), 0);
    EXPECT_EQ(d.Get("hosts.conf"), "x." + longer + ".a\nnone here\n");
}

TEST(FileEdit, ChangeCharReplacesEveryByteOfTheCodeByUnsignedValue) {
    EditDir d;
    d.Put("tabs", "a\tb\t\tc\n\xe9t\xe9\n");
    std::string base = d.Base("tabs");
    EXPECT_EQ(FileChangeChar(base.c_str(), "", "9", "32,32"), 0);
    EXPECT_EQ(d.Get("tabs"), "a  b    c\n\xe9t\xe9\n");
    // 0351 is 233 (octal): the byte 0xe9 becomes "e'"; the list ends at its 0.
    EXPECT_EQ(FileChangeChar(base.c_str(), "", "0351", "0x65,39,0,66"), 0);
    EXPECT_EQ(d.Get("tabs"), "a  b    c\ne'te'\n");
    // An empty list deletes the character.
    EXPECT_EQ(FileChangeChar(base.c_str(), "", " 32 ", ""), 0);
    EXPECT_EQ(d.Get("tabs"), "abc\ne'te'\n");

    // Codes that are not byte values leave the file alone.
    const std::vector<std::pair<const char*, const char*>> bad = {
        {"x", "32"}, {"256", "32"}, {"-1", "32"}, {"9", "32,abc"}, {"9", "300"}};
    for (auto [code, codes] : bad) {
        EXPECT_EQ(FileChangeChar(base.c_str(), "", code, codes), 1) << code << " " << codes;
        EXPECT_EQ(d.Get("tabs"), "abc\ne'te'\n");
    }
    EXPECT_FALSE(Exists(d.dir / "tabs.out"));
}

TEST(FileEdit, DelAndDelLineSpareTheFirstNMatches) {
    EditDir d;
    std::string base = d.Base("printers");
    d.Put("printers", "lp1\nother\nlp2\nlplp\n");
    EXPECT_EQ(FileDel(base.c_str(), "", 1, "lp"), 0);
    EXPECT_EQ(d.Get("printers"), "lp1\nother\n2\nlp\n");

    d.Put("printers", "lp1\nother\nlp2\nlp3\n");
    EXPECT_EQ(FileDelLine(base.c_str(), "", 1, "lp"), 0);
    EXPECT_EQ(d.Get("printers"), "lp1\nother\n");
    EXPECT_EQ(FileDelLine(base.c_str(), "", 0, "lp"), 0);
    EXPECT_EQ(d.Get("printers"), "other\n");
}

TEST(FileEdit, DelFormatModes) {
    EditDir d;
    std::string base = d.Base("conf");
    const std::string text = "key=value\nplain\nx key=y\n";
    struct Case {
        const char* mode;
        const char* pattern;
        std::string result;
    };
    for (const Case& c : {Case{"", "key=", "value\nplain\nx y\n"},
                          Case{"a", "key=", "key=\nplain\nx key=\n"},
                          Case{"b", "key=", "key=value\nplain\nkey=y\n"},
                          Case{"l", "key", "plain\n"},
                          Case{"c", "0x65", "ky=valu\nplain\nx ky=y\n"}}) {
        d.Put("conf", text);
        EXPECT_EQ(FileDelFormat(base.c_str(), "", c.mode, c.pattern), 0) << c.mode;
        EXPECT_EQ(d.Get("conf"), c.result) << "mode '" << c.mode << "'";
    }

    // Mode 'c' removes bytes above 127 by their unsigned value.
    d.Put("conf", "caf\xe9\xe9!\n");
    EXPECT_EQ(FileDelFormat(base.c_str(), "", "c", "233"), 0);
    EXPECT_EQ(d.Get("conf"), "caf!\n");

    // An unknown mode, or a 'c' pattern that is no byte value: unchanged, no copy left.
    for (const char* mode : {"z", "c"}) {
        d.Put("conf", text);
        ASSERT_EQ(chmod((d.dir / "conf").c_str(), 0600), 0);
        EXPECT_EQ(FileDelFormat(base.c_str(), "", mode, "nine"), 1) << mode;
        EXPECT_EQ(d.Get("conf"), text);
        EXPECT_EQ(ModeOf(d.dir / "conf"), 0600u);
        EXPECT_FALSE(Exists(d.dir / "conf.out"));
    }
    // An empty file is rewritten whatever the mode.
    d.Put("conf", "");
    EXPECT_EQ(FileDelFormat(base.c_str(), "", "z", "x"), 0);
    EXPECT_EQ(d.Get("conf"), "");
}

TEST(FileEdit, DelLinePairDeletesOpeningAndClosingLinesWithTheirDepth) {
    EditDir d;
    std::string base = d.Base("blocks");
    d.Put("blocks", "BEGIN\nx\nEND\nEND\n");
    EXPECT_EQ(FileDelLinePair(base.c_str(), "", 0, "BEGIN", "END"), 0);
    EXPECT_EQ(d.Get("blocks"), "x\nEND\n");

    // Nested pairs: both closings go; a kept opening opens no pair.
    d.Put("blocks", "BEGIN 1\nBEGIN 2\na\nBEGIN 3\nEND\nb\nEND\nEND\n");
    EXPECT_EQ(FileDelLinePair(base.c_str(), "", 1, "BEGIN", "END"), 0);
    EXPECT_EQ(d.Get("blocks"), "BEGIN 1\na\nb\nEND\n");

    // More open pairs than a byte counts: every closing is still matched.
    std::string many, rest;
    for (int i = 0; i < 300; ++i)
        many += "BEGIN\n";
    for (int i = 0; i < 301; ++i)
        many += "END\n";
    d.Put("blocks", many);
    EXPECT_EQ(FileDelLinePair(base.c_str(), "", 0, "BEGIN", "END"), 0);
    EXPECT_EQ(d.Get("blocks"), "END\n");
}

TEST(FileEdit, InsertWritesTheTemplateWithItsRunningNumber) {
    EditDir d;
    std::string base = d.Base("list");
    // Three lines with tmpl inserted; tmpl as the editor left it.
    auto insert = [&](std::string& tmpl) {
        d.Put("list", "a\nb\nc\n");
        EXPECT_EQ(FileInsert(base.c_str(), "", tmpl.data()), 0) << tmpl;
        tmpl.resize(std::strlen(tmpl.c_str()));
        return d.Get("list");
    };
    std::string numbered = "%#0 ", started = "%s1%#0 ", offset = "[%#2]\n", plain = "# ";
    EXPECT_EQ(insert(numbered), "00000 a\n00001 b\n00002 c\n");
    EXPECT_EQ(insert(started), "00001 a\n00002 b\n00003 c\n");
    EXPECT_EQ(started, "%#0 ") << "the start is taken out of the caller's template";
    // Lines counted below the offset get no template.
    EXPECT_EQ(insert(offset), "a\nb\n[00000]\nc\n");
    EXPECT_EQ(insert(plain), "# a\n# b\n# c\n");
}

TEST(FileEdit, SearchInsertCountsOnlyMatchingLines) {
    EditDir d;
    std::string base = d.Base("list");
    d.Put("list", "lp a\nx\nlp b\n");
    char tmpl[] = "#%s7%#0\n";
    EXPECT_EQ(FileSearchInsert(base.c_str(), "", tmpl, "lp"), 0);
    EXPECT_EQ(d.Get("list"), "#00007\nlp a\nx\n#00008\nlp b\n");
}

TEST(FileEdit, EmptyExtensionEditsTheBaseThroughAFreshCopy) {
    EditDir d;
    d.Put("printcap", "lp|old\n");
    // A link planted at the copy's name is replaced, never followed.
    d.Put("victim", "keep\n");
    ASSERT_EQ(symlink((d.dir / "victim").c_str(), (d.dir / "printcap.out").c_str()), 0);
    std::string base = d.Base("printcap");
    EXPECT_EQ(FileChange(base.c_str(), "", "old", "new"), 0);
    EXPECT_EQ(d.Get("printcap"), "lp|new\n");
    EXPECT_EQ(d.Get("victim"), "keep\n");
    EXPECT_FALSE(Exists(d.dir / "printcap.out"));
}

TEST(FileEdit, LongLinesAreHandledInPiecesOf510) {
    EditDir d;
    std::string base = d.Base("long");
    // 1100 characters: pieces of 510, 510 and 80 (with the newline 81).
    std::string line(1100, 'a');
    line.replace(508, 4, "SPAN");   // across the first two pieces: not found
    line.replace(600, 3, "HIT");    // inside the second piece
    line.replace(1099, 1, "\xff");  // last byte, above 127
    d.Put("long", line + "\nshort\n");
    EXPECT_EQ(FileChange(base.c_str(), "", "SPAN", "-"), 0);
    EXPECT_EQ(d.Get("long"), line + "\nshort\n");
    EXPECT_EQ(FileChange(base.c_str(), "", "HIT", "hit"), 0);
    std::string changed = line;
    changed.replace(600, 3, "hit");
    EXPECT_EQ(d.Get("long"), changed + "\nshort\n");

    char tmpl[] = "%#0|";
    EXPECT_EQ(FileInsert(base.c_str(), "", tmpl), 0);
    EXPECT_EQ(d.Get("long"), "00000|" + changed.substr(0, 510) + "00001|" +
                                 changed.substr(510, 510) + "00002|" + changed.substr(1020) +
                                 "\n00003|short\n");

    // Mode 'a' ends the piece after the pattern; the rest follows as lines.
    d.Put("long", std::string(1020, 'k') + "=v\n");
    EXPECT_EQ(FileDelFormat(base.c_str(), "", "a", "k"), 0);
    EXPECT_EQ(d.Get("long"), "k\nk\n=v\n");
}

TEST(FileEdit, BytesOfAnyValueAndALastLineWithoutNewlineAreKept) {
    EditDir d;
    std::string base = d.Base("bin");
    const std::string text = std::string("a\0b\nc\0", 6) + "old";
    d.Put("bin", text);
    EXPECT_EQ(FileChange(base.c_str(), "", "old", "new"), 0);
    EXPECT_EQ(d.Get("bin"), std::string("a\0b\nc\0", 6) + "new");
}

TEST(FileEdit, TheEditedFileKeepsItsModeAndOwner) {
    EditDir d;
    std::string path = d.Put("cfg", "OLD\n");
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 1, 7), 0);
    }
    ASSERT_EQ(chmod(path.c_str(), 04751), 0);
    std::string base = d.Base("cfg");
    EXPECT_EQ(FileChange(base.c_str(), "", "OLD", "NEW"), 0);
    EXPECT_EQ(d.Get("cfg"), "NEW\n");
    EXPECT_EQ(ModeOf(path), 04751u);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    if (root) {
        EXPECT_EQ(st.st_uid, 1u);
        EXPECT_EQ(st.st_gid, 7u);
    }

    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(FileDelLine(base.c_str(), "", 0, "NEW"), 0);
    EXPECT_EQ(ModeOf(path), 0600u) << "never widened";
}

TEST(FileEdit, ACopyThatCannotBePutInPlaceLeavesTheOriginal) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file another user cannot replace";
    EditDir d;
    // A sticky directory: the unprivileged user may add the copy beside the
    // file but not replace the file, which belongs to root.
    ASSERT_EQ(chmod(d.dir.c_str(), 0755), 0);
    std::string shared = d.dir / "shared";
    ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    WriteFile(shared + "/cfg.conf", "OLD\n");
    std::string base = shared + "/cfg";
    EXPECT_EXIT(
        {
            BecomeNobody();
            _exit(FileChange(base.c_str(), "conf", "OLD", "NEW"));
        },
        ExitedWithCode(1), "");
    EXPECT_EQ(ReadFile(shared + "/cfg.conf"), "OLD\n");
    EXPECT_EQ(ReadFile(shared + "/cfg.confout"), "NEW\n") << "the copy stays beside it";
}

TEST(FileEdit, ManualPairReplacesTheInputOrLeavesIt) {
    EditDir d;
    ASSERT_EQ(chmod(d.dir.c_str(), 0755), 0);
    std::string path = d.Put("qp.cfg", "one\ntwo\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::string base = d.Base("qp");

    FILE* out = OpenIOFiles(base.c_str(), "cfg");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out, pOut);
    EXPECT_EQ(std::string(Fn), path);
    EXPECT_EQ(std::string(FnOut), path + "out");
    while (GetFileLine())
        fprintf(pOut, "> %s", LineBuf);
    EXPECT_EQ(ReplaceInputFile(), 0);
    EXPECT_EQ(pIn, nullptr);
    EXPECT_EQ(pOut, nullptr);
    EXPECT_EQ(d.Get("qp.cfg"), "> one\n> two\n");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_FALSE(Exists(path + "out"));
    EXPECT_EQ(ReplaceInputFile(), 1) << "nothing open: nothing replaced";

    // Empty extension: base followed by "out", without a dot.
    d.Put("plain", "x\n");
    std::string plain = d.Base("plain");
    OpenIOFiles(plain.c_str(), "");
    EXPECT_EQ(std::string(FnOut), plain + "out");
    fputs("y\n", pOut);
    EXPECT_EQ(ReplaceInputFile(), 0);
    EXPECT_EQ(d.Get("plain"), "y\n");

    // A directory that has become read-only: the move fails, the input stays.
    std::string ro = d.dir / "ro";
    ASSERT_EQ(mkdir(ro.c_str(), 0755), 0);
    ASSERT_EQ(chown(ro.c_str(), geteuid() == 0 ? NOBODY : geteuid(), getegid()), 0);
    WriteFile(ro + "/cfg", "OLD\n");
    std::string roBase = ro + "/cfg";
    EXPECT_EXIT(
        {
            BecomeNobody();
            OpenIOFiles(roBase.c_str(), "");
            fputs("NEW\n", pOut);
            if (chmod(ro.c_str(), 0555) != 0) _exit(98);
            _exit(ReplaceInputFile());
        },
        ExitedWithCode(1), "");
    ASSERT_EQ(chmod(ro.c_str(), 0755), 0);
    EXPECT_EQ(ReadFile(ro + "/cfg"), "OLD\n");
    EXPECT_EQ(ReadFile(ro + "/cfgout"), "NEW\n");
}

TEST(FileEdit, AFileThatCannotBeOpenedOrNamedEndsTheProgram) {
    EditDir d;
    std::string missing = d.Base("missing");
    EXPECT_EXIT(FileChange(missing.c_str(), "conf", "a", "b"), ExitedWithCode(1),
                "can't open file, .*/missing.conf");
    EXPECT_EXIT(OpenIOFiles(missing.c_str(), ""), ExitedWithCode(1), "can't open file");

    // 127 characters fit; one more would be cut to another file's name.
    std::string dir = d.dir.path() + "/";
    std::string fits = dir + std::string(127 - dir.size() - 7, 'n');
    WriteFile(fits + ".cfg", "a\n");
    EXPECT_EQ(FileChange(fits.c_str(), "cfg", "a", "b"), 0) << "copy name of 127 characters";
    EXPECT_EQ(ReadFile(fits + ".cfg"), "b\n");
    std::string tooLong = fits + "n";
    WriteFile(tooLong + ".cfg", "a\n");
    EXPECT_EXIT(FileChange(tooLong.c_str(), "cfg", "a", "b"), ExitedWithCode(1),
                "can't open file, .*n.cfgout : File name too long");
    EXPECT_EQ(ReadFile(tooLong + ".cfg"), "a\n");
}
