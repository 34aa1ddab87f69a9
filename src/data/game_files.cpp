// Directory listing and file reading for the loaders.
#include "data/game_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "data/load_diagnostics.h"
#include "platform/platform.h"

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

using platform::EntryKind;

bool entryExists(const std::string& path) { return platform::entryExists(path); }

}  // namespace

bool isGameDirectory(const std::string& dir) { return entryExists(dir + "/csv") || entryExists(dir + "/kst"); }

GameFolder listGameFolder(const std::string& folder, std::string_view extension) {
    GameFolder listed;
    std::vector<platform::FolderEntry> entries;
    if (const int why = platform::listFolder(folder, entries); why != 0) {
        // Only a folder that is not there at all lists nothing; a dangling
        // link in its place cannot be listed like any other failure.
        if (why != ENOENT || entryExists(folder)) listed.error = why;
        return listed;
    }
    for (platform::FolderEntry& entry : entries) {
        if (!endsWithIgnoringCase(entry.name, extension) || entry.kind == EntryKind::kFolder) continue;
        listed.files.push_back(ListedFile{std::move(entry.name), entry.kind == EntryKind::kSpecial});
    }
    std::sort(listed.files.begin(), listed.files.end(),
              [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; });
    return listed;
}

namespace {

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

ReadStatus openRegular(const std::string& path, platform::InputFile& file) {
    switch (file.open(path)) {
        case platform::InputFile::Opened::kYes: return ReadStatus::kRead;
        case platform::InputFile::Opened::kNotRegular: return ReadStatus::kNotRegular;
        case platform::InputFile::Opened::kFailed: break;
    }
    return ReadStatus::kOpenFailed;
}

}  // namespace

// The block starts at the size the file has now, so a regular file takes one
// read into it and one more to see its end; a file that grows meanwhile, or
// one that gives no size (such as those of /proc), is read on until its end,
// up to the limit.
ReadStatus readGameFile(const std::string& path, FileBytes& bytes, std::size_t limit) {
    platform::InputFile file;
    if (ReadStatus status = openRegular(path, file); status != ReadStatus::kRead) return status;
    if (file.size() > limit) return ReadStatus::kTooLarge;
    std::size_t capacity = static_cast<std::size_t>(file.size());
    bytes.data = std::make_unique_for_overwrite<char[]>(capacity);
    bytes.size = 0;
    for (;;) {
        std::int64_t n;
        if (bytes.size < capacity) {
            n = file.read(bytes.data.get() + bytes.size, capacity - bytes.size);
            if (n > 0) bytes.size += static_cast<std::size_t>(n);
        } else {
            char probe[4096];  // the block is full: is there more?
            n = file.read(probe, sizeof probe);
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

}  // namespace kiro
