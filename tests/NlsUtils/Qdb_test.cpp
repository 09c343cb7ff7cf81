// qdb as a user runs it: every command with its output and exit status,
// bad usage and bad input refused with one line on standard error and
// nothing written, and the catalogue the build made.
#include <sys/wait.h>

#include <string>

#include "Dbm/Dbm.h"
#include "NlsUtils/NlsUtils.h"
#include "TestSupport.h"

namespace {

struct Result {
    int status;
    std::string out, err;
};

// Runs qdb with the arguments (already quoted for the shell) and input, a
// time limit on it.
Result Qdb(const std::string& args, const std::string& input = "", const std::string& env = "") {
    TempDir io;
    WriteFile(io / "in", input);
    std::string cmd = env + " timeout 30 " ORVIK_BINARY_DIR "/qdb " + args + " <" + (io / "in") +
                      " >" + (io / "out") + " 2>" + (io / "err");
    int raw = system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(io / "out"), ReadFile(io / "err")};
}

// One line "qdb: ..." holding what.
void ExpectError(const Result& r, int status, const std::string& what) {
    EXPECT_EQ(status, r.status) << r.err;
    EXPECT_EQ(0u, r.err.rfind("qdb: ", 0)) << r.err;
    EXPECT_EQ(1, Count(r.err, "\n")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(what)) << r.err;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

TEST(Qdb, UsageAndBadUsage) {
    Result r = Qdb("-h");
    EXPECT_EQ(0, r.status);
    EXPECT_NE(std::string::npos, r.out.find("usage: qdb [-d DIR] COMMAND"));
    EXPECT_EQ(0, Qdb("--help").status);
    ExpectError(Qdb(""), 2, "no command");
    ExpectError(Qdb("frobnicate x"), 2, "qdb: unknown command frobnicate");
    ExpectError(Qdb("get onlyone"), 2, "qdb: get: wrong number of arguments");
    ExpectError(Qdb("-d"), 2, "-d needs a directory");
    ExpectError(Qdb("-x get a b"), 2, "unknown option -x");
    ExpectError(Qdb("import"), 2, "import takes");
    ExpectError(Qdb("msg CoreString x 1"), 2, "whole numbers");
}

TEST(Qdb, RecordsPutGetDeleteAndList) {
    TempDir dir;
    std::string d = "-d " + dir.path() + " ";
    ExpectError(Qdb(d + "get db k"), 1, "no database db");
    ASSERT_EQ(0, Qdb(d + "put db apple 'red fruit'").status);
    ASSERT_EQ(0, Qdb(d + "put db apricot orange").status);
    ASSERT_EQ(0, Qdb(d + "put db banana yellow").status);
    EXPECT_TRUE(Exists(dir / "db/db.qdb"));
    Result r = Qdb(d + "get db apple");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("red fruit", r.out);  // the zero byte is not printed
    ExpectError(Qdb(d + "get db app"), 1, "no key app in db");

    ASSERT_EQ(0, Qdb(d + "put db apple green").status);  // moves to the end
    EXPECT_EQ("apricot\nbanana\napple\n", Qdb(d + "keys db").out);
    EXPECT_EQ("apricot\napple\n", Qdb(d + "keys db ap,zz").out);
    EXPECT_EQ("", Qdb(d + "keys db zz").out);

    std::string bytes("\x01\x00\x02 end\x00", 7);
    WriteFile(dir / "blob", bytes);
    ASSERT_EQ(0, Qdb(d + "put db blob -f " + (dir / "blob")).status);
    DbTHandle* h = DbTOpen((dir / "db/db.qdb").c_str(), 0);
    char buf[64];
    EXPECT_EQ(bytes, std::string(buf, size_t(DbmTGetRecord(h, "blob", buf))));
    DbTClose(h);
    ExpectError(Qdb(d + "put db k -f " + (dir / "nofile")), 2, "cannot read");
    ExpectError(Qdb(d + "put db k -f"), 2, "-f needs a file");

    std::string before = ReadFile(dir / "db/db.qdb");
    ExpectError(Qdb(d + "put db " + std::string(4096, 'k') + " v"), 2, "key longer than 4095");
    WriteFile(dir / "big", std::string(65527, 'x'));
    ExpectError(Qdb(d + "put db big -f " + (dir / "big")), 2, "longer than a record holds");
    ExpectError(Qdb(d + "put db '' v"), 2, "empty key");
    EXPECT_EQ(before, ReadFile(dir / "db/db.qdb"));

    ExpectError(Qdb(d + "del db cherry"), 1, "no key cherry");
    EXPECT_EQ(0, Qdb(d + "del db banana").status);
    ExpectError(Qdb(d + "delprefix db zz"), 1, "no key begins with zz");
    EXPECT_EQ(0, Qdb(d + "delprefix db ap").status);
    EXPECT_EQ("blob\n", Qdb(d + "keys db").out);
    ExpectError(Qdb(d + "del nodb k"), 1, "no database nodb");

    // A path names a file directly.
    std::string path = dir / "my db.qdb";
    ASSERT_EQ(0, Qdb("put " + Quote(path) + " k v").status);
    EXPECT_EQ("v", Qdb("get " + Quote(path) + " k").out);
}

TEST(Qdb, ImportExportAndTheConversionCheck) {
    TempDir dir;
    std::string d = "-d " + dir.path() + " ";
    std::string catalogue =
        "# a comment\n"
        "\n"
        "1_1\tHello %s\\n\\tand \\\\ back\n"
        "1_2\tbytes \\x01\\x7F\\c\n"
        "1_3\t%i of %d, 100%%\n"
        "1_4\tcarriage\\rreturn\n";
    WriteFile(dir / "en.txt", catalogue);
    ASSERT_EQ(0, Qdb(d + "import en " + (dir / "en.txt")).status);
    Result r = Qdb(d + "export en");
    EXPECT_EQ(0, r.status);
    std::string expected = catalogue.substr(catalogue.find("1_1"));
    EXPECT_EQ(expected, r.out);
    EXPECT_EQ("Hello %s\n\tand \\ back", Qdb(d + "get en 1_1").out);
    EXPECT_EQ("bytes \x01\x7F", Qdb(d + "get en 1_2").out);
    // Standard input, and export then import gives the same records.
    ASSERT_EQ(0, Qdb(d + "import copy", r.out).status);
    EXPECT_EQ(expected, Qdb(d + "export copy").out);

    // A translation keeps the conversions of the reference.
    ASSERT_EQ(0, Qdb(d + "import --check en es", "1_1\tHola %s\n1_3\t%d de %i\n9_9\tnew %d\n").status);
    std::string es = ReadFile(dir / "db/es.qdb");
    ExpectError(Qdb(d + "import --check en es", "1_1\tHola\n"), 2, "(standard input):1: key 1_1");
    ExpectError(Qdb(d + "import --check en es", "1_2\tx\n1_3\t%s de %i\n"), 2,
                "(standard input):2: key 1_3: conversions");
    EXPECT_EQ(es, ReadFile(dir / "db/es.qdb"));  // nothing written
    ExpectError(Qdb(d + "import --check none es", "1_1\tx\n"), 1, "no database none");

    // Bad lines, each with its line number; nothing written.
    for (auto [text, what] : std::initializer_list<std::pair<std::string, const char*>>{
             {"ok\tfine\nno tab here\n", ":2: no tab"},
             {"\tempty key\n", ":1: empty key"},
             {"k\tbad \\q escape\n", ":1: unknown escape"},
             {"k\tbad \\x4\n", ":1: \\x needs two"},
             {"k\tmid \\c dle\n", ":1: \\c stands only"},
             {"k\t\\c\n", ":1: empty data"},
             {std::string("a\0b\tzero\n", 9), ":1: a zero byte in the key"}}) {
        ExpectError(Qdb(d + "import fresh", text), 2, what);
        EXPECT_FALSE(Exists(dir / "db/fresh.qdb")) << text;
    }
    ExpectError(Qdb(d + "import x " + (dir / "missing.txt")), 2, "cannot read");
    ExpectError(Qdb(d + "export nothing"), 1, "no database nothing");
}

TEST(Qdb, CheckReportsFormatCountAndDamage) {
    TempDir dir;
    std::string d = "-d " + dir.path() + " ";
    ASSERT_EQ(0, Qdb(d + "put h a 1").status);
    ASSERT_EQ(0, Qdb(d + "put h b 2").status);
    Result r = Qdb(d + "check h");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("format: headed\nrecords: 2\nheader count: 2\n", r.out);

    std::string flat = dir / "flat.qdb";
    ASSERT_EQ(1, DbmPutRecord(flat.c_str(), "k", "v", 1));
    EXPECT_EQ("format: headerless\nrecords: 1\n", Qdb("check " + flat).out);
    std::string good = ReadFile(flat);
    WriteFile(flat, good + std::string("\x50\x00\x01", 3));
    r = Qdb("check " + flat);
    ExpectError(r, 1, "damaged: the record at offset " + std::to_string(good.size()));
    EXPECT_EQ("format: headerless\nrecords: 1\n", r.out);
    EXPECT_EQ(good + std::string("\x50\x00\x01", 3), ReadFile(flat));
    ExpectError(Qdb("export " + flat), 1, "damaged");
    ExpectError(Qdb(d + "check none"), 1, "no database none");
}

// The catalogue the build put into the toolkit directory, found with no -d.
TEST(Qdb, TheBuiltCatalogue) {
    std::string env = "env -u ORVIK_TOOLKIT_DIR";
    EXPECT_EQ("en_US\n", Qdb("lang", "", env + " -u LANG").out);
    EXPECT_EQ("pt_BR\n", Qdb("lang", "", env + " LANG=pt_BR.UTF-8").out);
    EXPECT_EQ("de_DE\n", Qdb("lang", "", env + " LANG=ge_GE").out);
    EXPECT_EQ("en_US\n", Qdb("lang", "", env + " LANG=xx_YY").out);
    EXPECT_EQ("20_150\n20_151\n20_152\n", Qdb("keys en_US/CoreString 20_", "", env).out);
    Result r = Qdb("msg CoreString 25 1003 1 10", "", env + " LANG=en_US");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("This number must be between 1 to 10.", r.out);
    EXPECT_EQ("\nDo you want to exit setup", Qdb("msg CoreString 25 1018 setup", "", env).out);
    ExpectError(Qdb("msg CoreString 25 1003 1", "", env), 2, "takes 2 arguments, 1 given");
    ExpectError(Qdb("msg CoreString 25 1006 ab", "", env), 2, "does not suit");
    ExpectError(Qdb("msg CoreString 25 3", "", env), 1, "no message 25/3");
    ExpectError(Qdb("msg Nothing 25 1003", "", env), 1, "no database en_US/Nothing");
}

TEST(Catalogue, SignaturesOfConversions) {
    char sig[64];
    EXPECT_EQ(3, NlsFormatSignature("%-5s %i %%, %08.3Lf", sig, sizeof sig));
    EXPECT_STREQ("s d Lf ", sig);
    EXPECT_EQ(0, NlsFormatSignature("100%% plain", sig, sizeof sig));
    EXPECT_EQ(1, NlsFormatSignature("%*d", sig, sizeof sig));
    EXPECT_STREQ("*d ", sig);
    EXPECT_EQ(-1, NlsFormatSignature("cut %", sig, sizeof sig));
    EXPECT_EQ(-1, NlsFormatSignature("%n", sig, sizeof sig));
    EXPECT_EQ(-1, NlsFormatSignature("%y", sig, sizeof sig));
}
