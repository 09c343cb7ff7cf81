// Record database: both file formats byte for byte, the handle's image
// following its file, deferred and failed writes, and damaged files.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "Dbm/Dbm.h"
#include "TestSupport.h"
#include "setup/setup.h"

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += char(b);
    return s;
}

// The headed records after the 16-byte header.
std::string Body(const std::string& file) { return file.size() < 16 ? "" : file.substr(16); }

std::string Get(DbTHandle* h, const char* key) {
    char buf[DB_COPY_SIZE];
    int n = DbmTGetRecord(h, key, buf);
    return std::string(buf, size_t(n));
}

}  // namespace

TEST(DbmChaining, ChainsAndUnchainsInPlace) {
    uint8_t b[3] = {1, 2, 3};
    DbmChain(b, b, 3);
    EXPECT_EQ(Bytes({3, 1, 3}), std::string(reinterpret_cast<char*>(b), 3));
    DbmUnchain(b, b, 3);
    EXPECT_EQ(Bytes({1, 2, 3}), std::string(reinterpret_cast<char*>(b), 3));
    uint8_t one = 0x55;
    DbmChain(&one, &one, 1);
    EXPECT_EQ(0x55, one);
}

TEST(DbmHandle, FirstPutMakesHeadedFileAndAPutMovesItsKeyToTheEnd) {
    TempDir dir;
    std::string path = dir / "x.qdb";
    DbTHandle* h = DbTOpen(path.c_str(), 0);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(DB_TYPE_NEW, h->dbType);
    EXPECT_EQ(0, DbmTGetRecordSize(h, "a"));
    ASSERT_EQ(1, DbmTPutRecord(h, "a", "xy", 2));
    DbTClose(h);

    std::string file = ReadFile(path);
    ASSERT_EQ(16u + 2 + 6, file.size());
    EXPECT_EQ(std::string("TQDBAA1\0", 8), file.substr(0, 8));
    // L 6 and K 2 most significant byte first, "a\0" and "xy" chained apart.
    EXPECT_EQ(Bytes({0, 6, 0, 2, 'a', 0, 'x' ^ 'y', 'y'}), Body(file));
    EXPECT_FALSE(Exists(path + "_new"));

    h = DbTOpen(path.c_str(), 0);
    EXPECT_EQ(DB_TYPE_HEADED, h->dbType);
    EXPECT_EQ(1, h->recordCount);
    ASSERT_EQ(1, DbmTPutRecord(h, "b", "1", 1));
    ASSERT_EQ(1, DbmTPutRecord(h, "a", "2", 1));
    EXPECT_EQ(Bytes({0, 5, 0, 2, 'b', 0, '1', 0, 5, 0, 2, 'a', 0, '2'}), Body(ReadFile(path)));
    EXPECT_EQ(std::string("TQDBAA2\0", 8), ReadFile(path).substr(0, 8));
    EXPECT_EQ("2", Get(h, "a"));
    EXPECT_EQ("", Get(h, "ab"));
    EXPECT_EQ(0, DbmTGetRecordSize(h, "ab"));
    DbTClose(h);
}

