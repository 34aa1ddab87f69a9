// The files of a game directory: listing a folder the way the loaders need
// it, reading a whole file, and cutting its bytes into lines.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiro {

// Names of the regular files in `folder` whose extension equals `extension`
// (e.g. ".kst") without regard to case, in ascending byte order. A missing
// folder lists nothing; directories never match.
std::vector<std::string> listGameFiles(const std::string& folder, std::string_view extension);

// Reads a whole file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes);

// A whole file in one block of its own, for loaders that keep it and point
// into it.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
};
bool readWholeFile(const std::string& path, FileBytes& bytes);

// Walks the lines of a file's bytes: each line runs up to a line feed, a CR
// just before the line feed is not part of it, and a last line without a
// line feed is not a line at all.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}
    bool next(std::string_view& line);  // false at the end
    int lineNumber() const { return lineNumber_; }  // of the line last returned, from 1

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    int lineNumber_ = 0;
};

}  // namespace kiro
