#include "case_file.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

#include "cp932.h"

namespace kiro::cases {
namespace {

std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    return w;
}

// Section kinds whose first word is a path (or a number, a note).
bool takesPath(const std::string& kind) {
    static const char* const kKinds[] = {"file", "dir",  "fifo", "symlink", "sparse", "after",
                                         "absent", "exit", "note", "game"};
    return std::any_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return kind == k; });
}

// \xNN escapes to bytes; "\\x" stays a backslash followed by x.
std::string unescapeBytes(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 2 < s.size() && s[i + 1] == '\\' && s[i + 2] == 'x') {
            out += "\\x";
            i += 2;
        } else if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && isxdigit(static_cast<unsigned char>(s[i + 2])) &&
                   isxdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

bool Section::has(const char* flag) const { return std::find(flags.begin(), flags.end(), flag) != flags.end(); }

std::size_t Section::repeat() const {
    for (std::size_t i = 0; i + 1 < flags.size(); ++i)
        if (flags[i] == "repeat") return std::stoul(flags[i + 1]);
    return 1;
}

std::vector<Section> parseCase(const std::string& text) {
    std::vector<Section> sections;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.rfind("-- ", 0) == 0) {
            std::vector<std::string> w = words(line.substr(3));
            Section s;
            s.line = number;
            s.kind = w.empty() ? "" : w[0];
            std::size_t first = 1;
            if (takesPath(s.kind)) {
                if (w.size() > 1) s.path = w[1];
                first = 2;
            }
            s.flags.assign(w.begin() + static_cast<long>(std::min(first, w.size())), w.end());
            sections.push_back(std::move(s));
        } else if (!sections.empty()) {
            sections.back().lines.push_back(line);
        }
    }
    return sections;
}

std::string bodyBytes(const Section& s) {
    std::string once;
    const char* eol = s.has("crlf") ? "\r\n" : "\n";
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        std::string line = s.lines[i];
        if (!s.has("raw")) {
            std::optional<std::string> bytes = text::sjisOf(line);
            if (!bytes) throw std::runtime_error("line " + std::to_string(s.line + 1 + static_cast<int>(i)) +
                                                 ": text Shift-JIS cannot hold: " + line);
            line = *bytes;
        }
        once += unescapeBytes(line);
        if (i + 1 < s.lines.size() || !s.has("noeol")) once += eol;
    }
    std::string out;
    out.reserve(once.size() * s.repeat());
    for (std::size_t i = s.repeat(); i > 0; --i) out += once;
    return out;
}

}  // namespace kiro::cases