TEST(DbmFileLevel, HeaderlessRecordsByteForByte) {
    TempDir dir;
    std::string path = dir / "f.qdb";
    ASSERT_EQ(1, DbmPutRecord(path.c_str(), "a", "xy", 2));
    // L 6 least significant byte first; the body 02 00 'a' 00 'x' 'y' chained as one block.
    EXPECT_EQ(Bytes({6, 0, 2, 'a', 'a', 'x', 'x' ^ 'y', 'y'}), ReadFile(path));
    EXPECT_EQ(0, DbmPutRecord(path.c_str(), "b", "", 0));  // an empty data block is refused

    for (const char* key : {"printer", "apr", "proxy", "pr"}) DbmPutRecord(path.c_str(), key, "d", 1);
    char buf[64];
    EXPECT_EQ(1, DbmGetRecord(path.c_str(), "apr", buf));
    EXPECT_EQ(0, DbmGetRecord(path.c_str(), "ap", buf));
    EXPECT_EQ(",a,printer,apr,proxy,pr,", Take(DbmGetRecordList(path.c_str(), ",", ",")));
    EXPECT_EQ(1, DbmDeleteRecords(path.c_str(), "pr"));
    EXPECT_EQ(",a,apr,", Take(DbmGetRecordList(path.c_str(), ",", ",")));
    EXPECT_EQ(1, DbmCopyRecord(path.c_str(), "a", "c"));
    EXPECT_EQ(2, DbmGetRecordSize(path.c_str(), "c"));
    EXPECT_EQ(1, DbmDeleteRecord(path.c_str(), "a"));
    EXPECT_EQ(",apr,c,", Take(DbmGetRecordList(path.c_str(), ",", ",")));
    EXPECT_NE('T', ReadFile(path)[0]);  // still headerless

    DbRecordLink* links = DbmGetDbLinkList(path.c_str(), "p");
    ASSERT_NE(nullptr, links);
    EXPECT_STREQ("apr", links->pRecord);
    EXPECT_EQ("d", std::string(links->pData, size_t(links->dataLen)));
    EXPECT_EQ(nullptr, links->pNext);
    EXPECT_EQ(nullptr, DbmFreeDbLinkList(links));

    EXPECT_EQ(1, DbmGetNextRecord(path.c_str(), buf));
    EXPECT_EQ('d', buf[0]);
    EXPECT_EQ(2, DbmGetNextRecord(path.c_str(), buf));
    EXPECT_EQ(0, DbmGetNextRecord(path.c_str(), buf));

    std::string empty = dir / "none.qdb";
    EXPECT_EQ(nullptr, DbmGetRecordList(empty.c_str(), ",", ","));
    EXPECT_EQ(0, DbmDeleteRecord(empty.c_str(), "a"));
    EXPECT_FALSE(Exists(empty));
}

TEST(DbmHandle, HeaderlessStaysHeaderlessAndDeletesCloseTheGap) {
    TempDir dir;
    std::string path = dir / "f.qdb";
    DbmPutRecord(path.c_str(), "a", "1", 1);
    DbmPutRecord(path.c_str(), "b", "2", 1);
    DbTHandle* h = DbTOpen(path.c_str(), 0);
    EXPECT_EQ(DB_TYPE_HEADERLESS, h->dbType);
    ASSERT_EQ(1, DbmTPutRecord(h, "c", "3", 1));
    ASSERT_EQ(1, DbmTDeleteRecord(h, "a"));
    std::string file = ReadFile(path);
    ASSERT_EQ(2u * 7, file.size());
    EXPECT_EQ(Bytes({5, 0}), file.substr(0, 2));  // the first record now starts at 0
    EXPECT_EQ(0, h->recordCount);
    EXPECT_EQ(",b,c,", Take(DbmTGetRecordList(h, ",", ",")));
    EXPECT_EQ(0, DbmTDeleteRecord(h, "a"));
    DbTClose(h);
}

TEST(DbmHandle, RereadsAnotherWritersChangeUnlessKept) {
    TempDir dir;
    std::string path = dir / "s.qdb";
    DbTHandle* reader = DbTOpen(path.c_str(), 0);
    DbTHandle* kept = DbTOpen(path.c_str(), DB_KEEP);
    DbTHandle* writer = DbTOpen(path.c_str(), 0);
    ASSERT_EQ(1, DbmTPutRecord(writer, "k", "v1", 2));
    EXPECT_EQ("v1", Get(reader, "k"));
    EXPECT_EQ("", Get(kept, "k"));
    ASSERT_EQ(1, DbmTPutRecord(writer, "k", "v2", 2));  // within the same second
    EXPECT_EQ("v2", Get(reader, "k"));
    DbTUpDate(kept);
    EXPECT_EQ("v2", Get(kept, "k"));
    DbTClose(reader);
    DbTClose(kept);
    DbTClose(writer);
}

