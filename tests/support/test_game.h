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

}  // namespace kiro::test
