// Directory listing and file reading for the loaders.
#include "data/game_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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

}  // namespace

std::vector<std::string> listGameFiles(const std::string& folder, std::string_view extension) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return names;
    while (dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (!endsWithIgnoringCase(name, extension)) continue;
        struct stat st;
        std::string path = folder + "/" + std::string(name);
        // A name that cannot be examined is still listed, so that opening it
        // reports the failure; only directories are left out.
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    struct stat st;
    if (fstat(fileno(f.get()), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    bytes.clear();
    if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, n);
    return !std::ferror(f.get());
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

// Appends `extra` bytes to the block, growing it to at least twice its size.
void grow(FileBytes& bytes, std::size_t& capacity, const char* extra, std::size_t count) {
    std::size_t bigger = std::max(capacity * 2, bytes.size + count);
    auto block = std::make_unique_for_overwrite<char[]>(bigger);
    if (bytes.size > 0) std::memcpy(block.get(), bytes.data.get(), bytes.size);
    std::memcpy(block.get() + bytes.size, extra, count);
    bytes.data = std::move(block);
    bytes.size += count;
    capacity = bigger;
}

}  // namespace

// The block starts at the size the file has now, so a regular file takes one
// read into it and one more to see its end; a file that grows meanwhile, or
// one without a size (a pipe), is read on until its end all the same.
bool readWholeFile(const std::string& path, FileBytes& bytes) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) return false;
    struct stat st;
    if (fstat(file.fd, &st) != 0 || S_ISDIR(st.st_mode)) return false;
    std::size_t capacity = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
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
            if (n > 0) grow(bytes, capacity, probe, static_cast<std::size_t>(n));
        }
        if (n == 0) return true;
        if (n < 0) return false;
    }
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
