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
// whole) and a 1-based column (0: the line as a whole).
struct Place {
    std::string file;
    std::int32_t line = 0;
    std::int32_t column = 0;
};

struct Finding {
    std::string file;
    std::int32_t line = 0;
    std::int32_t column = 0;
    FindingCode code = FindingCode::Unclassified;
    Severity severity = Severity::Error;
    std::string message;                   // UTF-8
    std::vector<std::string> suggestions;  // names or texts to write instead, closest first
};

class Findings {
public:
    // A finding of the kind `code`, with the kind's severity.
    void add(Place place, FindingCode code, std::string message, std::vector<std::string> suggestions = {});
    // A finding not yet given its own kind.
    void add(std::string file, std::int32_t line, std::string message) {
        add(Place{std::move(file), line, 0}, FindingCode::Unclassified, std::move(message));
    }
    const std::vector<Finding>& list() const { return list_; }
    bool empty() const { return list_.empty(); }
    std::size_t count(Severity severity) const;

    // By file, then line, then column; findings at one place keep the order
    // they were made in.
    void sort();

private:
    std::vector<Finding> list_;
};

// "file:line: message", all in UTF-8, without the line end.
std::string formatFinding(const Finding& finding);

}  // namespace kiro::check