TEST(DbmHandle, DeferredWritesReachTheFileAtTheArchive) {
    TempDir dir;
    std::string path = dir / "d.qdb";
    DbTHandle* h = DbTOpen(path.c_str(), DB_DEFER);
    for (int i = 0; i < 100; i++) {
        std::string key = "key" + std::to_string(i);
        ASSERT_EQ(1, DbmTPutRecord(h, key.c_str(), key.c_str(), int(key.size()) + 1));
    }
    EXPECT_EQ(1, DbmTDeleteRecords(h, "key1"));  // key1, key10 ... key19
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(1, DbmTCopyRecord(h, "key2", "copy"));
    ASSERT_EQ(1, DbmTArchiveDb(h));
    DbTClose(h);
    h = DbTOpen(path.c_str(), 0);
    EXPECT_EQ(90, h->recordCount);
    EXPECT_EQ(std::string("key2\0", 5), Get(h, "copy"));
    EXPECT_EQ(",key0,key2,", Take(DbmTGetRecordListS(h, "key0,,key2,zz", ",", ",")).substr(0, 11));
    EXPECT_EQ(nullptr, DbmTGetRecordListS(h, "zz", ",", ","));
    char* small = nullptr;
    char fixed[2];
    small = fixed;
    EXPECT_EQ(5, DbmTGetRecordV(h, "key3", &small, 2));
    EXPECT_NE(fixed, small);
    EXPECT_STREQ("key3", small);
    PutMem(small);
    DbTClose(h);
}

TEST(DbmHandle, DeferredPutsIntoAnEmptyFileStay) {
    TempDir dir;
    std::string path = dir / "empty.qdb";
    WriteFile(path, "");
    DbTHandle* h = DbTOpen(path.c_str(), DB_DEFER);
    ASSERT_EQ(1, DbmTPutRecord(h, "a", "1", 1));
    ASSERT_EQ(1, DbmTPutRecord(h, "b", "2", 1));
    EXPECT_EQ(",a,b,", Take(DbmTGetRecordList(h, ",", ",")));
    EXPECT_EQ("", ReadFile(path));
    ASSERT_EQ(1, DbmTArchiveDb(h));
    DbTClose(h);
    EXPECT_EQ(16u + 2 * 7, ReadFile(path).size());
}

TEST(DbmHandle, RefusesRecordsNoReaderCouldFollowAndKeepsImageWhenMemoryFails) {
    TempDir dir;
    std::string path = dir / "big.qdb";
    DbTHandle* h = DbTOpen(path.c_str(), 0);
    ASSERT_EQ(1, DbmTPutRecord(h, "a", "old", 3));
    std::string before = ReadFile(path);
    std::string longKey(4096, 'k');
    std::string data(65527, 'd');
    EXPECT_EQ(0, DbmTPutRecord(h, longKey.c_str(), "x", 1));
    EXPECT_EQ(0, DbmTPutRecord(h, "a", data.data(), 65527 - 3));  // L would be 65528
    EXPECT_EQ(1, DbmTPutRecord(h, "b", data.data(), 65527 - 4));  // L exactly 65527
    EXPECT_TRUE(Get(h, "a") == "old");
    ASSERT_EQ(1, DbmTDeleteRecord(h, "b"));
    EXPECT_EQ(Body(before), Body(ReadFile(path)));

    // Growing the image past its allocation fails: the old record stays.
    h->flags = DB_DEFER | DB_KEEP;
    int32_t len = h->imageLen;
    {
        Restore<bool> fail(flMemFailMap);
        flMemFailMap = true;
        std::string huge(60000, 'h');
        for (int i = 0; i < 200 && DbmTPutRecord(h, ("h" + std::to_string(i)).c_str(), huge.data(), 60000); i++)
            len = h->imageLen;
        EXPECT_EQ(0, DbmTPutRecord(h, "a", huge.data(), 60000));
    }
    EXPECT_EQ(len, h->imageLen);
    EXPECT_TRUE(Get(h, "a") == "old");
    DbTClose(h);
}

