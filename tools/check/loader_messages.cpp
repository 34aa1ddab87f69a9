// The loaders' warnings all open with "(" + file + ")" + line number. The
// script loader names the file as listed, the CSV loader lower-cased. Two
// of the script warnings go on for two more lines (the statement, then the
// reason); they are recognised by the exact text their first line ends in.
#include "loader_messages.h"

#include <vector>

#include "messages.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string lowerCased(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Reads "(name)N" at the start of `line`; `rest` is what follows the number.
bool parseLocation(std::string_view line, const std::string& listedName, std::int32_t& lineNumber,
                   std::string_view& rest) {
    for (const std::string& shown : {listedName, lowerCased(listedName)}) {
        std::string open = std::string(msg::LOAD_LINE_OPEN) + shown + std::string(msg::LOAD_LINE_CLOSE);
        if (!line.starts_with(open)) continue;
        std::size_t p = open.size(), digits = p;
        std::int64_t n = 0;
        while (p < line.size() && line[p] >= '0' && line[p] <= '9' && n < INT32_MAX) n = n * 10 + (line[p++] - '0');
        if (p == digits) continue;
        lineNumber = static_cast<std::int32_t>(n);
        rest = line.substr(p);
        return true;
    }
    return false;
}

// Warnings whose first line ends here continue with the statement and the reason.
bool continuesOnTwoLines(std::string_view rest) {
    return rest == msg::AT_LINE_OF || rest == msg::NO_FUNCTION_YET;
}

}  // namespace

void relayLoaderOutput(std::string_view output, const std::string& path, const std::string& listedName,
                       Findings& findings) {
    const std::string progress = listedName + std::string(msg::FILE_LOADING);
    std::vector<std::string_view> lines = splitLines(output);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == progress || lines[i].empty()) continue;
        std::int32_t lineNumber = 1;  // a message without a location belongs to the whole file
        std::string_view rest;
        std::string text(lines[i]);
        if (parseLocation(lines[i], listedName, lineNumber, rest) && continuesOnTwoLines(rest)) {
            for (int more = 0; more < 2 && i + 1 < lines.size(); ++more) text += " " + std::string(lines[++i]);
        }
        findings.add(path, lineNumber, utf8Of(text));
    }
}

}  // namespace kiro::check
