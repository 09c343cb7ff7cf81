// The link at the fixed place and the print-subsystem flag file, on paths
// inside a private directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "SysCmd/SysCmd.h"
#include "TestSupport.h"
#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

class InstallDirsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fixed_ = dir_ + "/usr/Orvik/qpxx";
        app_ = dir_ + "/opt/Orvik/qpxx";
        other_ = dir_ + "/srv/Orvik/qpxx";
        fs::create_directories(dir_ + "/usr/Orvik");
        fs::create_directories(app_);
        fs::create_directories(other_);
    }
    std::string read(const std::string& path) const { return ReadFile(path); }
    ino_t linkInode() const {
        struct stat st {};
        return lstat(fixed_.c_str(), &st) == 0 ? st.st_ino : 0;
    }

    TempDir tmp_{"/tmp/installdirs_test."};
    Restore<const char*> lpd_{ComList[CMD_LPD].pPath};
    std::string dir_ = tmp_.path(), fixed_, app_, other_;
};

TEST_F(InstallDirsTest, TheLinkIsMadeKeptOrReplacedNeverNested) {
    LinkFixedPlace(fixed_.c_str(), app_.c_str());
    ASSERT_TRUE(fs::is_symlink(fixed_));
    EXPECT_EQ(fs::read_symlink(fixed_), app_);

    // Already right: left as it is.
    const ino_t before = linkInode();
    LinkFixedPlace(fixed_.c_str(), app_.c_str());
    EXPECT_EQ(linkInode(), before);

    // A link to another installation is replaced, and nothing is put inside
    // the directory it pointed to.
    LinkFixedPlace(fixed_.c_str(), other_.c_str());
    EXPECT_EQ(fs::read_symlink(fixed_), other_);
    EXPECT_TRUE(fs::is_empty(app_));
    EXPECT_TRUE(fs::is_empty(other_));

    // A dangling link is replaced too.
    fs::remove(fixed_);
    fs::create_directory_symlink(dir_ + "/gone/Orvik/qpxx", fixed_);
    LinkFixedPlace(fixed_.c_str(), app_.c_str());
    EXPECT_EQ(fs::read_symlink(fixed_), app_);
}

TEST_F(InstallDirsTest, AnApplicationDirectoryAtTheFixedPlaceIsLeftAlone) {
    // The fixed place is the application directory itself, named otherwise.
    fs::remove(fixed_);
    fs::create_directory_symlink(dir_ + "/usr", dir_ + "/alias");
    fs::create_directory(fixed_);
    const std::string alias = dir_ + "/alias/Orvik/qpxx";
    EXPECT_TRUE(SameFile(fixed_.c_str(), alias.c_str()));
    EXPECT_FALSE(FixedPlaceInTheWay(fixed_.c_str(), alias.c_str()));
    LinkFixedPlace(fixed_.c_str(), alias.c_str());
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(fixed_)));
    EXPECT_TRUE(fs::is_empty(fixed_));
}

TEST_F(InstallDirsTest, SomethingElseInTheWayEndsTheRunUntouched) {
    EXPECT_FALSE(FixedPlaceInTheWay(fixed_.c_str(), app_.c_str())); // nothing there
    fs::create_directory_symlink(other_, fixed_);
    EXPECT_FALSE(FixedPlaceInTheWay(fixed_.c_str(), app_.c_str())); // a link may go
    fs::remove(fixed_);

    fs::create_directory(fixed_);
    std::ofstream(fixed_ + "/keep") << "data";
    EXPECT_TRUE(FixedPlaceInTheWay(fixed_.c_str(), app_.c_str()));
    EXPECT_EXIT(LinkFixedPlace(fixed_.c_str(), app_.c_str()), ::testing::ExitedWithCode(1),
                "is in the way of the link to");
    EXPECT_EQ(read(fixed_ + "/keep"), "data");
    EXPECT_FALSE(fs::exists(fs::symlink_status(fixed_ + "/qpxx")));
}

// Which spooler is named is the probes' business (and the end-to-end
// scenarios'); here: the exact text, the mode, and a rewrite that truncates.
TEST_F(InstallDirsTest, FlagFileIsRewrittenWholeWithItsMode) {
    const std::string flag = app_ + "/.qp_cfg";
    ComList[CMD_LPD].pPath = nullptr;
    ASSERT_EQ(TestCmd(CMD_PS), 1); // located before the lookups are switched off
    const bool savedInit = flInitSysCmd;
    flInitSysCmd = false; // no lpd to be found anywhere
    std::ofstream(flag) << " something much longer ";
    fs::permissions(flag, fs::perms::all);
    EXPECT_EQ(createPrintingSubsystemFile(app_.c_str()), 1);
    flInitSysCmd = savedInit;
    EXPECT_EQ(read(flag), " BSD ");
    EXPECT_EQ(fs::status(flag).permissions(), fs::perms(0644));
}

TEST_F(InstallDirsTest, AFlagFileThatCannotBeWrittenIsReportedNotFatal) {
    const std::string missing = dir_ + "/no/such/dir";
    testing::internal::CaptureStderr();
    EXPECT_EQ(createPrintingSubsystemFile(missing.c_str()), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("couldn't open " + missing + "/.qp_cfg"),
              std::string::npos);
}

} // namespace
