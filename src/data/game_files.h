// The files of a game directory: listing a folder the way the loaders need
// it, reading a whole file, and cutting its bytes into lines.
//
// The game directory is untrusted: only regular files are read, never in a
// way that can block, and never more than a bounded number of bytes.
#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiro {

class DiagnosticSink;

// The largest file the loaders read. Real games' files are a few megabytes
// (even a script corpus of a million lines is 30 MB); a larger file is a
// mistake or a trap (a sparse file, a device behind a link), and reading it
// would exhaust memory.
constexpr std::size_t kMaxGameFileBytes = std::size_t{256} << 20;  // 256 MiB

// Whether the working directory holds a game: a `csv` or a `kst` entry,
// whatever it turns out to be (a folder that cannot be listed is still
// reported, by the loader that lists it).
bool isGameDirectory(const std::string& dir = ".");

struct ListedFile {
    std::string name;
    bool special = false;  // neither a regular file nor a folder (a FIFO, a device, a socket)
};

struct GameFolder {
    int error = 0;  // errno when the folder exists but cannot be listed (a link loop, no permission, a file)
    std::vector<ListedFile> files;
};

// The names in `folder` whose extension equals `extension` (e.g. ".kst")
// without regard to case, in ascending byte order. A missing folder lists
// nothing; directories never match.
GameFolder listGameFolder(const std::string& folder, std::string_view extension);

enum class ReadStatus { kRead, kNotRegular, kOpenFailed, kTooLarge };

// A whole file in one block of its own, for loaders that keep it and point
// into it.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::string_view view() const { return {data.get(), size}; }
};

// Reads a whole regular file of at most `limit` bytes. It is opened without
// blocking and examined before any byte is read, so a FIFO or a device put
// in its place is refused as not regular.
ReadStatus readGameFile(const std::string& path, FileBytes& bytes, std::size_t limit = kMaxGameFileBytes);
// A listed file: one the listing found special is not opened at all.
ReadStatus readGameFile(const std::string& folder, const ListedFile& file, FileBytes& bytes);

// Reads a whole regular file; false when it is not read for any reason.
bool readWholeFile(const std::string& path, FileBytes& bytes);

// The loaders' walk over a folder: lists it, reads every listed file that
// `wanted` accepts and hands its bytes to `load`. A file or folder that is
// not read is reported to `sink`; false when that ends loading (only a file
// that is not regular is skipped).
using WantedFile = std::function<bool(const std::string& name)>;
using FileLoad = std::function<void(const std::string& name, FileBytes& bytes)>;
bool readGameFolder(const std::string& folder, std::string_view extension, DiagnosticSink& sink,
                    const WantedFile& wanted, const FileLoad& load);

// Walks the lines of a file's bytes: each line runs up to a line feed, a CR
// just before the line feed is not part of it, and a last line without a
// line feed is not a line at all.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : at_(bytes.data()), end_(bytes.data() + bytes.size()) {}
    // False at the end. Inline, since loaders call it once per line.
    bool next(std::string_view& line) {
        if (at_ == end_) return false;  // memchr must not see the null pointer of empty bytes
        const auto* feed = static_cast<const char*>(std::memchr(at_, '\n', static_cast<std::size_t>(end_ - at_)));
        if (!feed) return false;
        const char* stop = feed > at_ && feed[-1] == '\r' ? feed - 1 : feed;
        line = std::string_view(at_, static_cast<std::size_t>(stop - at_));
        at_ = feed + 1;
        ++lineNumber_;
        return true;
    }
    int lineNumber() const { return lineNumber_; }  // of the line last returned, from 1

private:
    const char* at_;
    const char* end_;
    int lineNumber_ = 0;
};

}  // namespace kiro