TEST(DbmHandle, ReplacementGoesBesideTheFileReadAndAFailedWriteKeepsTheOldFile) {
    TempDir dir;
    CwdGuard cwd;
    ASSERT_EQ(0, chdir(dir.c_str()));
    std::string path = dir / "sub dir/help.qdb";  // a blank: no shell in between
    DbTHandle* h = DbTOpen(path.c_str(), 0);
    ASSERT_EQ(1, DbmTPutRecord(h, "a", "1", 1));
    EXPECT_TRUE(Exists(path));
    EXPECT_FALSE(Exists(dir / "db"));
    std::string before = ReadFile(path);

    std::filesystem::create_directory(path + "_new");  // the replacement cannot be made
    EXPECT_EQ(0, DbmTPutRecord(h, "b", "2", 1));
    EXPECT_EQ(before, ReadFile(path));
    EXPECT_EQ("2", Get(h, "b"));  // the image keeps the change
    std::filesystem::remove(path + "_new");
    DbTClose(h);

    // A write that fails halfway (the file-size limit) leaves the old file.
    EXPECT_EXIT(
        {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = 64;
            setrlimit(RLIMIT_FSIZE, &limit);
            DbTHandle* w = DbTOpen(path.c_str(), 0);
            std::string data(500, 'x');
            int r = DbmTPutRecord(w, "big", data.data(), 500);
            _exit(r == 0 && ReadFile(path) == before && !Exists(path + "_new") ? 0 : 1);
        },
        testing::ExitedWithCode(0), "Can't write to");

    // A plain name lives below the toolkit directory.
    Restore<char*> tool(pToolPath);
    std::string toolDir = dir.path();
    pToolPath = toolDir.data();
    ASSERT_EQ(1, DbmPutRecord("en_US/Name", "k", "v", 1));
    EXPECT_TRUE(Exists(dir / "db/en_US/Name.qdb"));
    char p[DB_PATH_SIZE];
    ASSERT_TRUE(DbmFilePath("/abs/name", p, sizeof p));
    EXPECT_STREQ("/abs/name.qdb", p);
    ASSERT_TRUE(DbmFilePath("./rel.x", p, sizeof p));
    EXPECT_STREQ("./rel.x", p);
    DbmSetV4DriverPathHandling();
    ASSERT_TRUE(DbmFilePath("/abs/name", p, sizeof p));
    EXPECT_STREQ("/abs/name", p);
    DbTClose(nullptr);
    EXPECT_FALSE(flDbmPathMode);
}

TEST(DbmDamage, WalksEndAtTheDamagedRecordAndCheckReportsIt) {
    TempDir dir;
    std::string path = dir / "bad.qdb";
    DbmPutRecord(path.c_str(), "a", "1", 1);
    DbmPutRecord(path.c_str(), "b", "2", 1);
    std::string good = ReadFile(path);

    WriteFile(path, good + Bytes({200, 0, 1, 2}));  // a length running past the end
    DbCheckReport report;
    ASSERT_TRUE(DbmCheckFile(path.c_str(), &report));
    EXPECT_EQ(1, report.format);
    EXPECT_EQ(2, report.records);
    EXPECT_EQ(long(good.size()), report.badOffset);
    EXPECT_EQ(good + Bytes({200, 0, 1, 2}), ReadFile(path));  // the check changes nothing

    // L below K: a body of 3 bytes claiming a key of 9.
    uint8_t body[3] = {9, 0, 0};
    DbmChain(body, body, 3);
    WriteFile(path, good + Bytes({3, 0, body[0], body[1], body[2]}));
    DbTHandle* h = DbTOpen(path.c_str(), 0);
    EXPECT_EQ(",a,b,", Take(DbmTGetRecordList(h, ",", ",")));
    EXPECT_EQ(int32_t(good.size()), h->imageLen);
    DbTClose(h);

    // A headed file whose record runs past the end.
    std::string headed = dir / "h.qdb";
    h = DbTOpen(headed.c_str(), 0);
    DbmTPutRecord(h, "k", "v", 1);
    DbTClose(h);
    WriteFile(headed, ReadFile(headed) + Bytes({0, 50, 0, 2}));
    ASSERT_TRUE(DbmCheckFile(headed.c_str(), &report));
    EXPECT_EQ(2, report.format);
    EXPECT_EQ(1, report.records);
    EXPECT_EQ(1, report.headerCount);
    EXPECT_EQ(16 + 7, report.badOffset);
    EXPECT_FALSE(DbmCheckFile((dir / "missing.qdb").c_str(), &report));
}

TEST(DbmFileLevel, DatabaseListAndDump) {
    TempDir dir;
    CwdGuard cwd;
    ASSERT_EQ(0, chdir(dir.c_str()));
    std::filesystem::create_directory("db");
    for (const char* name : {"db/one.qdb", "db/two.qdb", "db/x.qdb_new", "db/y.qdb.old", "db/z.txt"})
        WriteFile(name, "");
    std::string list = Take(DbmGetDbList(0));
    EXPECT_TRUE(list == "one,two" || list == "two,one") << list;
    std::string spaced = Take(DbmGetDbList(1));
    EXPECT_TRUE(spaced == " one two" || spaced == " two one") << spaced;

    ASSERT_EQ(1, DbmPutRecord("./dump.db", "key", "a\x01", 2));
    testing::internal::CaptureStdout();
    DumpDbm("dump");
    EXPECT_EQ("8 4 ==>{key.a.}\n", testing::internal::GetCapturedStdout());
    testing::internal::CaptureStderr();
    DumpDbm("nothing");
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("can't open file"));
}

