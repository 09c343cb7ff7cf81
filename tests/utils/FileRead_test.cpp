#include <gtest/gtest.h>

#include "MemMgr/MemMgr.h"
#include "TestSupport.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FileReadTest : public ::testing::Test {
  protected:
    void TearDown() override { CloseInputFile(); }
    std::string Write(const std::string& name, const std::string& content) {
        std::string path = dir_ + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    TempDir tmp_{"/tmp/orvik-fileread-"};
    CwdGuard cwd_;
    std::string dir_ = fs::canonical(tmp_.path()).string();
};

} // namespace

TEST_F(FileReadTest, OpenInputFileFailureLevels) {
    std::string missing = dir_ + "/missing";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenInputFile(missing.c_str(), 0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    strcpy(LineBuf, "stale");
    LineLen = 9;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenInputFile(missing.c_str(), 1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: can't open file, " + missing + "\n");
    EXPECT_EQ(FileStatus, 2);
    EXPECT_STREQ(LineBuf, "");
    EXPECT_EQ(LineLen, 0);
    EXPECT_EXIT(OpenInputFile(missing.c_str(), 2), testing::ExitedWithCode(1),
                "ERROR: can't open file, .*missing");

    std::string present = Write("present", "x\n");
    EXPECT_TRUE(OpenInputFile(present.c_str(), 2));
    EXPECT_EQ(FileStatus, 0);
    CloseInputFile();
    EXPECT_EQ(FileStatus, 1);
    EXPECT_EQ(pIn, nullptr);
    std::string longName = dir_ + "/" + std::string(600, 'n');
    EXPECT_FALSE(OpenInputFileF(0, "%s", longName.c_str()));
    EXPECT_EQ(FileStatus, 2);
}

TEST_F(FileReadTest, OpenFileReportsByLevel) {
    std::string missing = dir_ + "/none";
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenFile(nullptr, missing.c_str(), "rt", 1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: can't open file, " + missing + "\n");
    EXPECT_EXIT(OpenFile(nullptr, missing.c_str(), "rt", 2), testing::ExitedWithCode(1), "");
    std::string longName(600, 'n'); // a cut path is never opened in its place
    EXPECT_EQ(OpenFileF(nullptr, "wt", 0, "%s/%s", dir_.c_str(), longName.c_str()), nullptr);
    testing::internal::CaptureStdout();
    EXPECT_LT(OpenRawFile(missing.c_str(), O_RDONLY), 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: can't open file, " + missing);
}

TEST_F(FileReadTest, GetFileLineJoinsContinuedLines) {
    std::string path = Write("cont", "a \\\nb\nsingle\n");
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    ASSERT_TRUE(GetFileLine());
    EXPECT_STREQ(LineBuf, "a \\\nb\n");
    EXPECT_EQ(LineLen, 4);
    ASSERT_TRUE(GetFileLine());
    EXPECT_STREQ(LineBuf, "single\n");
    EXPECT_EQ(LineLen, 0);
    EXPECT_FALSE(GetFileLine());
    EXPECT_EQ(FileStatus, 1);

    // A continuation at the end of the file keeps what was read.
    path = Write("tail", "x \\\n");
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    ASSERT_TRUE(GetFileLine());
    EXPECT_STREQ(LineBuf, "x \\\n");
}

// A continuation is read with all the room left in LineBuf: a next physical
// line longer than 510 characters stays part of the logical line instead of
// its rest coming back as a line (a stray command) of its own.
TEST_F(FileReadTest, GetFileLineReadsLongContinuationsWhole) {
    std::string words = "copy \\\n";
    std::string second = std::string(700, 'w') + " \\\n";
    std::string third = std::string(1500, 'x') + "\n";
    std::string path = Write("longcont", words + second + third + "next\n");
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    ASSERT_TRUE(GetFileLine());
    EXPECT_EQ(std::string(LineBuf), words + second + third);
    EXPECT_EQ(LineLen, int(words.size() + second.size()));
    ASSERT_TRUE(GetFileLine());
    EXPECT_STREQ(LineBuf, "next\n");
    EXPECT_FALSE(GetFileLine());

    // A first physical line is still read in 510-character pieces.
    path = Write("longfirst", std::string(600, 'f') + " \\\n" + std::string(600, 'g') + "\n");
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    ASSERT_TRUE(GetFileLine());
    EXPECT_EQ(std::string(LineBuf), std::string(510, 'f'));
    ASSERT_TRUE(GetFileLine());
    EXPECT_EQ(std::string(LineBuf), std::string(90, 'f') + " \\\n" + std::string(600, 'g') + "\n");
}

TEST_F(FileReadTest, GetFileLineKeepsWithinItsLimits) {
    // A physical line longer than 510 characters arrives in pieces.
    std::string path = Write("long", std::string(600, 'L') + "\n");
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    ASSERT_TRUE(GetFileLine());
    EXPECT_EQ(strlen(LineBuf), 510u);
    ASSERT_TRUE(GetFileLine());
    EXPECT_EQ(std::string(LineBuf), std::string(90, 'L') + "\n");

    // Continued lines that add up to more than LineBuf holds: LineBuf fills
    // up to its last byte and the rest comes with the next call.
    std::string piece = std::string(400, 'c') + " \\\n";
    std::string content;
    for (int i = 0; i < 12; ++i)
        content += piece;
    content += "end\n";
    path = Write("many", content);
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    ASSERT_TRUE(GetFileLine());
    size_t first = strlen(LineBuf);
    EXPECT_EQ(first, size_t(LINEBUF_SIZE - 1));
    EXPECT_LT(LineLen, LINEBUF_SIZE);
    std::string rest;
    while (GetFileLine())
        rest += LineBuf;
    EXPECT_EQ(content.substr(0, first) + rest, content);
}

TEST_F(FileReadTest, GetFileTextLineGivesTheFirstWordOfTheFirstTextLine) {
    std::string path = Write("list", "# comment\n \t\npkg1 rest\n");
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    ASSERT_TRUE(GetFileTextLine(" \t\n"));
    EXPECT_STREQ(LineBuf, "pkg1");
    EXPECT_FALSE(GetFileTextLine(" \t\n"));
}

TEST_F(FileReadTest, GetLineFiltersComments) {
    std::string path = Write("src", "  x = 1; // note\n"
                                    "a /* x */ b /* y */ c\n"
                                    "\n"
                                    "keep /* open\n"
                                    "inside\n"
                                    "close */ tail\n"
                                    "last\r\n");
    ASSERT_TRUE(OpenInputFile(path.c_str(), 0));
    flInputFilterState = true;
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "x = 1; ");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "a  b  c");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "");
    long closeAt =
        long(strlen("  x = 1; // note\na /* x */ b /* y */ c\n\nkeep /* open\ninside\n"));
    EXPECT_EQ(GetLine(), 3); // the comment's lines are consumed, not returned
    EXPECT_STREQ(Line, "keep  tail");
    EXPECT_EQ(InPos, closeAt);
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "last");
    EXPECT_EQ(GetLine(), 0);

    flInputFilterState = false;
    EXPECT_EQ(GetLinePos(0), 1);
    EXPECT_STREQ(Line, "  x = 1; // note\n");
    EXPECT_EQ(GetLineN(2), 1);
    EXPECT_STREQ(Line, "\n");
    flInputFilterState = true;
}

