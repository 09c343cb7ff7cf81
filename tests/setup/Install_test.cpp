// The site copy of the installation: the work area made afresh, the files
// of the disk list copied into it, leftovers of the archive removed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

#include "TestSupport.h"
#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        site_ = dir_ + "/site";
        work_ = dir_ + "/work";
        fs::create_directory(site_);
        for (const char* name : {"a", "b", "c", "d", "e", "disks"})
            std::ofstream(site_ + "/" + name) << name << "\n";
    }

    std::set<std::string> workFiles() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_))
            names.insert(entry.path().filename().string());
        return names;
    }
    void copy(const char* list) {
        snprintf(LineBuf, sizeof LineBuf, "%s", list);
        PrepareWorkArea(work_.c_str());
        CopySiteFiles(site_.c_str(), work_.c_str());
    }

    TempDir tmp_{"/tmp/install_test."};
    std::string dir_ = tmp_.path(), site_, work_;
};

TEST_F(InstallTest, LeftoverWorkAreaIsRemovedAndMadeAfresh) {
    fs::create_directories(work_ + "/pkg/lib");
    std::ofstream(work_ + "/Linuxi386Qpxx.tar.Z") << "stale";
    PrepareWorkArea(work_.c_str());
    ASSERT_TRUE(fs::is_directory(work_));
    EXPECT_TRUE(fs::is_empty(work_));

    // No work area yet: it is made.
    fs::remove_all(work_);
    PrepareWorkArea(work_.c_str());
    EXPECT_TRUE(fs::is_directory(work_));
}

TEST_F(InstallTest, TheEndMarkerEndsTheListOrOnlyItsLine) {
    copy("end_of_list\na b\n");
    EXPECT_TRUE(workFiles().empty());

    // On a line of its own the marker ends the walk; after words it ends only
    // that line. Empty lines and carriage returns separate lines too.
    copy("a b end_of_list c\n\n\r\nd\r  end_of_list \ne\n");
    EXPECT_EQ(workFiles(), (std::set<std::string>{"a", "b", "d"}));

    // Tabs and runs of blanks separate words; a list without a marker is
    // copied to its end.
    copy("\ta\t\tdisks   e");
    EXPECT_EQ(workFiles(), (std::set<std::string>{"a", "disks", "e"}));
}

TEST_F(InstallTest, AFileThatCannotBeCopiedEndsTheProgram) {
    EXPECT_EXIT(copy("a missing b\nend_of_list\n"), ::testing::ExitedWithCode(1), "");
}

TEST_F(InstallTest, ANameTheShellWouldReadAsMoreIsRefused) {
    const std::string list = "a b;touch${IFS}" + dir_ + "/pwned\nend_of_list\n";
    EXPECT_EXIT(copy(list.c_str()), ::testing::ExitedWithCode(1), "not a plain file name");
    EXPECT_FALSE(fs::exists(dir_ + "/pwned"));
}

TEST_F(InstallTest, StaleArchivesGoBeforeTheAssembly) {
    fs::create_directory(work_);
    std::ofstream(work_ + "/Linuxi386Qpxx.tar.Z") << "old";
    std::ofstream(work_ + "/Linuxi386Qpxx.tar") << "old";
    std::ofstream(work_ + "/pkg_tar.aa") << "piece";
    RemoveStaleArchive(work_.c_str());
    EXPECT_EQ(workFiles(), (std::set<std::string>{"pkg_tar.aa"}));
    RemoveStaleArchive(work_.c_str()); // nothing there: nothing happens
    EXPECT_EQ(workFiles(), (std::set<std::string>{"pkg_tar.aa"}));
}

} // namespace

namespace {

// The clean-up: the work area goes, qpqadmin is run with -upgrade and then
// -clean, and a parent the installer made goes when it is left empty.
class CleanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_ = dir_ + "/app";
        fs::create_directories(app_);
        std::ofstream(app_ + "/qpqadmin")
            << "#!/bin/sh\necho \"$* $(pwd)\" >>" << dir_ << "/calls\n";
        fs::permissions(app_ + "/qpqadmin", fs::perms::owner_all);
        pAppDir = app_.data();
    }
    void TearDown() override { flCreatedTmpDir = false; }
    std::string calls() const { return ReadFile(dir_ + "/calls"); }

    TempDir tmp_{"/tmp/clean_test."};
    Restore<char*> savedApp_{pAppDir};
    CwdGuard cwd_;
    std::string dir_ = tmp_.path(), app_;
};

TEST_F(CleanTest, WorkAreaGoesAndQueueAdminRunsTwiceFromTheRoot) {
    const std::string parent = dir_ + "/given";
    const std::string work = parent + "/OrvikInstall";
    fs::create_directories(work + "/pkg");
    flMidLine = true; // the installation's progress dots stand on the line
    testing::internal::CaptureStdout();
    OrvikClean(work.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "..\n") << "the dots go on the same line";
    EXPECT_FALSE(flMidLine);
    EXPECT_FALSE(fs::exists(work));
    EXPECT_TRUE(fs::is_directory(parent)) << "a parent that was there already stays";
    EXPECT_EQ(calls(), "-upgrade /\n-clean /\n");
}

TEST_F(CleanTest, AParentTheInstallerMadeGoesOnlyWhenEmpty) {
    const std::string parent = dir_ + "/made/here";
    const std::string work = parent + "/OrvikInstall";
    fs::create_directories(work);
    flCreatedTmpDir = true;
    pCreatedTmpDirTop = SaveStr("%s/made", dir_.c_str());
    testing::internal::CaptureStdout();
    OrvikClean(work.c_str());
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(fs::exists(dir_ + "/made")) << "every directory made for it goes";
    EXPECT_TRUE(fs::is_directory(dir_)) << "what was there before stays";

    fs::create_directories(work);
    std::ofstream(parent + "/someone-elses") << "x";
    testing::internal::CaptureStdout();
    OrvikClean(work.c_str());
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(fs::exists(work));
    EXPECT_TRUE(fs::exists(parent + "/someone-elses"));
    EXPECT_TRUE(fs::is_directory(dir_ + "/made"));
    PutMem(pCreatedTmpDirTop);
    pCreatedTmpDirTop = nullptr;
    flCreatedTmpDir = false;
}

TEST_F(CleanTest, AMissingQueueAdminIsNotRun) {
    fs::remove(app_ + "/qpqadmin");
    const std::string work = dir_ + "/OrvikInstall";
    fs::create_directories(work);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    OrvikClean(work.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(fs::exists(work));
}

} // namespace