TEST(DbmHandle, AHeaderCutShortIsMadeWhole) {
    TempDir dir;
    std::string path = dir / "short.qdb";
    WriteFile(path, "TQDBA");
    DbTHandle* h = DbTOpen(path.c_str(), 0);
    EXPECT_EQ(DB_TYPE_HEADED, h->dbType);
    ASSERT_EQ(1, DbmTPutRecord(h, "k", "v", 1));
    DbTClose(h);
    std::string file = ReadFile(path);
    ASSERT_EQ(16u + 7, file.size());
    EXPECT_EQ(std::string("TQDBAA1\0", 8), file.substr(0, 8));
}

// Files of random bytes, with and without the magic: every walk ends inside
// the image (the sanitizers watch); a damaged file is never written, and a
// put into a sound one makes a file every reader can follow.
TEST(DbmDamage, RandomFilesNeverLeadAReaderAstray) {
    TempDir dir;
    std::string path = dir / "r.qdb";
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int round = 0; round < 300; round++) {
        std::string bytes(size_t(next() % 300), '\0');
        for (char& c : bytes) c = char(next() % (round % 3 ? 256 : 12));
        if (round % 2) bytes.insert(0, "TQDBAA");
        WriteFile(path, bytes);
        DbCheckReport report;
        ASSERT_TRUE(DbmCheckFile(path.c_str(), &report));
        DbTHandle* h = DbTOpen(path.c_str(), 0);
        Take(DbmTGetRecordList(h, ",", ","));
        char buf[DB_COPY_SIZE];
        DbmTGetRecord(h, "k", buf);
        EXPECT_EQ(report.badOffset, h->damagedAt);
        bool damaged = report.badOffset >= 0;
        testing::internal::CaptureStderr();
        ASSERT_EQ(damaged ? 0 : 1, DbmTPutRecord(h, "k", "v", 1)) << "round " << round;
        testing::internal::GetCapturedStderr();
        DbTClose(h);
        if (damaged) {
            EXPECT_EQ(bytes, ReadFile(path)) << "round " << round;
            continue;
        }
        ASSERT_TRUE(DbmCheckFile(path.c_str(), &report));
        EXPECT_EQ(-1, report.badOffset) << "round " << round;
        h = DbTOpen(path.c_str(), 0);
        EXPECT_EQ(1, DbmTGetRecord(h, "k", buf)) << "round " << round;
        DbTClose(h);
    }
}