TEST_F(FileReadTest, WholeFileReads) {
    Write("ten", "0123456789");
    EXPECT_TRUE(GetFileContent(dir_.c_str(), "ten"));
    EXPECT_STREQ(LineBuf, "0123456789");
    EXPECT_FALSE(GetFileContent(dir_.c_str(), "missing"));
    Write("big", std::string(5000, 'b'));
    EXPECT_TRUE(GetFileContent(dir_.c_str(), "big"));
    EXPECT_EQ(strlen(LineBuf), size_t(LINEBUF_SIZE - 1)); // room for the terminator
    char buf[5];
    EXPECT_TRUE(GetFileContentR(dir_.c_str(), "ten", buf, 4));
    EXPECT_STREQ(buf, "0123");

    Write("empty", "");
    Write("one", "y");
    std::string large(70000, 'z');
    Write("large", large);
    EXPECT_EQ(GetSavedFileContent(dir_.c_str(), "empty"), nullptr);
    EXPECT_EQ(SavedFileSize, 0);
    EXPECT_EQ(Take(GetSavedFileContent(dir_.c_str(), "one")), "y");
    EXPECT_EQ(SavedFileSize, 1);
    EXPECT_EQ(Take(GetSavedFileContent((dir_ + "/large").c_str(), nullptr)), large);
    EXPECT_EQ(SavedFileSize, 70000);
    EXPECT_EQ(GetSavedFileContent(dir_.c_str(), "missing"), nullptr);
    EXPECT_EQ(SavedFileSize, 0);

    std::string search = Write("search", "alpha\nbeta gamma\nbeta\n");
    EXPECT_STREQ(FileSearch(search.c_str(), "beta", 0), "beta gamma\n");
    EXPECT_EQ(FileSearch(search.c_str(), "delta", 0), nullptr);

    fs::create_directory(dir_ + "/d");
    fs::create_directory_symlink(dir_ + "/d", dir_ + "/link");
    EXPECT_EQ(GetFileType(search.c_str()), 3);
    EXPECT_EQ(GetFileType((dir_ + "/d").c_str()), 1);
    EXPECT_EQ(GetFileType((dir_ + "/link").c_str()), 2);
    EXPECT_EQ(GetFileType((dir_ + "/none").c_str()), 0);
}

