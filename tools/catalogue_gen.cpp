// Build-time tool: turns the UTF-8 message catalogue into a C++ header whose
// strings are the exact Shift-JIS (CP932) bytes the engine prints.
//
// Input lines look like   MSG(NAME, "text")   ; every other line is copied
// as a comment-free nothing. Each text becomes
//   inline constexpr std::string_view NAME{"\ooo...", length};
// with every byte outside printable ASCII written as a three-digit octal
// escape, so no byte (not even the 0x5C second byte of a double-byte
// character) can be misread by the compiler.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <optional>
#include <string>

#include "cp932.h"

namespace {

std::string toCp932(const std::string& utf8, const std::string& name) {
    std::optional<std::string> bytes = kiro::text::sjisOf(utf8);
    if (!bytes) {
        std::cerr << "catalogue_gen: " << name << " has a character without a Shift-JIS form\n";
        std::exit(2);
    }
    return *bytes;
}

// Undo the C escapes a catalogue author may write (\n, \\, \").
std::string unescape(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            r += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            r += s[i];
        }
    }
    return r;
}

std::string literal(const std::string& bytes) {
    std::string r = "\"";
    char buf[8];
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
            r += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            r += buf;
        }
    }
    return r + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: catalogue_gen messages.def out.h\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "catalogue_gen: cannot read " << argv[1] << "\n";
        return 2;
    }
    std::ostringstream out;
    out << "// Generated from messages.def by catalogue_gen: do not edit.\n"
           "#pragma once\n#include <string_view>\n\nnamespace kiro::msg {\n\n";
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 4, "MSG(") != 0) continue;
        size_t comma = line.find(',', start);
        size_t open = line.find('"', comma);
        size_t close = line.rfind('"');
        if (comma == std::string::npos || open == std::string::npos || close <= open) {
            std::cerr << argv[1] << ":" << lineNo << ": malformed MSG line\n";
            return 2;
        }
        std::string name = line.substr(start + 4, comma - start - 4);
        std::string bytes = toCp932(unescape(line.substr(open + 1, close - open - 1)), name);
        out << "inline constexpr std::string_view " << name << "{" << literal(bytes) << ", "
            << bytes.size() << "};\n";
    }
    out << "\n}  // namespace kiro::msg\n";
    std::ofstream o(argv[2], std::ios::binary);
    o << out.str();
    return o ? 0 : 2;
}
