// The kinds of finding, their ordering and printing.
#include "finding.h"

#include <algorithm>

#include "utf8_text.h"

namespace kiro::check {

const std::vector<FindingRow>& findingRows() {
    static const std::vector<FindingRow> rows = {
#define FINDING(Name, code, severity, summary) {code, Severity::severity, summary},
#include "findings.def"
#undef FINDING
    };
    return rows;
}

const FindingRow& findingRow(FindingCode code) { return findingRows()[static_cast<std::size_t>(code)]; }

std::string_view severityName(Severity severity) {
    static constexpr std::string_view names[] = {"error", "warning", "note"};
    return names[static_cast<int>(severity)];
}

void Findings::add(Place place, FindingCode code, std::string message, std::vector<std::string> suggestions) {
    list_.push_back(Finding{std::move(place.file), place.line, place.column, code, findingRow(code).severity,
                            std::move(message), std::move(suggestions)});
}

std::size_t Findings::count(Severity severity) const {
    return std::count_if(list_.begin(), list_.end(), [&](const Finding& f) { return f.severity == severity; });
}

void Findings::sort() {
    std::stable_sort(list_.begin(), list_.end(), [](const Finding& a, const Finding& b) {
        if (a.file != b.file) return a.file < b.file;
        if (a.line != b.line) return a.line < b.line;
        return a.column < b.column;
    });
}

std::string formatFinding(const Finding& finding) {
    return utf8Of(finding.file) + ":" + std::to_string(finding.line) + ": " + finding.message;
}

}  // namespace kiro::check
