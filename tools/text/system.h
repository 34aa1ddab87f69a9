// The few calls of the tools that differ between systems, with one
// implementation per system (system_posix.cpp, system_windows.cpp), which
// also holds the system's side of the Iconv class of cp932.h.
#pragma once

#include <filesystem>
#include <string>

namespace kiro::text {

// A new empty folder in `parent` named `prefix` and a few random
// characters, made so that no other process can have it too; the empty
// path when none can be made.
std::filesystem::path makeTemporaryFolder(const std::filesystem::path& parent, const std::string& prefix);

// Such a folder in the system's temporary folder, removed with its contents
// when its owner goes; path() is empty when none could be made.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix) {
        std::error_code ignored;
        path_ = makeTemporaryFolder(std::filesystem::temp_directory_path(ignored), prefix);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Gives a temporary folder the permissions a folder made by the user gets
// (a temporary one is made for the user alone).
void allowLikeANewFolder(const std::filesystem::path& folder);

// Renames a folder to a name that is not in use.
bool renameFolder(const std::filesystem::path& from, const std::filesystem::path& to);

// Swaps two folders in one step; false where the system cannot.
bool exchangeFolders(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace kiro::text
