// The platform layer on POSIX systems.
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace kiro::platform {
namespace {

EntryKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::kRegular;
    if (S_ISDIR(mode)) return EntryKind::kFolder;
    return EntryKind::kSpecial;
}

// The listing's file type where it gives one; links (and file systems that
// give none) are followed with stat.
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

int descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

// read() and write() that retry when a signal interrupts them.
std::int64_t readSome(int fd, char* into, std::size_t room) {
    for (;;) {
        ssize_t n = ::read(fd, into, room);
        if (n >= 0 || errno != EINTR) return n;
    }
}

std::int64_t writeSome(int fd, const char* bytes, std::size_t size) {
    for (;;) {
        ssize_t n = ::write(fd, bytes, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

}  // namespace

int listFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return errno;
    while (dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        entries.push_back(FolderEntry{std::string(name), kindOf(folder, *entry)});
    }
    return 0;
}

bool entryExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

InputFile::~InputFile() {
    if (handle_ >= 0) ::close(descriptor(handle_));
}

// O_NONBLOCK keeps a FIFO from waiting for a writer, O_NOCTTY a terminal
// from becoming the controlling one; ENXIO is a socket's answer.
InputFile::Opened InputFile::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return errno == ENXIO ? Opened::kNotRegular : Opened::kFailed;
    handle_ = fd;
    struct stat st;
    if (fstat(fd, &st) != 0) return Opened::kFailed;
    if (!S_ISREG(st.st_mode)) return Opened::kNotRegular;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return Opened::kYes;
}

std::int64_t InputFile::read(char* into, std::size_t room) { return readSome(descriptor(handle_), into, room); }

// The lock is flock() on the folder itself: closing the descriptor releases
// it, and so does the death of the process.
FolderLock::FolderLock(const std::string& folder)
    : folder_(folder), handle_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

FolderLock::~FolderLock() {
    if (handle_ >= 0) ::close(descriptor(handle_));
}

bool FolderLock::lock(int patience) {
    constexpr int kRetry = 10;  // milliseconds
    for (int waited = 0;; waited += kRetry) {
        if (::flock(descriptor(handle_), LOCK_EX | LOCK_NB) == 0) return locked_ = true;
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= patience) return false;
        ::usleep(kRetry * 1000);
    }
}

void FolderLock::sync() const {
    if (handle_ >= 0) ::fsync(descriptor(handle_));
}

// unlinkat removes a link itself, never what it points to, and leaves
// folders alone.
void FolderLock::removeFiles(const std::function<bool(std::string_view name)>& chosen) const {
    int listFd = ::dup(descriptor(handle_));
    if (listFd < 0) return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (chosen(entry->d_name)) ::unlinkat(descriptor(handle_), entry->d_name, 0);
    }
    ::closedir(dir);
}

OutputFile::~OutputFile() { close(); }

OutputFile::Created OutputFile::create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? Created::kNameTaken : Created::kFailed;
    handle_ = fd;
    return Created::kYes;
}

std::int64_t OutputFile::write(const char* bytes, std::size_t size) {
    return writeSome(descriptor(handle_), bytes, size);
}

bool OutputFile::sync() { return ::fsync(descriptor(handle_)) == 0; }

bool OutputFile::close() {
    if (handle_ < 0) return true;
    const int fd = descriptor(handle_);
    handle_ = -1;
    return ::close(fd) == 0;
}

bool replaceWith(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

bool mayWriteFile(const std::string& path, const std::string& folder) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) return false;
    } else if (errno != ENOENT) {
        return false;
    }
    return ::access(folder.c_str(), W_OK) == 0;
}

std::uint32_t processId() { return static_cast<std::uint32_t>(::getpid()); }

void prepareStandardStreams() {}

bool standardOutputUnwatched() {
    struct stat out, null;
    if (fstat(STDOUT_FILENO, &out) != 0) return false;
    if (S_ISREG(out.st_mode)) return true;
    return S_ISCHR(out.st_mode) && stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           out.st_rdev == null.st_rdev;
}

void writeStandardOutput(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::int64_t n = writeSome(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n < 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

int readInputByte(std::FILE* input) { return getc_unlocked(input); }

std::tm localTime(std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    return t;
}

void enterProgramFolderIfItHoldsTheGame(bool (*)(const std::string&)) {}

}  // namespace kiro::platform
