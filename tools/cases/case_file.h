// The end-to-end case format (tests/e2e/README.md): a UTF-8 text of
// sections, each starting with a line "-- KIND ...", that describes a game
// directory, what is typed into kiro and what it must answer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kiro::cases {

struct Section {
    std::string kind;                // file, dir, fifo, symlink, sparse, stdin, stdout, exit, after, absent, env, ...
    std::string path;                // for file, dir, fifo, symlink, sparse, after, absent, exit, game
    std::vector<std::string> flags;  // crlf, noeol, raw, after-title, append, repeat N; a symlink's target, a size;
                                     // NAME=VALUE of an env section
    std::vector<std::string> lines;
    int line = 0;  // the header's line in the case file, for messages

    bool has(const char* flag) const;
    std::size_t repeat() const;  // "repeat N": the body stands N times over (1 without the flag)
};

std::vector<Section> parseCase(const std::string& text);

// The bytes a section stands for: lines converted to Shift-JIS (unless
// raw), \xNN escapes decoded, line ends as flagged, the whole repeated as
// flagged. Throws std::runtime_error on text Shift-JIS cannot hold.
std::string bodyBytes(const Section& s);

}  // namespace kiro::cases
