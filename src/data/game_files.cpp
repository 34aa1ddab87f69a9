// Directory listing and file reading for the loaders.
#include "data/game_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "data/load_diagnostics.h"

namespace kiro {
namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view ext) {
    if (name.size() < ext.size()) return false;
    std::string_view tail = name.substr(name.size() - ext.size());
    for (std::size_t i = 0; i < ext.size(); ++i) {
        char a = tail[i], b = ext[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

enum class EntryKind { kRegular, kFolder, kSpecial, kUnknown };

EntryKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::kRegular;
    if (S_ISDIR(mode)) return EntryKind::kFolder;
    return EntryKind::kSpecial;
}

// The listing's file type where it gives one; links (and file systems that
// give none) are followed with stat. A name that cannot be examined stays
// unknown and is still listed, so that opening it reports the failure.
EntryKind kindOf(const std::string& folder, const dirent& entry) {
    switch (entry.d_type) {
        case DT_REG: return EntryKind::kRegular;
        case DT_DIR: return EntryKind::kFolder;
        case DT_LNK:
        case DT_UNKNOWN: break;
        default: return EntryKind::kSpecial;
    }
    struct stat st;
    std::string path = folder + "/" + entry.d_name;
    return stat(path.c_str(), &st) == 0 ? kindOfMode(st.st_mode) : EntryKind::kUnknown;
}

bool entryExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace

bool isGameDirectory(const std::string& dir) { return entryExists(dir + "/csv") || entryExists(dir + "/kst"); }

GameFolder listGameFolder(const std::string& folder, std::string_view extension) {
    GameFolder listed;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        // Only a folder that is not there at all lists nothing; a dangling
        // link in its place cannot be listed like any other failure.
        const int why = errno;
        if (why != ENOENT || entryExists(folder)) listed.error = why;
        return listed;
    }
    while (dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (!endsWithIgnoringCase(name, extension)) continue;
        EntryKind kind = kindOf(folder, *entry);
        if (kind == EntryKind::kFolder) continue;
        listed.files.push_back(ListedFile{std::string(name), kind == EntryKind::kSpecial});
    }
    std::sort(listed.files.begin(), listed.files.end(),
              [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; });
    return listed;
}

namespace {

// Closes the descriptor however the read ends.
struct FileDescriptor {
    explicit FileDescriptor(int f) : fd(f) {}
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd;
};

// read() that retries when a signal interrupts it; -1 on a failure.
ssize_t readSome(int fd, char* into, std::size_t room) {
    for (;;) {
        ssize_t n = ::read(fd, into, room);
        if (n >= 0 || errno != EINTR) return n;
    }
}

// Appends `extra` bytes to the block, growing it to at least twice its size
// but never beyond `limit` (the caller has checked the bytes fit).
void grow(FileBytes& bytes, std::size_t& capacity, const char* extra, std::size_t count, std::size_t limit) {
    std::size_t bigger = std::min(std::max(capacity * 2, bytes.size + count), limit);
    auto block = std::make_unique_for_overwrite<char[]>(bigger);
    if (bytes.size > 0) std::memcpy(block.get(), bytes.data.get(), bytes.size);
    std::memcpy(block.get() + bytes.size, extra, count);
    bytes.data = std::move(block);
    bytes.size += count;
    capacity = bigger;
}

// Opens without blocking (a FIFO would wait for a writer, a terminal could
// become the controlling one); ENXIO is a socket's answer.
ReadStatus openRegular(const std::string& path, FileDescriptor& file, struct stat& st) {
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file.fd < 0) return errno == ENXIO ? ReadStatus::kNotRegular : ReadStatus::kOpenFailed;
    if (fstat(file.fd, &st) != 0) return ReadStatus::kOpenFailed;
    return S_ISREG(st.st_mode) ? ReadStatus::kRead : ReadStatus::kNotRegular;
}

}  // namespace

