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

// Gives a temporary folder the permissions a folder made by the user gets
// (a temporary one is made for the user alone).
void allowLikeANewFolder(const std::filesystem::path& folder);

// Renames a folder to a name that is not in use.
bool renameFolder(const std::filesystem::path& from, const std::filesystem::path& to);

// Swaps two folders in one step; false where the system cannot.
bool exchangeFolders(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace kiro::text
