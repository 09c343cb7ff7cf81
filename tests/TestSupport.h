// Small helpers the module tests share: a private temporary directory,
// whole-file reads and writes, globals put back at the end of a test, and
// texts taken from the memory manager.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "MemMgr/MemMgr.h"

// A directory of its own under /tmp (named PREFIX and six random
// characters), removed with everything in it when the holder goes.
class TempDir {
  public:
    explicit TempDir(const char* prefix = "/tmp/orvik_test.") {
        std::string tmpl = std::string(prefix) + "XXXXXX";
        if (!mkdtemp(tmpl.data())) {
            ADD_FAILURE() << "cannot make a temporary directory " << tmpl;
            std::abort();
        }
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    const char* c_str() const { return path_.c_str(); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Puts a variable back to the value it had when the holder was made.
template <typename T> class Restore {
  public:
    explicit Restore(T& var) : var_(var), saved_(var) {}
    ~Restore() { var_ = std::move(saved_); }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

  private:
    T& var_;
    T saved_;
};

// Goes back to the working directory it was made in.
class CwdGuard {
  public:
    CwdGuard() {
        if (!getcwd(cwd_, sizeof cwd_)) ADD_FAILURE() << "cannot tell the working directory";
    }
    ~CwdGuard() {
        if (cwd_[0] && chdir(cwd_) != 0) ADD_FAILURE() << "cannot return to " << cwd_;
    }
    CwdGuard(const CwdGuard&) = delete;
    CwdGuard& operator=(const CwdGuard&) = delete;

  private:
    char cwd_[4096] = {};
};

// The whole content of a file, bytes as they are; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Replaces a file's content; exec makes it a program (mode 755).
inline void WriteFile(const std::filesystem::path& path, const std::string& text,
                      bool exec = false) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    if (exec) chmod(path.c_str(), 0755);
}

// Whether anything, a dangling link included, lies at path.
inline bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// How often `what` occurs in `text`, overlapping occurrences included.
inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A text in a heap block of exactly its size, so that the sanitizers catch
// any read past its terminator.
inline std::unique_ptr<char[]> Exact(const std::string& s) {
    std::unique_ptr<char[]> p(new char[s.size() + 1]);
    std::memcpy(p.get(), s.c_str(), s.size() + 1);
    return p;
}

// A text handed out by the memory manager, copied and given back;
// "(none)" for a null pointer.
inline std::string Take(char* text) {
    std::string s = text ? text : "(none)";
    PutMem(text);
    return s;
}

// For the subject run in a death-test child: standard input reads INPUT,
// kept in DIR/stdin (status 90 when it cannot be opened).
inline void ChildInput(const std::string& dir, const std::string& input) {
    WriteFile(dir + "/stdin", input);
    if (!freopen((dir + "/stdin").c_str(), "r", stdin)) _exit(90);
}

// Standard output of the child goes to DIR/stdout (status 91 when it cannot
// be opened); an alarm ends a child that hangs.
inline void ChildOutput(const std::string& dir) {
    if (!freopen((dir + "/stdout").c_str(), "w", stdout)) _exit(91);
    alarm(60);
}