TEST_F(FileReadTest, FindFileLooksUpNamesInListings) {
    Write("a/b/leaf", "");
    Write("abc", "");
    fs::create_symlink(dir_ + "/nowhere", dir_ + "/dangling");
    const char* d = dir_.c_str();
    EXPECT_TRUE(FindFile(d, "a"));
    EXPECT_FALSE(FindFile(d, "ab"));      // whole names only
    EXPECT_TRUE(FindFile(d, "dangling")); // a name test: the target is not followed
    EXPECT_TRUE(FindFile(d, "a/b"));
    EXPECT_FALSE(FindFile(d, "a/x"));
    EXPECT_TRUE(FindFile(d, "."));
    EXPECT_TRUE(FindFile(nullptr, (dir_ + "/a/b").c_str()));
    EXPECT_FALSE(FindFile(nullptr, (dir_ + "/a/x").c_str()));
    EXPECT_FALSE(FindFile(d, "missing"));
    EXPECT_FALSE(FindFile(nullptr, ""));

    // A whole path ending in '/' looks for its last component inside itself.
    EXPECT_FALSE(FindFile(nullptr, (dir_ + "/a/").c_str()));
    Write("a/a", "");
    EXPECT_TRUE(FindFile(nullptr, (dir_ + "/a/").c_str()));
    // A name with '/' that ends in '/' is the empty name: present when readable.
    EXPECT_TRUE(FindFile(d, "a/"));
    EXPECT_TRUE(FindFile("/", "/"));
    EXPECT_FALSE(FindFile(nullptr, "/"));
    EXPECT_FALSE(FindFile(nullptr, "//"));

    ASSERT_EQ(chdir(d), 0);
    EXPECT_TRUE(FindFile(nullptr, "abc")); // relative: in '.'
    EXPECT_TRUE(FindFile("", "a/b"));
    EXPECT_FALSE(FindFile(d, std::string(300, 'n').append("/x").c_str()));
}

// Both existence tests take an empty directory as the working directory and
// an empty path as naming nothing.
TEST_F(FileReadTest, FindFileAndFindFile_AgreeOnEmptyParts) {
    Write("abc", "");
    Write("a/b", "");
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    for (const char* name : {"abc", "a/b", "."}) {
        EXPECT_TRUE(FindFile("", name)) << name;
        EXPECT_TRUE(FindFile_("", name)) << name;
    }
    // Not the root: "" and "tmp" is not "/tmp".
    ASSERT_TRUE(FindFile("/", "tmp"));
    EXPECT_FALSE(FindFile("", "tmp"));
    EXPECT_FALSE(FindFile_("", "tmp"));
    for (const char* none : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(FindFile("", none));
        EXPECT_FALSE(FindFile_("", none));
        EXPECT_FALSE(FindFile(none, ""));
        EXPECT_FALSE(FindFile_(none, ""));
    }
    EXPECT_TRUE(FindFile((dir_ + "/abc").c_str(), ""));
    EXPECT_TRUE(FindFile_((dir_ + "/abc").c_str(), ""));
}

TEST_F(FileReadTest, FindExistingPathWalksUpToAPresentAncestor) {
    fs::create_directories(dir_ + "/opt/sub");
    int exact = 0;
    EXPECT_EQ(Take(FindExistingPath((dir_ + "/opt/new/dir").c_str(), &exact)), dir_ + "/opt");
    EXPECT_EQ(exact, 0);
    EXPECT_EQ(Take(FindExistingPath((dir_ + "/opt/sub").c_str(), &exact)), dir_ + "/opt/sub");
    EXPECT_EQ(exact, 1);
    exact = 0;
    EXPECT_EQ(Take(FindExistingPath((dir_ + "/opt/sub/").c_str(), &exact)), dir_ + "/opt/sub");
    EXPECT_EQ(exact, 0);
    EXPECT_EQ(Take(FindExistingPath("/", &exact)), "/");
    EXPECT_EQ(Take(FindExistingPath("/orvik-no-such-dir/x/y", &exact)), "/");
    std::string deep = dir_ + "/opt/" + std::string(200, 'q') + "/" + std::string(200, 'r');
    EXPECT_EQ(Take(FindExistingPath(deep.c_str(), &exact)), dir_ + "/opt");

    ASSERT_EQ(chdir(dir_.c_str()), 0);
    exact = 0;
    EXPECT_EQ(Take(FindExistingPath("opt/none/x", &exact)), "opt");
    EXPECT_EQ(Take(FindExistingPath("none/x", &exact)), ".");
    EXPECT_EQ(exact, 0);
    EXPECT_EQ(Take(FindExistingPath("opt", &exact)), "opt");
    EXPECT_EQ(exact, 1);
}
