// What the engine asks of the operating system, in one header with one
// implementation per system (posix.cpp, windows.cpp; the build picks one),
// so that the code above it is the same everywhere.
//
// A path is the engine's bytes: file names in Shift-JIS, '/' between
// folders. Where the system's own names are not bytes (Windows), they are
// converted from and to code page 932 here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiro::platform {

// ---- Folders ---------------------------------------------------------------

enum class EntryKind { kRegular, kFolder, kSpecial, kUnknown };

struct FolderEntry {
    std::string name;
    // What the entry is, links followed; kUnknown when it cannot be examined
    // (a dangling link), so that opening it reports the failure.
    EntryKind kind = EntryKind::kUnknown;
};

// Every entry of `folder` but "." and "..", in no particular order. Returns
// 0, or an errno value when the folder cannot be listed (ENOENT when there is
// no folder by that name).
int listFolder(const std::string& folder, std::vector<FolderEntry>& entries);

// Whether anything is at `path`, even a dangling link or an entry that
// cannot be examined; only "no such entry" is false.
bool entryExists(const std::string& path);

// ---- Reading ---------------------------------------------------------------

// A file open for reading, closed with its owner. It is opened without
// blocking (a FIFO would wait for a writer) and examined before any byte is
// read, so only a regular file is ever read.
class InputFile {
public:
    enum class Opened { kYes, kNotRegular, kFailed };

    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    Opened open(const std::string& path);
    std::uint64_t size() const { return size_; }  // when it was opened
    // Up to `room` bytes; 0 at the end of the file, -1 on a failure.
    std::int64_t read(char* into, std::size_t room);

private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
};

// ---- Replacing a file ------------------------------------------------------

// The folder a file is replaced in, held for the whole replacement and,
// where the system allows it, locked against other processes replacing
// files there. The lock ends with its owner or with the process.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool opened() const { return handle_ != -1; }
    // Waits at most `patience` milliseconds for the lock.
    bool lock(int patience);
    // Makes renames into the folder durable where that takes a step of its
    // own; a failure is not reported (the renamed file is complete).
    void sync() const;
    // Removes the files of the folder whose names `chosen` accepts (links
    // themselves, never what they point to; never folders).
    void removeFiles(const std::function<bool(std::string_view name)>& chosen) const;

private:
    std::string folder_;
    std::intptr_t handle_ = -1;
    [[maybe_unused]] std::intptr_t lock_ = -1;  // the save mutex, where the system locks by name
    bool locked_ = false;
};

// A new file, created exclusively and never through a link, closed with its
// owner unless closed before.
class OutputFile {
public:
    enum class Created { kYes, kNameTaken, kFailed };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    Created create(const std::string& path);
    // Up to `size` bytes written; -1 on a failure.
    std::int64_t write(const char* bytes, std::size_t size);
    bool sync();  // to the disk
    bool close();

private:
    std::intptr_t handle_ = -1;
};

// Renames `from` over `to` in one step, replacing what was there.
bool replaceWith(const std::string& from, const std::string& to);
void removeFile(const std::string& path);
// Whether a file may be written at `path` in `folder`: the path is absent or
// a regular file that is not write-protected, and the folder takes new files.
bool mayWriteFile(const std::string& path, const std::string& folder);
std::uint32_t processId();

// ---- Console and clock -----------------------------------------------------

// Prepares standard input and output for the engine's bytes (on Windows:
// binary mode, and a console switched to code page 932 until the program
// ends). Called once, first thing.
void prepareStandardStreams();
// A regular file or the null device: nobody reads the output while it is
// written, so it need not be passed on line by line.
bool standardOutputUnwatched();
// Writes all of `bytes`; a console that is gone takes nothing more.
void writeStandardOutput(std::string_view bytes);
// The next byte of `input` or EOF; only one thread ever reads it.
int readInputByte(std::FILE* input);

// The calendar time of `when` in the local time zone.
std::tm localTime(std::time_t when);

// A program started from a file manager may start elsewhere than its game:
// when the working directory holds no game but the program's own folder
// does, that folder becomes the working directory (Windows only; a program
// started from a shell keeps its working directory).
void enterProgramFolderIfItHoldsTheGame(bool (*holdsGame)(const std::string& folder));

}  // namespace kiro::platform
