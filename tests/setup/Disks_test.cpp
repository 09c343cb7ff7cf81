// The disk list and the archive assembly, in a private work area.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "TestSupport.h"
#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

class DisksTest : public ::testing::Test {
  protected:
    void SetUp() override { pOrvikInstallDir = dir_.data(); }

    void put(const std::string& name, const std::string& text) { WriteFile(tmp_ / name, text); }
    std::string archive() const { return ReadFile(tmp_ / "Linuxi386Qpxx.tar.Z"); }

    TempDir tmp_{"/tmp/disks_test."};
    Restore<char*> work_{pOrvikInstallDir};
    CwdGuard cwd_;
    std::string dir_ = tmp_.path();
};

TEST_F(DisksTest, LowerCaseListIsReadAsItStands) {
    put("disks", "disks isize Pkg_Tar.aa\nend_of_list\nTrailer\n");
    put("DISKS", "ignored\n");
    GetDisksData(dir_.c_str());
    EXPECT_STREQ(LineBuf, "disks isize Pkg_Tar.aa\nend_of_list\nTrailer\n");
}

TEST_F(DisksTest, CapitalListIsTurnedToCapitalsUpToTheMarker) {
    put("DISKS", "disks pkg_tar.aa\npkg_tar.ab\nend_of_list\nafter\n");
    GetDisksData(dir_.c_str());
    EXPECT_STREQ(LineBuf, "DISKS PKG_TAR.AA\nPKG_TAR.AB\nend_of_list\nafter\n");

    // A marker in capitals is no marker: everything is turned.
    put("DISKS", "pkg_tar.aa END_OF_LIST pkg_tar.ab\n");
    GetDisksData(dir_.c_str());
    EXPECT_STREQ(LineBuf, "PKG_TAR.AA END_OF_LIST PKG_TAR.AB\n");
}

TEST_F(DisksTest, NoListEndsTheProgramWithStatusOne) {
    EXPECT_EXIT(GetDisksData(dir_.c_str()), ::testing::ExitedWithCode(1),
                "ERROR: can't open file, OrvikInstall/disks");
}

// A list that fills LineBuf exactly is read whole; one byte more would be
// cut short and lose pieces, so it ends the program (either spelling).
TEST_F(DisksTest, AListLongerThanTheLineBufferIsRefused) {
    const std::string tail = "\nend_of_list\n";
    std::string fits(LINEBUF_SIZE - 1 - tail.size(), 'a');
    put("disks", fits + tail);
    GetDisksData(dir_.c_str());
    EXPECT_EQ(strlen(LineBuf), size_t(LINEBUF_SIZE - 1));
    for (const char* name : {"disks", "DISKS"}) {
        fs::remove(tmp_ / "disks");
        put(name, fits + "a" + tail);
        EXPECT_EXIT(GetDisksData(dir_.c_str()), ::testing::ExitedWithCode(1),
                    "ERROR: the disk list .*/" + std::string(name) + " is longer than 4095 bytes")
            << name;
    }
}

TEST_F(DisksTest, PiecesAreJoinedInListOrderAndOthersPassedOver) {
    put("pkg_tar.ab", "BB");
    put("pkg_tar.aa", "AA");
    put("pkg_tar.ac", "CC");
    put("pkg_tar", "no dot");
    put("Pkg_tar.ad", "mixed case");
    put("pkg_tar.ae", "after the marker");
    put("isize", "12\n");
    // Out of name order on purpose; a tab joins two names into one word that
    // names no file; a listed piece that is missing is skipped.
    put("disks", "disks isize pkg_tar.ab\r\npkg_tar.aa pkg_tar Pkg_tar.ad\n"
                 "pkg_tar.zz\npkg_tar.ac\tpkg_tar.aa\nend_of_list pkg_tar.ae\n");
    genZFile();
    EXPECT_EQ(archive(), "BBAA");

    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    EXPECT_EQ(fs::canonical(here), fs::canonical(dir_)) << "the work area is left current";
}

TEST_F(DisksTest, CapitalPiecesAreFoundThroughTheCapitalList) {
    put("PKG_TAR.AA", "one,");
    put("PKG_TAR.AB", "two");
    put("DISKS", "disks pkg_tar.aa pkg_tar.ab\nend_of_list\n");
    genZFile();
    EXPECT_EQ(archive(), "one,two");
}

TEST_F(DisksTest, ArchiveIsAppendedToNotReplaced) {
    put("pkg_tar.aa", "new");
    put("Linuxi386Qpxx.tar.Z", "old-");
    put("disks", "pkg_tar.aa\nend_of_list\n");
    genZFile();
    EXPECT_EQ(archive(), "old-new");
}

TEST_F(DisksTest, NamesThatWouldNeedQuotingAreNotPieces) {
    EXPECT_TRUE(IsPlainSiteName("pkg_tar.aa"));
    EXPECT_TRUE(IsPlainSiteName("sub/PKG_TAR.AB-1+x,y=z@h%:"));
    for (const char* bad : {"", "a;b", "a$(x)", "a`x`", "a b", "a\"b", "a'b", "a>b", "a|b", "a*",
                            "a\tb", "a&b", "a\\b"})
        EXPECT_FALSE(IsPlainSiteName(bad)) << bad;
    EXPECT_FALSE(IsPlainSiteName(nullptr));

    // Such a piece is passed over: nothing of it reaches a shell line.
    put("pkg_tar.a;touch>pwned", "X");
    put("pkg_tar.aa", "ok");
    put("disks", "pkg_tar.a;touch>pwned pkg_tar.aa\nend_of_list\n");
    genZFile();
    EXPECT_EQ(archive(), "ok");
    EXPECT_FALSE(fs::exists(dir_ + "/pwned"));
}

} // namespace
