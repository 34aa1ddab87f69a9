// One fault found in a game, and the list a check run collects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiro::check {

enum class Severity { Error, Warning, Note };

// The kinds of finding, from findings.def.
enum class FindingCode {
#define FINDING(Name, code, severity, summary) Name,
#include "findings.def"
#undef FINDING
};

struct FindingRow {
    std::string_view code;  // "unknown-function"
    Severity severity;
    std::string_view summary;
};
const FindingRow& findingRow(FindingCode code);
const std::vector<FindingRow>& findingRows();
std::string_view severityName(Severity severity);  // "error", "warning", "note"

// Where a finding is: a file as listed ("kst/a.kst", raw bytes), a 1-based
// line (faults of a whole file are put on line 1; line 0 is the game as a
// whole) and a 1-based column (0: the line as a whole). A column counts
// characters, not bytes: a double-byte character and a tab count one each,
// so the column is the same in a Shift-JIS file and in its UTF-8 form.
struct Place {
    std::string file;
    std::int32_t line = 0;
    std::int32_t column = 0;
};

struct Finding {
    std::string file;
    std::int32_t line = 0;
    std::int32_t column = 0;
    FindingCode code{};
    Severity severity = Severity::Error;
    std::string message;                   // UTF-8
    std::vector<std::string> suggestions;  // names or texts to write instead, closest first
};

class Findings {
public:
    // A finding of the kind `code`, with the kind's severity.
    void add(Place place, FindingCode code, std::string message, std::vector<std::string> suggestions = {});
    // Drops every finding of kind `code` at a file and line where one of
    // kind `over` is: the one says all the other does.
    void dropWhere(FindingCode code, FindingCode over);
    const std::vector<Finding>& list() const { return list_; }
    bool empty() const { return list_.empty(); }
    std::size_t count(Severity severity) const;

    // By file, then line, then column; findings at one place keep the order
    // they were made in.
    void sort();

private:
    std::vector<Finding> list_;
};

// The forms a finding is printed in, without the line end; `file` is the
// file's name as shown, in UTF-8.
//   "file:line:column: severity: message; did you mean X?" (no column when
//   0; "file: severity: ..." for the game as a whole, `file` naming the game)
std::string formatFinding(const Finding& finding, std::string_view file);
//   {"file":...,"line":...,"column":...,"severity":...,"code":...,"message":...,"suggestions":[...]}
std::string jsonFinding(const Finding& finding, std::string_view file);
// Both with the file's Shift-JIS name converted.
std::string formatFinding(const Finding& finding);
std::string jsonFinding(const Finding& finding);

// A JSON string: UTF-8 passes, quotes, backslashes and control characters
// are escaped, and a byte that is not part of valid UTF-8 becomes the text
// \xNN.
std::string jsonString(std::string_view text);

}  // namespace kiro::check
