// Small helpers the module tests share: whole-file reads and writes and
// counting occurrences in captured output.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

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

// How often `what` occurs in `text`, overlapping occurrences included.
inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
