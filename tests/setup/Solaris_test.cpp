// The Solaris package registration upgrade. The lines built from package-map
// entries are checked anywhere; the whole upgrade writes /usr/sbin/installf,
// /var/sadm/pkg and /etc, so the SolarisSandbox cases run only inside the
// sandbox, started by tests/e2e/solaris_sandbox_test.sh.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "TestSupport.h"
#include "setup/setup.h"

using ::testing::ExitedWithCode;

namespace {

// The installer's globals for one test, logging to /tmp/solaris_test_PID.log.
class SolarisTest : public ::testing::Test {
  protected:
    Restore<char*> work_{pOrvikInstallDir}, target_{pTargetInstallDir}, app_{pAppDir};
    Restore<const char*> name_{my_name};
    Restore<bool> log_{flUseLog};
    std::string logName = "solaris_test_" + std::to_string(getpid());
    std::string logPath = "/tmp/" + logName + ".log";

    void SetUp() override {
        my_name = logName.c_str();
        flUseLog = true;
        ResetLogForTests();
        unlink(logPath.c_str());
    }
    void TearDown() override { unlink(logPath.c_str()); }
    std::string Log() const { return ReadFile(logPath); }

    // The registration and copy lines of one entry; "-" when it is skipped.
    static std::pair<std::string, std::string> Lines(const std::string& entry) {
        std::string text = entry;
        char* reg = nullptr;
        char* copy = nullptr;
        if (!SolarisMapLines(text.data(), "ORVKqpxx", &reg, &copy)) {
            EXPECT_EQ(reg, nullptr);
            EXPECT_EQ(copy, nullptr);
            return {"-", "-"};
        }
        return {Take(reg), Take(copy)};
    }
};

} // namespace

TEST_F(SolarisTest, RegistrationAndCopyLinesForBothPathForms) {
    pOrvikInstallDir = SaveStr_("/tmp/OrvikInstall");
    pTargetInstallDir = SaveStr_("/opt");

    auto abs = Lines("1 f none /etc/init.d/qprint 0755 root sys 120 4711 970000000\n");
    EXPECT_EQ(abs.first, "/usr/sbin/installf -c none ORVKqpxx /etc/init.d/qprint f 0755 root sys "
                         "1>/dev/null 2>/dev/null");
    EXPECT_EQ(abs.second, "cp /tmp/OrvikInstall/ORVKqpxx/root/etc/init.d/qprint /etc/init.d/qprint");

    auto rel = Lines("1 f none bin/qsf 4755 root bin 30 1 970000000\r\n");
    EXPECT_EQ(rel.first, "/usr/sbin/installf -c none ORVKqpxx /opt/Orvik/bin/qsf f 4755 root bin "
                         "1>/dev/null 2>/dev/null");
    EXPECT_EQ(rel.second, "cp /tmp/OrvikInstall/ORVKqpxx/reloc/bin/qsf /opt/Orvik/bin/qsf");

    // Exactly seven words are enough.
    EXPECT_NE(Lines("1 f none bin/x 0755 root bin").first, "-");
    EXPECT_EQ(Log(), "") << "no warning for usable entries";
}

