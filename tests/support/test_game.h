// Test helper: a temporary game directory that is removed afterwards, and
// running code inside it as the working directory.
#pragma once

#include <string>
#include <string_view>

namespace kiro::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes `bytes` to path()/relative, creating folders on the way.
    void write(const std::string& relative, std::string_view bytes) const;
    std::string read(const std::string& relative) const;  // empty when missing
    bool exists(const std::string& relative) const;

private:
    std::string path_;
};

// Changes the working directory for its lifetime.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();

private:
    std::string previous_;
};

// A finished program: its exit status (-1 when it did not exit) and what it
// wrote to standard output (and to standard error when the command line sends
// it there).
struct ProgramRun {
    int status = -1;
    std::string output;
};

// Runs a shell command line and collects its output.
ProgramRun runCommand(const std::string& commandLine);

}  // namespace kiro::test