// A file that exists but cannot be read is neither waited on nor replaced
// by a handle that saw none of its records; a directory is no database.
TEST(DbmHandle, AnUnreadableFileIsNeverWrittenOver) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
    TempDir dir;
    std::string path = dir / "locked.qdb";
    ASSERT_EQ(1, DbmPutRecord(path.c_str(), "a", "1", 1));
    std::string before = ReadFile(path);
    chmod(dir.c_str(), 0777);
    chmod(path.c_str(), 0);
    EXPECT_EXIT(
        {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
            time_t t0 = time(nullptr);
            DbTHandle* h = DbTOpen(path.c_str(), 0);
            int r = DbmTPutRecord(h, "b", "2", 1);
            _exit(r == 0 && time(nullptr) - t0 < 3 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "Can't write to");
    chmod(path.c_str(), 0644);
    EXPECT_EQ(before, ReadFile(path));

    std::filesystem::create_directory(dir / "dir.qdb");
    DbTHandle* h = DbTOpen((dir / "dir.qdb").c_str(), 0);
    EXPECT_EQ(DB_TYPE_NEW, h->dbType);
    EXPECT_EQ(0, DbmTGetRecordSize(h, "a"));
    DbTClose(h);
}

// Four processes put 500 records each into one file while a fifth walks it:
// every record is there at the end, and the reader never met an empty,
// shrunken or damaged file.
TEST(DbmConcurrency, FourWritersAndAReaderLoseNothing) {
    TempDir dir;
    std::string path = dir / "c.qdb";
    DbTHandle* h = DbTOpen(path.c_str(), DB_DEFER);
    for (int i = 0; i < 300; i++) DbmTPutRecord(h, ("old" + std::to_string(i)).c_str(), "o", 1);
    ASSERT_EQ(1, DbmTArchiveDb(h));
    DbTClose(h);
    std::vector<pid_t> writers;
    for (int w = 0; w < 4; w++) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0; i < 500; i++) {
                DbTHandle* mine = DbTOpen(path.c_str(), 0);
                std::string key = "w" + std::to_string(w) + "-" + std::to_string(i);
                if (!DbmTPutRecord(mine, key.c_str(), key.c_str(), int(key.size()))) _exit(1);
                DbTClose(mine);
            }
            _exit(0);
        }
        writers.push_back(pid);
    }
    int pipeFd[2];
    ASSERT_EQ(0, pipe(pipeFd));
    pid_t reader = fork();
    if (reader == 0) {
        close(pipeFd[1]);
        fcntl(pipeFd[0], F_SETFL, O_NONBLOCK);
        long walks = 0, last = 300;
        char c;
        while (read(pipeFd[0], &c, 1) < 0) {
            DbCheckReport r;
            if (!DbmCheckFile(path.c_str(), &r) || r.badOffset >= 0 || r.records < last) _exit(1);
            last = r.records;
            walks++;
        }
        _exit(walks > 0 ? 0 : 2);
    }
    close(pipeFd[0]);
    for (pid_t pid : writers) {
        int status;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    close(pipeFd[1]);
    int status;
    waitpid(reader, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the reader saw a broken file";
    DbCheckReport r;
    ASSERT_TRUE(DbmCheckFile(path.c_str(), &r));
    EXPECT_EQ(2300, r.records);
    EXPECT_EQ(2300, r.headerCount);
    EXPECT_FALSE(Exists(path + "_new"));
}

// A deferred handle holds the lock from its first change: another writer
// waits for its archive and then adds to what it wrote. A put keeps the
// file's mode.
TEST(DbmConcurrency, ADeferredChangeHoldsTheLockUntilItsArchive) {
    TempDir dir;
    std::string path = dir / "d.qdb";
    ASSERT_EQ(1, DbmPutRecord(path.c_str(), "first", "1", 1));
    chmod(path.c_str(), 0640);
    DbTHandle* h = DbTOpen(path.c_str(), DB_DEFER);
    ASSERT_EQ(1, DbmTPutRecord(h, "deferred", "2", 1));
    pid_t pid = fork();
    if (pid == 0) {
        close(h->lockFd);  // a forked copy would share the lock (exec closes it)
        _exit(DbmPutRecord(path.c_str(), "other", "3", 1) ? 0 : 1);
    }
    usleep(300000);
    int status;
    EXPECT_EQ(0, waitpid(pid, &status, WNOHANG)) << "the other writer did not wait";
    ASSERT_EQ(1, DbmTArchiveDb(h));
    DbTClose(h);
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    char buf[8];
    for (const char* key : {"first", "deferred", "other"}) EXPECT_EQ(1, DbmGetRecord(path.c_str(), key, buf)) << key;
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
}

// Anyone who can read a database can lock it: a writer waits for that lock
// a bounded time, then fails with nothing written, and writes once it is free.
TEST(DbmConcurrency, AWriterWaitsForAHeldLockABoundedTime) {
    TempDir dir;
    std::string path = dir / "h.qdb";
    ASSERT_EQ(1, DbmPutRecord(path.c_str(), "first", "1", 1));
    const int reader = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(0, flock(reader, LOCK_EX));
    const int saved = iDbmLockWait;
    iDbmLockWait = 1;
    const bool quiet = flDbmQuiet;
    flDbmQuiet = true;
    EXPECT_EQ(0, DbmPutRecord(path.c_str(), "second", "2", 1));
    EXPECT_EQ(EWOULDBLOCK, errno);
    char buf[8];
    EXPECT_EQ(0, DbmGetRecord(path.c_str(), "second", buf));
    close(reader);
    EXPECT_EQ(1, DbmPutRecord(path.c_str(), "second", "2", 1));
    EXPECT_EQ(1, DbmGetRecord(path.c_str(), "first", buf));
    iDbmLockWait = saved;
    flDbmQuiet = quiet;
}