TEST_F(SolarisTest, OtherEntriesAreSkippedAndUnsafeWordsWarned) {
    pOrvikInstallDir = SaveStr_("/tmp/OrvikInstall");
    pTargetInstallDir = SaveStr_("/opt");
    for (const char* entry : {": 1 2048\n", "1 d none /etc/init.d 0755 root sys\n",
                              "1 i pkginfo 300 12 970000000\n", "1 f none bin/qsf 0755 root\n",
                              "1 f,d none bin/qsf 0755 root bin\n", "\n", ""})
        EXPECT_EQ(Lines(entry).first, "-") << entry;
    EXPECT_EQ(Log(), "") << "entries that are not plain files are skipped silently";

    for (const char* entry :
         {"1 f none bin/q;rm 0755 root bin\n", "1 f no$ne bin/q 0755 root bin\n",
          "1 f none bin/q 0755 ro`t` bin\n", "1 f none bin/q 0755 root b'n\n",
          "1 f none bin/q\t1 0755 root bin\n", "1 f none bin/q 07(5 root bin\n"}) {
        EXPECT_EQ(Lines(entry).first, "-") << entry;
    }
    std::string log = Log();
    EXPECT_EQ(Count(log, "WARNING_MSG: pkgmap entry "), 6) << log;
    EXPECT_NE(log.find("skipped: \"bin/q;rm\" holds a blank or shell-special character"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("skipped: \"no$ne\""), std::string::npos) << log;
}

TEST_F(SolarisTest, AMissingPackageMapEndsTheProgram) {
    TempDir dir("/tmp/solaris_test.");
    ASSERT_EQ(mkdir((dir / "lib").c_str(), 0755), 0); // nothing to make
    pAppDir = SaveStr_(dir.c_str());
    std::string site = dir / "site";
    EXPECT_EXIT(upgradeSolarisPackage("ORVKqpxx", site.c_str()), ExitedWithCode(1),
                "ERROR: can't open file, .*/site/TLMRqpxx/pkgmap");
}

// ---------------------------------------------------------------- sandbox

namespace {

constexpr const char* PKG = "ORVKqpxx";
const std::string INFO_DIR = std::string("/var/sadm/pkg/") + PKG;
const std::string CALLS = "/tmp/installf.calls";

class SolarisSandbox : public SolarisTest {
  protected:
    std::string root, work, site;

    void SetUp() override {
        struct statfs fs {};
        if (std::getenv("ORVIK_SOLARIS_SANDBOX") == nullptr || statfs("/usr", &fs) != 0 ||
            fs.f_type != 0x794c7630 /* overlayfs */)
            GTEST_SKIP() << "runs only inside the sandbox (tests/e2e/solaris_sandbox_test.sh)";
        SolarisTest::SetUp();
        if (!ComList[CMD_MKDIR].pPath) InitSysCmdList();
        char templ[] = "/tmp/solaris_test.XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
        work = root + "/work";
        site = root + "/site";
        std::filesystem::create_directories(work + "/" + PKG + "/root/etc/init.d");
        std::filesystem::create_directories(work + "/" + PKG + "/reloc/bin");
        std::filesystem::create_directories(site + "/TLMRqpxx");
        std::filesystem::create_directories("/opt/Orvik/qpxx");
        std::filesystem::create_directories("/opt/Orvik/bin");
        std::filesystem::create_directories("/etc/init.d");
        std::filesystem::create_directories(INFO_DIR);
        pOrvikInstallDir = SaveStr_(work.c_str());
        pTargetInstallDir = SaveStr_("/opt");
        pAppDir = SaveStr_("/opt/Orvik/qpxx");
        // The registration tool records every call.
        WriteFile("/usr/sbin/installf", "#!/bin/sh\necho \"$*\" >> " + CALLS + "\n", true);
        unlink(CALLS.c_str());
        testing::internal::CaptureStdout();
    }
    void TearDown() override {
        if (root.empty()) return;
        testing::internal::GetCapturedStdout();
        std::filesystem::remove_all(root);
        std::filesystem::remove_all("/opt/Orvik");
        std::filesystem::remove_all(INFO_DIR);
        unlink("/etc/init.d/qprint");
        unlink("/usr/sbin/installf");
        unlink(CALLS.c_str());
        SolarisTest::TearDown();
    }
};

} // namespace

TEST_F(SolarisSandbox, RegistersCopiesFinalisesAndRewritesTheVersion) {
    WriteFile(work + "/" + PKG + "/root/etc/init.d/qprint", "#!/bin/sh\necho qprint\n");
    WriteFile(work + "/" + PKG + "/reloc/bin/qsf", "qsf binary\n");
    WriteFile(site + "/TLMRqpxx/pkgmap", ": 1 2048\n"
                                         "1 d none /etc/init.d 0755 root sys\n"
                                         "1 f none /etc/init.d/qprint 0755 root sys 120 4711 "
                                         "970000000\n"
                                         "1 f none bin/qsf 4755 root bin 30 1 970000000\n"
                                         "1 i pkginfo 300 12 970000000\n"
                                         "1 f none bin/short 0755 root\n"
                                         "1 f none bin/x;touch${IFS}/tmp/pwned 0755 root bin\n");
    WriteFile(INFO_DIR + "/pkginfo", "PKG=ORVKqpxx\nNAME=Orvik\nVERSION=4.2.1,REV=3\nARCH=i386\n");
    ASSERT_EQ(chmod((INFO_DIR + "/pkginfo").c_str(), 0640), 0);
    WriteFile(INFO_DIR + "/pkginfo.tmp", "stale\n");

    EXPECT_EQ(upgradeSolarisPackage(PKG, site.c_str()), 1);

    EXPECT_EQ(ReadFile(CALLS), "-c none ORVKqpxx /etc/init.d/qprint f 0755 root sys\n"
                               "-c none ORVKqpxx /opt/Orvik/bin/qsf f 4755 root bin\n"
                               "-f ORVKqpxx\n");
    EXPECT_EQ(ReadFile("/etc/init.d/qprint"), "#!/bin/sh\necho qprint\n");
    EXPECT_EQ(ReadFile("/opt/Orvik/bin/qsf"), "qsf binary\n");
    EXPECT_FALSE(Exists("/tmp/pwned")) << "an unsafe map word reached the shell";
    EXPECT_NE(Log().find("WARNING_MSG: pkgmap entry bin/x;touch${IFS}/tmp/pwned skipped"),
              std::string::npos)
        << Log();

    EXPECT_EQ(ReadFile(INFO_DIR + "/pkginfo"),
              "PKG=ORVKqpxx\nNAME=Orvik\nVERSION=4.10.33\nARCH=i386\n");
    struct stat st {};
    ASSERT_EQ(stat((INFO_DIR + "/pkginfo").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_FALSE(Exists(INFO_DIR + "/pkginfo.tmp"));

    // The library tree, in full, below a new APPDIR/lib of mode 755.
    ASSERT_EQ(stat("/opt/Orvik/qpxx/lib", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    for (const char* sub : {"gtk/modules/2.2.0/engines", "gtk/modules/2.2.0/immodules",
                            "gtk/modules/2.2.0/loaders", "gtk/modules/etc/gtk-2.0",
                            "gtk/modules/etc/pango", "gtk/modules/include", "gtk/modules/modules",
                            "gtk/modules/pango/1.2.0/modules"})
        EXPECT_TRUE(std::filesystem::is_directory(std::string("/opt/Orvik/qpxx/lib/") + sub))
            << sub;
}

TEST_F(SolarisSandbox, ExistingLibAndMissingPkginfoMakeNothing) {
    ASSERT_EQ(mkdir("/opt/Orvik/qpxx/lib", 0700), 0);
    WriteFile(site + "/TLMRqpxx/pkgmap", ": 1 2048\n");
    EXPECT_EQ(upgradeSolarisPackage(PKG, site.c_str()), 1);
    EXPECT_FALSE(Exists("/opt/Orvik/qpxx/lib/gtk"));
    struct stat st {};
    ASSERT_EQ(stat("/opt/Orvik/qpxx/lib", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u) << "an existing lib is left as it is";
    EXPECT_EQ(ReadFile(CALLS), "-f ORVKqpxx\n");
    // No pkginfo to edit: none is made from sed's empty output.
    EXPECT_FALSE(Exists(INFO_DIR + "/pkginfo"));
    EXPECT_FALSE(Exists(INFO_DIR + "/pkginfo.tmp"));
    EXPECT_NE(Log().find("WARNING_MSG: " + INFO_DIR + "/pkginfo not rewritten"), std::string::npos)
        << Log();
}