// The block starts at the size the file has now, so a regular file takes one
// read into it and one more to see its end; a file that grows meanwhile, or
// one that gives no size (such as those of /proc), is read on until its end,
// up to the limit.
ReadStatus readGameFile(const std::string& path, FileBytes& bytes, std::size_t limit) {
    FileDescriptor file(-1);
    struct stat st;
    if (ReadStatus status = openRegular(path, file, st); status != ReadStatus::kRead) return status;
    if (static_cast<std::uintmax_t>(st.st_size) > limit) return ReadStatus::kTooLarge;
    std::size_t capacity = static_cast<std::size_t>(st.st_size);
    bytes.data = std::make_unique_for_overwrite<char[]>(capacity);
    bytes.size = 0;
    for (;;) {
        ssize_t n;
        if (bytes.size < capacity) {
            n = readSome(file.fd, bytes.data.get() + bytes.size, capacity - bytes.size);
            if (n > 0) bytes.size += static_cast<std::size_t>(n);
        } else {
            char probe[4096];  // the block is full: is there more?
            n = readSome(file.fd, probe, sizeof probe);
            if (n > 0 && static_cast<std::size_t>(n) > limit - bytes.size) return ReadStatus::kTooLarge;
            if (n > 0) grow(bytes, capacity, probe, static_cast<std::size_t>(n), limit);
        }
        if (n == 0) return ReadStatus::kRead;
        if (n < 0) return ReadStatus::kOpenFailed;
    }
}

ReadStatus readGameFile(const std::string& folder, const ListedFile& file, FileBytes& bytes) {
    return file.special ? ReadStatus::kNotRegular : readGameFile(folder + "/" + file.name, bytes);
}

bool readWholeFile(const std::string& path, FileBytes& bytes) {
    return readGameFile(path, bytes) == ReadStatus::kRead;
}

// No limit of its own: the save loader bounds a save by its size first.
// Space is reserved only up to the game file limit, so a size that changes
// under the reader cannot ask for a block of any size at once.
bool readWholeFile(const std::string& path, std::string& bytes) {
    FileDescriptor file(-1);
    struct stat st;
    if (openRegular(path, file, st) != ReadStatus::kRead) return false;
    bytes.clear();
    bytes.reserve(std::min(static_cast<std::size_t>(st.st_size), kMaxGameFileBytes));
    char buf[65536];
    for (;;) {
        ssize_t n = readSome(file.fd, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) return false;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
}

namespace {

DiagnosticKind unreadFileKind(ReadStatus status) {
    switch (status) {
        case ReadStatus::kNotRegular: return DiagnosticKind::kNotRegularFile;
        case ReadStatus::kTooLarge: return DiagnosticKind::kFileTooLarge;
        case ReadStatus::kOpenFailed:
        case ReadStatus::kRead: break;
    }
    return DiagnosticKind::kOpenFailed;
}

}  // namespace

bool readGameFolder(const std::string& folder, std::string_view extension, DiagnosticSink& sink,
                    const WantedFile& wanted, const FileLoad& load) {
    const GameFolder listed = listGameFolder(folder, extension);
    if (listed.error != 0) {
        sink.report({.kind = DiagnosticKind::kFolderUnreadable, .shownAs = folder, .systemError = listed.error});
        return false;
    }
    for (const ListedFile& file : listed.files) {
        if (!wanted(file.name)) continue;
        FileBytes bytes;
        if (ReadStatus status = readGameFile(folder, file, bytes); status != ReadStatus::kRead) {
            const DiagnosticKind kind = unreadFileKind(status);
            sink.report({.kind = kind, .file = file.name, .shownAs = file.name});
            if (diagnosticRow(kind).effect == DiagnosticEffect::kSkipsFile) continue;
            return false;
        }
        load(file.name, bytes);
    }
    return true;
}

bool LineReader::next(std::string_view& line) {
    std::size_t nl = bytes_.find('\n', pos_);
    if (nl == std::string_view::npos) return false;
    std::size_t end = nl;
    if (end > pos_ && bytes_[end - 1] == '\r') --end;
    line = bytes_.substr(pos_, end - pos_);
    pos_ = nl + 1;
    ++lineNumber_;
    return true;
}

}  // namespace kiro
